// A design session: everything that makes a design study, as the command
// line's options would say it (`--inductors E12`, `--q-inductor 40`, ...),
// with the parts stepped by hand and the parts files it names. The bench
// saves and opens it; the command line runs it (`--session`) and writes one
// (`--save-session`). A `.rfsplitter` file is its JSON, with a version.
#ifndef RFSPLITTER_STUDY_SESSION_H_
#define RFSPLITTER_STUDY_SESSION_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace rfsplitter {

struct Session {
  static constexpr int kVersion = 1;
  // Option name without its dashes ("q-inductor") -> its text as typed, in
  // the program's grammar (a decimal point).
  std::map<std::string, std::string> options;
  std::set<std::string> flags;  // "pairs", "stress", ...
  // Parts stepped by hand: the part and its value as --set takes it.
  std::vector<std::pair<std::string, std::string>> steps;
  // The parts files named, each with the fingerprint of its text when saved.
  std::map<std::string, std::string> files;

  bool operator==(const Session&) const = default;
};

// The options and flags a session holds: the design's, its parts, models,
// fit, tolerances, limits and stress; never the outputs.
extern const std::vector<std::string_view> kSessionOptions;
extern const std::vector<std::string_view> kSessionFlags;

std::string SessionJson(const Session& session);
// Nothing, with `error` set, for a text that is no session, a damaged one
// or one of a newer version.
std::optional<Session> ReadSession(std::string_view text, std::string& error);

// How a session names a parts file: relative to the session's folder when
// it lies in it or below, so that the two can move together; else by its
// whole path.
std::string SessionFileName(const std::filesystem::path& file,
                            const std::filesystem::path& session_folder);
// The file a session's name stands for: a relative name lies in the
// session's folder.
std::filesystem::path SessionFilePath(const std::string& name,
                                      const std::filesystem::path& session_folder);

// What a file's text is known by: its length and a 64-bit FNV-1a hash.
std::string Fingerprint(std::string_view text);

// The parts files whose text (as `read` gives it; nothing for a file that
// cannot be read) is no longer what the session was saved with, as a
// message ("parts.txt has changed since the session was saved"); empty when
// none.
std::vector<std::string> ChangedFiles(
    const Session& session,
    const std::function<std::optional<std::string>(const std::string&)>& read);

}  // namespace rfsplitter

#endif  // RFSPLITTER_STUDY_SESSION_H_
