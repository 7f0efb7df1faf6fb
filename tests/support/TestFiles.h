// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/support/Resources.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

// A scratch folder per test, also used as the temporary folder (TMPDIR), so
// a test sees every temporary file the code under test leaves behind.
class TScratchDir {
public:
  TScratchDir() : FFolder("fq-" + TestName()), FPath(FFolder.Path()) {
    std::filesystem::create_directories(FPath / "tmp");
    const char* Old = std::getenv("TMPDIR");
    FOldTmp = Old ? Old : "";
    FHadTmp = Old != nullptr;
    ::setenv("TMPDIR", (FPath / "tmp").c_str(), 1);
  }
  ~TScratchDir() {
    if (FHadTmp)
      ::setenv("TMPDIR", FOldTmp.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }
  std::string File(const std::string& Name) const { return (FPath / Name).string(); }
  // Files left in the temporary folder.
  size_t TempFiles() const {
    size_t Count = 0;
    for ([[maybe_unused]] const auto& Entry : std::filesystem::directory_iterator(FPath / "tmp")) ++Count;
    return Count;
  }

private:
  // The running test's name, as a file name can hold it.
  static std::string TestName() {
    const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string Name = std::string(Info->test_suite_name()) + "_" + Info->name();
    for (char& C : Name)
      if (C == '/') C = '_';
    return Name;
  }

  TTempFolder FFolder;
  std::filesystem::path FPath;
  std::string FOldTmp;
  bool FHadTmp = false;
};

// A Game Boy image as the card listing sees one: the logo's last four bytes
// at 0x130, the title at 0x134, the ROM-size code at 0x148 (32 KiB << code,
// the smallest that holds Size), and a body that differs per Seed.
inline std::vector<uint8_t> MakeGame(size_t Size, const std::string& Title, uint32_t Seed) {
  std::vector<uint8_t> Game(Size);
  uint32_t X = Seed * 2654435761u + 12345;
  for (auto& Byte : Game) {
    X = X * 1103515245u + 12345;
    Byte = static_cast<uint8_t>(X >> 16);
  }
  if (Size >= 0x150) {
    const uint8_t Tail[4] = {0xBB, 0xB9, 0x33, 0x3E};
    for (int I = 0; I < 4; ++I) Game[0x130 + I] = Tail[I];
    for (size_t I = 0; I < 16; ++I) Game[0x134 + I] = I < Title.size() ? static_cast<uint8_t>(Title[I]) : 0;
    uint8_t Code = 0;
    while ((size_t{0x8000} << Code) < Size && Code < 7) ++Code;
    Game[0x148] = Code;
  }
  return Game;
}

// The boot menu as the pack needs it: 32 KiB, a header the listing finds,
// titled "VA16Z".
inline const std::vector<uint8_t>& MenuImage() {
  static const std::vector<uint8_t> Menu = MakeGame(0x8000, "VA16Z", 99);
  return Menu;
}

// Makes that image the program's "GBPACK" resource of type "KVQ".
inline void RegisterTestMenu() {
  static const TResourceEntry Entry{"GBPACK", "KVQ", MenuImage().data(), MenuImage().size()};
  ClearRegisteredResources();
  RegisterResources(TResourceTable{&Entry, 1});
}
