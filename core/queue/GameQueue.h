#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TFrontEnd;

// One game waiting to be written: the rows of the "Ready to burn" list.
struct TQueueRow {
  std::string FileName;   // full path, the "File Name" column
  std::string Title;      // header title, at most 15 characters, the "Game Name" column
  std::string SizeText;   // SizeText(Size), the "Size" column
  uint32_t Size = 0;      // the file's length in bytes when it was added
};

// The games chosen for the next write of the selected page, kept in
// ascending order of size and tested against the space of one page as each
// is added. The window mirrors Rows() into its list view; OnChange runs after
// every row that is inserted or removed (once for RemoveAll), so a front end
// can refresh its view and re-identify the chip as the list's change event
// does.
class TGameQueue {
public:
  // Reads the file's header and inserts it before the first row of equal or
  // larger size. Refusals go through an error box (caption "Error", flags 16):
  // "ROM space not enough!" when the page would overflow, a clear text with
  // the file name for a file that cannot be read or is no game. True when a
  // row was added.
  // A game past MenuGameLimit is refused too ("The boot menu lists at most
  // 99 games!"), unless AllowPastMenuLimit is set: then it is queued and
  // the front end warns.
  bool AddGameFile(const std::string& FileName, TFrontEnd& FrontEnd);
  bool AllowPastMenuLimit = false;
  // More games wait than the boot menu can list.
  bool PastMenuLimit() const { return FRows.size() > MenuGameLimit; }
  static constexpr size_t MenuGameLimit = 99;

  // Sum of the rows' sizes, plus the boot menu when more than one game waits.
  uint32_t QueueUsedSize() const;
  // The caption of the "Ready to burn" box, which the window's
  // UpdateQueueCaption puts up: " Ready to burn (Size: 32M, Free: ...) ".
  std::string QueueCaptionText() const;

  // Removes the rows at these indices (the selected ones, for the window's
  // RemoveMenuExecute); indices out of range are ignored, so an empty
  // selection removes nothing.
  void RemoveRows(const std::vector<size_t>& Indices);
  // Empties the queue (RemoveAllMenuExecute).
  void RemoveAll();

  const std::vector<TQueueRow>& Rows() const { return FRows; }
  size_t Count() const { return FRows.size(); }
  bool Empty() const { return FRows.empty(); }

  std::function<void()> OnChange;

private:
  void Changed();
  std::vector<TQueueRow> FRows;
};

constexpr const char* QueueSpaceError = "ROM space not enough!";
// The boot menu lists 99 games; the ones after them could never be started.
constexpr const char* QueueMenuLimitError = "The boot menu lists at most 99 games!";
std::string QueueMenuLimitText(const std::string& FileName);
