#include <charconv>

#include "cli/options.h"
#include "engine/quoted.h"
#include "files/read_file.h"

namespace rfsplitter {

bool ReadMeasured(const CliOptions& options, RunPlan& plan, std::string& message) {
  const bool any = !options.measured.empty() || !options.measured_pairs.empty();
  if (!any) {
    if (options.diagnose || !options.port_delay.empty()) {
      message = std::string(options.diagnose ? "--diagnose" : "--port-delay") +
                " needs --measured or --measured-pair";
      return false;
    }
    return true;
  }
  if (!options.measured.empty() && !options.measured_pairs.empty()) {
    message = "--measured and --measured-pair are two ways to give one board; give one";
    return false;
  }
  MeasuredRequest measured;
  const auto read = [&](const std::string& option, const std::filesystem::path& path,
                        std::string& text) {
    std::string reason;
    const std::optional<std::string> contents = ReadSmallFile(path, reason);
    if (!contents) {
      message = option + " " + QuotedShort(path.string()) + ": " + reason;
      return false;
    }
    text = *contents;
    plan.inputs.push_back({option + " file", path});
    return true;
  };
  if (!options.measured.empty()) {
    measured.file = options.measured.string();
    if (!read("--measured", options.measured, measured.text)) return false;
  }
  const int ports = IdealNetlist(DesignOf(plan.request)).ports;
  for (const std::string& pair_text : options.measured_pairs) {
    std::string why;
    std::optional<PairFile> pair = ParsePairOption(pair_text, ports, why);
    if (!pair) {
      message = "--measured-pair " + QuotedShort(pair_text) + ": " + why;
      return false;
    }
    if (!read("--measured-pair", pair->name, pair->text)) return false;
    measured.pairs.push_back(std::move(*pair));
  }
  // Picoseconds, one for every port or one for each: "25" or "25,30,30".
  std::string_view delays = options.port_delay;
  while (!delays.empty()) {
    const size_t comma = delays.find(',');
    const std::string_view word = delays.substr(0, comma);
    double ps = 0;
    const auto [end, code] = std::from_chars(word.data(), word.data() + word.size(), ps);
    if (code != std::errc() || end != word.data() + word.size() || !(ps >= -1000 && ps <= 10000)) {
      message = "--port-delay " + QuotedShort(options.port_delay) +
                " is not one delay or a delay for each port, in ps from -1000 to 10000 "
                "(\"25\", \"25,30,30\")";
      return false;
    }
    measured.port_delays_s.push_back(ps * 1e-12);
    delays.remove_prefix(comma == std::string_view::npos ? delays.size() : comma + 1);
  }
  if (measured.port_delays_s.size() > 1 && measured.port_delays_s.size() != size_t(ports)) {
    message = "--port-delay gives " + std::to_string(measured.port_delays_s.size()) +
              " delays; the circuit has " + std::to_string(ports) + " ports";
    return false;
  }
  measured.diagnose = options.diagnose;
  plan.request.measured = std::move(measured);
  // A measurement is read beside the design's response.
  plan.analyze = true;
  plan.request.summaries = true;
  plan.request.sweeps = true;
  return true;
}

}  // namespace rfsplitter
