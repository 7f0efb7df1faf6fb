// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DemoGames.h"

#include <filesystem>
#include <system_error>

#include "core/support/Paths.h"
#include "core/support/Resources.h"

namespace {
struct TDemoGame {
  const char* Resource;
  const char* File;
};
constexpr TDemoGame DemoGames[] = {
    {"DEMO32", "demo32.gb"}, {"DEMO64", "demo64.gb"}, {"DEMO128", "demo128.gb"}, {"DEMO32SAVE", "demo32save.gb"}};
constexpr const char* DemoType = "KVQ";
}  // namespace

std::vector<std::string> ExtractDemoGames(TFrontEnd& FrontEnd, const std::string& Folder) {
  std::vector<std::string> Files;
  for (const TDemoGame& Game : DemoGames) {
    if (!FindEmbeddedResource(Game.Resource, DemoType)) return {};
    const std::string File = AddBackslash(Folder) + Game.File;
    // A file that could not be written is noticed here: the resource box
    // has said so already.
    std::error_code Ignored;
    if (!ExtractResourceToFile(FrontEnd, Game.Resource, DemoType, File) ||
        !std::filesystem::is_regular_file(File, Ignored))
      return {};
    Files.push_back(File);
  }
  return Files;
}
