#include "emulator/LinkPortFactory.h"

#include <stdexcept>

#include "core/link/TracePort.h"
#include "emulator/CardDir.h"
#include "emulator/EmulatedLinkPort.h"

#ifdef _WIN32
#include "core/link/WindowsLinkPort.h"
#else
#include "core/link/LibUsbLinkPort.h"
#include "core/link/UsbIds.h"
#endif

namespace {

std::unique_ptr<TLinkPort> MakeEmulatedPort(const TLinkOptions& Options, std::string& Error) {
  const std::string Dir = Options.EmulateDir.empty() ? DefaultCardDir() : Options.EmulateDir;
  try {
    auto Card = std::make_unique<TCard>(Dir);
    if (Options.EmulateWeakCell) Card->SetWeakCell(Options.EmulateWeakCell->Address, Options.EmulateWeakCell->Mask);
    auto Port = std::make_unique<TEmulatedLinkPort>(std::move(Card));
    if (Options.EmulateUnplugAfter) Port->Cable().UnplugAfter(*Options.EmulateUnplugAfter);
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

std::unique_ptr<TLinkPort> OpenLinkPort(const TLinkOptions& Options, std::string& Error) {
  Error = CheckLinkOptions(Options);
  if (!Error.empty()) return nullptr;
  std::unique_ptr<TLinkPort> Port = Options.Emulate ? MakeEmulatedPort(Options, Error) : MakeUsbPort(Options, Error);
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

std::unique_ptr<TLinkPort> MakeLinkPort(const TLinkOptions& Options, std::string& Error) {
  // Every front end gets a port or a reason, never an exception.
  std::unique_ptr<TLinkPort> Port;
  try {
    Port = OpenLinkPort(Options, Error);
  } catch (const std::exception& Failure) {
    Error = Failure.what();
    Port.reset();
  }
  if (!Port && Error.empty()) Error = "the cable cannot be reached";
  return Port;
}
