#include "analysis/summary.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/number_text.h"

namespace rfsplitter {
namespace {

// The band search steps out from the design frequency by this factor until a
// point fails, then halves the last step: 24 halvings of a 0.25 % step leave
// about 1.5e-10 of the frequency, well below the six printed digits.
constexpr double kStep = 1.0025;
constexpr double kSearchLimit = 100;  // a decade and more either side
constexpr int kBisections = 24;

// The searches need S11, S21 and S31 only: the first column of S.
constexpr auto kColumns = BoundNetlist::Columns::kFromPorts1And2;

bool UsableAt(const BoundNetlist& circuit, double frequency_hz) {
  SMatrix s;
  return circuit.AnalyzeFromPorts1And2(frequency_hz, s) && InUsableBand(s);
}

double S11At(const BoundNetlist& circuit, double frequency_hz) {
  SMatrix s;
  return circuit.AnalyzeFromPorts1And2(frequency_hz, s) ? std::abs(s(1, 1)) : HUGE_VAL;
}

// The frequency of least |S11| in the sweep's range: the best sweep point,
// then a golden-section search between its neighbours (on a log scale).
double BestMatch(const BoundNetlist& circuit, double f0) {
  const std::vector<double> sweep = SweepFrequencies(f0);
  std::vector<SMatrix> s(sweep.size());
  bool analysed[kSweepPoints];
  circuit.AnalyzeMany(sweep, s, analysed, kColumns);
  size_t best = 0;
  double least = HUGE_VAL;
  for (size_t i = 0; i < sweep.size(); ++i) {
    const double v = analysed[i] ? std::abs(s[i](1, 1)) : HUGE_VAL;
    if (v < least) least = v, best = i;
  }
  double lo = std::log(sweep[best == 0 ? 0 : best - 1]);
  double hi = std::log(sweep[std::min(best + 1, sweep.size() - 1)]);
  const double ratio = (std::sqrt(5.0) - 1) / 2;
  double a = hi - ratio * (hi - lo);
  double b = lo + ratio * (hi - lo);
  double fa = S11At(circuit, std::exp(a));
  double fb = S11At(circuit, std::exp(b));
  for (int i = 0; i < 40; ++i) {
    if (fa < fb) {
      hi = b, b = a, fb = fa;
      a = hi - ratio * (hi - lo);
      fa = S11At(circuit, std::exp(a));
    } else {
      lo = a, a = b, fa = fb;
      b = lo + ratio * (hi - lo);
      fb = S11At(circuit, std::exp(b));
    }
  }
  const double found = std::exp((lo + hi) / 2);
  return S11At(circuit, found) <= least ? found : sweep[best];
}

// Walks from `start` (usable) towards `limit` and returns the last usable
// frequency; `open` tells that the limit itself was still usable.
double Edge(const BoundNetlist& design, double start, double limit, bool& open) {
  const double factor = limit > start ? kStep : 1 / kStep;
  double good = start;
  double bad = 0;
  // The steps go eight at a time through the lane solve.
  constexpr size_t kBatch = lanes::kLanes;
  for (double f = start; bad == 0;) {
    double batch[kBatch];
    size_t count = 0;
    bool at_limit = false;
    while (count < kBatch) {
      f *= factor;
      if ((factor > 1) ? f >= limit : f <= limit) {
        at_limit = true;
        break;
      }
      batch[count++] = f;
    }
    SMatrix s[kBatch];
    bool analysed[kBatch];
    design.AnalyzeMany({batch, count}, {s, count}, {analysed, count}, kColumns);
    for (size_t k = 0; k < count && bad == 0; ++k) {
      if (analysed[k] && InUsableBand(s[k])) {
        good = batch[k];
      } else {
        bad = batch[k];
      }
    }
    if (bad == 0 && at_limit) {
      if (UsableAt(design, limit)) {
        open = true;
        return limit;
      }
      bad = limit;
    }
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

double PhaseDifferenceDegrees(const SMatrix& s) {
  double difference = PhaseDegrees(s(3, 1)) - PhaseDegrees(s(2, 1));
  if (difference > 180) difference -= 360;
  if (difference <= -180) difference += 360;
  return difference;
}

double InsertionLossDb(const SMatrix& s) {
  return -10 * std::log10(std::norm(s(2, 1)) + std::norm(s(3, 1)));
}

std::optional<DesignSummary> Summarize(const Netlist& netlist, std::string& error) {
  const double f0 = netlist.frequency_hz;
  const SResult result = AnalyzeNetlist(netlist, f0);
  if (!result.s) {
    error = result.error;
    return std::nullopt;
  }
  const BoundNetlist design(netlist);
  const SMatrix& s = *result.s;
  DesignSummary summary;
  summary.frequency_hz = f0;
  summary.s21 = s(2, 1);
  summary.s31 = s(3, 1);
  summary.s11 = s(1, 1);
  summary.s32 = s(3, 2);
  if (s.ports() >= 4) summary.s41 = s(4, 1);
  summary.phase_difference_degrees = PhaseDifferenceDegrees(s);
  summary.insertion_loss_db = InsertionLossDb(s);
  summary.best_match_hz = BestMatch(design, f0);
  if (InUsableBand(s)) {
    Band band;
    band.low_hz = Edge(design, f0, f0 / kSearchLimit, band.low_open);
    band.high_hz = Edge(design, f0, f0 * kSearchLimit, band.high_open);
    summary.band = band;
  }
  return summary;
}

std::string SummaryText(const Netlist& design, const DesignSummary& summary) {
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
  text += "  " + BandText(band) + " MHz, " + GeneralText((band.high_hz - band.low_hz) / 1e6, 6) +
          " MHz wide (" + FixedText(100 * (band.high_hz - band.low_hz) / f0, 1) + " % of " + mhz +
          " MHz)\n";
  return text;
}

std::string BandText(const Band& band) {
  return std::string(band.low_open ? "below " : "") + GeneralText(band.low_hz / 1e6, 6) + " to " +
         std::string(band.high_open ? "above " : "") + GeneralText(band.high_hz / 1e6, 6);
}

std::string ComparisonText(const Netlist& ideal, const DesignSummary& a, const DesignSummary& b) {
  constexpr size_t kLabel = 34;
  constexpr size_t kColumn = 22;
  std::string text = "Response at " + NumberText(ideal.inputs.frequency_mhz) +
                     " MHz, ports referred to " + NumberText(ideal.inputs.impedance_ohms) +
                     " ohms:\n";
  const auto row = [&](const std::string& label, const std::string& x, const std::string& y) {
    std::string line = "  " + label;
    line.resize(kLabel, ' ');
    text += line + RightAligned(x, kColumn) + RightAligned(y, kColumn) + "\n";
  };
  const auto db = [](Complex v) { return FixedText(MagnitudeDb(v), 3); };
  const auto deg = [](double v) { return FixedText(v, 2); };
  const auto band = [](const DesignSummary& s) { return s.band ? BandText(*s.band) : "none"; };
  row("", "ideal", "built");
  row("|S21| output to port 2 (dB)", db(a.s21), db(b.s21));
  row("S21 phase (deg)", deg(PhaseDegrees(a.s21)), deg(PhaseDegrees(b.s21)));
  row("|S31| output to port 3 (dB)", db(a.s31), db(b.s31));
  row("S31 phase (deg)", deg(PhaseDegrees(a.s31)), deg(PhaseDegrees(b.s31)));
  row("Phase S31 - S21 (deg)", deg(a.phase_difference_degrees), deg(b.phase_difference_degrees));
  row("|S11| input match (dB)", db(a.s11), db(b.s11));
  row("|S32| isolation 3 to 2 (dB)", db(a.s32), db(b.s32));
  if (a.s41 && b.s41) row("|S41| isolation 1 to 4 (dB)", db(*a.s41), db(*b.s41));
  row("Insertion loss (dB)", FixedText(a.insertion_loss_db, 3), FixedText(b.insertion_loss_db, 3));
  row("Best match (MHz)", GeneralText(a.best_match_hz / 1e6, 6),
      GeneralText(b.best_match_hz / 1e6, 6));
  row("Usable band (MHz)", band(a), band(b));
  text += "  (usable: |S11| <= -15 dB, |S21| and |S31| within 0.5 dB of -3.01 dB)\n";
  return text;
}

}  // namespace rfsplitter
