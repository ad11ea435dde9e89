#include "cli/cli.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "engine/tests/scratch_directory.h"
#include "engine/version.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;

class CliTest : public testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return RunCli(args, out_, err_);
  }

  ScratchDirectory scratch_;
  const fs::path& dir_ = scratch_.path();
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(CliTest, DefaultsAreTheWindowsStartUpTexts) {
  EXPECT_EQ(Run({"--topology", "narrow-splitter", "--directory", dir_.string()}), kExitOk);
  EXPECT_EQ(out_.str(),
            "L1 =  930. n  \nL2 =  930. n  \nC1 =  372. p  \nC2 =  186. p  \nC3 =  186. p  \n"
            "R =  100    \n");
  EXPECT_EQ(err_.str(), "wrote \"" + (dir_ / "NarrowSplitter12.1.i").string() + "\"\n");
  EXPECT_TRUE(fs::exists(dir_ / "NarrowSplitter12.1.i"));
}

TEST_F(CliTest, AcceptsOptionEqualsValue) {
  EXPECT_EQ(Run({"--topology=wide-quad", "--frequency=100", "--impedance=75",
                 "--directory=" + dir_.string()}),
            kExitOk);
  EXPECT_TRUE(fs::exists(dir_ / "WideQuad100.i"));
  EXPECT_NE(out_.str().find("L5 = "), std::string::npos);
}

TEST_F(CliTest, WarningsAndSilentRepairsGoToStandardError) {
  EXPECT_EQ(Run({"--topology", "narrow-quad", "--frequency", "60000", "--impedance", "abc",
                 "--directory", dir_.string()}),
            kExitOk);
  EXPECT_EQ(err_.str(),
            "warning: frequency range outside recommended range.  \n"
            "note: impedance \"abc\" is not a number; using 50\n"
            "wrote \"" +
                (dir_ / "NarrowQuad12.1.i").string() + "\"\n");
  EXPECT_EQ(Run({"--topology", "narrow-quad", "--frequency", "", "--impedance", "0.5",
                 "--directory", dir_.string()}),
            kExitOk);
  EXPECT_EQ(err_.str(),
            "note: frequency \"\" is empty; using 12.1\n"
            "warning: Impedance range outside recommended limits.  \n"
            "wrote \"" +
                (dir_ / "NarrowQuad12.1.i").string() + "\"\n");
}

TEST_F(CliTest, UnwritableDirectoryExitsOneWithTheReason) {
  EXPECT_EQ(Run({"--topology", "wide-quad", "--directory", (dir_ / "missing").string()}),
            kExitFileFailure);
  EXPECT_NE(err_.str().find("could not write \"" + (dir_ / "missing" / "WideQuad12.1.i").string() +
                            "\": cannot create the file: No such file or directory"),
            std::string::npos);
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  const char* message;
};

// Runs in the scratch directory, so that a file a usage error failed to
// prevent, named relative to the current directory, would be seen.
class CliUsageTest : public CliTest, public testing::WithParamInterface<UsageCase> {
 protected:
  void SetUp() override { fs::current_path(dir_); }
  void TearDown() override { fs::current_path(old_directory_); }

 private:
  fs::path old_directory_ = fs::current_path();
};

TEST_P(CliUsageTest, ExitsTwoWithUsage) {
  EXPECT_EQ(Run(GetParam().args), kExitUsage);
  EXPECT_NE(err_.str().find(GetParam().message), std::string::npos) << err_.str();
  EXPECT_EQ(err_.str().rfind("rfsplitter-cli: ", 0), 0u);
  EXPECT_EQ(out_.str(), "");
  EXPECT_TRUE(fs::is_empty(dir_));
}

INSTANTIATE_TEST_SUITE_P(
    , CliUsageTest,
    testing::Values(
        UsageCase{"NoArguments", {}, "--topology is required"},
        UsageCase{"UnknownTopology", {"--topology", "triplexer"}, "unknown topology \"triplexer\""},
        UsageCase{"MissingValue", {"--topology"}, "--topology: 1 required"},
        UsageCase{
            "UnknownOption", {"--topology", "wide-quad", "--fast"}, "unknown option \"--fast\""},
        UsageCase{"MisspeltOption",
                  {"--topology", "wide-quad", "--anlyze"},
                  "unknown option \"--anlyze\"; did you mean --analyze? (--help lists every "
                  "option)"},
        UsageCase{"PlotWithoutFile", {"--topology", "wide-quad", "--plot"}, "--plot: 1 required"},
        UsageCase{"PlotWithEmptyFile",
                  {"--topology", "wide-quad", "--plot="},
                  "--plot= needs a value after the \"=\""},
        UsageCase{"EmptyDirectory",
                  {"--topology", "wide-quad", "--directory", ""},
                  "--directory needs a non-empty value"},
        UsageCase{"ControlBytesAreEscaped",
                  {"--topology", "wide\nquad\x1b[2J"},
                  "unknown topology \"wide\\nquad\\x1b[2J\""},
        UsageCase{"StrictRefusesEmptyFrequency",
                  {"--topology", "wide-quad", "--strict", "--frequency", ""},
                  "--frequency \"\" is not a number"},
        UsageCase{"StrictRefusesOutOfRange",
                  {"--topology", "wide-quad", "--strict", "--impedance", "0.5"},
                  "--impedance \"0.5\" is outside 1 to 500 ohms"},
        UsageCase{"StrictRefusesUnrepresentable",
                  {"--topology", "wide-quad", "--strict", "--frequency", "1e39"},
                  "outside 0.001 to 50000 MHz"},
        UsageCase{"PlotOverTheSimulationFile",
                  {"--topology", "wide-quad", "--plot", "WideQuad12.1.i"},
                  "--plot \"WideQuad12.1.i\" is the same file as the simulation file"},
        UsageCase{"UnknownSeries",
                  {"--topology", "wide-quad", "--parts", "E7"},
                  "\"E7\" is neither a standard series (E6 to E192) nor a readable file"},
        UsageCase{"UnknownFit",
                  {"--topology", "wide-quad", "--parts", "E12", "--fit", "closest"},
                  "--fit \"closest\" is not one of nearest, retune, best, margin or yield"},
        UsageCase{"YieldFitWithoutTolerance",
                  {"--topology", "wide-quad", "--parts", "E12", "--fit", "yield"},
                  "--fit yield needs a tolerance"},
        UsageCase{"PairsWithAFitByCost",
                  {"--topology", "wide-quad", "--parts", "E12", "--fit", "best", "--pairs"},
                  "--pairs needs --fit margin or --fit yield"},
        UsageCase{"TargetYieldOutOfRange",
                  {"--topology", "wide-quad", "--parts", "E12", "--target-yield", "100"},
                  "--target-yield \"100\" is outside 1 to 99.99"},
        UsageCase{"NegativeQ", {"--topology", "wide-quad", "--q-inductor", "-5"}, "--q-inductor"},
        UsageCase{"ZeroQ", {"--topology", "wide-quad", "--q-capacitor", "0"}, "--q-capacitor"},
        UsageCase{"BomOverThePlot",
                  {"--topology", "wide-quad", "--plot", "x.svg", "--bom", "x.svg"},
                  "--bom \"x.svg\" is the same file as the --plot"},
        UsageCase{"NegativeTolerance",
                  {"--topology", "wide-quad", "--tolerance-inductor", "-5%"},
                  "--tolerance-inductor \"-5%\" is negative"},
        UsageCase{"ToleranceOverAHundredPercent",
                  {"--topology", "wide-quad", "--tolerance-capacitor", "150%"},
                  "is more than 100 %"},
        UsageCase{"NoBoards", {"--topology", "wide-quad", "--monte-carlo", "0"}, "--monte-carlo"},
        UsageCase{"TooManyBoards",
                  {"--topology", "wide-quad", "--monte-carlo", "1000001"},
                  "--monte-carlo"},
        UsageCase{"UnknownDistribution",
                  {"--topology", "wide-quad", "--monte-carlo", "10", "--distribution", "cauchy"},
                  "--distribution"},
        UsageCase{"PlotOverTheNetlistOfARepairedFrequency",
                  {"--topology", "wide-quad", "--frequency", "abc", "--spice", "--plot",
                   "./WideQuad12.1.cir"},
                  "is the same file as the ngspice netlist"}),
    [](const testing::TestParamInfo<UsageCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST_F(CliTest, AnalyzeAndExportsComeAfterTheNormalRun) {
  const std::string plot = (dir_ / "chart.svg").string();
  EXPECT_EQ(Run({"--topology", "wide-quad", "--directory", dir_.string(), "--analyze",
                 "--touchstone", "--spice", "--plot", plot}),
            kExitOk);
  EXPECT_EQ(out_.str().rfind("L1 =  464. n  \n", 0), 0u);
  EXPECT_NE(out_.str().find("\nResponse at 12.1 MHz"), std::string::npos);
  EXPECT_NE(out_.str().find("Isolation 1 to 4  |S41|"), std::string::npos);
  EXPECT_NE(out_.str().find("% of 12.1 MHz)"), std::string::npos);
  for (const char* name : {"WideQuad12.1.i", "WideQuad12.1.s4p", "WideQuad12.1.cir", "chart.svg"}) {
    EXPECT_TRUE(fs::exists(dir_ / name)) << name;
    EXPECT_NE(err_.str().find(std::string(name) + "\"\n"), std::string::npos) << err_.str();
  }
}

TEST_F(CliTest, SplitterTouchstoneHasThreePorts) {
  EXPECT_EQ(Run({"--topology", "narrow-splitter", "--directory", dir_.string(), "--touchstone"}),
            kExitOk);
  EXPECT_TRUE(fs::exists(dir_ / "NarrowSplitter12.1.s3p"));
  EXPECT_EQ(out_.str().find("Response at"), std::string::npos);
}

TEST_F(CliTest, UnwritablePlotExitsOneBeforeAnythingIsWritten) {
  EXPECT_EQ(Run({"--topology", "narrow-quad", "--directory", dir_.string(), "--plot",
                 (dir_ / "missing" / "chart.svg").string()}),
            kExitFileFailure);
  EXPECT_FALSE(fs::exists(dir_ / "NarrowQuad12.1.i"));
  EXPECT_NE(err_.str().find("could not write \"" + (dir_ / "missing" / "chart.svg").string() +
                            "\": cannot create the file: No such file or directory"),
            std::string::npos);
}

TEST_F(CliTest, HelpAndVersionSucceed) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_EQ(out_.str().rfind("Usage: rfsplitter-cli", 0), 0u);
  EXPECT_NE(out_.str().find("decimal point"), std::string::npos);
  EXPECT_EQ(err_.str(), "");
  EXPECT_EQ(Run({"--version"}), kExitOk);
  EXPECT_EQ(out_.str(), std::string(kVersion) + "\n");
}

TEST_F(CliTest, ABadPartsFileStopsTheRunBeforeAnythingIsWritten) {
  const fs::path parts = dir_ / "coils.txt";
  std::ofstream(parts) << "18n\n22 nH\n27 nF\n";
  const fs::path out = dir_ / "out";
  fs::create_directory(out);
  EXPECT_EQ(Run({"--topology", "wide-quad", "--inductors", parts.string(), "--directory",
                 out.string(), "--bom", (out / "b.csv").string()}),
            kExitUsage);
  EXPECT_NE(err_.str().find("coils.txt line 3: \"27 nF\" is a capacitor value"), std::string::npos)
      << err_.str();
  EXPECT_TRUE(fs::is_empty(out));
  EXPECT_EQ(out_.str(), "");
}

// With parts, the analysis shows the parts and both circuits side by side,
// and the exports describe the built circuit.
TEST_F(CliTest, PartsAnalysisShowsIdealAndBuilt) {
  EXPECT_EQ(Run({"--topology", "narrow-splitter", "--frequency", "433.92", "--inductors", "E12",
                 "--capacitors", "E24", "--resistors", "E24", "--q-inductor", "40", "--analyze",
                 "--spice", "--directory", dir_.string()}),
            kExitOk);
  const std::string out = out_.str();
  // Without a tolerance the fit serves the limits' margins.
  EXPECT_NE(out.find("Parts (fit margin):\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  R1    100 ohm        100 ohm        E24        +0.00 %"), std::string::npos)
      << out;
  EXPECT_NE(out.find("ideal                 built\n"), std::string::npos);
  EXPECT_NE(out.find("  Excess loss (dB)"), std::string::npos);
  EXPECT_NE(out.find("  Usable band (MHz)"), std::string::npos);
  // The splitter balances over the whole sweep: the two open bands stay apart.
  EXPECT_NE(out.find("below 43.392 to above 824.448  below 43.392 to above 824.448\n"),
            std::string::npos)
      << out;
  std::ifstream netlist(dir_ / "NarrowSplitter433.92.cir");
  const std::string text((std::istreambuf_iterator<char>(netlist)), {});
  EXPECT_NE(text.find("RLOSS_L1 "), std::string::npos);
  EXPECT_NE(text.find("the circuit built from the chosen parts"), std::string::npos);
}

TEST_F(CliTest, JsonCarriesEveryKey) {
  const fs::path json = dir_ / "run.json";
  ASSERT_EQ(Run({"--topology", "narrow-quad", "--parts", "E24", "--fit", "retune", "--json",
                 json.string(), "--directory", dir_.string()}),
            kExitOk);
  std::ifstream file(json);
  const nlohmann::json run = nlohmann::json::parse(file);
  EXPECT_EQ(run["topology"], "narrow-quad");
  EXPECT_EQ(run["form"], nlohmann::json::parse(R"({"family": "quad", "ways": 2, "split_db": 0.0,
                                                   "sections": 1, "arms": "low-pass"})"));
  EXPECT_FLOAT_EQ(run["frequency_mhz"].get<float>(), 12.1f);
  EXPECT_EQ(run["impedance_ohms"], 50);
  EXPECT_EQ(run["built"]["fit"], "retune");
  for (const char* circuit : {"ideal", "built"}) {
    const nlohmann::json& c = run[circuit];
    ASSERT_EQ(c["parts"].size(), 8u) << circuit;  // L1..L4, C1..C4: no termination
    for (const nlohmann::json& part : c["parts"]) {
      for (const char* key :
           {"name", "kind", "value", "ideal", "series", "error_percent", "loss_ohms"}) {
        EXPECT_TRUE(part.contains(key)) << circuit << " " << key;
      }
    }
    for (const char* key :
         {"at_mhz", "s21_db", "s21_deg", "s31_db", "s31_deg", "phase_difference_deg", "s11_db",
          "s32_db", "s41_db", "insertion_loss_db", "best_match_mhz", "band_mhz"}) {
      EXPECT_TRUE(c["response"].contains(key)) << circuit << " " << key;
    }
  }
  EXPECT_EQ(run["built"]["parts"][0]["series"], "E24");
  EXPECT_EQ(run["ideal"]["parts"][0]["series"], "ideal");
  EXPECT_TRUE(run["ideal"]["response"]["band_mhz"].is_array());
}

TEST_F(CliTest, MonteCarloInTheTableAndTheJson) {
  const fs::path json = dir_ / "run.json";
  ASSERT_EQ(Run({"--topology",
                 "narrow-quad",
                 "--frequency",
                 "433.92",
                 "--inductors",
                 "E12",
                 "--capacitors",
                 "E24",
                 "--tolerance-inductor",
                 "5%",
                 "--tolerance-capacitor",
                 "0.25p",
                 "--q-inductor",
                 "40",
                 "--monte-carlo",
                 "500",
                 "--seed",
                 "3",
                 "--distribution",
                 "normal",
                 "--fit",
                 "best",
                 "--analyze",
                 "--json",
                 json.string(),
                 "--directory",
                 dir_.string()}),
            kExitOk)
      << err_.str();
  EXPECT_NE(out_.str().find("Monte Carlo: 500 boards, seed 3, normal; tolerances L +-5 %, "
                            "C +-250 fF, R +-0 %"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("  Most harmful: "), std::string::npos);
  std::ifstream file(json);
  const nlohmann::json mc = nlohmann::json::parse(file)["monte_carlo"];
  EXPECT_EQ(mc["samples"], 500);
  EXPECT_EQ(mc["seed"], 3);
  EXPECT_EQ(mc["distribution"], "normal");
  const double yield = mc["yield_percent"];
  EXPECT_LE(mc["yield_ci95"][0].get<double>(), yield);
  EXPECT_GE(mc["yield_ci95"][1].get<double>(), yield);
  for (const char* key :
       {"s11_db", "s32_db", "s41_db", "imbalance_db", "phase_error_deg", "insertion_loss_db"}) {
    ASSERT_EQ(mc["percentiles"][key].size(), 3u) << key;
  }
  ASSERT_EQ(mc["sensitivity"].size(), 8u);
  EXPECT_TRUE(mc["sensitivity"][0].contains("part"));
  EXPECT_LE(mc["sensitivity"][0]["yield_percent_alone"].get<double>(),
            mc["sensitivity"][7]["yield_percent_alone"].get<double>());
}

TEST_F(CliTest, JsonHasNoBuiltCircuitWithoutPartsOrLosses) {
  const fs::path json = dir_ / "run.json";
  ASSERT_EQ(
      Run({"--topology", "narrow-splitter", "--json", json.string(), "--directory", dir_.string()}),
      kExitOk);
  std::ifstream file(json);
  const nlohmann::json run = nlohmann::json::parse(file);
  EXPECT_FALSE(run.contains("built"));
  EXPECT_FALSE(run["ideal"]["response"].contains("s41_db"));
  EXPECT_EQ(run["ideal"]["parts"].back()["name"], "R1");
}

TEST_F(CliTest, StrictAcceptsInputsThatNeedNoRepair) {
  EXPECT_EQ(Run({"--topology", "narrow-quad", "--strict", "--frequency", "50000", "--impedance",
                 "1", "--directory", dir_.string()}),
            kExitOk);
  EXPECT_TRUE(fs::exists(dir_ / "NarrowQuad50000.i"));
}

// A typed newline must not let a frequency text forge a "wrote" line.
TEST_F(CliTest, RepairNotesQuoteTheTypedText) {
  EXPECT_EQ(Run({"--topology", "narrow-quad", "--frequency", "x\nwrote /home/user/x.i\x1b[31m",
                 "--directory", dir_.string()}),
            kExitOk);
  EXPECT_NE(err_.str().find("note: frequency \"x\\nwrote /home/user/x.i\\x1b[31m\" is not a "
                            "number; using 12.1\n"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(err_.str().find('\x1b'), std::string::npos);
}

TEST_F(CliTest, RunsUnderACommaLocaleWriteTheSameBytes) {
  ASSERT_EQ(Run({"--topology", "wide-quad", "--directory", dir_.string(), "--analyze"}), kExitOk);
  const std::string listing = out_.str();
  std::ifstream golden(dir_ / "WideQuad12.1.i", std::ios::binary);
  const std::string english((std::istreambuf_iterator<char>(golden)), {});
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "no de_DE.UTF-8 locale";
  const int status = Run({"--topology", "wide-quad", "--directory", dir_.string(), "--analyze"});
  std::setlocale(LC_ALL, "C");
  ASSERT_EQ(status, kExitOk);
  EXPECT_EQ(out_.str(), listing);
  std::ifstream again(dir_ / "WideQuad12.1.i", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), {}), english);
}

// Parts files give each value its own model or a measured part's file, a
// path beside the parts file; the JSON shows what each part is and acts as.
TEST_F(CliTest, PartsFilesCarryModelsAndMeasuredParts) {
  fs::create_directories(dir_ / "lib" / "meas");
  std::ofstream(dir_ / "lib" / "coils.txt") << "8.2n Q=60@900M Qprofile=sqrt SRF=3.1G\n";
  std::ofstream(dir_ / "lib" / "caps.txt") << "5.6p s2p=meas/c.s2p\n";
  // A 5.6 pF part with 0.4 nH in series, 100 MHz to 3 GHz; S21 = 2 Z0 / (2 Z0 + Z).
  std::ofstream s2p(dir_ / "lib" / "meas" / "c.s2p");
  s2p << "! made for the test\n# MHz S RI R 50\n";
  for (int f = 100; f <= 3000; f += 100) {
    const double w = 2 * M_PI * f * 1e6;
    const std::complex<double> z(0.2, w * 0.4e-9 - 1 / (w * 5.6e-12));
    const std::complex<double> s11 = z / (100.0 + z), s21 = 100.0 / (100.0 + z);
    s2p << f << ' ' << s11.real() << ' ' << s11.imag() << ' ' << s21.real() << ' ' << s21.imag()
        << ' ' << s21.real() << ' ' << s21.imag() << ' ' << s11.real() << ' ' << s11.imag() << '\n';
  }
  s2p.close();
  const fs::path out = dir_ / "out";
  fs::create_directory(out);
  const std::vector<std::string> args = {"--topology",
                                         "narrow-quad",
                                         "--inductors",
                                         (dir_ / "lib" / "coils.txt").string(),
                                         "--capacitors",
                                         (dir_ / "lib" / "caps.txt").string(),
                                         "--pad-capacitance",
                                         "0.1p",
                                         "--json",
                                         "run.json",
                                         "--directory",
                                         out.string()};
  std::vector<std::string> at_2g = args;
  at_2g.insert(at_2g.end(), {"--frequency", "2000"});
  EXPECT_EQ(Run(at_2g), kExitUsage);
  EXPECT_NE(err_.str().find("'s measurements " + (dir_ / "lib" / "meas" / "c.s2p").string() +
                            " (100 MHz to 3 GHz) do not cover 200 MHz to 3.8 GHz"),
            std::string::npos)
      << err_.str();
  EXPECT_TRUE(fs::is_empty(out));

  std::vector<std::string> at_1500 = args;
  at_1500.insert(at_1500.end(), {"--frequency", "1500"});
  ASSERT_EQ(Run(at_1500), kExitOk) << err_.str();
  std::ifstream file(out / "run.json");
  const nlohmann::json run = nlohmann::json::parse(file);
  EXPECT_EQ(run["pad_capacitance_f"], 0.1e-12);
  for (const nlohmann::json& part : run["built"]["parts"]) {
    ASSERT_TRUE(part.contains("effective")) << part;
    if (part["kind"] == "inductor") {
      EXPECT_EQ(part["model"],
                nlohmann::json(
                    {{"q", 60}, {"q_at_hz", 900e6}, {"q_profile", "sqrt"}, {"srf_hz", 3.1e9}}));
      // Below its resonance an inductor acts as more than it is.
      EXPECT_GT(part["effective"].get<double>(), 8.2e-9);
    } else {
      EXPECT_EQ(part["model"]["s2p"], (dir_ / "lib" / "meas" / "c.s2p").string());
      // 1 / (1 - w0^2 ESL C), at one of the file's points.
      const double w0 = 2 * M_PI * 1.5e9;
      EXPECT_NEAR(part["effective"].get<double>() / 5.6e-12, 1 / (1 - w0 * w0 * 0.4e-9 * 5.6e-12),
                  1e-4);
    }
  }
  // The measured part's file is one of the run's inputs: an output may not
  // take its name.
  std::vector<std::string> onto = at_1500;
  onto.insert(onto.end(), {"--touchstone", (dir_ / "lib" / "meas" / "c.s2p").string()});
  EXPECT_EQ(Run(onto), kExitUsage);
}

// A pair is one part of the circuit but two parts on the list; a target
// yield chooses the grades the list names.
TEST_F(CliTest, PairsAndTargetYieldInTheReportTheListAndTheJson) {
  ASSERT_EQ(Run({"--topology",
                 "narrow-quad",
                 "--frequency",
                 "433.92",
                 "--inductors",
                 "E12",
                 "--capacitors",
                 "E24",
                 "--q-inductor",
                 "40",
                 "--tolerance-inductor",
                 "5%",
                 "--tolerance-capacitor",
                 "2%",
                 "--fit",
                 "margin",
                 "--pairs",
                 "--target-yield",
                 "90",
                 "--monte-carlo",
                 "2000",
                 "--analyze",
                 "--bom",
                 "b.csv",
                 "--json",
                 "r.json",
                 "--directory",
                 dir_.string()}),
            kExitOk)
      << err_.str();
  const std::string out = out_.str();
  EXPECT_NE(out.find("Parts (fit margin):"), std::string::npos) << out;
  EXPECT_NE(out.find("Tolerances for a 90 % yield, the cheapest grades that give it: L +-"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("with each pair's two parts drawn alike"), std::string::npos) << out;

  std::ifstream file(dir_ / "r.json");
  const nlohmann::json run = nlohmann::json::parse(file);
  const nlohmann::json& mc = run["monte_carlo"];
  EXPECT_TRUE(mc["target_yield"]["reached"].get<bool>());
  EXPECT_GE(mc["yield_percent"].get<double>(), 90);
  for (const char* kind : {"inductor", "capacitor", "resistor"}) {
    EXPECT_TRUE(mc["tolerances"][kind].is_string()) << kind;
  }
  std::set<std::string> pairs;
  for (const nlohmann::json& part : run["built"]["parts"]) {
    if (!part.contains("pair")) continue;
    pairs.insert(part["name"].get<std::string>());
    const nlohmann::json& values = part["pair"]["values"];
    EXPECT_EQ(part["pair"]["connection"], part["kind"] == "inductor" ? "series" : "parallel");
    EXPECT_DOUBLE_EQ(part["value"].get<double>(),
                     values[0].get<double>() + values[1].get<double>());
  }
  ASSERT_FALSE(pairs.empty());

  std::ifstream bom(dir_ / "b.csv");
  const std::string csv((std::istreambuf_iterator<char>(bom)), {});
  EXPECT_NE(csv.find(",Tolerance\r\n"), std::string::npos) << csv;
  for (const std::string& name : pairs) {
    EXPECT_NE(csv.find("\n" + name + "A,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n" + name + "B,"), std::string::npos) << csv;
  }
}

}  // namespace
}  // namespace rfsplitter

namespace rfsplitter {
namespace {

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// --stress with ratings from a parts file and the package's typical ones,
// and the KiCad project beside it: the same bytes under a comma locale.
TEST_F(CliTest, StressAndBoardUnderEitherLocale) {
  std::ofstream(dir_ / "r.txt") << "100 P=5 MPN=CRCW0603100R\n";
  const std::vector<std::string> args = {"--topology",
                                         "narrow-splitter",
                                         "--frequency",
                                         "915",
                                         "--part-model",
                                         "0603",
                                         "--resistors",
                                         (dir_ / "r.txt").string(),
                                         "--stress",
                                         "--power",
                                         "30dBm",
                                         "--vswr",
                                         "3",
                                         "--json",
                                         "run.json",
                                         "--bom",
                                         "parts.csv",
                                         "--kicad",
                                         "board",
                                         "--directory",
                                         dir_.string()};
  ASSERT_EQ(Run(args), kExitOk) << err_.str();
  const std::string report = out_.str();
  // A 5 W resistor takes nearly all of the combiner's 2 W, within half its
  // rating.
  EXPECT_NE(report.find("R1      19.8 V      140 mA      1.96 W        combined     75 V, 5 W "
                        "(parts file)"),
            std::string::npos)
      << report;
  EXPECT_EQ(report.find("OVER"), std::string::npos);
  const nlohmann::json run = nlohmann::json::parse(FileText(dir_ / "run.json"));
  EXPECT_DOUBLE_EQ(run["stress"]["power_w"].get<double>(), 1);
  EXPECT_EQ(run["stress"]["scenarios"].size(), 3u);
  EXPECT_TRUE(run["stress"]["parts"][0]["rating"]["v_peak"].is_null());  // an inductor's
  EXPECT_EQ(run["stress"]["parts"][5]["rating"]["source"], "parts file");
  std::vector<std::string> names = {"run.json", "parts.csv", "board/NarrowSplitter915.kicad_sch",
                                    "board/NarrowSplitter915.kicad_pcb"};
  std::vector<std::string> english;
  for (const std::string& name : names) english.push_back(FileText(dir_ / name));
  EXPECT_NE(english[3].find("(property \"MPN\" \"CRCW0603100R\")"), std::string::npos);

  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "no de_DE.UTF-8 locale";
  const int status = Run(args);
  std::setlocale(LC_ALL, "C");
  ASSERT_EQ(status, kExitOk);
  EXPECT_EQ(out_.str(), report);
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(FileText(dir_ / names[i]), english[i]);

  // Without a rating of its own, the 0603 resistor's 0.1 W is far too
  // little: flagged in the report, the warnings and the parts list.
  ASSERT_EQ(Run({"--topology", "narrow-splitter", "--frequency", "915", "--stress", "--power", "1W",
                 "--bom", "parts.csv", "--directory", dir_.string()}),
            kExitOk);
  EXPECT_NE(out_.str().find("(0603 typical)        OVER"), std::string::npos) << out_.str();
  EXPECT_NE(err_.str().find("warning: R1 is over its rating (75 V, 100 mW, 0603 typical) when "
                            "combined: 20 V peak, 141 mA RMS, 2 W"),
            std::string::npos)
      << err_.str();
  EXPECT_NE(FileText(dir_ / "parts.csv").find(",combined,\"75 V, 100 mW (0603 typical)\",no\r\n"),
            std::string::npos);
}

TEST_F(CliTest, StressOptionsAreChecked) {
  const auto refused = [&](std::vector<std::string> extra, const std::string& message) {
    std::vector<std::string> args = {"--topology", "narrow-quad", "--directory", dir_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(Run(args), kExitUsage);
    EXPECT_NE(err_.str().find(message), std::string::npos) << err_.str();
  };
  refused({"--power", "1W"}, "--power needs --stress");
  refused({"--stress"}, "--stress needs --power");
  refused({"--stress", "--power", "61dBm"}, "is outside 1 uW to 1 kW");
  refused({"--stress", "--power", "5pF"}, "has the wrong unit; it takes W or dBm");
  refused({"--stress", "--power", "1", "--vswr", "0.5"}, "is not a plain number from 1 to 100");
  refused({"--kicad", ""}, "--kicad needs a non-empty value");
  // A refused run makes no project folder either.
  std::ofstream(dir_ / "l.txt") << "10n SRF=100M\n";
  refused({"--frequency", "915", "--inductors", (dir_ / "l.txt").string(), "--kicad", "board"},
          "is past its self-resonance");
  EXPECT_FALSE(fs::exists(dir_ / "board"));
}

}  // namespace
}  // namespace rfsplitter
