// The built command-line program as a child process: what a shell, a full
// disk or a kill does to it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "cli/tests/program_runner.h"
#include "engine/tests/scratch_directory.h"

namespace rfsplitter {
namespace {

const std::vector<std::string> kTargets = {"WideQuad12.1.i", "WideQuad12.1.s4p", "WideQuad12.1.cir",
                                           "plot.svg"};

std::vector<std::string> AllExports(const char* impedance) {
  return {"--topology",   "wide-quad", "--impedance", impedance, "--analyze",
          "--touchstone", "--spice",   "--plot",      "plot.svg"};
}

std::map<std::string, std::string> Outputs(const fs::path& directory) {
  std::map<std::string, std::string> texts;
  for (const std::string& name : kTargets) texts[name] = Read(directory / name);
  return texts;
}

// Killed at random moments while it writes every export, the program leaves
// each target absent, old and whole, or new and whole; anything else it
// leaves is a hidden temporary.
TEST(CliProgram, AKillNeverLeavesAPartialFile) {
  ScratchDirectory old_run, new_run, work;
  ASSERT_EQ(Wait(Start(AllExports("50"), old_run.path())), 0);
  ASSERT_EQ(Wait(Start(AllExports("75"), new_run.path())), 0);
  const auto old_texts = Outputs(old_run.path());
  const auto new_texts = Outputs(new_run.path());
  for (const std::string& name : kTargets) ASSERT_NE(old_texts.at(name), new_texts.at(name));

  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> delay_us(0, 3000);
  int killed = 0;
  for (int round = 0; round < 300; ++round) {
    const bool newer = round % 2 == 1;
    const pid_t pid = Start(AllExports(newer ? "75" : "50"), work.path());
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    kill(pid, SIGKILL);
    const int status = Wait(pid);
    killed += WIFSIGNALED(status) ? 1 : 0;
    for (const auto& entry : fs::directory_iterator(work.path())) {
      const std::string name = entry.path().filename().string();
      if (name[0] == '.') continue;  // a temporary the kill left behind
      ASSERT_TRUE(old_texts.contains(name)) << "round " << round << ": stray file " << name;
      const std::string text = Read(entry.path());
      ASSERT_TRUE(text == old_texts.at(name) || text == new_texts.at(name))
          << "round " << round << ": " << name << " is partial (" << text.size() << " bytes)";
    }
  }
  // Most rounds must really have been cut short, or the test proved little.
  EXPECT_GT(killed, 100);
}

TEST(CliProgram, AFullStandardOutputIsAFailure) {
  ScratchDirectory dir;
  const fs::path err = dir.path() / "err.txt";
  const int status =
      Wait(Start({"--topology", "wide-quad", "--analyze"}, dir.path(), "/dev/full", err.c_str()));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(Read(err).find("could not write to standard output"), std::string::npos) << Read(err);
}

TEST(CliProgram, ExportsIntoAFullDeviceFailAndKeepTheEarlierFiles) {
  // /dev/full as the directory: nothing can be created in it.
  ScratchDirectory dir;
  const fs::path err = dir.path() / "err.txt";
  const int status = Wait(Start({"--topology", "wide-quad", "--plot", "/dev/full/plot.svg"},
                                dir.path(), "/dev/null", err.c_str()));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(Read(err).find("could not write \"/dev/full/plot.svg\": cannot create the file: "),
            std::string::npos)
      << Read(err);
}

}  // namespace
}  // namespace rfsplitter
