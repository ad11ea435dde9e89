#include "engine/inputs.h"

#include <charconv>
#include <functional>
#include <system_error>

#include "engine/number_text.h"

namespace rfsplitter {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One box's default, range and warning.
struct InputRule {
  InputField field;
  std::string default_text;
  float default_value;
  double lowest;
  double highest;
  std::string_view warning;
};

InputRule RuleOf(InputField field, char decimal_separator) {
  if (field == InputField::kFrequency) {
    return {field,
            DefaultFrequencyText(decimal_separator),
            kDefaultFrequencyMhz,
            kLowestFrequencyMhz,
            kHighestFrequencyMhz,
            kFrequencyWarning};
  }
  return {field,
          DefaultImpedanceText(),
          kDefaultImpedanceOhms,
          kLowestImpedanceOhms,
          kHighestImpedanceOhms,
          kImpedanceWarning};
}

SettledInput Settle(const InputRule& rule, std::string_view text, char separator) {
  const auto repaired = [&](RepairKind kind) {
    return SettledInput{
        rule.default_value,
        InputRepair{rule.field, kind, std::string(text), rule.default_text,
                    kind == RepairKind::kOutOfRange ? rule.warning : std::string_view()}};
  };
  if (text.empty()) return repaired(RepairKind::kEmpty);
  const std::optional<ParsedNumber> number = ParseNumber(text, separator);
  if (!number) return repaired(RepairKind::kNotANumber);
  const double value = number->value;
  if (!number->representable || value < rule.lowest || value > rule.highest) {
    return repaired(RepairKind::kOutOfRange);
  }
  return {number->value, std::nullopt};
}

// A run's read of one box: the settled value, the warning first when there
// is one, then the default text put back.
float ReadBox(DesignWindow& window, InputField field,
              const std::function<std::string()>& get,
              const std::function<void(const std::string&)>& set) {
  const SettledInput settled =
      Settle(RuleOf(field, window.DecimalSeparator()), get(), window.DecimalSeparator());
  if (settled.repair) {
    if (settled.repair->kind == RepairKind::kOutOfRange) {
      window.Warn(std::string(settled.repair->warning));
    }
    set(settled.repair->replacement);
  }
  return settled.value;
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

std::string_view InputName(InputField field) {
  return field == InputField::kFrequency ? "frequency" : "impedance";
}

SettledInput SettleFrequency(std::string_view text, char decimal_separator) {
  return Settle(RuleOf(InputField::kFrequency, decimal_separator), text, decimal_separator);
}

SettledInput SettleImpedance(std::string_view text, char decimal_separator) {
  return Settle(RuleOf(InputField::kImpedance, decimal_separator), text, decimal_separator);
}

SettledInputs SettleInputs(std::string_view frequency_text, std::string_view impedance_text,
                           char decimal_separator) {
  const SettledInput frequency = SettleFrequency(frequency_text, decimal_separator);
  const SettledInput impedance = SettleImpedance(impedance_text, decimal_separator);
  SettledInputs settled{{frequency.value, impedance.value}, {}};
  for (const SettledInput* input : {&frequency, &impedance}) {
    if (input->repair) settled.repairs.push_back(*input->repair);
  }
  return settled;
}

float ReadFrequency(DesignWindow& window) {
  return ReadBox(
      window, InputField::kFrequency, [&] { return window.FrequencyText(); },
      [&](const std::string& t) { window.SetFrequencyText(t); });
}

float ReadImpedance(DesignWindow& window) {
  return ReadBox(
      window, InputField::kImpedance, [&] { return window.ImpedanceText(); },
      [&](const std::string& t) { window.SetImpedanceText(t); });
}

}  // namespace rfsplitter
