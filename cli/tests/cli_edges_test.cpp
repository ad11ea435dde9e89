// The program at the edges a designer or an attacker reaches: parts that
// cannot act as their element, hostile parts files and measured parts,
// names that are no UTF-8, a system that refuses threads or memory, and
// output sets shared with other users, other runs and killed runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "cli/tests/program_runner.h"
#include "engine/tests/scratch_directory.h"

namespace rfsplitter {
namespace {

const std::map<std::string, std::string> kFiles = {
    {"hiL.txt", "10n SRF=2G\n12n SRF=2G\n15n SRF=1.8G\n"},
    {"lo.txt", "15n SRF=500M\n"},
    // A part measured from 10 to 11 MHz only.
    {"meas.txt", "15n s2p=narrow.s2p\n"},
    {"narrow.s2p",
     "# MHz S RI R 50\n10 0.01 0.1 0.99 -0.1 0.99 -0.1 0.01 0.1\n"
     "11 0.01 0.11 0.99 -0.11 0.99 -0.11 0.01 0.11\n"},
    {"passwd.txt", "15n s2p=../../../../../../../etc/passwd\n"},
    {"environ.txt", "15n s2p=/proc/self/environ\n"},
    {"tinyq.txt", "15n Q=1e-300\n"},
    {"twice.txt", "15n Q=60 Q=5\n"},
    {"twomodels.txt", "15n Q=60\n18n\n15n Q=50\n"},
    {"p\x1b[2J.txt", "1p\nbad\n"},
    {"p\xff.txt", "10n\n12n\n15n\n18n\n22n\n"},
};

struct Edge {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::string message;
};

class CliEdges : public testing::TestWithParam<Edge> {};

TEST_P(CliEdges, EndsAsPromised) {
  const Edge& edge = GetParam();
  ScratchDirectory scratch;
  for (const auto& [name, text] : kFiles) std::ofstream(scratch.path() / name) << text;
  const auto before = Snapshot(scratch.path());
  const Outcome outcome = RunProgram(edge.args, scratch.path());
  EXPECT_EQ(outcome.status, edge.status) << outcome.err;
  EXPECT_NE(outcome.err.find(edge.message), std::string::npos) << outcome.err;
  // No file's text is echoed, and no control byte reaches the terminal.
  EXPECT_EQ(outcome.err.find("root:"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find("PATH="), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find('\x1b'), std::string::npos) << outcome.err;
  if (edge.status != 0) {
    EXPECT_EQ(Snapshot(scratch.path()), before);
  }
}

std::vector<std::string> Quad(double f, std::vector<std::string> more) {
  std::vector<std::string> args = {"--topology", "narrow-quad", "--frequency", std::to_string(f)};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

INSTANTIATE_TEST_SUITE_P(
    , CliEdges,
    testing::Values(
        // No part of the file can act as the element: never a value it lacks.
        Edge{"EveryPartPastItsResonance",
             Quad(2450, {"--inductors", "hiL.txt", "--fit", "nearest", "--analyze"}), 2,
             "hiL.txt: no inductor of the file can act as L1, L2 (2.29707 nH) at 2.45 GHz; its "
             "10 nH, for one, is past its self-resonance (SRF 2 GHz)"},
        Edge{"TheOnlyPartPastItsResonance", Quad(915, {"--inductors", "lo.txt"}), 2,
             "is past its self-resonance (SRF 500 MHz)"},
        Edge{"MeasuredElsewhere", Quad(915, {"--inductors", "meas.txt", "--fit", "margin"}), 2,
             "meas.txt: no inductor of the file can act as L1, L2 (6.15063 nH) at 915 MHz; its "
             "15 nH, for one, is measured over narrow.s2p (10 MHz to 11 MHz) only"},
        Edge{"NoValueOfTheModelActsAsIt",
             Quad(2450, {"--inductors", "E12", "--srf-inductor", "2G"}), 2,
             "no inductor with the model given can act as L1, L2 (2.29707 nH) at 2.45 GHz: a "
             "2.29707 nH part is past its self-resonance (SRF 2 GHz)"},
        Edge{"BoughtAsIsPastResonanceIsSaid",
             Quad(2450, {"--inductors", "E12", "--srf-inductor", "2G", "--uncompensated"}), 0,
             "is past its self-resonance (SRF 2 GHz, f0 2.45 GHz): it acts as a capacitor and "
             "cannot act as the inductor"},
        // Hostile or careless words and files.
        Edge{"NotTouchstone", Quad(915, {"--inductors", "passwd.txt"}), 2,
             "passwd line 1: number 1 is not a number"},
        Edge{"NotTouchstoneEither", Quad(915, {"--inductors", "environ.txt"}), 2,
             "environ line 1:"},
        Edge{"QOutOfRange", Quad(915, {"--inductors", "tinyq.txt"}), 2,
             "tinyq.txt line 1: \"Q=1e-300\" is outside 1 to 1000000"},
        Edge{"WordTwice", Quad(915, {"--inductors", "twice.txt"}), 2, "\"Q=\" is given twice"},
        Edge{"ValueWithTwoModels", Quad(915, {"--inductors", "twomodels.txt"}), 2,
             "twomodels.txt line 3: \"15n\" is on line 1 too, with another model"},
        Edge{"ControlBytesInAName", Quad(915, {"--capacitors", "p\x1b[2J.txt"}), 2,
             "p\\x1b[2J.txt line 2: \"bad\" is not a number"}),
    [](const testing::TestParamInfo<Edge>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(CliEdgesJson, NamesThatAreNoUtf8AndPartsWithoutAnEffectiveValue) {
  ScratchDirectory scratch;
  for (const auto& [name, text] : kFiles) std::ofstream(scratch.path() / name) << text;
  Outcome outcome =
      RunProgram(Quad(915, {"--inductors", "p\xff.txt", "--json", "j.json"}), scratch.path());
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  nlohmann::json run = nlohmann::json::parse(Read(scratch.path() / "j.json"));
  EXPECT_EQ(run["built"]["parts"][0]["series"], "p\\xff.txt");

  // Bought as they are past their resonance, the inductors act as no
  // inductance: `effective` is left out rather than written as 0.
  outcome = RunProgram(Quad(2450, {"--inductors", "E12", "--srf-inductor", "2G", "--uncompensated",
                                   "--json", "k.json"}),
                       scratch.path());
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  run = nlohmann::json::parse(Read(scratch.path() / "k.json"));
  for (const auto& part : run["built"]["parts"]) {
    if (part["kind"] == "inductor") {
      EXPECT_FALSE(part.contains("effective")) << part.dump();
    } else {
      EXPECT_GT(part["effective"].get<double>(), 0) << part.dump();
    }
  }
}

// Threads refused (a process limit) and memory refused (an address space
// limit): the run goes on with the one thread it has, or says it ran out.
TEST(CliEdgesLimits, FewerThreadsOrNoMemoryAreNoCrash) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user with its own limit";
  ScratchDirectory scratch;
  fs::permissions(scratch.path(), fs::perms::all);
  std::vector<std::string> args = {"--topology",  "wide-quad",
                                   "--frequency", "915",
                                   "--parts",     "E24",
                                   "--fit",       "yield",
                                   "--pairs",     "--tolerance-inductor",
                                   "5%",          "--tolerance-capacitor",
                                   "2%",          "--monte-carlo",
                                   "4000"};
  const Outcome free = RunProgram(args, scratch.path(), true);
  ASSERT_EQ(free.status, 0) << free.err;
  const Outcome one_thread = RunProgram(args, scratch.path(), true, [] {
    const rlimit one{1, 1};
    setrlimit(RLIMIT_NPROC, &one);
    // The leak checker needs a thread of its own at the end.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
  });
  EXPECT_EQ(one_thread.status, 0) << one_thread.err;
  EXPECT_EQ(one_thread.out, free.out) << "a seed gives the same yield on any number of threads";
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow memory needs more address space

  args = {"--topology", "wide-quad", "--monte-carlo", "1000000", "--tolerance-inductor",
          "5%",         "--analyze", "--json",        "j.json"};
  const Outcome starved = RunProgram(args, scratch.path(), true, [] {
    const rlimit small{16 << 20, 16 << 20};
    setrlimit(RLIMIT_AS, &small);
  });
  EXPECT_EQ(starved.status, 1) << starved.err;
  EXPECT_NE(starved.err.find("out of memory; nothing was written"), std::string::npos)
      << starved.err;
  EXPECT_FALSE(fs::exists(scratch.path() / "j.json"));
#endif
}

const std::vector<std::string> kSet = {"--topology", "wide-quad", "--touchstone", "--spice",
                                       "--plot",     "p.svg",     "--bom",        "b.csv",
                                       "--json",     "j.json"};

// In a sticky folder another user's file cannot be replaced: the run is
// refused before it writes, and every earlier file stays as it was.
TEST(CliEdgesFiles, AnotherUsersFileInAStickyFolderIsRefusedBeforeAnythingIsWritten) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to plant files of two users";
  ScratchDirectory scratch;
  const fs::path shared = scratch.path() / "shared";
  fs::create_directory(shared);
  chmod(scratch.path().c_str(), 0755);
  chmod(shared.c_str(), 01777);
  for (const char* name : {"WideQuad12.1.s4p", "WideQuad12.1.cir", "p.svg", "b.csv", "j.json"}) {
    std::ofstream(shared / name) << "earlier " << name << "\n";
    chmod((shared / name).c_str(), 0666);
    // Nobody's files, but for the JSON, which stays root's.
    if (std::string(name) != "j.json") {
      EXPECT_EQ(chown((shared / name).c_str(), 65534, 65534), 0);
    }
  }
  const auto before = Snapshot(shared);
  const Outcome outcome = RunProgram(kSet, shared, true);
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_NE(outcome.err.find("could not write \"j.json\": the file belongs to another user in a "
                             "folder where only a file's owner may replace it"),
            std::string::npos)
      << outcome.err;
  EXPECT_EQ(Snapshot(shared), before);
}

// Runs that write the same names at once leave one run's whole set.
TEST(CliEdgesFiles, ConcurrentRunsLeaveOneRunsSet) {
  ScratchDirectory scratch;
  for (int round = 0; round < 3; ++round) {
    std::vector<pid_t> children;
    for (int run = 0; run < 24; ++run) {
      std::vector<std::string> args = kSet;
      args.insert(args.end(), {"--impedance", std::to_string(30 + run)});
      children.push_back(Start(args, scratch.path()));
    }
    for (const pid_t pid : children) {
      const int status = Wait(pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // The impedance each file was made for.
    const nlohmann::json run = nlohmann::json::parse(Read(scratch.path() / "j.json"));
    const std::string z = std::to_string(run["impedance_ohms"].get<int>());
    EXPECT_NE(Read(scratch.path() / "WideQuad12.1.s4p").find("# Hz S MA R " + z + "\n"),
              std::string::npos)
        << "round " << round;
    EXPECT_NE(Read(scratch.path() / "WideQuad12.1.i").find("Impedance of circuit is  " + z + " "),
              std::string::npos)
        << "round " << round << ": " << Read(scratch.path() / "WideQuad12.1.i");
    for (const auto& entry : fs::directory_iterator(scratch.path())) {
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
  }
}

// What killed runs leave (temporaries and the keepsakes of replaced files)
// goes with the next run in the folder; other hidden files stay.
TEST(CliEdgesFiles, ALaterRunClearsWhatKilledRunsLeft) {
  ScratchDirectory scratch;
  const fs::path& dir = scratch.path();
  // A real kill first, somewhere in a long run's writing.
  std::vector<std::string> args = kSet;
  args.insert(args.end(), {"--tolerance-inductor", "5%", "--monte-carlo", "200000"});
  for (int delay_ms : {40, 80, 120, 160}) {
    const pid_t pid = Start(args, dir);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    kill(pid, SIGKILL);
    Wait(pid);
  }
  for (const char* name : {".p.svg.rfsplitter-Ab3dE9", ".j.json.rfsplitter-zz0000.old", ".keep.me",
                           ".p.svg.rfsplitter-short"}) {
    std::ofstream(dir / name) << "left\n";
  }
  const Outcome outcome = RunProgram({"--topology", "wide-quad", "--plot", "p.svg"}, dir);
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  std::vector<std::string> hidden;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name[0] == '.') hidden.push_back(name);
  }
  std::sort(hidden.begin(), hidden.end());
  EXPECT_EQ(hidden, (std::vector<std::string>{".keep.me", ".p.svg.rfsplitter-short"}));
}

}  // namespace
}  // namespace rfsplitter
