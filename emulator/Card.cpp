#include "emulator/CableEmulator.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

std::string SystemText(int Error) { return std::strerror(Error); }

// Writes Size bytes of Fill to Fd, all of them really allocated on disk so
// that storing into the mapping later can never fail for want of space.
bool FillFile(int Fd, size_t Size, uint8_t Fill) {
  std::vector<uint8_t> Chunk(64 * 1024, Fill);
  size_t Done = 0;
  while (Done < Size) {
    size_t Part = std::min(Chunk.size(), Size - Done);
    ssize_t Moved = ::write(Fd, Chunk.data(), Part);
    if (Moved < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Done += static_cast<size_t>(Moved);
  }
  return ::fsync(Fd) == 0;
}

void SyncFolder(const std::string& Dir) {
  int Fd = ::open(Dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd >= 0) {
    ::fsync(Fd);
    ::close(Fd);
  }
}

// Creates Path whole or not at all: the file is built and filled under a
// temporary name in the same folder and only then linked to its real name, so
// a program killed half-way leaves no short card file behind. A card file that
// another program created meanwhile is kept.
void CreateCardFile(const std::string& Dir, const std::string& Path, size_t Size, uint8_t Fill) {
  std::string Temp = Path + ".new-XXXXXX";
  std::vector<char> Name(Temp.begin(), Temp.end());
  Name.push_back('\0');
  int Fd = ::mkstemp(Name.data());
  if (Fd < 0)
    throw std::runtime_error("Cannot create the card file " + Path + ": " + SystemText(errno));
  bool Filled = FillFile(Fd, Size, Fill);
  int FillError = errno;
  ::close(Fd);
  if (!Filled) {
    ::unlink(Name.data());
    throw std::runtime_error("Cannot create the card file " + Path + ": " + SystemText(FillError));
  }
  if (::link(Name.data(), Path.c_str()) != 0 && errno != EEXIST) {
    int Error = errno;
    ::unlink(Name.data());
    throw std::runtime_error("Cannot create the card file " + Path + ": " + SystemText(Error));
  }
  ::unlink(Name.data());
  SyncFolder(Dir);
}

// A program killed while it created a card file leaves the unfinished file
// under its temporary name. Such leftovers are removed once they are old
// enough that no other program can still be filling them.
void RemoveLeftovers(const std::string& Dir, const std::string& Name) {
  const std::string Prefix = Name + ".new-";
  const auto Now = std::filesystem::file_time_type::clock::now();
  std::error_code Error;
  for (const auto& Entry : std::filesystem::directory_iterator(Dir, Error)) {
    const std::string File = Entry.path().filename().string();
    if (File.rfind(Prefix, 0) != 0 || File.size() != Prefix.size() + 6 || !Entry.is_regular_file(Error)) continue;
    auto Written = Entry.last_write_time(Error);
    if (!Error && Now - Written > std::chrono::minutes(10)) std::filesystem::remove(Entry.path(), Error);
  }
}

// Maps the card file Path (created when missing) for reading and writing.
uint8_t* MapCardFile(const std::string& Dir, const std::string& Name, size_t Size, uint8_t Fill) {
  const std::string Path = (std::filesystem::path(Dir) / Name).string();
  int Fd = ::open(Path.c_str(), O_RDWR | O_CLOEXEC);
  if (Fd < 0 && errno == ENOENT) {
    CreateCardFile(Dir, Path, Size, Fill);
    Fd = ::open(Path.c_str(), O_RDWR | O_CLOEXEC);
  }
  if (Fd < 0)
    throw std::runtime_error("Cannot open the card file " + Path + ": " + SystemText(errno));

  struct stat Info {};
  if (::fstat(Fd, &Info) != 0) {
    int Error = errno;
    ::close(Fd);
    throw std::runtime_error("Cannot open the card file " + Path + ": " + SystemText(Error));
  }
  if (!S_ISREG(Info.st_mode)) {
    ::close(Fd);
    throw std::runtime_error("The card file " + Path + " is not a regular file.");
  }
  if (static_cast<uint64_t>(Info.st_size) != Size) {
    ::close(Fd);
    throw std::runtime_error("The card file " + Path + " has " + std::to_string(Info.st_size) +
                             " bytes instead of " + std::to_string(Size) +
                             "; it was left as it is. Move it away to start with a new card.");
  }
  void* Map = ::mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_SHARED, Fd, 0);
  int Error = errno;
  ::close(Fd);
  if (Map == MAP_FAILED)
    throw std::runtime_error("Cannot map the card file " + Path + ": " + SystemText(Error));
  RemoveLeftovers(Dir, Name);
  return static_cast<uint8_t*>(Map);
}

}  // namespace

struct TCard::TStore {
  std::string Dir;
  std::vector<uint8_t> FlashBytes, SramBytes;   // the card in memory
  uint8_t* Flash = nullptr;
  uint8_t* Sram = nullptr;
  bool Mapped = false;

  ~TStore() {
    if (!Mapped) return;
    if (Flash) ::munmap(Flash, FlashSize);
    if (Sram) ::munmap(Sram, SramSize);
  }
};

TCard::TCard() : FStore(std::make_unique<TStore>()) {
  FStore->FlashBytes.assign(FlashSize, 0xFF);
  FStore->SramBytes.assign(SramSize, 0x00);
  FStore->Flash = FStore->FlashBytes.data();
  FStore->Sram = FStore->SramBytes.data();
}

TCard::TCard(const std::string& Dir) : FStore(std::make_unique<TStore>()) {
  if (Dir.empty()) throw std::runtime_error("No folder was given for the card files.");
  std::error_code Error;
  std::filesystem::create_directories(Dir, Error);
  if (Error) throw std::runtime_error("Cannot create the card folder " + Dir + ": " + Error.message());
  if (!std::filesystem::is_directory(Dir, Error))
    throw std::runtime_error("The card folder " + Dir + " is not a folder.");

  FStore->Dir = Dir;
  FStore->Mapped = true;
  // Erased flash reads 0xFF. Save RAM starts zeroed, the same as the in-memory
  // card, so a fresh card reads the same whichever way it is kept.
  FStore->Flash = MapCardFile(Dir, "flash.bin", FlashSize, 0xFF);
  FStore->Sram = MapCardFile(Dir, "sram.bin", SramSize, 0x00);
}

TCard::~TCard() = default;

uint8_t TCard::ReadFlash(uint32_t Address) const { return FStore->Flash[Address % FlashSize]; }

void TCard::ProgramFlash(uint32_t Address, uint8_t Value) { FStore->Flash[Address % FlashSize] &= Value; }

void TCard::EraseBlock(uint32_t Address) {
  uint32_t Start = (Address % FlashSize) / EraseBlockSize * EraseBlockSize;
  std::memset(FStore->Flash + Start, 0xFF, EraseBlockSize);
}

uint8_t TCard::ReadSram(uint32_t Address) const { return FStore->Sram[Address % SramSize]; }

void TCard::WriteSram(uint32_t Address, uint8_t Value) { FStore->Sram[Address % SramSize] = Value; }

uint8_t* TCard::Flash() { return FStore->Flash; }
const uint8_t* TCard::Flash() const { return FStore->Flash; }
uint8_t* TCard::Sram() { return FStore->Sram; }
const uint8_t* TCard::Sram() const { return FStore->Sram; }

uint32_t TCard::ConsolePageBase() const { return FConsolePageBase.load(); }

void TCard::SetConsolePageBase(uint32_t Base) {
  FConsolePageBase.store((Base % FlashSize) / ConsolePageSize * ConsolePageSize);
}

uint16_t TCard::ChipId() const { return FChipId.load(); }
void TCard::SetChipId(uint16_t Id) { FChipId.store(Id); }

void TCard::Sync() {
  if (!FStore->Mapped) return;
  ::msync(FStore->Flash, FlashSize, MS_SYNC);
  ::msync(FStore->Sram, SramSize, MS_SYNC);
}

const std::string& TCard::Dir() const { return FStore->Dir; }
