// SPDX-License-Identifier: GPL-3.0-or-later
// --json on every command: one object on standard output, whatever the
// command did, carrying the same facts as the text run says.
#include <nlohmann/json.hpp>

#include "tests/cli/CliRig.h"

namespace {

using nlohmann::json;

class CliJson : public TCliRig {};

bool Has(const std::string& Text, const std::string& Part) { return Text.find(Part) != std::string::npos; }

}  // namespace

TEST_F(CliJson, EveryCommandGivesOneObjectWithTheFactsOfItsText) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000), B = AddGame("b.gb", "GAMEB", 0x10000);
  WriteBytes(Path("in.sav"), std::vector<uint8_t>(0x800, 0x5A));
  ASSERT_EQ(Run(Cli({"-y", "write", A, B})).Status, 0);
  const struct {
    const char* What;
    std::vector<std::string> Args;
    bool Cable;
    // The facts against the text run of the same command.
    std::function<void(const json& Out, const TRun& Text)> Check;
  } Cases[] = {
      {"info", {"info"}, true,
       [](const json& O, const TRun& T) {
         EXPECT_EQ(O["connected"], true);
         char Id[8];
         std::snprintf(Id, sizeof Id, "%04X", O["chip_id"].get<unsigned>());
         EXPECT_TRUE(Has(T.Out, std::string("Chip: ") + Id + "=" + O["chip"].get<std::string>())) << T.Out;
       }},
      {"list", {"list"}, true,
       [](const json& O, const TRun& T) {
         EXPECT_EQ(O["count"], 2);
         EXPECT_TRUE(Has(T.Out, O["summary"].get<std::string>())) << T.Out;
         EXPECT_TRUE(Has(T.Out, O["games"][1]["title"].get<std::string>())) << T.Out;
       }},
      {"write", {"-y", "write", A, B}, true,
       [](const json& O, const TRun& T) {
         EXPECT_EQ(O["bytes_total"], 0x20000);   // the menu, GAMEA, GAMEB at 64 KiB
         EXPECT_EQ(O["bytes"], O["bytes_total"]);
         EXPECT_EQ(O["blocks"], 1);
         EXPECT_EQ(O["verify"]["ok"], true);
         EXPECT_TRUE(O["partial"].is_null());
         EXPECT_TRUE(Has(T.Err, "Verify complete")) << T.Err;
         EXPECT_EQ(O["listed"], json::array({"GAMEA", "GAMEB"}));
         EXPECT_EQ(O["backup"]["made"], true);
         EXPECT_TRUE(Has(T.Err, O["backup"]["file"].get<std::string>())) << T.Err;
       }},
      {"read", {"-y", "read", "--all", "-o", "@out/"}, true,
       [](const json& O, const TRun& T) {
         ASSERT_EQ(O["games"].size(), 2u);
         EXPECT_EQ(O["bytes"], 0x8000 + 0x10000);
         EXPECT_TRUE(Has(T.Err, O["games"][0]["file"].get<std::string>())) << T.Err;
       }},
      {"read-sram", {"-y", "read-sram", "@s.sav"}, true,
       [](const json& O, const TRun&) {
         EXPECT_EQ(O["bytes"], 131072);
         EXPECT_EQ(fs::file_size(O["file"].get<std::string>()), 131072u);
       }},
      {"read-raw", {"-y", "read-raw", "32K", "@r.bin"}, true, [](const json& O, const TRun&) { EXPECT_EQ(O["bytes"], 32768); }},
      {"write-sram", {"-y", "write-sram", "@in.sav"}, true,
       [](const json& O, const TRun&) {
         EXPECT_EQ(O["bytes"], 0x800);
         EXPECT_EQ(O["verify"]["ok"], true);
       }},
      {"write-raw", {"-y", "write-raw", A, "--no-verify"}, true,
       [](const json& O, const TRun& T) {
         EXPECT_EQ(O["bytes"], 0x8000);
         EXPECT_TRUE(O["verify"].is_null()) << "not run";
         EXPECT_FALSE(Has(T.Err, "Verify"));
       }},
      {"format", {"-y", "format"}, true,
       [](const json& O, const TRun& T) {
         EXPECT_EQ(O["blocks"], 128);
         EXPECT_TRUE(Has(T.Err, O["done"].get<std::string>())) << T.Err;
       }},
      {"pack", {"pack", A, B, "-o", "@p.gb"}, false,
       [](const json& O, const TRun& T) {
         EXPECT_EQ(O["bytes"], fs::file_size(O["image"].get<std::string>()));
         EXPECT_EQ(O["games"].size(), 2u);
         EXPECT_TRUE(Has(T.Out, O["image"].get<std::string>() + ": " + std::to_string(O["bytes"].get<int>()))) << T.Out;
       }},
      {"test-sram", {"-y", "test-sram", "@in.sav"}, true,
       [](const json& O, const TRun& T) { EXPECT_EQ(T.Out, O["verdict"].get<std::string>() + "\n"); }},
      {"test-rom", {"-y", "test-rom", A}, true,
       [](const json& O, const TRun& T) { EXPECT_EQ(T.Out, O["verdict"].get<std::string>() + "\n"); }},
      {"ports", {"ports"}, true,
       [](const json& O, const TRun& T) { EXPECT_EQ(T.Out.substr(0, 16), O["ports"].get<std::string>()); }},
      {"header", {"header", A}, false, [](const json& O, const TRun& T) {
         EXPECT_EQ(O["title"], "GAMEA");
         EXPECT_TRUE(Has(T.Out, "\"GAMEA\"")) << T.Out;
       }},
      {"check", {"check", A}, false,
       [](const json& O, const TRun& T) { EXPECT_TRUE(Has(T.Out, O["dumps"][0]["sha1"].get<std::string>())) << T.Out; }},
      {"backups", {"backups"}, false,
       [](const json& O, const TRun& T) {
         EXPECT_TRUE(Has(T.Out, std::to_string(O["backups"].size()) + " backup(s)")) << T.Out;
       }},
      {"restore", {"-y", "restore", "1"}, true, [](const json& O, const TRun&) { EXPECT_EQ(O["verify"]["ok"], true); }},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    std::vector<std::string> Args;
    for (const std::string& Arg : C.Args) Args.push_back(Arg[0] == '@' ? Path(Arg.substr(1)) : Arg);
    const TRun Text = Run(C.Cable ? Cli(Args, false) : Args);
    EXPECT_EQ(Text.Status, 0) << Text.Err;
    Args.push_back("--json");
    const TRun Json = Run(C.Cable ? Cli(Args, false) : Args);
    EXPECT_EQ(Json.Status, 0) << Json.Err;
    ASSERT_FALSE(Json.Out.empty());
    EXPECT_EQ(Json.Out.find('\n'), Json.Out.size() - 1) << "one object, one line: " << Json.Out;
    const json Out = json::parse(Json.Out);
    EXPECT_EQ(Out["command"], Args[C.Args[0] == "-y" ? 1 : 0]);
    EXPECT_EQ(Out["ok"], true);
    EXPECT_EQ(Out["exit"], 0);
    EXPECT_TRUE(Out["error"].is_null()) << Out.dump();
    C.Check(Out, Text);
  }
}

// What failed, with the cable's error number and the report of a write cut
// short; a wrong command line too.
TEST_F(CliJson, FailuresCarryTheErrorAndWhatTheCardHolds) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000), B = AddGame("b.gb", "GAMEB", 0x10000),
                    C = AddGame("c.gb", "GAMEC", 0x10000);
  const TRun Cut = Run(Cli({"--emulate-unplug-after=2000", "-y", "write", A, B, C, "--json", "--no-backup"}, false));
  EXPECT_EQ(Cut.Status, 1) << Cut.Err;
  const json Out = json::parse(Cut.Out);
  EXPECT_EQ(Out["ok"], false);
  EXPECT_EQ(Out["exit"], 1);
  ASSERT_FALSE(Out["error"]["code"].is_null()) << Out.dump();
  EXPECT_TRUE(Has(Cut.Err, "Error Code: " + std::to_string(Out["error"]["code"].get<int>()))) << Cut.Err;
  const json& Partial = Out["partial"];
  ASSERT_FALSE(Partial.is_null()) << Out.dump();
  EXPECT_EQ(Partial["page"], 1);
  EXPECT_LT(Partial["reached"], Partial["total"]);
  EXPECT_EQ(Partial["complete"].size() + Partial["cut_short"].size() + Partial["missing"].size(), 3u);
  EXPECT_EQ(Partial["what_to_do"], "Write the games again, or format the page.");
  for (const auto& Line : Partial["report"]) EXPECT_TRUE(Has(Cut.Err, Line.get<std::string>())) << Line;
  EXPECT_TRUE(Out["backup"].is_null()) << "--no-backup: none asked for";

  const TRun Usage = Run({"write", "--json"});
  EXPECT_EQ(Usage.Status, 2);
  const json Wrong = json::parse(Usage.Out);
  EXPECT_EQ(Wrong["command"], "write");
  EXPECT_EQ(Wrong["exit"], 2);
  EXPECT_TRUE(Has(Usage.Err, Wrong["error"]["text"].get<std::string>()));
}
