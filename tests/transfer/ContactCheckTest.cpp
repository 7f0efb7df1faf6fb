// SPDX-License-Identifier: GPL-3.0-or-later
// The contact check: the same parts read twice must agree. A sound cable
// passes, one that flips a bit on every second read is caught, and a write
// behind an unstable contact sends nothing unless the user goes on.
#include <gtest/gtest.h>

#include <cstring>

#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/support/Resources.h"
#include "core/transfer/CardWrite.h"
#include "core/transfer/ContactCheck.h"
#include "tests/support/EmulatedRig.h"
#include "tests/support/TestFiles.h"

namespace {

size_t WritePackets(TEmulatedRig& Rig) {
  size_t Count = 0;
  for (const auto& Sent : Rig.Sent()) Count += Sent.Code == cmdWriteRom || Sent.Code == cmdWriteSram;
  return Count;
}

TEST(ContactCheck, ASoundCablePassesAndAFlippingOneIsCaught) {
  const struct {
    const char* What;
    bool Flip;
    uint32_t PageBase;
  } Cases[] = {{"sound, page 1", false, 0}, {"sound, page 2", false, 0x400000},
               {"flipping, page 1", true, 0}, {"flipping, page 2", true, 0x400000}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TEmulatedRig Rig;
    for (uint32_t I = 0; I < TCard::FlashSize; I += 4096) Rig.Card.Flash()[I] = static_cast<uint8_t>(I >> 12);
    Rig.State.PageBase = Case.PageBase;
    Rig.Cable.FlipEverySecondRead(Case.Flip);
    Rig.Sent();
    const TContactCheck Check = CheckContact(Rig.Link);
    EXPECT_EQ(Check.End, TTransferEnd::Done);
    EXPECT_EQ(Check.Stable, !Case.Flip);
    EXPECT_EQ(Check.BytesPerPass, ContactStartBytes + ContactEndBytes + ContactSaveBytes);
    EXPECT_EQ(Rig.State.PageBase, Case.PageBase) << "the page stays selected";
    EXPECT_EQ(Rig.Front.Panels[1], Check.Text);
    // Each part twice: the identifier, the flash of the selected page, save RAM at bare offsets.
    uint32_t Ids = 0, Flash = 0, Save = 0;
    for (const auto& Sent : Rig.Sent()) {
      Ids += Sent.Code == cmdChipId;
      if (Sent.Code == cmdReadRom) {
        Flash += Sent.Length;
        EXPECT_EQ(Sent.Address & 0x400000, Case.PageBase) << std::hex << Sent.Address;
      }
      if (Sent.Code == cmdReadSram) Save += Sent.Length;
    }
    EXPECT_EQ(Ids, 2u);
    EXPECT_EQ(Flash, 2 * (ContactStartBytes + ContactEndBytes));
    EXPECT_EQ(Save, 2 * ContactSaveBytes);
    if (Case.Flip) {
      EXPECT_FALSE(Check.Region.empty());
      EXPECT_GE(Check.Address, 0);
      EXPECT_NE(Check.Text.find("clean the card's contacts and try again"), std::string::npos) << Check.Text;
    } else {
      EXPECT_EQ(Check.Text, "Contact check passed: the card gave the same answers twice.");
    }
  }
}

// A check that cannot finish says so and never claims a verdict.
TEST(ContactCheck, ACheckCutShortGivesNoVerdict) {
  for (const long After : {1L, 2L, 3L, 5L, 20L, 40L}) {
    SCOPED_TRACE("unplugged after " + std::to_string(After));
    TEmulatedRig Rig;
    Rig.Cable.UnplugAfter(After);
    const TContactCheck Check = CheckContact(Rig.Link);
    EXPECT_EQ(Check.End, TTransferEnd::LinkFailed);
    EXPECT_FALSE(Check.Stable);
    EXPECT_EQ(Check.Text.rfind("Contact check failed: the card did not answer (Error Code: ", 0), 0u) << Check.Text;
  }
  TEmulatedRig Rig;
  Rig.Front.OnPump = [&](int Pump) {
    if (Pump == 3) Rig.State.Operating = false;
  };
  const TContactCheck Stopped = CheckContact(Rig.Link);
  EXPECT_EQ(Stopped.End, TTransferEnd::Stopped);
  EXPECT_FALSE(Stopped.Stable);
}

class ContactWrite : public ::testing::Test {
protected:
  TScratchDir Dir;
  void SetUp() override { RegisterTestMenu(); }
  void TearDown() override { ClearRegisteredResources(); }
};

// Behind an unstable contact nothing is written: refused outright, or
// asked and refused; a yes writes. A sound contact writes without a word.
TEST_F(ContactWrite, AnUnstableContactStopsTheWriteUnlessTheUserGoesOn) {
  const struct {
    const char* What;
    bool Flip;
    TContactMode Mode;
    int Answer;
    bool Asked, Written;
  } Cases[] = {
      {"sound", false, TContactMode::Refuse, MB_RESULT_NO, false, true},
      {"unstable, refused", true, TContactMode::Refuse, MB_RESULT_YES, false, false},
      {"unstable, asked, no", true, TContactMode::Ask, MB_RESULT_NO, true, false},
      {"unstable, asked, yes", true, TContactMode::Ask, MB_RESULT_YES, true, true},
      {"unchecked", true, TContactMode::Off, MB_RESULT_NO, false, true},
  };
  const std::vector<uint8_t> Game = MakeGame(0x8000, "G1", 1);
  WriteBytes(Dir.File("g1.gb"), Game);
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    TGameQueue Queue;
    ASSERT_TRUE(Queue.AddGameFile(Dir.File("g1.gb"), Rig.Front));
    Rig.Cable.FlipEverySecondRead(Case.Flip);
    Rig.Front.Answers = {Case.Answer};
    Rig.Sent();
    TCardWriteRequest Request;
    Request.Queue = &Queue;
    Request.Verify = false;   // the flipping cable fails any verify
    Request.Contact = Case.Mode;
    const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
    EXPECT_EQ(Rig.Front.Boxes.size(), Case.Asked ? 1u : 0u);
    if (Case.Asked) {
      EXPECT_NE(Rig.Front.Boxes[0].Text.find("Write anyway?"), std::string::npos);
      EXPECT_EQ(Rig.Front.Boxes[0].Flags, MB_FLAGS_QUESTION);
    }
    EXPECT_EQ(Result.ContactChecked, Case.Mode != TContactMode::Off);
    EXPECT_EQ(Result.Succeeded, Case.Written) << Result.Outcome;
    EXPECT_EQ(WritePackets(Rig) > 0, Case.Written);
    EXPECT_EQ(std::memcmp(Rig.Card.Flash(), Game.data(), Game.size()) == 0, Case.Written);
    if (!Case.Written) {
      EXPECT_EQ(Result.Outcome, Result.Contact.Text);
      EXPECT_EQ(Result.Report, std::vector<std::string>{"Nothing was written."});
      EXPECT_FALSE(Rig.State.Operating);
    }
  }
}

}  // namespace
