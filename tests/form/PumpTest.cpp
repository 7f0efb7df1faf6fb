// SPDX-License-Identifier: GPL-3.0-or-later
// The window's message pump between two packets: what the card work shows is
// painted at the next pump, and a click always gets through, however fast
// the pumps come.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "WindowRig.h"

namespace {

class Pump : public ::testing::Test {
protected:
  TWindowRig Rig;
  void SetUp() override { ASSERT_TRUE(Rig.Start()); }
  TWindowFrontEnd& FrontEnd() { return Rig.Form->FrontEnd(); }

  // Queues an event for the window's loop, as a click would arrive.
  void PostEvent() {
    Rig.Binding.Post([this] { ++Delivered; });
  }
  int Delivered = 0;
};

TEST_F(Pump, WhatTheWorkShowsIsDeliveredAtTheVeryNextPump) {
  struct TCase {
    const char* Name;
    std::function<void(TWindowFrontEnd&)> Show;
  };
  const TCase Cases[] = {
      {"status text", [](TWindowFrontEnd& F) { F.SetStatusText(1, "Now writting..."); }},
      {"progress", [](TWindowFrontEnd& F) { F.SetProgress(42); }},
      {"busy panel shown", [](TWindowFrontEnd& F) { F.ShowBusyPanel("Now formatting..."); }},
      {"busy panel hidden", [](TWindowFrontEnd& F) { F.HideBusyPanel(); }},
  };
  // Passes due to time alone would hide a change that is not shown.
  FrontEnd().SetDispatchInterval(std::chrono::hours(1));
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    FrontEnd().SetStatusText(0, "Device Connected");
    FrontEnd().PumpMessages();   // a pass just now: the next one could wait
    Delivered = 0;
    PostEvent();
    Case.Show(FrontEnd());
    FrontEnd().PumpMessages();
    EXPECT_EQ(Delivered, 1);
  }
}

TEST_F(Pump, AnEventGetsThroughBackToBackPumpsWithNothingNewToShow) {
  for (const auto Interval : {TWindowFrontEnd::DefaultDispatchInterval, std::chrono::microseconds(0)}) {
    SCOPED_TRACE(Interval.count());
    FrontEnd().SetDispatchInterval(Interval);
    FrontEnd().SetStatusText(1, "");
    FrontEnd().PumpMessages();
    Delivered = 0;
    PostEvent();
    // As a write on a fast link pumps: nothing but pumps. Bounded so that a
    // pump that never passes fails instead of hanging.
    const auto GiveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int Pumps = 0;
    while (Delivered == 0 && std::chrono::steady_clock::now() < GiveUp) {
      FrontEnd().PumpMessages();
      ++Pumps;
    }
    EXPECT_EQ(Delivered, 1);
    if (Interval.count() == 0) {
      EXPECT_EQ(Pumps, 1);
    }
  }
}

}  // namespace
