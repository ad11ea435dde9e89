#include <charconv>

#include "cli/options.h"
#include "engine/form_netlist.h"
#include "engine/quoted.h"

namespace rfsplitter {
namespace {

// A small whole number: digits only.
std::optional<int> ReadCount(const char* option, const std::string& text, int low, int high,
                             std::string& message) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
      value > high) {
    message = std::string(option) + " " + QuotedShort(text) + " is not a whole number from " +
              std::to_string(low) + " to " + std::to_string(high);
    return std::nullopt;
  }
  return value;
}

}  // namespace

bool AnyFormOption(const CliOptions& options) {
  return !options.ways.empty() || !options.split.empty() || !options.sections.empty() ||
         !options.arms.empty();
}

bool ReadFormOptions(const CliOptions& options, Form& form, std::string& message) {
  if (!options.ways.empty()) {
    const std::optional<int> ways = ReadCount("--ways", options.ways, 2, 4, message);
    if (!ways) return false;
    form.ways = *ways;
  }
  if (!options.split.empty()) {
    const std::optional<double> split =
        ReadNumber("--split", options.split, -10, 10, Unit::kDecibel, message);
    if (!split) return false;
    form.split_db = *split;
  }
  if (!options.sections.empty()) {
    const std::optional<int> sections = ReadCount("--sections", options.sections, 1, 4, message);
    if (!sections) return false;
    form.sections = *sections;
  }
  if (!options.arms.empty()) {
    if (options.arms != "low-pass" && options.arms != "high-pass") {
      message = "--arms " + QuotedShort(options.arms) + " is not low-pass or high-pass";
      return false;
    }
    form.arms = options.arms == "low-pass" ? ArmForm::kLowPass : ArmForm::kHighPass;
  }
  return true;
}

bool ReadForm(const CliOptions& options, StudyRequest& request, std::string& message) {
  if (const std::optional<Topology> topology = TopologyNamed(options.topology)) {
    if (AnyFormOption(options)) {
      message = "--ways, --split, --sections and --arms go with --topology splitter, quad or ring";
      return false;
    }
    request.topology = *topology;
    return true;
  }
  const std::optional<FormFamily> family = FamilyNamed(options.topology);
  if (!family) {
    message = "unknown topology " + QuotedShort(options.topology) +
              "; the topologies are narrow-splitter, narrow-quad, wide-quad, splitter, quad and "
              "ring";
    return false;
  }
  Form form;
  form.family = *family;
  if (form.family != FormFamily::kSplitter && !options.ways.empty() && options.ways != "2") {
    message =
        "--ways is a splitter's; a " + std::string(FamilyName(form.family)) + " has two outputs";
    return false;
  }
  if (!ReadFormOptions(options, form, message)) return false;
  if (const std::optional<std::string> why = WhyNoForm(form)) {
    message = "--topology " + options.topology + ": " + *why;
    return false;
  }
  // The three keep their own equations and texts.
  if (const std::optional<Topology> fixed = FixedTopology(form)) {
    request.topology = *fixed;
  } else {
    request.form = form;
  }
  return true;
}

std::optional<ChoiceRequest> ReadChoice(const CliOptions& options, const RunPlan& plan,
                                        std::string& message) {
  if (!options.topology.empty() || !options.sections.empty() || !options.arms.empty()) {
    message = "--choose weighs every form; it takes --ways, --split and --phase, not " +
              std::string(!options.topology.empty()   ? "--topology"
                          : !options.sections.empty() ? "--sections"
                                                      : "--arms");
    return std::nullopt;
  }
  const bool other_output = options.touchstone || options.spice || !options.plot.empty() ||
                            !options.bom.empty() || !options.kicad.empty() ||
                            !options.schematic.empty() || !options.save_session.empty();
  if (other_output || !options.set.empty() || plan.request.measured) {
    message =
        "--choose writes its table and, with --json, its choice; design the form it picks "
        "for the other files";
    return std::nullopt;
  }
  ChoiceRequest request;
  request.base = plan.request;
  const size_t dash = options.band.find('-', 1);
  if (options.band.empty() || dash == std::string::npos) {
    message = "--choose needs --band LO-HI in MHz (--band 850-980)";
    return std::nullopt;
  }
  const std::optional<double> low =
      ReadNumber("--band", options.band.substr(0, dash), kLowestFrequencyMhz, kHighestFrequencyMhz,
                 Unit::kNone, message);
  if (!low) return std::nullopt;
  const std::optional<double> high =
      ReadNumber("--band", options.band.substr(dash + 1), kLowestFrequencyMhz, kHighestFrequencyMhz,
                 Unit::kNone, message);
  if (!high) return std::nullopt;
  if (!(*low < *high)) {
    message =
        "--band " + QuotedShort(options.band) + " must run from a lower to a higher frequency";
    return std::nullopt;
  }
  request.low_mhz = *low, request.high_mhz = *high;
  Form form;
  if (!ReadFormOptions(options, form, message)) return std::nullopt;
  if (!options.ways.empty()) request.ways = form.ways;
  if (!options.split.empty()) request.split_db = form.split_db;
  if (!options.phase.empty()) {
    if (options.phase != "0" && options.phase != "90" && options.phase != "180") {
      message = "--phase " + QuotedShort(options.phase) + " is not 0, 90 or 180";
      return std::nullopt;
    }
    request.phase_deg = std::stoi(options.phase);
  }
  return request;
}

}  // namespace rfsplitter
