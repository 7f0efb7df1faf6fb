// SPDX-License-Identifier: GPL-3.0-or-later
// The program on Windows: reads its options, sets up the transport they ask
// for, and runs the window on the platform's own controls until it closes.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "app/CommandLine.h"
#include "app/DemoGames.h"
#include "app/form/MainForm.h"
#include "app/win32/Win32Binding.h"
#include "app/win32/Win32Dialogs.h"
#include "core/link/LinkPortFactory.h"
#ifdef FQ_HAVE_DEMO_GAMES
#include "DemoGameResources.h"
#endif
#ifdef FQ_HAVE_RESOURCES
#include "ProgramResources.h"
#include "core/support/Resources.h"
#endif

namespace {

// A program of the window subsystem has no console of its own: its texts
// go to the console it was started from, if any.
void UseStartingConsole() {
  if (GetStdHandle(STD_ERROR_HANDLE) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
}

// A folder of its own under the user's temporary folder, for the demo pack.
std::filesystem::path NewTemporaryFolder() {
  char Base[MAX_PATH + 1] = {};
  if (!GetTempPathA(sizeof Base, Base)) return {};
  for (unsigned Try = 0; Try < 100; ++Try) {
    const std::filesystem::path Folder = std::filesystem::path(Base) /
        ("flashquill-demo-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(Try));
    if (CreateDirectoryA(Folder.string().c_str(), nullptr)) return Folder;
  }
  return {};
}

void WriteDemoPack(TMainForm& Form) {
  const std::filesystem::path Folder = NewTemporaryFolder();
  const std::vector<std::string> Games =
      Folder.empty() ? std::vector<std::string>() : ExtractDemoGames(Form.FrontEnd(), Folder.string());
  if (Games.empty())
    std::fputs("flashquill: --demo: the demo games could not be prepared (none in this build?)\n", stderr);
  else
    Form.WriteDemoPack(Games);
  std::error_code Ignored;
  if (!Folder.empty()) std::filesystem::remove_all(Folder, Ignored);
}

}  // namespace

int main(int argc, char** argv) {
  UseStartingConsole();
  const TCommandLine Line = ParseCommandLine(argc, argv);
  const std::string Program = "flashquill";
  if (const int Exit = AnswerCommandLine(Line, Program); Exit >= 0) return Exit;

#ifdef FQ_HAVE_RESOURCES
  RegisterResources(ProgramResources());
#endif
#ifdef FQ_HAVE_DEMO_GAMES
  RegisterResources(DemoGameResources());
#endif

  std::string Error;
  std::unique_ptr<TLinkPort> Port;
  Port = MakeLinkPort(Line.Link, Error);
  if (!Port) {
    std::fprintf(stderr, "flashquill: %s\n", Error.c_str());
    MessageBoxA(nullptr, Error.c_str(), "Flashquill", MB_ICONERROR | MB_OK);
    return 1;
  }

  TWin32Binding Binding;
  TWin32Dialogs Dialogs;
  TMainForm Form(Binding, *Port, Dialogs, Line.Arguments);
  std::unique_ptr<TTimer> DemoWait;
  if (Line.Demo) {
    // Once the window has listed the page for the first time: an empty card
    // gets the demo pack, from a folder that lasts only for the write.
    DemoWait = Binding.CreateTimer();
    DemoWait->OnTimer = [&Form, &DemoWait] {
      if (!Form.FirstIdleDone()) return;
      DemoWait->SetEnabled(false);   // the write pumps messages; this must not run again inside it
      WriteDemoPack(Form);
    };
    DemoWait->SetInterval(10);
    DemoWait->SetEnabled(true);
  }
  Form.Show();
  Binding.Run(Form.Window());
  return 0;
}
