#include <charconv>

#include "engine/number_text.h"
#include "engine/si_value.h"
#include "parts/ratings.h"
#include "study/report.h"

namespace rfsplitter {

std::string StressFigure(double value, Unit unit) {
  // Three digits say what a rating needs; "0 W" for a lossless part.
  if (!(value >= 1e-15)) return "0 " + std::string(UnitText(unit));
  const std::string rounded = GeneralText(value, 3);
  double v = value;
  std::from_chars(rounded.data(), rounded.data() + rounded.size(), v);
  return SiText(v, unit);
}

std::string RatingText(const PartRating& rating) {
  std::string text;
  const auto add = [&](double figure, Unit unit) {
    if (figure > 0) text += (text.empty() ? "" : ", ") + StressFigure(figure, unit);
  };
  add(rating.volts, Unit::kVolt);
  add(rating.amps, Unit::kAmpere);
  add(rating.watts, Unit::kWatt);
  return text.empty() ? "none" : text;
}

std::string StressText(const StudyResult& result) {
  const StressReport& s = *result.stress;
  std::string text = "\nStress at " + StressFigure(s.settings.power_w, Unit::kWatt) +
                     " from each driven port, at " +
                     GeneralText(result.design.frequency_hz / 1e6, 6) + " MHz (counted against " +
                     GeneralText(100 * kVoltageDerating, 3) +
                     " % of a voltage or current rating, " + GeneralText(100 * kPowerDerating, 3) +
                     " % of a power rating):\n";
  const auto row = [&](std::vector<std::string> cells) {
    static constexpr size_t kWidths[] = {7, 11, 11, 13, 12, 34};
    std::string line = " ";
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i < std::size(kWidths)) cells[i].resize(std::max(kWidths[i], cells[i].size() + 1), ' ');
      line += " " + cells[i];
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  };
  row({"Part", "V peak", "I rms", "Dissipation", "Worst case", "Rating", "OK"});
  for (const PartStressRow& p : s.parts) {
    row({p.worst.name, StressFigure(p.worst.v_peak, Unit::kVolt),
         StressFigure(p.worst.i_rms, Unit::kAmpere), StressFigure(p.worst.p_diss_w, Unit::kWatt),
         p.scenario, RatingText(p.rating) + " (" + p.rating_source + ")", p.ok ? "yes" : "OVER"});
  }
  text += "Cases:\n";
  for (const StressScenario& c : s.scenarios) {
    text += "  " + c.key + ": " + c.description + "; leaving the ports at most";
    for (size_t port = 0; port < c.port_power_w.size(); ++port) {
      text += (port == 0 ? " " : ", ") + std::to_string(port + 1) + ": " +
              StressFigure(c.port_power_w[port], Unit::kWatt);
    }
    text += "\n";
  }
  return text;
}

}  // namespace rfsplitter
