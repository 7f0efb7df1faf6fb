#pragma once
#include <memory>
#include <string>

#include "app/form/Dialogs.h"
#include "core/link/LinkOptions.h"
#include "core/link/LinkPort.h"

// The transport the window runs on, from its command line. When it cannot be
// had (a damaged card folder, a card in use by another program, a trace
// file that cannot be made) the reason goes to standard error and into an
// error box: a user who starts the program from the desktop menu sees no
// standard error, and would otherwise see nothing at all. Null then; the
// program ends with exit code 1.
std::unique_ptr<TLinkPort> OpenWindowPort(const TLinkOptions& Options, const std::string& Program, TDialogs& Dialogs);

// The caption of that box.
constexpr const char* WindowStartCaption = "Flashquill";
