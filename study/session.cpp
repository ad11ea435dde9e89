#include "study/session.h"

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>

namespace rfsplitter {
namespace {

using Json = nlohmann::ordered_json;

}  // namespace

const std::vector<std::string_view> kSessionOptions = {"topology",
                                                       "ways",
                                                       "split",
                                                       "sections",
                                                       "arms",
                                                       "frequency",
                                                       "impedance",
                                                       "parts",
                                                       "inductors",
                                                       "capacitors",
                                                       "resistors",
                                                       "fit",
                                                       "target-yield",
                                                       "q-inductor",
                                                       "q-capacitor",
                                                       "q-profile",
                                                       "srf-inductor",
                                                       "esl-capacitor",
                                                       "esr-capacitor",
                                                       "cp-resistor",
                                                       "pad-capacitance",
                                                       "part-model",
                                                       "tolerance-inductor",
                                                       "tolerance-capacitor",
                                                       "tolerance-resistor",
                                                       "tolerance-parasitics",
                                                       "monte-carlo",
                                                       "seed",
                                                       "distribution",
                                                       "limit-match",
                                                       "limit-isolation",
                                                       "limit-imbalance",
                                                       "limit-phase",
                                                       "yield-band",
                                                       "power",
                                                       "vswr"};
const std::vector<std::string_view> kSessionFlags = {"pairs", "tie-equal-values", "uncompensated",
                                                     "stress"};

std::string SessionJson(const Session& s) {
  Json options = Json::object();
  for (const std::string_view name : kSessionOptions) {
    if (const auto at = s.options.find(std::string(name)); at != s.options.end())
      options[at->first] = at->second;
  }
  Json flags = Json::array();
  for (const std::string_view name : kSessionFlags)
    if (s.flags.count(std::string(name))) flags.push_back(name);
  Json steps = Json::object();
  for (const auto& [part, value] : s.steps) steps[part] = value;
  Json files = Json::object();
  for (const auto& [path, fingerprint] : s.files) files[path] = fingerprint;
  const Json json = {{"rfsplitter_session", Session::kVersion},
                     {"options", options},
                     {"flags", flags},
                     {"steps", steps},
                     {"files", files}};
  return json.dump(2) + "\n";
}

std::optional<Session> ReadSession(std::string_view text, std::string& error) {
  const Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object() || !json.contains("rfsplitter_session")) {
    error = "not a session file (a .rfsplitter file is JSON with \"rfsplitter_session\")";
    return std::nullopt;
  }
  const Json& version = json["rfsplitter_session"];
  if (!version.is_number_integer() || version.get<long>() < 1) {
    error = "a damaged session: its version is not a whole number from 1";
    return std::nullopt;
  }
  if (version.get<long>() > Session::kVersion) {
    error = "a session of a newer version (" + std::to_string(version.get<long>()) +
            ") than this program reads (" + std::to_string(Session::kVersion) +
            "); open it with a newer program";
    return std::nullopt;
  }
  Session s;
  using Store = std::function<bool(const std::string&, const std::string&)>;
  const auto strings = [&](const char* key, const Store& store) {
    if (!json.contains(key)) return true;
    const Json& object = json[key];
    if (!object.is_object()) return false;
    for (const auto& [name, value] : object.items()) {
      if (!value.is_string()) return false;
      if (!store(name, value.get<std::string>())) return false;
    }
    return true;
  };
  const bool ok = strings("options",
                          [&](const std::string& name, const std::string& value) {
                            for (const std::string_view known : kSessionOptions) {
                              if (known == name) return s.options.emplace(name, value), true;
                            }
                            error =
                                "a damaged session: \"" + name + "\" is no option a session holds";
                            return false;
                          }) &&
                  strings("steps",
                          [&](const std::string& part, const std::string& value) {
                            return s.steps.emplace_back(part, value), true;
                          }) &&
                  strings("files", [&](const std::string& path, const std::string& fingerprint) {
                    return s.files.emplace(path, fingerprint), true;
                  });
  if (!ok) {
    if (error.empty()) error = "a damaged session: options, steps and files hold texts";
    return std::nullopt;
  }
  if (json.contains("flags")) {
    if (!json["flags"].is_array()) {
      error = "a damaged session: its flags are not a list";
      return std::nullopt;
    }
    for (const Json& flag : json["flags"]) {
      const bool known =
          flag.is_string() && std::find(kSessionFlags.begin(), kSessionFlags.end(),
                                        flag.get<std::string>()) != kSessionFlags.end();
      if (!known) {
        error = "a damaged session: " + flag.dump() + " is no flag a session holds";
        return std::nullopt;
      }
      s.flags.insert(flag.get<std::string>());
    }
  }
  return s;
}

std::string SessionFileName(const std::filesystem::path& file,
                            const std::filesystem::path& session_folder) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(file, error).lexically_normal();
  if (error) return file.string();
  const std::filesystem::path folder =
      std::filesystem::absolute(session_folder.empty() ? "." : session_folder, error)
          .lexically_normal();
  const std::filesystem::path relative = absolute.lexically_relative(folder);
  const bool inside = !error && !relative.empty() && *relative.begin() != "..";
  return inside ? relative.string() : absolute.string();
}

std::filesystem::path SessionFilePath(const std::string& name,
                                      const std::filesystem::path& session_folder) {
  const std::filesystem::path path(name);
  return path.is_relative() ? session_folder / path : path;
}

std::string Fingerprint(std::string_view text) {
  // FNV-1a, 64 bits: enough to see a file has changed; no secret to keep.
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ULL;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) hex[size_t(i)] = kHex[hash & 15];
  return std::to_string(text.size()) + ":" + hex;
}

std::vector<std::string> ChangedFiles(
    const Session& session,
    const std::function<std::optional<std::string>(const std::string&)>& read) {
  std::vector<std::string> changed;
  for (const auto& [path, fingerprint] : session.files) {
    const std::optional<std::string> text = read(path);
    if (!text) {
      changed.push_back(path + " cannot be read any more");
    } else if (Fingerprint(*text) != fingerprint) {
      changed.push_back(path + " has changed since the session was saved");
    }
  }
  return changed;
}

}  // namespace rfsplitter
