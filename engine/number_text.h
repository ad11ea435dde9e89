// Number texts. Every number the program writes goes through here, and none
// of these follow the C library's locale: the window runs under the user's
// locale, whose decimal separator the caller swaps in where it wants one.
//
// NumberText is the general number text shared by the component listing and
// the simulation file: 15 significant digits for doubles and 7 for singles,
// no trailing zeros, plain form from 0.0001 up to 1E+15 (doubles) or 1E+07
// (singles), exponent form ("9.30219269659608E-07") outside it.
#ifndef RFSPLITTER_ENGINE_NUMBER_TEXT_H_
#define RFSPLITTER_ENGINE_NUMBER_TEXT_H_

#include <string>

#include "engine/design.h"

namespace rfsplitter {

std::string NumberText(Number number, char decimal_separator = '.');

inline std::string NumberText(double value, char decimal_separator = '.') {
  return NumberText(Number::Double(value), decimal_separator);
}
inline std::string NumberText(float value, char decimal_separator = '.') {
  return NumberText(Number::Single(value), decimal_separator);
}

// `decimals` digits after the point, as "%.*f" would write it in the C locale.
std::string FixedText(double value, int decimals);
// The same with its sign always written ("+2.50", "-0.75"): a change.
std::string SignedFixedText(double value, int decimals);
// `significant` digits in the shorter of plain and exponent form, as "%.*g"
// would write it in the C locale ("12.1", "1e-05").
std::string GeneralText(double value, int significant);
// The shortest text that reads back as the same double.
std::string ShortestText(double value);
// `text` right-aligned in `width` characters, as "%8s" would write it.
std::string RightAligned(std::string text, size_t width);

// Appends to `out` without a temporary string, for the long export texts.
void AppendFixed(std::string& out, double value, int decimals);
void AppendShortest(std::string& out, double value);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_NUMBER_TEXT_H_
