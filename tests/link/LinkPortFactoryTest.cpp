// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the transport from the command-line options, and where the
// emulated card is kept by default.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "core/link/LinkPortFactory.h"
#include "emulator/Card.h"
#include "emulator/CardDir.h"
#include "tests/support/TestSupport.h"

namespace {

// Sets or clears an environment variable for one test and puts it back after.
class TScopedEnv {
public:
  TScopedEnv(const char* Name, const char* Value) : FName(Name) {
    if (const char* Old = std::getenv(Name)) FOld = Old;
    if (Value)
      ::setenv(Name, Value, 1);
    else
      ::unsetenv(Name);
  }
  ~TScopedEnv() {
    if (FOld)
      ::setenv(FName.c_str(), FOld->c_str(), 1);
    else
      ::unsetenv(FName.c_str());
  }

private:
  std::string FName;
  std::optional<std::string> FOld;
};

TEST(CardDirTest, FollowsXdgDataHomeElseTheHomeFolder) {
  struct TCase {
    const char* Xdg;
    const char* Expected;
  };
  TScopedEnv Home("HOME", "/home/tester");
  for (TCase Case : {TCase{"/data/x", "/data/x/flashquill/card"},
                     {nullptr, "/home/tester/.local/share/flashquill/card"},
                     {"", "/home/tester/.local/share/flashquill/card"},
                     {"relative/data", "/home/tester/.local/share/flashquill/card"}}) {
    TScopedEnv Xdg("XDG_DATA_HOME", Case.Xdg);
    EXPECT_EQ(DefaultCardDir(), Case.Expected) << (Case.Xdg ? Case.Xdg : "(unset)");
  }
}

TEST(LinkPortFactoryTest, EmulateKeepsTheCardInTheChosenOrTheDefaultFolder) {
  TTempFolder Dir{"fq-emu"};
  TScopedEnv Xdg("XDG_DATA_HOME", Dir.Text().c_str());
  for (const std::string& Chosen : {Dir / "chosen", std::string()}) {
    TLinkOptions Options;
    Options.Emulate = true;
    Options.EmulateDir = Chosen;
    std::string Error = "stale";
    auto Port = MakeLinkPort(Options, Error);
    ASSERT_TRUE(Port) << Error;
    EXPECT_EQ(Error, "");
    const std::string Expected = Chosen.empty() ? Dir / "flashquill/card" : Chosen;
    EXPECT_EQ(std::filesystem::file_size(Expected + "/flash.bin"), 8388608u);
    EXPECT_NE(Port->Describe().find(Expected), std::string::npos) << Port->Describe();

    ASSERT_GT(Port->Open(), 0);
    auto Packet = WritePacket(cmdWriteRom, 0x400000, {0x12, 0x34});
    EXPECT_EQ(Port->Write(Packet.data(), Packet.size()), 41);
  }
  // The card written through the port stays in its files.
  TCard Card(Dir / "chosen");
  EXPECT_EQ(Card.ReadFlash(0x400001), 0x34);
}

TEST(LinkPortFactoryTest, TracesAnyTransportToTheTraceFile) {
  TTempFolder Dir{"fq-emu"};
  TLinkOptions Options;
  Options.Emulate = true;
  Options.EmulateDir = Dir / "card";
  Options.TraceFile = Dir / "trace.txt";
  std::string Error;
  auto Port = MakeLinkPort(Options, Error);
  ASSERT_TRUE(Port) << Error;
  ASSERT_GT(Port->Open(), 0);
  auto Packet = Command(cmdChipId);
  Port->Write(Packet.data(), Packet.size());
  uint8_t Reply[4];
  Port->Read(Reply, sizeof Reply);
  auto Trace = ReadBytes(Dir / "trace.txt");
  EXPECT_EQ(std::string(Trace.begin(), Trace.end()), "OUT 9 440000000000000000\nIN 4 17890000\n");
}

TEST(LinkPortFactoryTest, AnUnusableCardFolderOrTraceFileIsAnError) {
  TTempFolder Dir{"fq-emu"};
  WriteBytes(Dir / "file", {1});
  std::filesystem::create_directories(Dir / "short");
  WriteBytes(Dir / "short/flash.bin", {1, 2, 3});
  struct TCase {
    std::string CardDir, TraceFile, Named;
  };
  for (const TCase& Case : {TCase{Dir / "file", "", Dir / "file"},
                            TCase{Dir / "short", "", Dir / "short/flash.bin"},
                            TCase{Dir / "card", Dir / "no/such/trace.txt", Dir / "no/such/trace.txt"}}) {
    TLinkOptions Options;
    Options.Emulate = true;
    Options.EmulateDir = Case.CardDir;
    Options.TraceFile = Case.TraceFile;
    std::string Error;
    EXPECT_FALSE(MakeLinkPort(Options, Error)) << Case.Named;
    EXPECT_NE(Error.find(Case.Named), std::string::npos) << Error;
  }
  EXPECT_EQ(ReadBytes(Dir / "short/flash.bin"), (std::vector<uint8_t>{1, 2, 3}));
}

#if __has_include("core/link/UsbIds.h")
TEST(LinkPortFactoryTest, WithoutEmulateTheUsbCableIsUsedAndAbsentItDoesNotOpen) {
  TLinkOptions Options;
  Options.UsbVendor = 0x1234;
  Options.UsbProduct = 0xabcd;
  std::string Error;
  auto Port = MakeLinkPort(Options, Error);
  ASSERT_TRUE(Port) << Error;
  EXPECT_NE(Port->Describe().find("1234"), std::string::npos) << Port->Describe();
  EXPECT_NE(Port->Describe().find("abcd"), std::string::npos) << Port->Describe();
  EXPECT_EQ(Port->Open(), -1);
  uint8_t Byte = 0;
  EXPECT_EQ(Port->Write(&Byte, 1), -1);
}
#endif

}  // namespace
