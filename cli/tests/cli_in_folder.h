// The command line run in the test's process, writing into a scratch
// folder of the test's own, with what it said and wrote at hand.
#ifndef RFSPLITTER_CLI_TESTS_CLI_IN_FOLDER_H_
#define RFSPLITTER_CLI_TESTS_CLI_IN_FOLDER_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "engine/tests/scratch_directory.h"

namespace rfsplitter {

class CliInFolder : public testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    args.insert(args.end(), {"--directory", dir_.string()});
    return RunCli(args, out_, err_);
  }
  std::string Text(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  ScratchDirectory scratch_;
  const std::filesystem::path& dir_ = scratch_.path();
  std::ostringstream out_, err_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_CLI_TESTS_CLI_IN_FOLDER_H_
