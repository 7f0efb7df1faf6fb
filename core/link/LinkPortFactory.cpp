// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/LinkPortFactory.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "core/link/EmulatedLinkPort.h"
#include "core/link/TracePort.h"
#include "emulator/CardDir.h"
#include "emulator/CardLock.h"

#ifdef _WIN32
#include "core/link/WindowsLinkPort.h"
#else
#include "core/link/LibUsbLinkPort.h"
#include "core/link/UsbIds.h"
#endif

namespace {

namespace fs = std::filesystem;

// The card folder, made when missing: the default one with every folder on
// its way; a chosen one only when the folder it is to go into exists.
void MakeCardFolder(const std::string& Dir, bool Chosen) {
  std::error_code Error;
  fs::path Path(Dir);
  if (!Path.has_filename()) Path = Path.parent_path();
  if (fs::exists(Path, Error)) return;
  if (!Chosen) {
    fs::create_directories(Path, Error);
    return;   // what failed, the card itself says
  }
  const fs::path Parent = Path.has_parent_path() ? Path.parent_path() : fs::path(".");
  if (!fs::is_directory(Parent, Error))
    throw std::runtime_error("Cannot make the card folder " + Dir + ": the folder " + Parent.string() +
                             " does not exist.");
  if (!fs::create_directory(Path, Error) && Error)
    throw std::runtime_error("Cannot make the card folder " + Dir + ": " + Error.message());
}

std::unique_ptr<TLinkPort> MakeEmulatedPort(const TLinkOptions& Options, std::string& Error, std::string* Notice) {
  const bool Chosen = !Options.EmulateDir.empty();
  const std::string Dir = Chosen ? Options.EmulateDir : DefaultCardDir();
  try {
    MakeCardFolder(Dir, Chosen);
    std::error_code Missing;
    const bool Fresh = !fs::exists(fs::path(Dir) / "flash.bin", Missing);
    // Taken before the card files are opened (or made), and kept by the port.
    auto Lock = std::make_unique<TCardLock>(Dir);
    auto Card = std::make_unique<TCard>(Dir);
    if (Fresh && Notice) *Notice = "A new card was made in " + Dir + ": its flash is erased and its save RAM empty.";
    if (Options.EmulateWeakCell) Card->SetWeakCell(Options.EmulateWeakCell->Address, Options.EmulateWeakCell->Mask);
    auto Port = std::make_unique<TEmulatedLinkPort>(std::move(Card));
    Port->KeepLock(std::move(Lock));
    if (Options.EmulateUnplugAfter) Port->Cable().UnplugAfter(*Options.EmulateUnplugAfter);
    if (Options.EmulateFlip) Port->Cable().FlipEverySecondRead(true);
    if (Options.EmulateTimingLatencyUs) {
      TCableTimingFigures Figures;
      Figures.CompletionLatencyNs = int64_t{1000} * *Options.EmulateTimingLatencyUs;
      Port->EnableTiming(Figures);
    }
    return Port;
  } catch (const std::exception& Failure) {
    Error = Failure.what();
    return nullptr;
  }
}

std::unique_ptr<TLinkPort> MakeUsbPort(const TLinkOptions& Options, std::string& Error) {
#ifdef _WIN32
  // On Windows the cable is reached through its driver's device interface;
  // the USB numbers are the driver's business there.
  (void)Options;
  auto Port = MakeWindowsLinkPort();
#else
  auto Port = MakeLibUsbLinkPort(Options.UsbVendor.value_or(DefaultUsbVendor),
                                 Options.UsbProduct.value_or(DefaultUsbProduct));
#endif
  if (!Port) Error = "The USB transport could not be started.";
  return Port;
}

}  // namespace

namespace {

std::unique_ptr<TLinkPort> OpenLinkPort(const TLinkOptions& Options, std::string& Error, std::string* Notice) {
  Error = CheckLinkOptions(Options);
  if (!Error.empty()) return nullptr;
  std::unique_ptr<TLinkPort> Port = Options.Emulate ? MakeEmulatedPort(Options, Error, Notice) : MakeUsbPort(Options, Error);
  if (Port && Options.WritesInFlight) Port->SetWriteDepth(*Options.WritesInFlight);
  if (!Port || Options.TraceFile.empty()) return Port;

  const unsigned Depth = Port->WriteDepth();
  auto Traced = std::make_unique<TTracePort>(std::move(Port), Options.TraceFile);
  Traced->SetWriteDepth(Depth);
  if (!Traced->Ok()) {
    Error = Traced->Error();
    return nullptr;
  }
  return Traced;
}

}  // namespace

std::unique_ptr<TLinkPort> MakeLinkPort(const TLinkOptions& Options, std::string& Error, std::string* Notice) {
  // Every front end gets a port or a reason, never an exception.
  std::unique_ptr<TLinkPort> Port;
  try {
    Port = OpenLinkPort(Options, Error, Notice);
  } catch (const std::exception& Failure) {
    Error = Failure.what();
    Port.reset();
  }
  if (!Port && Error.empty()) Error = "the cable cannot be reached";
  return Port;
}
