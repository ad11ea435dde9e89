#include "parts/bom.h"

#include <algorithm>
#include <map>

#include "engine/number_text.h"

namespace rfsplitter {
namespace {

std::string SeriesName(const PartsChoice& choice, ElementKind kind) {
  const PartSeries* series = choice.SeriesFor(kind);
  return series ? series->name() : "ideal";
}

void Row(std::string& csv, const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) csv += ',';
    csv += CsvField(fields[i]);
  }
  csv += "\r\n";
}

}  // namespace

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string BomCsv(const Netlist& ideal, const Netlist& built, const PartsChoice& choice) {
  std::string csv;
  Row(csv, {"Designator", "Kind", "Value", "Series", "Ideal value", "Error %", "Loss",
            "Value (H, F, ohm)", "Ideal (H, F, ohm)", "Loss (ohm)"});
  struct Group {
    ElementKind kind;
    std::string series;
    int count = 0;
  };
  std::map<std::pair<int, double>, Group> groups;  // by kind, then value
  for (size_t i = 0; i < built.elements.size(); ++i) {
    const NetlistElement& e = built.elements[i];
    const double ideal_value = ideal.elements[i].value;
    const std::string series = SeriesName(choice, e.kind);
    Row(csv, {std::string(e.name), std::string(KindName(e.kind)), ValueWithUnit(e.value, e.kind),
              series, ValueWithUnit(ideal_value, e.kind),
              FixedText(100 * (e.value - ideal_value) / ideal_value, 2),
              e.loss_ohms > 0 ? ValueWithUnit(e.loss_ohms, ElementKind::kResistor) : "",
              ShortestText(e.value), ShortestText(ideal_value), ShortestText(e.loss_ohms)});
    Group& group = groups[{static_cast<int>(e.kind), e.value}];
    group.kind = e.kind;
    group.series = series;
    ++group.count;
  }
  csv += "\r\n";
  Row(csv, {"Value", "Kind", "Series", "Count", "Value (H, F, ohm)"});
  for (const auto& [key, group] : groups) {
    Row(csv, {ValueWithUnit(key.second, group.kind), std::string(KindName(group.kind)),
              group.series, std::to_string(group.count), ShortestText(key.second)});
  }
  return csv;
}

std::string PartsTableText(const Netlist& ideal, const Netlist& built, const PartsChoice& choice) {
  std::string text = "Parts (fit " + std::string(FitName(choice.method)) + "):\n";
  const auto row = [&](std::vector<std::pair<std::string, size_t>> cells) {
    std::string line = " ";
    for (auto& [cell, width] : cells) {
      cell.resize(std::max(width, cell.size()), ' ');
      line += " " + cell;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  };
  row({{"Part", 5}, {"Ideal", 14}, {"Chosen", 14}, {"Series", 10}, {"Error", 10}, {"Loss", 0}});
  for (size_t i = 0; i < built.elements.size(); ++i) {
    const NetlistElement& e = built.elements[i];
    const double ideal_value = ideal.elements[i].value;
    const double error = 100 * (e.value - ideal_value) / ideal_value;
    row({{std::string(e.name), 5},
         {ValueWithUnit(ideal_value, e.kind), 14},
         {ValueWithUnit(e.value, e.kind), 14},
         {SeriesName(choice, e.kind), 10},
         {(error >= 0 ? "+" : "") + FixedText(error, 2) + " %", 10},
         {e.loss_ohms > 0 ? ValueWithUnit(e.loss_ohms, ElementKind::kResistor) : "", 0}});
  }
  return text;
}

}  // namespace rfsplitter
