// The forms beyond the three on the command line, and the chooser, judged
// by a solve of the test's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/limits.h"
#include "analysis/s_parameters.h"
#include "cli/cli.h"
#include "cli/tests/cli_in_folder.h"
#include "engine/form_netlist.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;

using FormsCliTest = CliInFolder;

TEST_F(FormsCliTest, AFamilysFormRunsThroughEveryOutput) {
  ASSERT_EQ(Run({"--topology", "splitter", "--ways", "4", "--frequency", "915", "--touchstone",
                 "--spice", "--json", "run.json", "--schematic", "s.svg"}),
            kExitOk)
      << err_.str();
  EXPECT_TRUE(fs::exists(dir_ / "Splitter4Way915.s5p"));
  EXPECT_NE(Text("Splitter4Way915.i")
                .find("Defnport Filter 5 1 0 50  2 0 50  3 0 50  4 0 50  5 0 "
                      "50 "),
            std::string::npos);
  // Each arm's inductor one variable: four arms, one value.
  EXPECT_NE(Text("Splitter4Way915.i").find("Ind L4 1 5 L1"), std::string::npos);
  const nlohmann::json run = nlohmann::json::parse(Text("run.json"));
  EXPECT_EQ(run["topology"], "splitter");
  EXPECT_EQ(run["form"]["ways"], 4);
  EXPECT_EQ(run["ideal"]["response"]["more_outputs"].size(), 2u);
  for (const char* part : {"L1", "L4", "C5", "R4"}) {
    EXPECT_NE(Text("s.svg").find(std::string(">") + part + "<"), std::string::npos) << part;
  }
}

TEST_F(FormsCliTest, TheThreeAsFamiliesAreTheThreeByteForByte) {
  ASSERT_EQ(Run({"--topology", "narrow-splitter", "--touchstone"}), kExitOk);
  const std::string narrow = Text("NarrowSplitter12.1.i") + Text("NarrowSplitter12.1.s3p");
  fs::remove(dir_ / "NarrowSplitter12.1.i");
  ASSERT_EQ(Run({"--topology", "splitter", "--touchstone"}), kExitOk);
  EXPECT_EQ(Text("NarrowSplitter12.1.i") + Text("NarrowSplitter12.1.s3p"), narrow);
  ASSERT_EQ(Run({"--topology", "quad", "--sections", "2"}), kExitOk);
  EXPECT_TRUE(fs::exists(dir_ / "WideQuad12.1.i"));
}

TEST_F(FormsCliTest, FormsNotBuiltAreUsageErrors) {
  const std::vector<std::vector<std::string>> refused = {
      {"--topology", "narrow-quad", "--ways", "3"},
      {"--topology", "splitter", "--ways", "5"},
      {"--topology", "splitter", "--sections", "4"},
      {"--topology", "quad", "--ways", "3"},
      {"--topology", "ring", "--split", "3"},
      {"--topology", "splitter", "--split", "11"},
      {"--topology", "quad", "--arms", "band-pass"},
      {"--topology", "splitter", "--ways", "3", "--split", "2"}};
  for (const auto& args : refused) {
    EXPECT_EQ(Run(args), kExitUsage) << args[1] << " " << args[2] << " " << args[3];
    EXPECT_EQ(err_.str().rfind("rfsplitter-cli: --", 0), 0u) << err_.str();
  }
}

TEST_F(FormsCliTest, TheChoosersPickCoversItsBand) {
  ASSERT_EQ(Run({"--choose", "--band", "850-980", "--limit-match", "20", "--limit-isolation", "20",
                 "--json", "choice.json"}),
            kExitOk)
      << err_.str();
  const nlohmann::json choice = nlohmann::json::parse(Text("choice.json"))["choice"];
  EXPECT_EQ(choice["band_mhz"], nlohmann::json({850.0, 980.0}));
  ASSERT_EQ(choice["chosen"], 0);
  const nlohmann::json& pick = choice["candidates"][0];
  ASSERT_TRUE(pick["covers"].get<bool>());
  // The pick, designed at its frequency, solved across the band here.
  Form form;
  const std::string family = pick["form"]["family"];
  form.family = family == "splitter" ? FormFamily::kSplitter
                : family == "quad"   ? FormFamily::kQuad
                                     : FormFamily::kRing;
  form.ways = pick["form"]["ways"];
  form.sections = pick["form"]["sections"];
  form.arms = pick["form"]["arms"] == "low-pass" ? ArmForm::kLowPass : ArmForm::kHighPass;
  const Netlist n = IdealNetlist(FormDesign(form, {pick["frequency_mhz"].get<float>(), 50}));
  Limits limits;
  limits.match_db = limits.isolation_db = -20;
  for (int i = 0; i <= 40; ++i) {
    const double f = (850 + 130 * i / 40.0) * 1e6;
    const SResult r = AnalyzeNetlist(n, f);
    ASSERT_TRUE(r.s);
    EXPECT_TRUE(MeetsLimits(*r.s, limits, RuleOf(form))) << f;
  }
  // No more parts than any other form that covers the band.
  for (const nlohmann::json& c : choice["candidates"]) {
    if (c["covers"].get<bool>()) {
      EXPECT_GE(c["parts"], pick["parts"]);
    }
  }
}

TEST_F(FormsCliTest, ABandNoFormCoversSaysSoWithTheWidest) {
  EXPECT_EQ(Run({"--choose", "--band", "400-1200", "--phase", "90", "--json", "c.json"}),
            kExitNoFormCovers);
  EXPECT_NE(out_.str().find("No form covers 400 to 1200 MHz; the widest is quad"),
            std::string::npos)
      << out_.str();
  EXPECT_TRUE(nlohmann::json::parse(Text("c.json"))["choice"]["chosen"].is_null());
  EXPECT_EQ(Run({"--choose", "--band", "980-850"}), kExitUsage);
  EXPECT_EQ(Run({"--choose", "--band", "850-980", "--topology", "ring"}), kExitUsage);
  EXPECT_EQ(Run({"--choose", "--band", "850-980", "--phase", "45"}), kExitUsage);
}

}  // namespace
}  // namespace rfsplitter
