// Writing to the card: the queue (one game or a pack), a raw image from the
// advanced panel, the save RAM, and formatting the selected page.
#include <filesystem>
#include <system_error>

#include "app/form/MainForm.h"
#include "core/link/LinkProtocol.h"
#include "core/transfer/FormatCard.h"
#include "core/transfer/WriteEngine.h"

namespace {

constexpr const char* GameFilter = "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*";
constexpr const char* SaveFilter = "Game Boy Save File (*.sav)|*.sav|All Files (*.*)|*.*";

bool FileExists(const std::string& Name) {
  std::error_code Ignored;
  return !Name.empty() && std::filesystem::is_regular_file(std::filesystem::path(Name), Ignored);
}

}  // namespace

void TMainForm::btnWriteClick() {
  TOperation Write;
  Write.RestoredCaption = "&Write";
  Write.Prepare = [this] {
    if (FQueue.Empty()) btnAdd->Click();
    if (FQueue.Empty()) return false;
    if (lvCardRom->RowCount() == 0) return true;
    const std::string Question = "Are you sure to overwrite old games in \"" + cbPart->Text() + "\"?";
    return FFrontEnd.ShowMessageBox(Question, "Write", MB_FLAGS_QUESTION) == MB_RESULT_YES;
  };
  Write.Work = [this] {
    const int Boxes = FFrontEnd.MessageBoxesShown();
    WriteImage(std::string(), 0, FQueue, FLink);
    ShowFailureBox(Boxes);
  };
  // The page is listed again, so the card list shows what was written, and
  // the card is left showing the selected page to the console.
  Write.BeforeIdentify = [this] { cbPartChange(); };
  Write.AfterIdentify = [this] { FLink.SelectPage(FState.PageBase); };
  RunOperation(btnWrite, Write);
}

void TMainForm::btnWriteAllClick() {
  TOperation WriteAll;
  WriteAll.RestoredCaption = "&Write";
  WriteAll.Prepare = [this] {
    if (!FileExists(edWriteAll->Text())) btnWriteAllB->Click();
    return FileExists(edWriteAll->Text());
  };
  WriteAll.Work = [this] {
    const int Boxes = FFrontEnd.MessageBoxesShown();
    // From card address 0; the engine clears the pages the image covers.
    WriteImage(edWriteAll->Text(), 0, FQueue, FLink);
    ShowFailureBox(Boxes);
  };
  RunOperation(btnWriteAll, WriteAll);
}

void TMainForm::btnWriteAllBClick() {
  std::vector<std::string> Files;
  if (FFrontEnd.ChooseOpenFiles(GameFilter, edWriteAll->Text(), false, Files) && !Files.empty())
    edWriteAll->SetText(Files.front());
}

void TMainForm::btnWriteSRAMClick() {
  std::string File;
  TOperation WriteSram;
  WriteSram.RestoredCaption = "&Write SRAM";
  WriteSram.Prepare = [&] {
    std::vector<std::string> Files;
    if (!FFrontEnd.ChooseOpenFiles(SaveFilter, std::string(), false, Files) || Files.empty()) return false;
    File = Files.front();
    return true;
  };
  WriteSram.Work = [&] {
    const int Boxes = FFrontEnd.MessageBoxesShown();
    // No format, bare save-RAM addresses from 0; a file larger than the save
    // RAM is refused before anything is sent.
    WriteImage(File, cmdWriteSram, FQueue, FLink);
    ShowFailureBox(Boxes);
  };
  RunOperation(btnWriteSRAM, WriteSram);
}

void TMainForm::btnEraseChipClick() {
  // The format neither sets Operating nor pumps, so it cannot be stopped:
  // its button keeps its caption and stays disabled while it runs.
  TOperation Format;
  Format.RestoredCaption = "&Format";
  Format.KeepCaption = true;
  Format.Prepare = [this] {
    const std::string Question = "Are you sure to format \"" + cbPart->Text() + "\"";
    return FFrontEnd.ShowMessageBox(Question, "Fromat", MB_FLAGS_QUESTION) == MB_RESULT_YES;
  };
  Format.Work = [this] { FormatCard(false, FLink); };
  Format.BeforeIdentify = [this] { btnRefresh->Click(); };
  RunOperation(btnEraseChip, Format);
}
