// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/win32/Win32Dialogs.h"

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cstring>

namespace {

// Dialogs belong to the program's active window, which they keep disabled
// while they are open.
HWND Owner() { return GetActiveWindow(); }

// Whole chooser buffers: many names at once in a multiple choice.
constexpr size_t ChooserBuffer = 64 * 1024;

bool IsFolder(const std::string& Path) {
  const DWORD Attributes = GetFileAttributesA(Path.c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One file chooser, open or save, with the texts its fields point into; it
// stays where it was made while the system's dialog runs.
struct TChooser {
  std::string Filters;
  std::vector<char> Buffer = std::vector<char>(ChooserBuffer, '\0');
  std::string Folder;
  OPENFILENAMEA Fields{};

  TChooser(const std::string& Filter, const std::string& InitialPath, DWORD Flags) : Filters(ChooserFilter(Filter)) {
    Fields.lStructSize = sizeof Fields;
    Fields.hwndOwner = Owner();
    Fields.lpstrFilter = Filters.c_str();
    Fields.lpstrFile = Buffer.data();
    Fields.nMaxFile = static_cast<DWORD>(Buffer.size());
    Fields.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | Flags;
    // An initial path names a folder to open in, or a file to offer (in its
    // folder).
    if (InitialPath.empty()) return;
    if (IsFolder(InitialPath)) {
      Folder = InitialPath;
      Fields.lpstrInitialDir = Folder.c_str();
      return;
    }
    std::strncpy(Buffer.data(), InitialPath.c_str(), Buffer.size() - 1);
  }
  TChooser(const TChooser&) = delete;
  TChooser& operator=(const TChooser&) = delete;
};

int CALLBACK FolderStart(HWND Dialog, UINT Msg, LPARAM, LPARAM Data) {
  if (Msg == BFFM_INITIALIZED && Data) SendMessageA(Dialog, BFFM_SETSELECTIONA, TRUE, Data);
  return 0;
}

}  // namespace

std::string ChooserFilter(const std::string& Filter) {
  std::string Result;
  size_t Parts = 0;
  size_t Start = 0;
  for (;;) {
    const size_t Bar = Filter.find('|', Start);
    Result += Filter.substr(Start, Bar == std::string::npos ? std::string::npos : Bar - Start);
    Result += '\0';
    ++Parts;
    if (Bar == std::string::npos) break;
    Start = Bar + 1;
  }
  if (Parts % 2) Result += "*.*" + std::string(1, '\0');   // a text without its pattern
  Result += '\0';
  return Result;
}

std::vector<std::string> ChosenFiles(const char* Buffer) {
  std::vector<std::string> Names;
  const std::string First = Buffer;
  const char* Next = Buffer + First.size() + 1;
  if (!*Next) return First.empty() ? Names : std::vector<std::string>{First};
  const std::string Folder = First.empty() || First.back() == '\\' ? First : First + "\\";
  while (*Next) {
    const std::string Name = Next;
    Names.push_back(Folder + Name);
    Next += Name.size() + 1;
  }
  return Names;
}

int TWin32Dialogs::ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) {
  // With no window of the program active, the box still stops the whole program.
  HWND Over = Owner();
  return MessageBoxA(Over, Text.c_str(), Caption.c_str(), static_cast<UINT>(Flags) | (Over ? 0 : MB_TASKMODAL));
}

bool TWin32Dialogs::ChooseOpenFiles(const std::string& Filter, const std::string& InitialPath, bool Multiple,
                                    std::vector<std::string>& Files) {
  TChooser Chooser(Filter, InitialPath, OFN_FILEMUSTEXIST | (Multiple ? OFN_ALLOWMULTISELECT : 0));
  if (!GetOpenFileNameA(&Chooser.Fields)) return false;
  Files = ChosenFiles(Chooser.Buffer.data());
  return !Files.empty();
}

bool TWin32Dialogs::ChooseSaveFile(const std::string& Filter, const std::string& InitialPath, std::string& File) {
  // Asks before a file is overwritten.
  TChooser Chooser(Filter, InitialPath, OFN_OVERWRITEPROMPT);
  if (!GetSaveFileNameA(&Chooser.Fields) || !Chooser.Buffer[0]) return false;
  File = Chooser.Buffer.data();
  return true;
}

bool TWin32Dialogs::BrowseForFolder(const std::string& Title, std::string& Folder) {
  if (!IsFolder(Folder)) Folder.clear();
  char Chosen[MAX_PATH] = {};
  BROWSEINFOA Browse{};
  Browse.hwndOwner = Owner();
  Browse.pszDisplayName = Chosen;
  Browse.lpszTitle = Title.c_str();
  Browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  Browse.lpfn = FolderStart;
  Browse.lParam = Folder.empty() ? 0 : reinterpret_cast<LPARAM>(Folder.c_str());
  const HRESULT Com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  PIDLIST_ABSOLUTE Item = SHBrowseForFolderA(&Browse);
  bool Done = false;
  if (Item) {
    Done = SHGetPathFromIDListA(Item, Chosen) && Chosen[0];
    CoTaskMemFree(Item);
  }
  if (SUCCEEDED(Com)) CoUninitialize();
  if (!Done) return false;
  Folder = Chosen;
  return true;
}
