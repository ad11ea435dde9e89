// The command-line front end: the same design run as the window's Generate
// button, with the listing on standard output and every message on standard
// error, plus the analysis and export options.
#ifndef RFSPLITTER_CLI_CLI_H_
#define RFSPLITTER_CLI_CLI_H_

#include <iosfwd>
#include <string>
#include <vector>

namespace rfsplitter {

inline constexpr int kExitOk = 0;
// A file, standard output or standard error could not be written.
inline constexpr int kExitFileFailure = 1;
inline constexpr int kExitUsage = 2;
// The circuit could not be analysed (its node matrix is singular).
inline constexpr int kExitAnalysisFailure = 3;
// --choose: no form covers the band.
inline constexpr int kExitNoFormCovers = 3;

// `args` excludes the program name. Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace rfsplitter

#endif  // RFSPLITTER_CLI_CLI_H_
