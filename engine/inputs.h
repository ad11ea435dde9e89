// Reading the two typed inputs: empty or non-numeric text is put back to the
// default silently; a number outside the recommended range is warned about
// and replaced by the default.
#ifndef RFSPLITTER_ENGINE_INPUTS_H_
#define RFSPLITTER_ENGINE_INPUTS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/design.h"

namespace rfsplitter {

inline constexpr std::string_view kFrequencyWarning =
    "frequency range outside recommended range.  ";
inline constexpr std::string_view kImpedanceWarning =
    "Impedance range outside recommended limits.  ";

inline constexpr float kDefaultFrequencyMhz = 12.1f;
inline constexpr float kDefaultImpedanceOhms = 50.0f;
inline constexpr double kLowestFrequencyMhz = 0.001;
inline constexpr double kHighestFrequencyMhz = 50000;
inline constexpr double kLowestImpedanceOhms = 1;
inline constexpr double kHighestImpedanceOhms = 500;

// A typed number after conversion to single precision.
struct ParsedNumber {
  float value = 0;
  // False when the magnitude is beyond single precision (1e39) or so small
  // that it rounds to zero (1e-50) although its digits are not all zero.
  bool representable = true;
};

// Whether `text` is a number: optional blanks, an optional sign, digits with
// at most one decimal separator (at least one digit), an optional exponent
// (e or E, optional sign, digits), optional blanks. Nothing else counts.
// Returns the value rounded to the nearest single, or nothing for non-numbers.
std::optional<ParsedNumber> ParseNumber(std::string_view text, char decimal_separator = '.');

// The texts put back into the boxes, in the window's number format.
std::string DefaultFrequencyText(char decimal_separator = '.');
std::string DefaultImpedanceText();

enum class InputField { kFrequency, kImpedance };
std::string_view InputName(InputField field);  // "frequency", "impedance"

// Why a typed text was replaced by its default.
enum class RepairKind {
  kEmpty,        // silently
  kNotANumber,   // silently
  kOutOfRange,   // after the field's warning
};

struct InputRepair {
  InputField field;
  RepairKind kind;
  std::string typed;        // the text as it was
  std::string replacement;  // the default text put in its place
  std::string_view warning;  // the warning shown first, for kOutOfRange
};

// One input settled: its value and, when the text had to be replaced, how.
struct SettledInput {
  float value = 0;
  std::optional<InputRepair> repair;
};

// The repair rules of one box as pure functions of its text: an empty or
// non-numeric text becomes the default silently, a number outside the
// recommended range (or beyond single precision) becomes the default after
// the warning.
SettledInput SettleFrequency(std::string_view text, char decimal_separator = '.');
SettledInput SettleImpedance(std::string_view text, char decimal_separator = '.');

struct SettledInputs {
  DesignInputs inputs;
  std::vector<InputRepair> repairs;  // frequency first, as a run warns
};
SettledInputs SettleInputs(std::string_view frequency_text, std::string_view impedance_text,
                           char decimal_separator = '.');

// Read, repair and check the boxes, in the order a design run needs them:
// the settled value, with the box's text replaced (after the warning) when
// it had to be repaired.
float ReadFrequency(DesignWindow& window);
float ReadImpedance(DesignWindow& window);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_INPUTS_H_
