#include "emulator/LinkPortFactory.h"

#include <stdexcept>

#include "core/link/TracePort.h"
#include "emulator/CardDir.h"
#include "emulator/EmulatedLinkPort.h"

#if __has_include("core/link/LibUsbLinkPort.h") && __has_include("core/link/UsbIds.h")
#include "core/link/LibUsbLinkPort.h"
#include "core/link/UsbIds.h"
#define FQ_HAVE_USB_PORT 1
#endif

namespace {

std::unique_ptr<TLinkPort> MakeEmulatedPort(const TLinkOptions& Options, std::string& Error) {
  const std::string Dir = Options.EmulateDir.empty() ? DefaultCardDir() : Options.EmulateDir;
  try {
    return std::make_unique<TEmulatedLinkPort>(std::make_unique<TCard>(Dir));
  } catch (const std::exception& Failure) {
    Error = Failure.what();
    return nullptr;
  }
}

std::unique_ptr<TLinkPort> MakeUsbPort(const TLinkOptions& Options, std::string& Error) {
#ifdef FQ_HAVE_USB_PORT
  auto Port = MakeLibUsbLinkPort(Options.UsbVendor.value_or(DefaultUsbVendor),
                                 Options.UsbProduct.value_or(DefaultUsbProduct));
  if (!Port) Error = "The USB transport could not be started.";
  return Port;
#else
  (void)Options;
  Error = "This build has no USB transport; use --emulate.";
  return nullptr;
#endif
}

}  // namespace

std::unique_ptr<TLinkPort> MakeLinkPort(const TLinkOptions& Options, std::string& Error) {
  Error.clear();
  std::unique_ptr<TLinkPort> Port = Options.Emulate ? MakeEmulatedPort(Options, Error) : MakeUsbPort(Options, Error);
  if (!Port || Options.TraceFile.empty()) return Port;

  auto Traced = std::make_unique<TTracePort>(std::move(Port), Options.TraceFile);
  if (!Traced->Ok()) {
    Error = Traced->Error();
    return nullptr;
  }
  return Traced;
}
