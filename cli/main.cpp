#include <unistd.h>

#include <exception>
#include <iostream>
#include <new>
#include <string_view>

#include "cli/cli.h"

namespace {

// Said with write(2) alone: after running out of memory, a stream may not
// be able to take another line.
void SayFailure(std::string_view text) {
  const std::string_view start = "rfsplitter-cli: ";
  [[maybe_unused]] const auto a = ::write(2, start.data(), start.size());
  [[maybe_unused]] const auto b = ::write(2, text.data(), text.size());
  [[maybe_unused]] const auto c = ::write(2, "\n", 1);
}

}  // namespace

// Nothing escapes: a failure the run did not foresee is reported and ends
// the run with status 1 (its files, written as a set, are as they were).
int main(int argc, char** argv) {
  try {
    return rfsplitter::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr);
  } catch (const std::bad_alloc&) {
    SayFailure("out of memory; nothing was written");
  } catch (const std::exception& e) {
    SayFailure("internal failure: ");
    SayFailure(e.what());
  } catch (...) {
    SayFailure("internal failure; nothing was written");
  }
  return 1;
}
