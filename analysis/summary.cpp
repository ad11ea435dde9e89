#include "analysis/summary.h"

#include <cmath>

#include "engine/number_text.h"

namespace rfsplitter {
namespace {

// The band search steps out from the design frequency by this factor until a
// point fails, then halves the last step down to a few parts per billion.
constexpr double kStep = 1.0025;
constexpr double kSearchLimit = 100;  // a decade and more either side
constexpr int kBisections = 40;

bool UsableAt(const Design& design, double frequency_hz) {
  const SResult result = AnalyzeDesign(design, frequency_hz);
  return result.s && InUsableBand(*result.s);
}

// Walks from `start` (usable) towards `limit` and returns the last usable
// frequency; `open` tells that the limit itself was still usable.
double Edge(const Design& design, double start, double limit, bool& open) {
  const double factor = limit > start ? kStep : 1 / kStep;
  double good = start;
  double bad = 0;
  for (double f = start * factor;; f *= factor) {
    if ((factor > 1) ? f >= limit : f <= limit) {
      if (UsableAt(design, limit)) {
        open = true;
        return limit;
      }
      bad = limit;
      break;
    }
    if (!UsableAt(design, f)) {
      bad = f;
      break;
    }
    good = f;
  }
  for (int i = 0; i < kBisections; ++i) {
    const double middle = std::sqrt(good * bad);
    (UsableAt(design, middle) ? good : bad) = middle;
  }
  return good;
}


}  // namespace

bool InUsableBand(const SMatrix& s) {
  return MagnitudeDb(s(1, 1)) <= kMatchLimitDb &&
         std::abs(MagnitudeDb(s(2, 1)) - kSplitDb) <= kSplitToleranceDb &&
         std::abs(MagnitudeDb(s(3, 1)) - kSplitDb) <= kSplitToleranceDb;
}

std::optional<DesignSummary> Summarize(const Design& design, std::string& error) {
  const double f0 = design.frequency_hz;
  const SResult result = AnalyzeDesign(design, f0);
  if (!result.s) {
    error = result.error;
    return std::nullopt;
  }
  const SMatrix& s = *result.s;
  DesignSummary summary;
  summary.frequency_hz = f0;
  summary.s21 = s(2, 1);
  summary.s31 = s(3, 1);
  summary.s11 = s(1, 1);
  summary.s32 = s(3, 2);
  if (s.ports() >= 4) summary.s41 = s(4, 1);
  double difference = PhaseDegrees(summary.s31) - PhaseDegrees(summary.s21);
  if (difference > 180) difference -= 360;
  if (difference <= -180) difference += 360;
  summary.phase_difference_degrees = difference;
  if (InUsableBand(s)) {
    Band band;
    band.low_hz = Edge(design, f0, f0 / kSearchLimit, band.low_open);
    band.high_hz = Edge(design, f0, f0 * kSearchLimit, band.high_open);
    summary.band = band;
  }
  return summary;
}

std::string SummaryText(const Design& design, const DesignSummary& summary) {
  const auto db = [](Complex v) { return RightAligned(FixedText(MagnitudeDb(v), 3), 8) + " dB"; };
  const auto degrees = [](double v) { return RightAligned(FixedText(v, 2), 8) + " deg"; };
  const std::string mhz = NumberText(design.inputs.frequency_mhz);
  std::string text = "Response at " + mhz + " MHz, ports referred to " +
                     NumberText(design.inputs.impedance_ohms) + " ohms:\n";
  text +=
      "  Output to port 2   S21  " + db(summary.s21) + degrees(PhaseDegrees(summary.s21)) + "\n";
  text +=
      "  Output to port 3   S31  " + db(summary.s31) + degrees(PhaseDegrees(summary.s31)) + "\n";
  text += "  Phase S31 - S21              " + degrees(summary.phase_difference_degrees) + "\n";
  text += "  Input match       |S11| " + db(summary.s11) + "\n";
  text += "  Isolation 3 to 2  |S32| " + db(summary.s32) + "\n";
  if (summary.s41) text += "  Isolation 1 to 4  |S41| " + db(*summary.s41) + "\n";
  text += "Usable band (|S11| <= -15 dB, |S21| and |S31| within 0.5 dB of -3.01 dB):\n";
  if (!summary.band) {
    text += "  none: the circuit misses these limits at the design frequency\n";
    return text;
  }
  const Band& band = *summary.band;
  const double f0 = summary.frequency_hz;
  text += "  " + std::string(band.low_open ? "below " : "") + GeneralText(band.low_hz / 1e6, 6) +
          " to " + std::string(band.high_open ? "above " : "") +
          GeneralText(band.high_hz / 1e6, 6) + " MHz, " +
          GeneralText((band.high_hz - band.low_hz) / 1e6, 6) + " MHz wide (" +
          FixedText(100 * (band.high_hz - band.low_hz) / f0, 1) + " % of " + mhz + " MHz)\n";
  return text;
}

}  // namespace rfsplitter
