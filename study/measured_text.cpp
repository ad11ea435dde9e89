#include <algorithm>

#include "engine/listing.h"
#include "engine/number_text.h"
#include "study/report.h"

namespace rfsplitter {
namespace {

std::string Mhz(double hz) { return GeneralText(hz / 1e6, 6); }

std::string DelaysText(const std::vector<double>& delays) {
  std::string text;
  for (const double d : delays) text += (text.empty() ? "" : ", ") + FixedText(d * 1e12, 1);
  return text + " ps";
}

std::string SignedPercent(double v) { return SignedFixedText(v, 1) + " %"; }

}  // namespace

std::string MeasuredText(const StudyResult& r) {
  const MeasuredResult& m = *r.measured;
  const Measurement& board = m.measurement;
  std::string text = "Measured: " + board.source + ", " +
                     std::to_string(board.frequencies_hz.size()) + " points from " +
                     Mhz(board.frequencies_hz.front()) + " to " + Mhz(board.frequencies_hz.back()) +
                     " MHz";
  if (!m.port_delays_s.empty()) {
    text += ", port planes moved by " + DelaysText(m.port_delays_s) +
            (m.delays_fitted ? " (as the diagnosis found them)" : "");
  }
  text += "\n";
  if (!board.Complete()) text += "  Not measured, left out: " + board.Missing() + "\n";
  if (!m.diagnosis) return text;
  const Diagnosis& d = *m.diagnosis;
  const auto kind_of = [&](const std::string& part) {
    const NetlistElement* e = r.Circuit().Find(part);
    return e ? e->kind : ElementKind::kResistor;
  };
  text += "\nDiagnosis, the board fitted over " + std::to_string(d.points) + " points (residual " +
          FixedText(d.residual_db, 1) + " dB; as built " + FixedText(d.start_residual_db, 1) +
          " dB):\n";
  const auto row = [&](std::vector<std::pair<std::string, size_t>> cells) {
    std::string line = " ";
    for (auto& [cell, width] : cells) line += " " + RightAligned(cell, width);
    text += line + "\n";
  };
  row({{"Part", 5},
       {"Built", 12},
       {"Fitted", 12},
       {"Change", 10},
       {"Uncertainty", 12},
       {"Evidence", 10}});
  for (const Suspect& s : d.suspects) {
    const ElementKind kind = kind_of(s.part);
    row({{s.part, 5},
         {ValueWithUnit(s.built, kind), 12},
         {ValueWithUnit(s.fitted, kind), 12},
         {SignedPercent(s.change_percent), 10},
         {FixedText(s.uncertainty_percent, 2) + " %", 12},
         {FixedText(std::min(s.evidence, 1e6), 1), 10}});
  }
  for (const auto& group : d.groups) {
    std::string names;
    for (const std::string& n : group) names += (names.empty() ? "" : ", ") + n;
    text += "  The measurement cannot tell these apart: " + names + "\n";
  }
  text += "  Port planes " + DelaysText(d.port_delays_s) + "; pads " +
          (d.pad_capacitance_f >= 0 ? "+" : "") + GeneralText(d.pad_capacitance_f * 1e12, 3) +
          " pF at every node\n";
  if (!d.suspects.empty()) {
    const Suspect& first = d.suspects.front();
    text += "  Most likely off: " + first.part + ", " + SignedPercent(first.change_percent) + " (" +
            ValueWithUnit(first.fitted, kind_of(first.part)) + " where " +
            ValueWithUnit(first.built, kind_of(first.part)) + " was built)\n";
  }
  if (m.repair) {
    const Repair& repair = *m.repair;
    if (!repair.needed) {
      text += "\nRepair: none needed; the fitted board meets the limits.\n";
    } else if (!repair.found) {
      text += "\nRepair: no repair within the series brings the fitted board within the limits.\n";
    } else {
      text += "\nRepair:";
      for (const RepairStep& step : repair.steps) {
        text += " " + step.part + " " + ValueWithUnit(step.from, kind_of(step.part)) + " -> " +
                ValueWithUnit(step.to, kind_of(step.part)) + ";";
      }
      text.back() = '\n';
      if (m.repaired_summary) {
        const DesignSummary& p = *m.repaired_summary;
        text += "  Predicted at f0: |S11| " + FixedText(p.figures.match_db, 2) + " dB, isolation " +
                FixedText(p.figures.isolation_db, 2) + " dB, imbalance " +
                FixedText(p.figures.imbalance_db, 2) + " dB, phase error " +
                FixedText(p.figures.phase_error_deg, 2) + " deg; usable band " +
                (p.bands.usable ? BandText(*p.bands.usable) + " MHz" : "none") + "\n";
      }
    }
  }
  return text;
}

}  // namespace rfsplitter
