// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowStart.h"

#include <cstdio>

#include "core/link/LinkPortFactory.h"

std::unique_ptr<TLinkPort> OpenWindowPort(const TLinkOptions& Options, const std::string& Program, TDialogs& Dialogs) {
  std::string Error;
  std::unique_ptr<TLinkPort> Port = MakeLinkPort(Options, Error);
  if (Port) return Port;
  std::fprintf(stderr, "%s: %s\n", Program.c_str(), Error.c_str());
  Dialogs.ShowMessageBox(Error, WindowStartCaption, MB_FLAGS_ERROR);
  return nullptr;
}
