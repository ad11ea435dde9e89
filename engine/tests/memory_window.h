// A DesignWindow that keeps its texts in memory and records what the engine
// asked of it, for tests of the engine and its callers.
#ifndef RFSPLITTER_ENGINE_TESTS_MEMORY_WINDOW_H_
#define RFSPLITTER_ENGINE_TESTS_MEMORY_WINDOW_H_

#include <string>
#include <vector>

#include "engine/design.h"

namespace rfsplitter {

class MemoryWindow : public DesignWindow {
 public:
  MemoryWindow(std::string frequency_text, std::string impedance_text,
               Topology selected = Topology::kNarrowSplitter, char decimal_separator = '.')
      : frequency(std::move(frequency_text)),
        impedance(std::move(impedance_text)),
        topology(selected),
        separator(decimal_separator) {}

  std::string FrequencyText() const override { return frequency; }
  void SetFrequencyText(const std::string& text) override {
    frequency = text;
    events.push_back("set frequency " + text);
  }
  std::string ImpedanceText() const override { return impedance; }
  void SetImpedanceText(const std::string& text) override {
    impedance = text;
    events.push_back("set impedance " + text);
  }
  Topology SelectedTopology() const override { return topology; }
  void ClearListing() override {
    listing.clear();
    events.push_back("clear listing");
  }
  void AppendToListing(const std::string& text) override { listing += text; }
  void Warn(const std::string& text) override {
    warnings.push_back(text);
    events.push_back("warn " + text);
  }
  void ReportFileFailure(const std::string& file_name, const std::string& reason) override {
    failures.push_back(file_name + ": " + reason);
  }
  char DecimalSeparator() const override { return separator; }

  std::string frequency;
  std::string impedance;
  Topology topology;
  char separator;
  std::string listing;
  std::vector<std::string> warnings;
  std::vector<std::string> failures;
  std::vector<std::string> events;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_TESTS_MEMORY_WINDOW_H_
