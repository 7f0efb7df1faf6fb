// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t GInterrupted = 0;

extern "C" void OnInterrupt(int) { GInterrupted = 1; }

}  // namespace

#ifdef _WIN32
void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }
#else
#include <signal.h>

void InstallInterruptHandler() {
  struct sigaction Action {};
  Action.sa_handler = OnInterrupt;
  sigemptyset(&Action.sa_mask);
  // Back to the default after the first one; no restart, so a question
  // waiting for its answer gives up at once.
  Action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &Action, nullptr);
}
#endif

bool Interrupted() { return GInterrupted != 0; }
