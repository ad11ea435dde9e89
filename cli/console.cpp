#include "cli/console.h"

#include "engine/quoted.h"

namespace rfsplitter {

std::string RepairText(const std::vector<InputRepair>& repairs) {
  std::string text;
  for (const InputRepair& r : repairs) {
    if (r.kind == RepairKind::kOutOfRange) {
      text += "warning: " + std::string(r.warning) + "\n";
    } else {
      text += "note: " + std::string(InputName(r.field)) + " " + QuotedShort(r.typed) + " is " +
              (r.kind == RepairKind::kEmpty ? "empty" : "not a number") + "; using " +
              r.replacement + "\n";
    }
  }
  return text;
}

std::string WroteLine(const std::filesystem::path& path) {
  return "wrote " + Quoted(path.string()) + "\n";
}

std::string CouldNotWriteLine(const std::filesystem::path& path, const std::string& reason) {
  return ErrorLine("could not write " + Quoted(path.string()) + ": " + reason);
}

std::string ErrorLine(const std::string& text) { return "rfsplitter-cli: " + text + "\n"; }

}  // namespace rfsplitter
