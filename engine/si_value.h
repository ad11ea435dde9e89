// The one grammar for values with SI prefixes and units, and their one text
// form. Parts files, tolerances and every command-line option that takes a
// value read through ParseSiValue; parts lists, tables and messages write
// through SiText.
//
//   value   := blanks number blanks [prefix] [unit] blanks
//   number  := ["-"|"+"] digits ["." digits] [("e"|"E") ["-"|"+"] digits]
//              (a leading or trailing point is fine: ".5", "5.")
//   prefix  := f p n u µ m k M G T
//   unit    := H F ohm ohms Ohm Ohms Ω Hz dB deg %
//
// "18n", "18 nH", "0.1 pF", "1e-1p", "100 ohm", "3.1G", "900MHz", "-15 dB",
// "5%". Infinities and NaN are not numbers here; a value beyond the double
// range is refused as too large.
#ifndef RFSPLITTER_ENGINE_SI_VALUE_H_
#define RFSPLITTER_ENGINE_SI_VALUE_H_

#include <optional>
#include <string>
#include <string_view>

#include "engine/topologies.h"

namespace rfsplitter {

enum class Unit {
  kNone,
  kHenry,
  kFarad,
  kOhm,
  kHertz,
  kDecibel,
  kDegree,
  kPercent,
  kVolt,
  kAmpere,
  kWatt,
  kDecibelMilliwatt,  // "dBm": a power, 0 dBm = 1 mW; takes no prefix
};

struct SiValue {
  double value = 0;  // scaled by the prefix; a percentage as typed (5 for "5%")
  Unit unit = Unit::kNone;
  bool prefixed = false;
};

// The value, or nothing with `error` saying what is wrong ("is not a
// number", "has an unknown prefix or unit \"xy\"", "is too large").
std::optional<SiValue> ParseSiValue(std::string_view text, std::string& error);

// The unit an element kind is measured in, and back.
Unit UnitOf(ElementKind kind);
std::optional<ElementKind> KindOf(Unit unit);
std::string_view UnitText(Unit unit);         // "H", "F", "ohm", "Hz", ...
std::string_view KindName(ElementKind kind);  // "inductor", "capacitor", "resistor"

// "18 nH", "8.2 pF", "100 ohm", "3.1 GHz": six significant digits under the
// largest prefix (G down to f) that leaves at least 1.
std::string SiText(double value, Unit unit);
inline std::string ValueWithUnit(double value, ElementKind kind) {
  return SiText(value, UnitOf(kind));
}

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_SI_VALUE_H_
