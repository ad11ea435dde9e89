// The values a part can be bought in: the standard E series of IEC 60063
// (E6, E12, E24 with two significant digits; E48, E96, E192 with three),
// repeated over every decade, or a list of available values from a parts
// file, as a vendor's inductor range is.
#ifndef RFSPLITTER_PARTS_SERIES_H_
#define RFSPLITTER_PARTS_SERIES_H_

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/part_model.h"
#include "engine/si_value.h"
#include "engine/topologies.h"

namespace rfsplitter {

class PartSeries {
 public:
  // "E6", "E12", "E24", "E48", "E96" or "E192" (any letter case); nothing
  // for another name.
  static std::optional<PartSeries> Standard(std::string_view name);
  // A list of available values, in any order; `lines`, when given, says
  // where in its file each value stands, and `models` what a value's own
  // part model is (one with nothing set: its kind's).
  static PartSeries FromValues(std::string name, std::vector<double> values,
                               std::vector<size_t> lines = {}, std::vector<KindModel> models = {});

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
  // The part model a parts file gives `value` itself; nothing for a value
  // that has none (its kind's model applies).
  const KindModel* ModelOf(double value) const;
  // Every word a parts file gives `value` (its model, Tmin=, its rating
  // and MPN=); nothing for a value the series has not read from a file.
  const KindModel* WordsOf(double value) const;
  // The Tmin= a parts file gives `value`; 0 when none.
  double ToleranceFloorOf(double value) const;
  bool HasOwnModels() const;
  // The values of a list, ascending (empty for a standard series).
  const std::vector<double>& values() const { return values_; }
  bool IsStandard() const { return every_decade_; }

 private:
  std::string name_;
  bool every_decade_ = false;
  std::vector<double> mantissas_;  // every decade: the values in [1, 10)
  std::vector<int> digits_;  // every decade: the mantissas as whole numbers (10..91, 100..988)
  int digit_count_ = 2;
  std::vector<double> values_;     // a list: the values, ascending
  std::vector<size_t> lines_;      // the line of each of values_, when known
  std::vector<KindModel> models_;  // each value's own model, when the file gives one
};

// Reads a parts file's text: one value a line with an optional SI prefix and
// unit ("18n", "18 nH", "1.2u", "0.1 pF", "82", "100 ohm"; the grammar of
// engine/si_value.h), blank lines and "#" comments; a byte order mark at the
// start is skipped. After the value a line may give the part's own model as
// NAME=VALUE words: Q=60 or Q=60@900M, Qprofile=constant|sqrt|linear,
// SRF=3.1G (inductors), ESL=0.4n and ESR=0.2 (capacitors), Cp=0.05p
// (resistors), Tmin=0.02p (capacitors: the least they stray by, in place of
// the grades' 0.05 pF), the part's rating V=50 (peak volts), I=0.3 (RMS
// amperes), P=0.063 (watts), its maker's part number MPN=TEXT, or s2p=PATH, a Touchstone file of
// the part measured in series between its two ports (a path relative to the parts file's folder),
// which `read_measured` reads. `kinds` are the kinds the file serves: a value with a unit serves
// its own kind, a plain number all of them, and a unit of another kind is an error. Returns the
// series of each of `kinds`, in that order, empty for a kind the file has no value for; or nothing,
// with `error` set ("parts.txt line 3: ..."), for a bad line or a file without any value.
using MeasuredReader =
    std::function<std::shared_ptr<const MeasuredPart>(const std::string& path, std::string& error)>;
std::optional<std::vector<std::optional<PartSeries>>> ReadPartsFile(
    std::string_view text, const std::string& name, std::span<const ElementKind> kinds,
    std::string& error, const MeasuredReader& read_measured = {});

// The NAME=VALUE words of a part model ("Q=60@900M SRF=3.1G"), as a parts
// file line gives them. s2p= is left to the caller (`s2p` is set to its
// path). Nothing, with `error` set, for a word that does not read.
std::optional<KindModel> ReadModelWords(std::string_view words, std::string& s2p,
                                        std::string& error);

// A Touchstone 1.1 two-port file (.s2p) of a part measured in series between
// its ports: the part's impedance at each frequency, Z = 2 Z0 (1 / S21 - 1).
std::shared_ptr<const MeasuredPart> ReadTouchstoneTwoPort(std::string_view text,
                                                          const std::string& name,
                                                          std::string& error);

}  // namespace rfsplitter

#endif  // RFSPLITTER_PARTS_SERIES_H_
