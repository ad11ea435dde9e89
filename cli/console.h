// What the command line says besides the study's report: the notes on
// repaired inputs, the files written, the failures. Texts taken from the
// user are quoted with their control characters escaped.
#ifndef RFSPLITTER_CLI_CONSOLE_H_
#define RFSPLITTER_CLI_CONSOLE_H_

#include <filesystem>
#include <string>
#include <vector>

#include "engine/inputs.h"

namespace rfsplitter {

// "warning: frequency range outside recommended range.  " for a number out
// of range (the window's warning), "note: impedance "abc" is not a number;
// using 50" for a silent repair; a line each, in the order the run made them.
std::string RepairText(const std::vector<InputRepair>& repairs);

std::string WroteLine(const std::filesystem::path& path);
std::string CouldNotWriteLine(const std::filesystem::path& path, const std::string& reason);
// "rfsplitter-cli: " + text + "\n"
std::string ErrorLine(const std::string& text);

}  // namespace rfsplitter

#endif  // RFSPLITTER_CLI_CONSOLE_H_
