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
  Form form;
  if (options.topology == "splitter") {
    form.family = FormFamily::kSplitter;
  } else if (options.topology == "quad") {
    form.family = FormFamily::kQuad;
  } else if (options.topology == "ring") {
    form.family = FormFamily::kRing;
  } else {
    message = "unknown topology " + QuotedShort(options.topology) +
              "; the topologies are narrow-splitter, narrow-quad, wide-quad, splitter, quad and "
              "ring";
    return false;
  }
  if (form.family != FormFamily::kSplitter && !options.ways.empty() && options.ways != "2") {
    message = "--ways is a splitter's; a " + std::string(FamilyName(form.family)) +
              " has two outputs";
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

}  // namespace rfsplitter
