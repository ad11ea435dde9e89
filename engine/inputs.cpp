#include "engine/inputs.h"

#include <charconv>
#include <functional>
#include <system_error>

#include "engine/number_text.h"

namespace rfsplitter {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// How one box is read: its default, range and warning, and how to reach it.
struct InputBox {
  std::function<std::string()> get;
  std::function<void(const std::string&)> set;
  std::string default_text;
  float default_value;
  double lowest;
  double highest;
  std::string_view warning;
};

float ReadBox(DesignWindow& window, const InputBox& box) {
  const char separator = window.DecimalSeparator();
  if (box.get().empty()) box.set(box.default_text);
  if (!ParseNumber(box.get(), separator)) box.set(box.default_text);

  const std::optional<ParsedNumber> parsed = ParseNumber(box.get(), separator);
  // The default text always parses; the fallback only guards a window whose
  // setter did not take the text.
  const ParsedNumber number = parsed.value_or(ParsedNumber{box.default_value, true});
  const double value = number.value;
  if (!number.representable || value < box.lowest || value > box.highest) {
    window.Warn(std::string(box.warning));
    box.set(box.default_text);
    return box.default_value;
  }
  return number.value;
}

}  // namespace

std::optional<ParsedNumber> ParseNumber(std::string_view text, char decimal_separator) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;

  // The number in the form std::from_chars reads: no plus sign, a point.
  std::string normal;
  normal.reserve(n - i);
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normal += '-';
    ++i;
  }
  bool any_digit = false;
  bool nonzero_digit = false;
  bool seen_separator = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      any_digit = true;
      nonzero_digit = nonzero_digit || c != '0';
      normal += c;
    } else if (c == decimal_separator && !seen_separator) {
      seen_separator = true;
      normal += '.';
    } else {
      break;
    }
  }
  if (!any_digit) return std::nullopt;

  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    normal += 'e';
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) normal += text[i++];
    bool exponent_digit = false;
    for (; i < n && IsDigit(text[i]); ++i) {
      exponent_digit = true;
      normal += text[i];
    }
    if (!exponent_digit) return std::nullopt;
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n) return std::nullopt;

  float value = 0;
  const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value,
                                            std::chars_format::general);
  if (error == std::errc::result_out_of_range || end != normal.data() + normal.size()) {
    return ParsedNumber{0, false};
  }
  if (error != std::errc()) return std::nullopt;
  if (value == 0 && nonzero_digit) return ParsedNumber{0, false};
  return ParsedNumber{value, true};
}

std::string DefaultFrequencyText(char decimal_separator) {
  return NumberText(kDefaultFrequencyMhz, decimal_separator);
}

std::string DefaultImpedanceText() { return NumberText(kDefaultImpedanceOhms); }

float ReadFrequency(DesignWindow& window) {
  return ReadBox(window, {[&] { return window.FrequencyText(); },
                          [&](const std::string& t) { window.SetFrequencyText(t); },
                          DefaultFrequencyText(window.DecimalSeparator()), kDefaultFrequencyMhz,
                          kLowestFrequencyMhz, kHighestFrequencyMhz, kFrequencyWarning});
}

float ReadImpedance(DesignWindow& window) {
  return ReadBox(window, {[&] { return window.ImpedanceText(); },
                          [&](const std::string& t) { window.SetImpedanceText(t); },
                          DefaultImpedanceText(), kDefaultImpedanceOhms, kLowestImpedanceOhms,
                          kHighestImpedanceOhms, kImpedanceWarning});
}

}  // namespace rfsplitter
