#include "engine/listing.h"

#include "engine/number_text.h"

namespace rfsplitter {

EngineeringValue ToEngineering(double v, char decimal_separator) {
  // Every test runs and a later hit replaces an earlier one, so the smallest
  // threshold that still holds wins.
  bool scaled = false;
  double s = 0;
  std::string prefix;
  const auto test = [&](bool holds, const char* letter, double value) {
    if (holds) {
      scaled = true;
      prefix = letter;
      s = value;
    }
  };
  test(v < 1000000, "k", v / 1000);
  test(v < 1000, " ", 1.0 * v);
  test(v < 1, "m", 1000 * v);
  test(v < 0.001, "u", 1000000 * v);
  test(v < 0.000001, "n", 1000000000 * v);
  test(v < 0.000000001, "p", 1000000000000 * v);
  if (!scaled) return {};
  // The scaled value is a double whatever the entry's precision.
  std::string text = NumberText(Number::Double(s), decimal_separator);
  if (text.size() > 4) text.resize(4);
  return {text, prefix};
}

std::string ComponentLine(const std::string& label, double value, char decimal_separator) {
  const EngineeringValue e = ToEngineering(value, decimal_separator);
  return label + " =  " + e.mantissa + " " + e.prefix + "  \r\n";
}

void AddComponentLine(DesignWindow& window, const std::string& label, Number value) {
  window.AppendToListing(ComponentLine(label, value.value, window.DecimalSeparator()));
}

}  // namespace rfsplitter
