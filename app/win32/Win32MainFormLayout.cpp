// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls: where they sit and how they look at start,
// as the window has always looked.
#include <algorithm>

#include "app/win32/Win32Binding.h"
#include "app/win32/Win32Controls.h"
#include "app/win32/Win32Layout.h"
#include "app/win32/Win32Window.h"

namespace {

constexpr int ClientWidth = 504;
constexpr int ClientHeight = 449;
constexpr int StatusHeight = 22;
constexpr int MainTop = 44;   // pMain and the boxes that cover it start below the caption
constexpr COLORREF WriteColour = RGB(255, 0, 0);
constexpr COLORREF ReadColour = RGB(0, 0, 255);

using TColumns = std::vector<std::pair<std::string, int>>;
using TFrame = TWin32Panel::TFrame;

}  // namespace

std::unique_ptr<TWin32FormWindow> BuildMainFormWindow(TWin32Binding& Binding) {
  auto Form = std::make_unique<TWin32FormWindow>(Binding, ClientWidth, ClientHeight, nullptr);
  TWin32FormWindow& W = *Form;
  TWin32Layout L(W, MainFormControls());
  const HFONT Plain = W.WindowFont();
  const HFONT Bold = W.Font(nullptr, 12, true);
  HINSTANCE Program = GetModuleHandleA(nullptr);
  auto On = [&L](const char* Name) { return L.ParentOf(Name); };
  auto Button = [&](const char* Name, const std::string& Caption, RECT Where) -> TWin32Button& {
    return L.Add(Name, std::make_unique<TWin32Button>(On(Name), Where, Plain, Caption));
  };
  auto Label = [&](const char* Name, const std::string& Caption, RECT Where) -> TWin32Label& {
    return L.Add(Name, std::make_unique<TWin32Label>(On(Name), Where, Plain, Caption));
  };

  L.Add("AALabel1", std::make_unique<TWin32ShadowLabel>(On("AALabel1"), Place(8, 2, 320, 40),
                                                        W.Font("Arial", 24, true), "Flashquill"));
  auto* Connected =
      static_cast<HICON>(LoadImageA(Program, MAKEINTRESOURCEA(2), IMAGE_ICON, 22, 22, LR_DEFAULTCOLOR));
  L.Add("imgConnect", std::make_unique<TWin32Image>(On("imgConnect"), Place(472, 11, 22, 22), Connected))
      .SetVisible(false);

  // The main panel: the queue box, the progress bar and the card box.
  L.Add("pMain", std::make_unique<TWin32Panel>(On("pMain"), Place(0, MainTop, ClientWidth, ClientHeight - StatusHeight - MainTop),
                                               Plain, "", TFrame::None));
  L.Add("gbWrite", std::make_unique<TWin32Panel>(On("gbWrite"), Place(6, 0, 492, 196), Bold, " Ready to burn ", TFrame::Group));
  Label("Label2", "Data Page:", Place(12, 22, 66, 20));
  L.Add("cbPart", std::make_unique<TWin32ComboBox>(On("cbPart"), Place(80, 20, 160, 22), Plain));
  auto& Queue = L.Add("lvROMs", std::make_unique<TWin32ListView>(On("lvROMs"), Place(10, 48, 472, 110), Plain,
                                                               TColumns{{"File Name", 200}, {"Game Name", 150}, {"Size", 80}}));
  Button("btnAdd", "&Add", Place(10, 164, 78, 25));
  Button("BitBtn3", "&Remove", Place(92, 164, 78, 25));
  Button("BitBtn4", "Re&move All", Place(174, 164, 86, 25));

  // The queue's popup menu; the form's actions set its items' captions.
  W.PopupMenu = std::make_unique<TWin32PopupMenu>();
  for (const char* Item : {"Add1", "Remove1", "RemoveAll1"}) W.Name(Item, W.PopupMenu->Add(Item));
  // The verify switch, so the window keeps its size.
  W.PopupMenu->AddSeparator();
  W.Name("Verify1", W.PopupMenu->Add("Verify1"));
  W.PopupMenu->AddSeparator();
  W.Name("Details1", W.PopupMenu->Add("Details1"));
  Queue.PopupMenu = W.PopupMenu.get();

  L.Add("ProgressBar", std::make_unique<TWin32ProgressBar>(On("ProgressBar"), Place(6, 200, 492, 14)));
  L.Add("gbCardInfo", std::make_unique<TWin32Panel>(On("gbCardInfo"), Place(6, 218, 492, 162), Bold, " Card Information ",
                                                    TFrame::Group));
  auto& Card = L.Add("lvCardRom", std::make_unique<TWin32ListView>(On("lvCardRom"), Place(10, 20, 472, 104), Plain,
                                                                  TColumns{{"Game Name", 200}, {"Size", 100}}));
  // The card list's popup menu: header details, the DAT check, the DAT file,
  // the save backups and their restore.
  W.CardPopupMenu = std::make_unique<TWin32PopupMenu>();
  for (const char* Item : {"CardDetails1", "CardCheck1"}) W.Name(Item, W.CardPopupMenu->Add(Item));
  W.CardPopupMenu->AddSeparator();
  W.Name("DatFile1", W.CardPopupMenu->Add("DatFile1"));
  W.CardPopupMenu->AddSeparator();
  for (const char* Item : {"Backups1", "Restore1"}) W.Name(Item, W.CardPopupMenu->Add(Item));
  Card.PopupMenu = W.CardPopupMenu.get();
  L.Add("pFindGame", std::make_unique<TWin32Panel>(On("pFindGame"), Place(156, 52, 180, 36), Bold, "Now loading...",
                                                   TFrame::Raised))
      .SetVisible(false);

  // Only the program clicks it, to rescan after a format.
  Button("btnRefresh", "Refresh", Place(420, 200, 64, 24)).SetVisible(false);

  // The operation buttons lie over pMain but belong to the window, so that
  // greying out pMain leaves the pressed one usable as its Stop button.
  const int CardButtons = MainTop + 218 + 130;
  L.Add("btnWrite", std::make_unique<TWin32Button>(On("btnWrite"), Place(296, MainTop + 164, 90, 25), Bold, "&Write",
                                                   TWin32Button::TStyle::Push, WriteColour));
  Button("btnWriteSRAM", "Write SRAM", Place(392, MainTop + 164, 96, 25));
  L.Add("btnRead", std::make_unique<TWin32Button>(On("btnRead"), Place(16, CardButtons, 90, 25), Bold, "&Read",
                                                  TWin32Button::TStyle::Push, ReadColour))
      .SetEnabled(false);
  Button("btnReadSRAM", "Read SRAM", Place(110, CardButtons, 96, 25));
  Button("btnEraseChip", "&Format", Place(210, CardButtons, 90, 25));

  // The advanced panel covers the area of pMain; its two buttons lie on it.
  auto& Advance = L.Add("gbAdvance", std::make_unique<TWin32Panel>(On("gbAdvance"), Place(6, MainTop, 492, 380), Plain,
                                                                   " Advance Read/Write", TFrame::Group));
  Label("Label3", "Read Size:", Place(12, 30, 66, 20));
  L.Add("cbSize", std::make_unique<TWin32ComboBox>(On("cbSize"), Place(80, 28, 110, 22), Plain));
  Label("Label1", "To File:", Place(200, 30, 50, 20));
  L.Add("Edit1", std::make_unique<TWin32Edit>(On("Edit1"), Place(252, 28, 130, 22), Plain, ""));
  Button("btnReadB", "...", Place(384, 28, 26, 22));
  Label("Label4", "From File:", Place(12, 66, 66, 20));
  L.Add("edWriteAll", std::make_unique<TWin32Edit>(On("edWriteAll"), Place(80, 64, 302, 22), Plain, ""));
  Button("btnWriteAllB", "...", Place(384, 64, 26, 22));
  Button("btnReadAll", "&Read", Place(424, MainTop + 26, 64, 26)).SetVisible(false);
  Button("btnWriteAll", "&Write", Place(424, MainTop + 62, 64, 26)).SetVisible(false);
  Advance.SetVisible(false);

  // The factory test box covers the same area.
  auto& Test = L.Add("gbTest", std::make_unique<TWin32Panel>(On("gbTest"), Place(6, MainTop, 492, 380), Plain,
                                                             " Read / Write ", TFrame::Group));
  L.Add("labCheckSRAM", std::make_unique<TWin32Label>(On("labCheckSRAM"), Place(12, 24, 468, 150),
                                                      W.Font("Courier New", 56, true), "", SS_CENTER | SS_CENTERIMAGE));
  Label("Label5", "Test File:", Place(12, 196, 66, 20));
  L.Add("edTestSRAM", std::make_unique<TWin32Edit>(On("edTestSRAM"), Place(80, 194, 302, 22), Plain, ""));
  Button("BitBtn1", "...", Place(384, 194, 26, 22));
  Button("btnTestWrite", "Write", Place(80, 232, 90, 26)).SetVisible(false);
  Button("btnTestFormat", "Format", Place(180, 232, 90, 26)).SetVisible(false);
  Button("btnTestSRAM", "Test", Place(212, MainTop + 280, 80, 30)).SetVisible(false);
  Test.SetVisible(false);

  // 110 pixels hold the connection state in the window's own font; a wider
  // fallback font gets what its longest state text needs.
  const int FirstPanel = std::max(110, TextWidth(Plain, "Device Disconnected") + 10);
  W.Win32Window().StatusBar =
      &L.Add("StatusBar", std::make_unique<TWin32StatusBar>(W.Handle(), Plain, StatusHeight, FirstPanel));

  L.HoldChildren();
  W.Win32Window().AcceptDevicesAndFiles();
  return Form;
}
