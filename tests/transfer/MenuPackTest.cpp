// SPDX-License-Identifier: GPL-3.0-or-later
// The whole road of a pack: the real boot menu image and the test games
// queued, written to the emulated card, then listed by the program and shown
// by the menu on a console started from that very card.
#include <gtest/gtest.h>

#include "ProgramResources.h"
#include "core/card/CardScan.h"
#include "core/queue/GameQueue.h"
#include "core/support/Resources.h"
#include "core/transfer/WriteEngine.h"
#include "tests/menu/CardPack.h"
#include "tests/menu/MenuConsole.h"
#include "tests/support/EmulatedRig.h"
#include "tests/support/TestFiles.h"

namespace {

std::string Pad(std::string Text) {
  Text.resize(20, ' ');
  return Text;
}

TEST(MenuPack, MenuListsTheGamesOfAWrittenPack) {
  TScratchDir Dir;
  ClearRegisteredResources();
  RegisterResources(ProgramResources());
  TEmulatedRig Rig;
  Rig.Link.IdentifyChip();
  Rig.State.PageBase = 0x400000;

  TGameQueue Queue;
  for (const char* Game : {"demo128", "demo64", "demo32", "demo32save"})
    ASSERT_TRUE(Queue.AddGameFile(CardPack::GamePath(Game), Rig.Front)) << Game;
  ASSERT_TRUE(WriteImage("", 0, Queue, Rig.Link)) << Rig.Front.Panels[1];
  EXPECT_EQ(Dir.TempFiles(), 0u);

  // demo32save went in last of the two 32 KiB games, so it comes first.
  TCardRowVector List;
  EXPECT_EQ(ScanCardPage(Rig.Link, List), "[4 Game(s) Total, Size: 2M, Free: 30M]");
  ASSERT_EQ(List.Rows.size(), 4u);
  const struct {
    const char* Title;
    uint32_t Offset;
  } Expected[] = {{"FQ DEMO FOUR", 0x8000}, {"FQ DEMO ONE", 0x10000}, {"FQ DEMO TWO", 0x20000}, {"FQ DEMO THREE", 0x40000}};
  for (size_t I = 0; I < 4; ++I) {
    EXPECT_EQ(List.Rows[I].Title, Expected[I].Title);
    EXPECT_EQ(List.Rows[I].Offset, Expected[I].Offset);
  }

  // The console sees the page the pack went to.
  std::vector<uint8_t> Flash(Rig.Card.Flash() + 0x400000, Rig.Card.Flash() + 0x800000);
  std::vector<uint8_t> Sram(0x20000, 0);
  TMenuConsole Console(Flash, Sram);
  Console.RunFrames(60);
  const auto Screen = Console.Screen();
  const std::vector<std::string> Games(Screen.begin() + 3, Screen.begin() + 8);
  EXPECT_EQ(Games, (std::vector<std::string>{Pad(">01-FQ DEMO FOUR"), Pad(" 02.FQ DEMO ONE"), Pad(" 03.FQ DEMO TWO"),
                                             Pad(" 04~FQ DEMO THREE"), Pad("")}));
  ClearRegisteredResources();
}

}  // namespace
