// The command line's inputs and outputs against careless and hostile use:
// the real program as a child process in a directory of its own. Every row
// of the table must end with its exit status and message, and leave every
// file as it was; the fuzz loop throws random option combinations at it
// and checks the same promises.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "cli/tests/program_runner.h"
#include "engine/tests/scratch_directory.h"

namespace rfsplitter {
namespace {

struct Fault {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::string message;
  bool unprivileged = false;
};

class CliFaults : public testing::TestWithParam<Fault> {};

// The scratch directory every row runs in: a parts file, a FIFO, a
// directory nobody may search, and an earlier run's Touchstone file.
const std::map<std::string, std::string> kPartsFiles = {{"mine.txt", "18n\n22n\n27n\n"},
                                                        {"mixed.txt",
                                                         "\xef\xbb\xbf"
                                                         "18 nH\n22 nH\n10 pF\n12 pF\n100 ohm\n"},
                                                        {"mega.txt", "18 MH\n"},
                                                        {"hostile.txt",
                                                         "1p\n\xe2\x80\xae\x9b"
                                                         "2p\n"}};

void WritePartsFiles(const fs::path& dir) {
  for (const auto& [name, text] : kPartsFiles) std::ofstream(dir / name) << text;
}

void Furnish(const fs::path& dir) {
  // Open to the unprivileged run, which must be stopped by "locked" alone.
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  WritePartsFiles(dir);
  std::ofstream(dir / "huge.txt") << "1p\n" << std::string(10 << 20, 'x') << "\n";
  std::ofstream(dir / "WideQuad12.1.s4p") << "an earlier run's file\n";
  mkfifo((dir / "fifo").c_str(), 0644);
  fs::create_directories(dir / "locked" / "inner");
  fs::permissions(dir / "locked", fs::perms::none);
}

TEST_P(CliFaults, EndsAsPromisedAndLeavesEveryFileAlone) {
  const Fault& fault = GetParam();
  ScratchDirectory scratch;
  Furnish(scratch.path());
  const auto before = Snapshot(scratch.path());
  const Outcome outcome = RunProgram(fault.args, scratch.path(), fault.unprivileged);
  fs::permissions(scratch.path() / "locked", fs::perms::owner_all);
  EXPECT_EQ(outcome.status, fault.status) << outcome.err;
  EXPECT_NE(outcome.err.find(fault.message), std::string::npos) << outcome.err;
  EXPECT_LT(outcome.err.size(), 6000u) << "a message should not echo whole inputs";
  if (fault.status != 0) {
    EXPECT_EQ(Snapshot(scratch.path()), before) << "a refused run changed a file";
    EXPECT_EQ(outcome.out, "") << "a refused run printed a listing";
  } else {
    // A run that goes ahead may add files, but changes none it reads.
    const auto after = Snapshot(scratch.path());
    for (const auto& [name, text] : before) {
      if (name.find(".txt") != std::string::npos) {
        EXPECT_EQ(after.at(name), text) << name;
      }
    }
  }
}

const std::vector<std::string> kWide = {"--topology", "wide-quad"};
std::vector<std::string> Wide(std::vector<std::string> more) {
  std::vector<std::string> args = kWide;
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

INSTANTIATE_TEST_SUITE_P(
    , CliFaults,
    testing::Values(
        // 1: an output over an input
        Fault{"BomOverTheParts", Wide({"--parts", "mine.txt", "--bom", "mine.txt"}), 2,
              "--bom \"mine.txt\" is the --parts file \"mine.txt\" of this run"},
        Fault{"JsonOverTheInductors", Wide({"--inductors", "mine.txt", "--json", "./mine.txt"}), 2,
              "is the --inductors file"},
        Fault{"PlotOverTheParts", Wide({"--parts", "mine.txt", "--plot", "mine.txt"}), 2,
              "writing it would destroy it"},
        // 2, 3: parts sources that are no regular file, or too large
        Fault{"PartsADirectory", Wide({"--parts", "."}), 2, "--parts \".\": is a directory"},
        Fault{"PartsUnreadable", Wide({"--parts", "/proc/self/mem"}), 2,
              "cannot read it: Input/output error"},
        Fault{"PartsADevice", Wide({"--parts", "/dev/zero"}), 2, "is not a regular file"},
        Fault{"PartsAFifo", Wide({"--parts", "fifo"}), 2, "is not a regular file"},
        // 4: an empty value after "="
        Fault{"EmptyJsonSwallowsNothing", Wide({"--json=", "--analyze"}), 2,
              "--json= needs a value after the \"=\""},
        Fault{"EmptyPlot", Wide({"--plot=", "--touchstone"}), 2, "--plot= needs a value"},
        // 5: NaN and infinities
        Fault{"NaNMatch", Wide({"--limit-match", "NaN"}), 2,
              "--limit-match \"NaN\" is not a number"},
        Fault{"NaNPhase", Wide({"--limit-phase", "nan"}), 2, "is not a number"},
        Fault{"NaNBand", Wide({"--yield-band", "NaN", "--monte-carlo", "10"}), 2,
              "--yield-band \"NaN\" is not a number"},
        Fault{"NaNQ", Wide({"--q-inductor", "NaN"}), 2, "--q-inductor \"NaN\" is not a number"},
        Fault{"InfiniteIsolation", Wide({"--limit-isolation", "inf"}), 2, "is not a number"},
        // 6: one parts file for every kind, with units
        Fault{"MixedUnits",
              {"--topology", "narrow-splitter", "--parts", "mixed.txt"},
              0,
              "wrote \"NarrowSplitter12.1.i\""},
        // 7: paths that cannot be resolved
        Fault{"UnsearchableDirectory", Wide({"--directory", "locked/inner"}), 1,
              "cannot create the file: Permission denied", true},
        Fault{"PathTooLong", Wide({"--directory", std::string(5000, 'd')}), 1,
              "File name too long"},
        // 8: a yield band down to 0 Hz
        Fault{"YieldBandTo0Hz", Wide({"--yield-band", "200", "--monte-carlo", "10"}), 2,
              "--yield-band \"200\" is outside 0 to 190"},
        // 9: tolerances and Q without bounds
        Fault{"HugeAbsoluteTolerance",
              Wide({"--tolerance-inductor", "1e300u", "--monte-carlo", "10"}), 2,
              "the inductor tolerance"},
        Fault{"TinyQ", Wide({"--q-inductor", "1e-300"}), 2,
              "--q-inductor \"1e-300\" is outside 1 to 1000000"},
        // 10: a run that fails leaves no file of its own beside older ones
        Fault{"JsonToStandardOutput", Wide({"--touchstone", "--json", "/dev/stdout"}), 1,
              "could not write \"/dev/stdout\": the name is a symbolic link"},
        Fault{"PlotIntoAMissingFolder", Wide({"--touchstone", "--plot", "no/such/p.svg"}), 1,
              "could not write \"no/such/p.svg\": cannot create the file: No such file"},
        // 11: a legal name of 250 bytes
        Fault{"LongName", Wide({"--json", std::string(245, 'j') + ".json"}), 0, ".json\""},
        // 12: messages
        Fault{"ByteOrderMarkSkipped",
              {"--topology", "narrow-splitter", "--parts", "mixed.txt"},
              0,
              "wrote"},
        Fault{"HostileBytesEscaped", Wide({"--capacitors", "hostile.txt"}), 2,
              "hostile.txt line 2: \"\\u202e\\x9b2p\" is not a number"},
        Fault{"LongLineCut", Wide({"--capacitors", "huge.txt"}), 2, "... (10485760 bytes)"},
        Fault{"PercentInExponentForm",
              Wide({"--tolerance-inductor", "1e2%", "--tolerance-capacitor", "0.1p",
                    "--monte-carlo", "16"}),
              0, "wrote"},
        Fault{"ValueTooLarge", Wide({"--q-capacitor", "1e308 G"}), 2, "is too large"},
        // 13: seeds
        Fault{"SeedTooLarge", Wide({"--seed", "18446744073709551616", "--monte-carlo", "10"}), 2,
              "--seed \"18446744073709551616\" is not a whole number from 0 to "
              "18446744073709551615"},
        Fault{"SeedNegative", Wide({"--seed", "-1", "--monte-carlo", "10"}), 2,
              "is not a whole number"},
        // 14: a part far off its value
        Fault{"PartsFarOff",
              {"--topology", "narrow-splitter", "--inductors", "mega.txt"},
              0,
              "warning: L1 = 18 MH (mega.txt line 1) is more than a decade from its ideal value"}),
    [](const testing::TestParamInfo<Fault>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(CliHelp, IntoAFullDeviceIsAFailure) {
  ScratchDirectory scratch;
  const pid_t pid = fork();
  if (pid == 0) {
    const int full = open("/dev/full", O_WRONLY);
    const int null = open("/dev/null", O_WRONLY);
    dup2(full, 1);
    dup2(null, 2);
    execl(RFSPLITTER_CLI, RFSPLITTER_CLI, "--help", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

// Random option combinations, some valid, some not: the program never
// crashes, ends with one of its four statuses, says why when it refuses,
// writes nothing then, never leaves a temporary, and never touches its
// inputs. Under the sanitizer build this also hunts memory errors.
TEST(CliRandomOptions, KeepEveryPromise) {
  const std::vector<std::vector<std::string>> choices = {
      {"--topology", "narrow-splitter", "narrow-quad", "wide-quad", "triplexer", ""},
      {"--frequency", "12.1", "433.92", "0", "1e39", "abc", "", "-5", "50000", "2450"},
      {"--impedance", "50", "75", "0.5", "x", ""},
      {"--parts", "E12", "E7", "mine.txt", "mixed.txt", "fifo", ".", "hostile.txt"},
      {"--inductors", "E24", "mega.txt", "mine.txt"},
      {"--capacitors", "E24", "E96", "mixed.txt"},
      {"--fit", "nearest", "retune", "best", "bestt", "0", "margin", "yield"},
      {"--target-yield", "95", "0", "100", "x"},
      {"--q-inductor", "40", "0", "NaN", "1e6", "60"},
      {"--q-capacitor", "500", "-1", "inf"},
      {"--tolerance-inductor", "5%", "0.2n", "101%", "-1%", "1e300u", "0"},
      {"--tolerance-capacitor", "2%", "0.1p", "1e2%", "5"},
      {"--monte-carlo", "64", "0", "1000001", "1e3", "abc"},
      {"--seed", "7", "-1", "18446744073709551616"},
      {"--distribution", "normal", "uniform", "cauchy"},
      {"--limit-match", "20", "-20", "NaN", "500"},
      {"--limit-imbalance", "0.5", "-1", "30"},
      {"--yield-band", "10", "200", "NaN"},
      {"--plot", "p.svg", "mine.txt", "", "no/such/p.svg", "WideQuad12.1.i"},
      {"--json", "r.json", "/dev/stdout", "mixed.txt"},
      {"--bom", "b.csv", "p.svg"},
      {"--directory", "out", "locked/inner", "missing"},
  };
  const std::vector<std::string> flags = {"--analyze", "--touchstone", "--spice",
                                          "--strict",  "--pairs",      "--tie-equal-values"};
  std::mt19937 random(20261209);
  ScratchDirectory scratch;
  WritePartsFiles(scratch.path());
  mkfifo((scratch.path() / "fifo").c_str(), 0644);
  fs::create_directories(scratch.path() / "locked" / "inner");
  fs::permissions(scratch.path() / "locked", fs::perms::none);
  fs::create_directory(scratch.path() / "out");
  for (int round = 0; round < 300; ++round) {
    // A run may write over a parts file it does not read; the next one
    // starts from the files as they were.
    WritePartsFiles(scratch.path());
    std::vector<std::string> args;
    for (const auto& option : choices) {
      if (option[0] != "--topology" && random() % 4 != 0) continue;
      const std::string& value = option[1 + random() % (option.size() - 1)];
      if (random() % 5 == 0) {
        args.push_back(option[0] + "=" + value);
      } else {
        args.push_back(option[0]);
        args.push_back(value);
      }
    }
    for (const std::string& flag : flags) {
      if (random() % 3 == 0) args.push_back(flag);
    }
    // A fit by cost unless one was drawn: the searching fits take their
    // time, and a few of them are enough here.
    if (std::none_of(args.begin(), args.end(),
                     [](const std::string& a) { return a.rfind("--fit", 0) == 0; })) {
      args.insert(args.end(), {"--fit", "best"});
    }
    std::string shown;
    std::vector<std::string> read;  // the parts files this run reads
    for (size_t i = 0; i < args.size(); ++i) {
      shown += " '" + args[i] + "'";
      for (const char* option : {"--parts", "--inductors", "--capacitors"}) {
        const std::string a = args[i], o = option;
        if (a == o && i + 1 < args.size()) read.push_back(args[i + 1]);
        if (a.rfind(o + "=", 0) == 0) read.push_back(a.substr(o.size() + 1));
      }
    }
    const auto before = Snapshot(scratch.path());
    const Outcome outcome = RunProgram(args, scratch.path());
    const auto after = Snapshot(scratch.path());
    ASSERT_TRUE(outcome.status >= 0 && outcome.status <= 3)
        << "round " << round << ":" << shown << "\n"
        << outcome.err;
    for (const auto& [name, text] : after) {
      ASSERT_NE(fs::path(name).filename().string()[0], '.')
          << "round " << round << ": a temporary was left:" << shown;
    }
    for (const std::string& name : read) {
      if (!kPartsFiles.contains(name)) continue;
      ASSERT_EQ(after.at(name), before.at(name))
          << "round " << round << ": an input changed:" << shown;
    }
    if (outcome.status != 0) {
      ASSERT_FALSE(outcome.err.empty()) << "round " << round << ":" << shown;
      ASSERT_EQ(after, before) << "round " << round << ": a refused run wrote:" << shown << "\n"
                               << outcome.err;
    }
  }
  fs::permissions(scratch.path() / "locked", fs::perms::owner_all);
}

}  // namespace
}  // namespace rfsplitter
