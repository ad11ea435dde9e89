#include "engine/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace rfsplitter {
namespace {

// Large enough for any double in any of the forms used here (a fixed form
// of 1e308 with a few decimals is about 320 characters).
constexpr size_t kBufferSize = 400;

template <typename... Format>
std::string_view ToChars(char (&buffer)[kBufferSize], double value, Format... format) {
  const auto result = std::to_chars(buffer, buffer + kBufferSize, value, format...);
  return {buffer, static_cast<size_t>(result.ptr - buffer)};
}

}  // namespace

std::string NumberText(Number number, char decimal_separator) {
  const double v = number.value;
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  if (v == 0) return "0";

  const bool single = number.precision == Precision::kSingle;
  const int digits = single ? 7 : 15;
  // Round once to the significant digits; the exponent of the rounded value
  // decides the form, so 9.99999999999999949E+14 becomes 1E+15.
  char buffer[kBufferSize];
  const std::string_view rounded =
      ToChars(buffer, std::fabs(v), std::chars_format::scientific, digits - 1);
  const size_t e = rounded.find('e');
  std::string mantissa;  // the significant digits without the point
  for (const char c : rounded.substr(0, e)) {
    if (c != '.') mantissa += c;
  }
  int exponent = 0;
  const std::string_view exponent_text = rounded.substr(e + 1);
  const char* first = exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0);
  std::from_chars(first, exponent_text.data() + exponent_text.size(), exponent);
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
  text += 'E';
  text += exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(exponent);
  if (magnitude < 10) text += '0';
  text += std::to_string(magnitude);
  return text;
}

std::string FixedText(double value, int decimals) {
  std::string text;
  AppendFixed(text, value, decimals);
  return text;
}

std::string SignedFixedText(double value, int decimals) {
  std::string text = value >= 0 ? "+" : "";
  AppendFixed(text, value, decimals);
  return text;
}

std::string GeneralText(double value, int significant) {
  char buffer[kBufferSize];
  return std::string(ToChars(buffer, value, std::chars_format::general, significant));
}

std::string ShortestText(double value) {
  std::string text;
  AppendShortest(text, value);
  return text;
}

std::string RightAligned(std::string text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

void AppendFixed(std::string& out, double value, int decimals) {
  char buffer[kBufferSize];
  out += ToChars(buffer, value, std::chars_format::fixed, decimals);
}

void AppendShortest(std::string& out, double value) {
  char buffer[kBufferSize];
  out += ToChars(buffer, value);
}

}  // namespace rfsplitter
