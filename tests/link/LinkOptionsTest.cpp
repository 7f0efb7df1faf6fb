// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/link/LinkOptions.h"

TEST(ParseLinkOption, AcceptedForms) {
  TLinkOptions Options;
  std::string Error = "stale";
  EXPECT_TRUE(ParseLinkOption("--emulate", Options, Error));
  EXPECT_TRUE(Error.empty());
  EXPECT_TRUE(Options.Emulate);
  EXPECT_EQ(Options.EmulateDir, "");

  EXPECT_TRUE(ParseLinkOption("--emulate=/tmp/card dir", Options, Error));
  EXPECT_EQ(Options.EmulateDir, "/tmp/card dir");

  EXPECT_TRUE(ParseLinkOption("--usb=b1d9:0C01", Options, Error));
  EXPECT_TRUE(Error.empty());
  EXPECT_EQ(Options.UsbVendor, 0xB1D9);
  EXPECT_EQ(Options.UsbProduct, 0x0C01);
  EXPECT_TRUE(ParseLinkOption("--usb=1:ffff", Options, Error));
  EXPECT_EQ(Options.UsbVendor, 0x0001);
  EXPECT_EQ(Options.UsbProduct, 0xFFFF);

  EXPECT_TRUE(ParseLinkOption("--trace=out.txt", Options, Error));
  EXPECT_EQ(Options.TraceFile, "out.txt");
  EXPECT_TRUE(Error.empty());

  EXPECT_TRUE(ParseLinkOption("--writes-in-flight=1", Options, Error));
  EXPECT_EQ(Options.WritesInFlight, 1u);
  EXPECT_TRUE(ParseLinkOption("--writes-in-flight=64", Options, Error));
  EXPECT_EQ(Options.WritesInFlight, 64u);
  EXPECT_TRUE(ParseLinkOption("--emulate-timing", Options, Error));
  EXPECT_EQ(Options.EmulateTimingLatencyUs, 1000u);
  EXPECT_TRUE(ParseLinkOption("--emulate-timing=125", Options, Error));
  EXPECT_EQ(Options.EmulateTimingLatencyUs, 125u);
  EXPECT_TRUE(Error.empty());
}

TEST(ParseLinkOption, MalformedValuesAreRefusedAndChangeNothing) {
  const char* Bad[] = {"--emulate=", "--usb", "--usb=", "--usb=b1d9", "--usb=b1d9:", "--usb=:0c01",
                       "--usb=b1d90:0c01", "--usb=0xb1:0c01", "--usb=g1d9:0c01", "--usb=b1d9:0c01:1",
                       "--usb=b1d9-0c01", "--trace", "--trace=", "--writes-in-flight", "--writes-in-flight=0",
                       "--writes-in-flight=65", "--writes-in-flight=x", "--emulate-timing=", "--emulate-timing=0",
                       "--emulate-timing=1ms"};
  for (const char* Arg : Bad) {
    TLinkOptions Options;
    Options.UsbVendor = 0x1111;
    Options.UsbProduct = 0x2222;
    std::string Error;
    EXPECT_TRUE(ParseLinkOption(Arg, Options, Error)) << Arg;
    EXPECT_FALSE(Error.empty()) << Arg;
    EXPECT_NE(Error.find(std::string(Arg).substr(0, 5)), std::string::npos) << Error;
    EXPECT_FALSE(Options.Emulate) << Arg;
    EXPECT_EQ(Options.UsbVendor, 0x1111) << Arg;
    EXPECT_EQ(Options.UsbProduct, 0x2222) << Arg;
    EXPECT_EQ(Options.TraceFile, "") << Arg;
    EXPECT_FALSE(Options.WritesInFlight) << Arg;
    EXPECT_FALSE(Options.EmulateTimingLatencyUs) << Arg;
  }
}

TEST(ParseLinkOption, OtherArgumentsAreNotOurs) {
  for (const char* Arg : {"/rom", "/sram", "--emulated", "--usbx=1:2", "--tracefile=x", "-emulate", "", "--help"}) {
    TLinkOptions Options;
    std::string Error;
    EXPECT_FALSE(ParseLinkOption(Arg, Options, Error)) << Arg;
    EXPECT_TRUE(Error.empty()) << Arg;
    EXPECT_FALSE(Options.Emulate) << Arg;
  }
  EXPECT_NE(LinkOptionsUsage().find("--usb=VVVV:PPPP"), std::string::npos);
}
