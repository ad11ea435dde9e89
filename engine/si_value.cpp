#include "engine/si_value.h"

#include <charconv>
#include <cmath>

#include "engine/number_text.h"

namespace rfsplitter {
namespace {

struct Prefix {
  std::string_view text;
  int exponent;
};
constexpr Prefix kPrefixes[] = {{"f", -15}, {"p", -12}, {"n", -9}, {"u", -6},
                                {"\xc2\xb5", -6},  // µ
                                {"m", -3},  {"k", 3},   {"M", 6},  {"G", 9}, {"T", 12}};

struct UnitName {
  std::string_view text;
  Unit unit;
};
constexpr UnitName kUnitNames[] = {{"H", Unit::kHenry},      {"F", Unit::kFarad},
                                   {"ohms", Unit::kOhm},     {"ohm", Unit::kOhm},
                                   {"Ohms", Unit::kOhm},     {"Ohm", Unit::kOhm},
                                   {"\xce\xa9", Unit::kOhm},  // Ω
                                   {"Hz", Unit::kHertz},     {"dB", Unit::kDecibel},
                                   {"deg", Unit::kDegree},   {"%", Unit::kPercent},
                                   {"V", Unit::kVolt},       {"A", Unit::kAmpere},
                                   {"W", Unit::kWatt},       {"dBm", Unit::kDecibelMilliwatt}};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<Unit> UnitNamed(std::string_view text) {
  for (const UnitName& u : kUnitNames) {
    if (u.text == text) return u.unit;
  }
  return std::nullopt;
}

// The length of the number at the start of `text` in the grammar above, or
// 0 when there is none.
size_t NumberLength(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) ++j;
    const size_t exponent_start = j;
    while (j < text.size() && IsDigit(text[j])) ++j;
    // "1e" or "5E" without exponent digits: the letter is no exponent (it
    // would be an unknown unit), so the number ends before it.
    if (j > exponent_start) i = j;
  }
  return i;
}

}  // namespace

std::optional<SiValue> ParseSiValue(std::string_view text, std::string& error) {
  text = Trim(text);
  const size_t length = NumberLength(text);
  if (length == 0) {
    error = "is not a number";
    return std::nullopt;
  }
  // from_chars takes no plus sign.
  std::string_view digits = text.substr(0, length);
  if (digits.front() == '+') digits.remove_prefix(1);
  double number = 0;
  const auto [end, code] = std::from_chars(digits.data(), digits.data() + digits.size(), number,
                                           std::chars_format::general);
  if (code == std::errc::result_out_of_range) {
    // Too small underflows to zero, which is what it means; too large has
    // no value.
    const size_t e = digits.find_first_of("eE");
    if (e == std::string_view::npos || digits[e + 1] != '-') {
      error = "is too large";
      return std::nullopt;
    }
    number = 0;
  } else if (code != std::errc() || end != digits.data() + digits.size()) {
    error = "is not a number";
    return std::nullopt;
  }

  const std::string_view rest = Trim(text.substr(length));
  SiValue result;
  int exponent = 0;
  if (!rest.empty()) {
    if (const std::optional<Unit> unit = UnitNamed(rest)) {
      result.unit = *unit;
    } else {
      bool found = false;
      for (const Prefix& p : kPrefixes) {
        if (rest.substr(0, p.text.size()) != p.text) continue;
        const std::string_view after = rest.substr(p.text.size());
        const std::optional<Unit> named = after.empty() ? Unit::kNone : UnitNamed(after);
        if (!named || *named == Unit::kPercent || *named == Unit::kDecibel ||
            *named == Unit::kDegree || *named == Unit::kDecibelMilliwatt) {
          continue;
        }
        result.unit = *named;
        result.prefixed = true;
        exponent = p.exponent;
        found = true;
        break;
      }
      if (!found) {
        error = "has an unknown prefix or unit \"" + std::string(rest) + "\"";
        return std::nullopt;
      }
    }
  }
  // digits x 10^exponent with one rounding: a power of ten up to 10^22 is
  // exact, and dividing by it rounds once where multiplying by 1e-12 would
  // round twice.
  const double power = std::pow(10.0, std::abs(exponent));
  result.value = exponent >= 0 ? number * power : number / power;
  if (!std::isfinite(result.value)) {
    error = "is too large";
    return std::nullopt;
  }
  return result;
}

Unit UnitOf(ElementKind kind) {
  switch (kind) {
    case ElementKind::kInductor:
      return Unit::kHenry;
    case ElementKind::kCapacitor:
      return Unit::kFarad;
    case ElementKind::kResistor:
      return Unit::kOhm;
  }
  return Unit::kNone;
}

std::optional<ElementKind> KindOf(Unit unit) {
  switch (unit) {
    case Unit::kHenry:
      return ElementKind::kInductor;
    case Unit::kFarad:
      return ElementKind::kCapacitor;
    case Unit::kOhm:
      return ElementKind::kResistor;
    default:
      return std::nullopt;
  }
}

std::string_view UnitText(Unit unit) {
  switch (unit) {
    case Unit::kNone:
      return "";
    case Unit::kHenry:
      return "H";
    case Unit::kFarad:
      return "F";
    case Unit::kOhm:
      return "ohm";
    case Unit::kHertz:
      return "Hz";
    case Unit::kDecibel:
      return "dB";
    case Unit::kDegree:
      return "deg";
    case Unit::kPercent:
      return "%";
    case Unit::kVolt:
      return "V";
    case Unit::kAmpere:
      return "A";
    case Unit::kWatt:
      return "W";
    case Unit::kDecibelMilliwatt:
      return "dBm";
  }
  return "";
}

std::string_view KindName(ElementKind kind) {
  switch (kind) {
    case ElementKind::kInductor:
      return "inductor";
    case ElementKind::kCapacitor:
      return "capacitor";
    case ElementKind::kResistor:
      return "resistor";
  }
  return "";
}

std::string SiText(double value, Unit unit) {
  constexpr struct {
    double scale;
    const char* prefix;
  } kScales[] = {{1e9, "G"},  {1e6, "M"},  {1e3, "k"},   {1, ""},     {1e-3, "m"},
                 {1e-6, "u"}, {1e-9, "n"}, {1e-12, "p"}, {1e-15, "f"}};
  // The largest prefix that leaves at least 1 once rounded to six digits.
  for (const auto& s : kScales) {
    const std::string mantissa = GeneralText(value / s.scale, 6);
    double rounded = 0;
    std::from_chars(mantissa.data(), mantissa.data() + mantissa.size(), rounded);
    if (std::abs(rounded) >= 1 || s.scale == 1e-15) {
      return mantissa + " " + s.prefix + std::string(UnitText(unit));
    }
  }
  return {};
}

}  // namespace rfsplitter
