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

#include "engine/si_value.h"
#include "engine/topologies.h"

namespace rfsplitter {

class PartSeries {
 public:
  // "E6", "E12", "E24", "E48", "E96" or "E192" (any letter case); nothing
  // for another name.
  static std::optional<PartSeries> Standard(std::string_view name);
  // A list of available values, in any order; `lines`, when given, says
  // where in its file each value stands.
  static PartSeries FromValues(std::string name, std::vector<double> values,
                               std::vector<size_t> lines = {});

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
  // The line of the parts file `value` first stands on; 0 when unknown.
  size_t LineOf(double value) const;
  bool IsStandard() const { return every_decade_; }

 private:
  std::string name_;
  bool every_decade_ = false;
  std::vector<double> mantissas_;  // every decade: the values in [1, 10)
  std::vector<int> digits_;  // every decade: the mantissas as whole numbers (10..91, 100..988)
  int digit_count_ = 2;
  std::vector<double> values_;  // a list: the values, ascending
  std::vector<size_t> lines_;   // the line of each of values_, when known
};

// Reads a parts file's text: one value a line with an optional SI prefix and
// unit ("18n", "18 nH", "1.2u", "0.1 pF", "82", "100 ohm"; the grammar of
// engine/si_value.h), blank lines and "#" comments; a byte order mark at the
// start is skipped. `kinds` are the kinds the file serves: a value with a
// unit serves its own kind, a plain number all of them, and a unit of
// another kind is an error. Returns the series of each of `kinds`, in that
// order, empty for a kind the file has no value for; or nothing, with
// `error` set ("parts.txt line 3: ..."), for a bad line or a file without
// any value.
std::optional<std::vector<std::optional<PartSeries>>> ReadPartsFile(
    std::string_view text, const std::string& name, std::span<const ElementKind> kinds,
    std::string& error);

}  // namespace rfsplitter

#endif  // RFSPLITTER_PARTS_SERIES_H_
