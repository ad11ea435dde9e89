// The general number text shared by the component listing and the simulation
// file: 15 significant digits for doubles and 7 for singles, no trailing zeros,
// plain form from 0.0001 up to 1E+15 (doubles) or 1E+07 (singles), exponent
// form ("9.30219269659608E-07") outside it.
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

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_NUMBER_TEXT_H_
