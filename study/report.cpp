#include "study/report.h"

#include <algorithm>
#include <cmath>

#include "engine/listing.h"
#include "engine/number_text.h"
#include "engine/quoted.h"
#include "engine/si_value.h"

namespace rfsplitter {
namespace {

std::string Db(double v) { return FixedText(v, 3); }
std::string Mhz(double hz) { return GeneralText(hz / 1e6, 6); }

std::string LimitsText(const Limits& l, bool hybrid) {
  return "|S11| <= " + GeneralText(l.match_db, 6) +
         " dB, isolation <= " + GeneralText(l.isolation_db, 6) +
         " dB, imbalance <= " + GeneralText(l.imbalance_db, 6) + " dB, phase within " +
         GeneralText(l.phase_deg, 6) + " deg of " + (hybrid ? "90" : "0");
}

std::string OptionalBand(const std::optional<Band>& band) {
  return band ? BandText(*band) : "none";
}

// The bands of one circuit, a row each.
std::string BandsText(const DesignSummary& s, bool hybrid, const std::string& mhz) {
  std::string text = "Bands (" + LimitsText(s.limits, hybrid) + "):\n";
  const auto row = [&](const char* label, const std::optional<Band>& band) {
    std::string line = std::string("  ") + label;
    line.resize(22, ' ');
    text += line + (band ? BandText(*band) + " MHz" : "none: missed at the design frequency");
    if (band && std::string_view(label) == "Usable") {
      text += ", " + GeneralText((band->high_hz - band->low_hz) / 1e6, 6) + " MHz wide (" +
              FixedText(100 * (band->high_hz - band->low_hz) / s.frequency_hz, 1) + " % of " + mhz +
              " MHz)";
    }
    text += "\n";
  };
  row("Match", s.bands.match);
  row("Isolation", s.bands.isolation);
  row("Amplitude balance", s.bands.amplitude_balance);
  row("Phase balance", s.bands.phase_balance);
  row("Usable", s.bands.usable);
  return text;
}

std::string SummaryText(const Netlist& design, const DesignSummary& summary) {
  const auto db = [](Complex v) { return RightAligned(Db(MagnitudeDb(v)), 8) + " dB"; };
  const auto degrees = [](double v) { return RightAligned(FixedText(v, 2), 8) + " deg"; };
  const std::string mhz = NumberText(design.inputs.frequency_mhz);
  std::string text = "Response at " + mhz + " MHz, ports referred to " +
                     NumberText(design.inputs.impedance_ohms) + " ohms:\n";
  text +=
      "  Output to port 2   S21  " + db(summary.s21) + degrees(PhaseDegrees(summary.s21)) + "\n";
  text +=
      "  Output to port 3   S31  " + db(summary.s31) + degrees(PhaseDegrees(summary.s31)) + "\n";
  for (size_t k = 0; k < summary.more_outputs.size(); ++k) {
    const std::string port = std::to_string(k + 4);
    text += "  Output to port " + port + "   S" + port + "1  " + db(summary.more_outputs[k]) +
            degrees(PhaseDegrees(summary.more_outputs[k])) + "\n";
  }
  text += "  Phase S31 - S21              " + degrees(summary.phase_difference_degrees) + "\n";
  const FigureRule rule = RuleOf(design.form);
  if (rule.split_db != 0) {
    text += "  Split S21 - S31         " +
            RightAligned(Db(MagnitudeDb(summary.s21) - MagnitudeDb(summary.s31)), 8) +
            " dB (asked " + GeneralText(rule.split_db, 6) + " dB)\n";
  }
  text += "  Input match       |S11| " + db(summary.s11) + "\n";
  text += "  Isolation 3 to 2  |S32| " + db(summary.s32) + "\n";
  if (summary.s41) text += "  Isolation 1 to 4  |S41| " + db(*summary.s41) + "\n";
  if (rule.outputs > 2) {
    text += "  Worst isolation         " + RightAligned(Db(summary.figures.isolation_db), 8) +
            " dB (every two outputs)\n";
  }
  text +=
      "  Excess loss             " + RightAligned(Db(summary.figures.excess_loss_db), 8) + " dB\n";
  return text + BandsText(summary, rule.quadrature, mhz);
}

// Ideal, built and measured side by side, a column each.
std::string ComparisonText(
    const Netlist& ideal,
    const std::vector<std::pair<std::string, const DesignSummary*>>& columns) {
  constexpr size_t kLabel = 34;
  constexpr size_t kColumn = 22;
  std::string text = "Response at " + NumberText(ideal.inputs.frequency_mhz) +
                     " MHz, ports referred to " + NumberText(ideal.inputs.impedance_ohms) +
                     " ohms:\n";
  // A band open at both ends is wider than its column: two blanks keep it
  // apart from its neighbour.
  const auto cell = [&](const std::string& v) {
    return v.size() + 2 > kColumn ? "  " + v : RightAligned(v, kColumn);
  };
  const auto row = [&](const std::string& label, const auto& value) {
    std::string line = "  " + label;
    line.resize(kLabel, ' ');
    text += line;
    for (const auto& [heading, summary] : columns) text += cell(value(*summary));
    text += "\n";
  };
  // A figure that needs an entry nobody measured.
  const auto known = [](double v, const std::string& shown) {
    return std::isnan(v) ? std::string("not measured") : shown;
  };
  const auto db = [&](Complex v) { return known(Norm(v), Db(MagnitudeDb(v))); };
  const auto deg = [&](double v) { return known(v, FixedText(v, 2)); };
  const auto band = [&](const std::optional<Band>& b, double figure) {
    return known(figure, OptionalBand(b));
  };
  using S = DesignSummary;
  text += std::string(kLabel, ' ');
  text.replace(text.size() - kLabel, 2, "  ");
  for (const auto& [heading, summary] : columns) text += cell(heading);
  text += "\n";
  row("|S21| output to port 2 (dB)", [&](const S& a) { return db(a.s21); });
  row("S21 phase (deg)", [&](const S& a) { return deg(PhaseDegrees(a.s21)); });
  row("|S31| output to port 3 (dB)", [&](const S& a) { return db(a.s31); });
  row("S31 phase (deg)", [&](const S& a) { return deg(PhaseDegrees(a.s31)); });
  row("Phase S31 - S21 (deg)", [&](const S& a) { return deg(a.phase_difference_degrees); });
  row("Imbalance (dB)",
      [&](const S& a) { return known(a.figures.imbalance_db, Db(a.figures.imbalance_db)); });
  row("|S11| input match (dB)", [&](const S& a) { return db(a.s11); });
  row("|S32| isolation 3 to 2 (dB)", [&](const S& a) { return db(a.s32); });
  if (columns[0].second->s41)
    row("|S41| isolation 1 to 4 (dB)", [&](const S& a) { return db(*a.s41); });
  row("Excess loss (dB)",
      [&](const S& a) { return known(a.figures.excess_loss_db, Db(a.figures.excess_loss_db)); });
  row("Best match (MHz)", [&](const S& a) { return known(a.best_match_hz, Mhz(a.best_match_hz)); });
  row("Match band (MHz)", [&](const S& a) { return band(a.bands.match, a.figures.match_db); });
  row("Isolation band (MHz)",
      [&](const S& a) { return band(a.bands.isolation, a.figures.isolation_db); });
  row("Amplitude balance band (MHz)",
      [&](const S& a) { return band(a.bands.amplitude_balance, a.figures.imbalance_db); });
  row("Phase balance band (MHz)",
      [&](const S& a) { return band(a.bands.phase_balance, a.figures.phase_error_deg); });
  row("Usable band (MHz)", [&](const S& a) {
    return band(a.bands.usable, a.figures.match_db + a.figures.isolation_db +
                                    a.figures.imbalance_db + a.figures.phase_error_deg);
  });
  text += "  (" + LimitsText(columns[0].second->limits, RuleOf(ideal.form).quadrature) +
          "; usable: all four)\n";
  return text;
}

std::string PartsTableText(const StudyResult& r) {
  std::string text =
      "Parts (fit " +
      std::string(r.request.parts.AnyParts() ? FitName(r.request.parts.method) : "ideal") + "):\n";
  const auto row = [&](std::vector<std::pair<std::string, size_t>> cells) {
    std::string line = " ";
    for (auto& [cell, width] : cells) {
      cell.resize(std::max(width, cell.size()), ' ');
      line += " " + cell;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  };
  // Parts that act as other values than their nominal ones get a column for
  // what they act as at f0.
  const bool effective = std::any_of(r.parts.begin(), r.parts.end(),
                                     [](const PartRow& p) { return p.effective != p.chosen; });
  // Pairs widen the chosen column.
  size_t chosen_width = 14;
  for (const PartRow& p : r.parts) chosen_width = std::max(chosen_width, ChosenText(p).size() + 1);
  if (effective) {
    row({{"Part", 5},
         {"Ideal", 14},
         {"Chosen", chosen_width},
         {"Acts as", 14},
         {"Series", 10},
         {"Error", 10},
         {"Loss", 0}});
  } else {
    row({{"Part", 5},
         {"Ideal", 14},
         {"Chosen", chosen_width},
         {"Series", 10},
         {"Error", 10},
         {"Loss", 0}});
  }
  for (const PartRow& p : r.parts) {
    std::vector<std::pair<std::string, size_t>> cells = {
        {p.name, 5}, {ValueWithUnit(p.ideal, p.kind), 14}, {ChosenText(p), chosen_width}};
    if (effective) {
      cells.push_back({p.effective > 0 ? ValueWithUnit(p.effective, p.kind) : "resonant", 14});
    }
    cells.push_back({EscapeControls(p.series), 10});
    cells.push_back({SignedFixedText(p.error_percent, 2) + " %", 10});
    cells.push_back({p.loss_ohms > 0 ? ValueWithUnit(p.loss_ohms, ElementKind::kResistor) : "", 0});
    row(cells);
  }
  if (effective)
    text += "  (acts as: the part's inductance or capacitance at f0, with its model)\n";
  if (std::any_of(r.parts.begin(), r.parts.end(), [](const PartRow& p) { return p.pair; })) {
    text += "  (a + b: two inductors in series; a || b: two capacitors in parallel)\n";
  }
  return text;
}

std::string Percent(double v) { return FixedText(v, 2) + " %"; }

std::string MonteCarloText(const StudyResult& result) {
  const MonteCarloResult& r = *result.monte_carlo;
  const MonteCarloSettings& settings = *result.monte_carlo_settings;
  const Netlist& nominal = result.Circuit();
  std::string text = "Monte Carlo: " + std::to_string(r.samples) + " boards, seed " +
                     std::to_string(r.seed) + ", " + std::string(DistributionName(r.distribution)) +
                     "; tolerances " + TolerancesText(settings) + "\n";
  text += "  Pass: " + LimitsText(result.request.limits, RuleOf(nominal.form).quadrature) +
          ", at " + NumberText(nominal.inputs.frequency_mhz) + " MHz";
  if (settings.band_percent > 0) {
    text += " and across a " + GeneralText(settings.band_percent, 6) + " % band";
  }
  text += "\n";
  // Each line of the yield's text indented.
  const std::string yield = YieldLine(result);
  for (size_t at = 0; at < yield.size();) {
    const size_t end = yield.find('\n', at);
    text += "  " + yield.substr(at, end + 1 - at);
    at = end + 1;
  }
  text += "  At f0                            p5         p50         p95\n";
  for (const auto& [name, p] : r.percentiles) {
    std::string label = "  " + name;
    label.resize(28, ' ');
    text += label + RightAligned(FixedText(p.p5, 3), 12) + RightAligned(FixedText(p.p50, 3), 12) +
            RightAligned(FixedText(p.p95, 3), 12) + "\n";
  }
  if (!r.nominal_passes) {
    text +=
        "  The circuit at its nominal values misses the limits (see above): the boards\n"
        "  that pass do so by their parts' deviations, and a tighter tolerance can lower\n"
        "  the yield. Mend the nominal circuit first.\n";
  }
  text += "  Yield with only one part varying (" + std::to_string(r.sensitivity_samples) +
          " boards each), most harmful first:\n";
  for (const auto& part : r.sensitivity) {
    std::string label = "    " + part.part;
    label.resize(10, ' ');
    text += label + RightAligned(Percent(part.yield_percent_alone), 9) + "\n";
  }
  if (r.harmful_part && r.tighter) {
    text += "  Most harmful: " + *r.harmful_part + " (+-" +
            ToleranceText(settings.ToleranceOf(r.harmful_kind), r.harmful_kind) + "); at +-" +
            ToleranceText(*r.tighter, r.harmful_kind) + " the yield would be " +
            Percent(r.tighter_yield_percent) + "\n";
  } else if (r.harmful_part) {
    text += "  Most harmful: " + *r.harmful_part + "\n";
  }
  return text;
}

std::string MissesText(const StudyResult& r) {
  if (r.nominal_misses.empty()) return {};
  std::string text = std::string("The ") + (r.built ? "built" : "ideal") +
                     " circuit misses these limits with the parts at their nominal values:\n";
  for (const LimitMiss& miss : r.nominal_misses) text += "  " + MissText(miss) + "\n";
  return text;
}

}  // namespace

std::string ListingText(const Design& design) {
  std::string text;
  for (const NamedValue& entry : design.listing) {
    std::string line = ComponentLine(entry.name, entry.value.value);
    line.replace(line.size() - 2, 2, "\n");
    text += line;
  }
  return text;
}

std::string AnalysisText(const StudyResult& r) {
  std::string text;
  std::vector<std::pair<std::string, const DesignSummary*>> columns = {
      {"ideal", &*r.ideal_summary}};
  if (r.built) columns.emplace_back("built", &*r.built_summary);
  if (r.measured) columns.emplace_back("measured", &r.measured->summary);
  if (r.built) text += "\n" + PartsTableText(r);
  text += "\n" + (columns.size() > 1 ? ComparisonText(r.ideal, columns)
                                     : SummaryText(r.ideal, *r.ideal_summary));
  if (r.measured) text += "\n" + MeasuredText(r);
  if (!r.nominal_misses.empty()) text += "\n" + MissesText(r);
  if (r.monte_carlo) text += "\n" + MonteCarloText(r);
  return text;
}

std::string YieldLine(const StudyResult& result) {
  const MonteCarloResult& r = *result.monte_carlo;
  std::string text = "Yield " + Percent(r.yield_percent) + " (" + std::to_string(r.passed) +
                     " of " + std::to_string(r.samples) + "; 95 % interval " +
                     FixedText(r.ci95_low, 2) + " to " + Percent(r.ci95_high) + ")\n";
  if (r.yield_percent_pairs_alike) {
    text += "Yield " + Percent(*r.yield_percent_pairs_alike) +
            " with each pair's two parts drawn alike, as from one reel (the truth lies "
            "between the two)\n";
  }
  if (const std::optional<GradeChoice>& g = result.grades) {
    const std::string target = GeneralText(g->target_percent, 6) + " %";
    text += g->reached
                ? "Tolerances for a " + target + " yield, the cheapest grades that give it: " +
                      TolerancesText(*result.monte_carlo_settings) + "\n"
                : "No grades give a " + target + " yield; the best, " +
                      TolerancesText(*result.monte_carlo_settings) + ", gives " +
                      Percent(g->yield_percent) + " on " + std::to_string(g->samples) + " boards\n";
  }
  return text;
}

std::string ChosenText(const PartRow& p) {
  if (!p.pair) return ValueWithUnit(p.chosen, p.kind);
  return ValueWithUnit(p.pair->values[0], p.kind) +
         (p.kind == ElementKind::kInductor ? " + " : " || ") +
         ValueWithUnit(p.pair->values[1], p.kind);
}

std::string TolerancesText(const MonteCarloSettings& settings) {
  return "L +-" + ToleranceText(settings.inductor, ElementKind::kInductor) + ", C +-" +
         ToleranceText(settings.capacitor, ElementKind::kCapacitor) + ", R +-" +
         ToleranceText(settings.resistor, ElementKind::kResistor) +
         (settings.parasitic_tolerance > 0
              ? ", parasitics +-" + GeneralText(100 * settings.parasitic_tolerance, 6) + " %"
              : "");
}

std::string BandText(const Band& band) {
  return std::string(band.low_open ? "below " : "") + Mhz(band.low_hz) + " to " +
         std::string(band.high_open ? "above " : "") + Mhz(band.high_hz);
}

std::string MissText(const LimitMiss& miss) {
  const auto number = [](double v) { return GeneralText(v, 3); };
  std::string what;
  switch (miss.kind) {
    case LimitKind::kMatch:
      what = "match |S11| " + FixedText(miss.value, 2) + " dB > " + number(miss.limit) + " dB";
      break;
    case LimitKind::kIsolation:
      what = "isolation " + FixedText(miss.value, 2) + " dB > " + number(miss.limit) + " dB";
      break;
    case LimitKind::kAmplitudeBalance:
      what = "imbalance " + FixedText(miss.value, 2) + " dB > " + number(miss.limit) + " dB";
      break;
    case LimitKind::kPhaseBalance:
      what = "phase error " + FixedText(std::abs(miss.value), 2) + " deg > " + number(miss.limit) +
             " deg";
      break;
  }
  return what + " at " + Mhz(miss.frequency_hz) + " MHz";
}

}  // namespace rfsplitter
