// SPDX-License-Identifier: GPL-3.0-or-later
// Follows the first panel of a window's status bar from another program, as
// a user reads it: prints "0: TEXT" each time the text changes.
//
//   WindowStatus.exe TITLE SECONDS
//
// The window is the first top-level one whose caption begins with TITLE; its
// status bar's text is asked for with WM_GETTEXT, which the system carries
// between processes and which a status bar answers with its first panel.
// Ends after SECONDS, or once the window has gone; exits 1 when no such
// window was ever seen.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

namespace {

struct TSearch {
  const char* Title;
  HWND Found;
};

BOOL CALLBACK MatchTitle(HWND Window, LPARAM Param) {
  auto* Search = reinterpret_cast<TSearch*>(Param);
  char Caption[256] = "";
  if (!SendMessageTimeoutA(Window, WM_GETTEXT, sizeof Caption, reinterpret_cast<LPARAM>(Caption), SMTO_ABORTIFHUNG,
                           1000, nullptr))
    return TRUE;
  if (std::strncmp(Caption, Search->Title, std::strlen(Search->Title)) != 0) return TRUE;
  Search->Found = Window;
  return FALSE;
}

bool PanelText(HWND Window, std::string& Text) {
  HWND Bar = FindWindowExA(Window, nullptr, "msctls_statusbar32", nullptr);
  if (!Bar) return false;
  char Buffer[512] = "";
  DWORD_PTR Length = 0;
  if (!SendMessageTimeoutA(Bar, WM_GETTEXT, sizeof Buffer, reinterpret_cast<LPARAM>(Buffer), SMTO_ABORTIFHUNG, 1000,
                           &Length))
    return false;
  Text.assign(Buffer);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  char* End = nullptr;
  const unsigned long Seconds = argc == 3 ? std::strtoul(argv[2], &End, 10) : 0;
  if (argc != 3 || !*argv[1] || !Seconds || *End) {
    std::fprintf(stderr, "usage: WindowStatus TITLE SECONDS\n");
    return 2;
  }
  const ULONGLONG Until = GetTickCount64() + Seconds * 1000ULL;
  HWND Window = nullptr;
  bool Seen = false, Said = false;
  std::string Last;
  while (GetTickCount64() < Until) {
    if (!Window || !IsWindow(Window)) {
      if (Seen) break;   // the window has gone
      TSearch Search{argv[1], nullptr};
      EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&Search));
      Window = Search.Found;
      Seen = Window != nullptr;
    }
    std::string Text;
    if (Window && PanelText(Window, Text) && (!Said || Text != Last)) {
      std::printf("0: %s\n", Text.c_str());
      std::fflush(stdout);
      Last = Text;
      Said = true;
    }
    Sleep(100);
  }
  if (!Seen) std::fprintf(stderr, "WindowStatus: no window titled %s...\n", argv[1]);
  return Seen ? 0 : 1;
}
