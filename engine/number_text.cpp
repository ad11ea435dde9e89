#include "engine/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace rfsplitter {

std::string NumberText(Number number, char decimal_separator) {
  const double v = number.value;
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  if (v == 0) return "0";

  const bool single = number.precision == Precision::kSingle;
  const int digits = single ? 7 : 15;
  // Round once to the significant digits; the exponent of the rounded value
  // decides the form, so 9.99999999999999949E+14 becomes 1E+15.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, std::fabs(v));
  std::string mantissa;  // the significant digits without the point
  const char* p = buffer;
  for (; *p != 'e'; ++p) {
    if (*p != '.') mantissa += *p;
  }
  const int exponent = std::atoi(p + 1);
  while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();

  std::string text = v < 0 ? "-" : "";
  const int plain_limit = single ? 7 : 15;
  if (exponent >= -4 && exponent < plain_limit) {
    if (exponent < 0) {
      text += '0';
      text += decimal_separator;
      text.append(static_cast<size_t>(-exponent - 1), '0');
      text += mantissa;
    } else {
      const size_t whole = static_cast<size_t>(exponent) + 1;
      if (mantissa.size() <= whole) {
        text += mantissa;
        text.append(whole - mantissa.size(), '0');
      } else {
        text += mantissa.substr(0, whole);
        text += decimal_separator;
        text += mantissa.substr(whole);
      }
    }
    return text;
  }

  text += mantissa[0];
  if (mantissa.size() > 1) {
    text += decimal_separator;
    text += mantissa.substr(1);
  }
  char exponent_text[16];
  std::snprintf(exponent_text, sizeof exponent_text, "E%c%02d", exponent < 0 ? '-' : '+',
                std::abs(exponent));
  return text + exponent_text;
}

}  // namespace rfsplitter
