// The values a part can be bought in: the standard E series of IEC 60063
// (E6, E12, E24 with two significant digits; E48, E96, E192 with three),
// repeated over every decade, or a list of available values from a parts
// file, as a vendor's inductor range is.
#ifndef RFSPLITTER_PARTS_SERIES_H_
#define RFSPLITTER_PARTS_SERIES_H_

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/topologies.h"

namespace rfsplitter {

class PartSeries {
 public:
  // "E6", "E12", "E24", "E48", "E96" or "E192" (any letter case); nothing
  // for another name.
  static std::optional<PartSeries> Standard(std::string_view name);
  // A list of available values, in any order.
  static PartSeries FromValues(std::string name, std::vector<double> values);

  const std::string& name() const { return name_; }

  // The largest available value at or below `value` and the smallest at or
  // above it (the same one when `value` is available); empty beyond the
  // ends of a list.
  struct Neighbours {
    std::optional<double> below, above;
  };
  Neighbours Around(double value) const;
  // The available value nearest to `value` on a logarithmic scale.
  double Nearest(double value) const;

  // The series' values in one decade [1, 10), for a standard series.
  const std::vector<double>& mantissas() const { return mantissas_; }

 private:
  std::string name_;
  bool every_decade_ = false;
  std::vector<double> mantissas_;  // every decade: the values in [1, 10)
  std::vector<int> digits_;  // every decade: the mantissas as whole numbers (10..91, 100..988)
  int digit_count_ = 2;
  std::vector<double> values_;  // a list: the values, ascending
};

// One value of a parts file.
struct PartsFileEntry {
  double value = 0;
  std::optional<ElementKind> kind;  // from its unit, when it has one
};

// Reads a parts file's text: one value a line with an optional SI prefix and
// unit ("18n", "18 nH", "1.2u", "0.1 pF", "82", "100 ohm"), blank lines and
// "#" comments. `kinds` are the kinds the file serves; a value whose unit
// names another kind is an error. Returns the series of each kind of
// `kinds`, in that order, or sets `error` ("parts.txt line 3: ...").
std::vector<PartSeries> ReadPartsFile(std::string_view text, const std::string& name,
                                      std::span<const ElementKind> kinds, std::string& error);

// "18 nH", "8.2 pF", "100 ohm": a value with SI prefix and unit, to six
// significant digits.
std::string ValueWithUnit(double value, ElementKind kind);
std::string_view UnitOf(ElementKind kind);    // "H", "F", "ohm"
std::string_view KindName(ElementKind kind);  // "inductor", "capacitor", "resistor"

}  // namespace rfsplitter

#endif  // RFSPLITTER_PARTS_SERIES_H_
