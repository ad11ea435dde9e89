#include "study/study.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <numbers>
#include <stdexcept>

#include "engine/form_netlist.h"
#include "engine/number_text.h"
#include "engine/quoted.h"
#include "engine/si_value.h"
#include "engine/sweep.h"
#include "engine/topologies.h"
#include "parts/ratings.h"
#include "study/measured_study.h"
#include "study/report.h"

namespace rfsplitter {
namespace {

// The boards the yield fit weighs each circuit on.
constexpr int kFitBoards = 2048;

std::vector<PartRow> PartRows(const Netlist& ideal, const Netlist& circuit,
                              const PartsChoice& parts, const PartModels& models) {
  std::vector<PartRow> rows;
  const double w0 = 2 * std::numbers::pi * circuit.frequency_hz;
  for (size_t i = 0; i < circuit.elements.size(); ++i) {
    const NetlistElement& e = circuit.elements[i];
    if (e.pad) continue;
    const PartSeries* series = parts.SeriesFor(e.kind);
    PartRow row;
    row.name = std::string(e.name);
    row.kind = e.kind;
    row.ideal = ideal.elements[i].value;
    row.chosen = e.value;
    row.series = series ? series->name() : "ideal";
    row.file_line = series && !series->IsStandard() ? series->LineOf(e.value) : 0;
    row.error_percent = ErrorPercent(row.chosen, row.ideal);
    row.loss_ohms = e.loss_ohms;
    const KindModel& model = ModelFor(e.kind, e.value, parts, models);
    if (model.Any()) row.model = model;
    row.effective = e.model.Dynamic(e.kind)
                        ? EffectiveValue(e.kind, e.value, e.model, w0).value_or(0)
                        : e.value;
    if (const std::optional<SecondPart>& second = e.second) {
      row.chosen = e.Combined();
      row.error_percent = ErrorPercent(row.chosen, row.ideal);
      row.pair = PartRow::Pair{{e.value, second->value}, {e.loss_ohms, second->loss_ohms}};
      row.loss_ohms = e.kind == ElementKind::kInductor ? e.loss_ohms + second->loss_ohms : 0;
      const std::optional<Complex> z =
          PairImpedance(e.kind, e.value, e.loss_ohms, e.model, second->value, second->loss_ohms,
                        second->model, w0);
      row.effective = z ? EffectiveValueOf(e.kind, *z, w0).value_or(0) : 0;
      if (!e.model.Dynamic(e.kind) && !second->model.Dynamic(e.kind)) row.effective = row.chosen;
    }
    // The error of what the part acts as against what the circuit needs
    // of it; a part that acts as its nominal value keeps the plain error.
    if (row.effective > 0) {
      row.error_percent = ErrorPercent(row.effective, CompensatedTarget(e.kind, row.ideal, models));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// A part bought more than a decade away from its ideal value is almost
// certainly a slip in the parts file (a unit or prefix off).
std::vector<std::string> FarOffParts(const std::vector<PartRow>& rows) {
  std::vector<std::string> warnings;
  for (const PartRow& row : rows) {
    const double ratio = row.chosen / row.ideal;
    if (ratio <= 10 && ratio >= 0.1) continue;
    std::string where = EscapeControls(row.series);
    if (row.file_line > 0) where += " line " + std::to_string(row.file_line);
    warnings.push_back(row.name + " = " + ValueWithUnit(row.chosen, row.kind) + " (" + where +
                       ") is more than a decade from its ideal value, " +
                       ValueWithUnit(row.ideal, row.kind));
  }
  return warnings;
}

// A part near its own resonance acts as a value far from its nominal one
// and changes fast with frequency: worth a word even when compensated.
std::vector<std::string> ResonanceWarnings(const Netlist& circuit) {
  std::vector<std::string> warnings;
  const double f0 = circuit.frequency_hz;
  const std::string at = SiText(f0, Unit::kHertz);
  for (const NetlistElement& e : circuit.elements) {
    if (e.pad || e.model.measured) continue;
    const std::string part = std::string(e.name) + " (" + ValueWithUnit(e.value, e.kind) + ")";
    const std::optional<double> resonance = ResonanceHz(e.kind, e.value, e.model);
    if (!resonance) continue;
    if (e.kind == ElementKind::kInductor) {
      const double srf = *resonance;
      if (srf <= f0) {
        warnings.push_back(part + " is past its self-resonance (SRF " + SiText(srf, Unit::kHertz) +
                           ", f0 " + at +
                           "): it acts as a capacitor and cannot act as the inductor");
      } else if (srf < 3 * f0) {
        warnings.push_back(part + " is used above a third of its self-resonance: SRF " +
                           SiText(srf, Unit::kHertz) + ", f0 " + at);
      }
    }
    if (e.kind == ElementKind::kCapacitor) {
      if (*resonance <= f0) {
        warnings.push_back(part + " is past its resonance with its ESL (" +
                           SiText(*resonance, Unit::kHertz) + ", f0 " + at +
                           "): it acts as an inductor and cannot act as the capacitor");
      } else if (*resonance < 3 * f0) {
        warnings.push_back(part + " resonates with its ESL at " + SiText(*resonance, Unit::kHertz) +
                           ", below 3 f0 (f0 " + at + ")");
      }
    }
  }
  return warnings;
}

// Pads larger than a shunt leave nothing to buy for it.
std::vector<std::string> PadWarnings(const Netlist& ideal, const PartModels& models) {
  std::vector<std::string> warnings;
  if (!(models.pad_capacitance_f > 0) || !models.compensate) return warnings;
  for (const NetlistElement& e : ideal.elements) {
    if (e.kind != ElementKind::kCapacitor || e.value > models.pad_capacitance_f) continue;
    warnings.push_back("the pad capacitance " + ValueWithUnit(models.pad_capacitance_f, e.kind) +
                       " is not smaller than " + std::string(e.name) + "'s ideal " +
                       ValueWithUnit(e.value, e.kind) + ": the pads alone overshoot it");
  }
  return warnings;
}

// The frequencies a study analyses its circuit at, lowest and highest.
std::pair<double, double> AnalysedRange(const StudyRequest& request, double f0) {
  // The fits weigh their candidates at f0 x 0.95, f0 and f0 x 1.05.
  double low = f0 * 0.95, high = f0 * 1.05;
  if (request.summaries || request.sweeps || request.spread) {
    const Sweep sweep = FileSweep(f0);
    low = std::min(low, sweep.low_hz), high = std::max(high, sweep.high_hz);
  }
  if (request.monte_carlo && request.monte_carlo->band_percent > 0) {
    const double half = request.monte_carlo->band_percent / 200;
    low = std::min(low, f0 * (1 - half)), high = std::max(high, f0 * (1 + half));
  }
  return {low, high};
}

// A measured part answers only inside its file's range: a study that needs
// more is refused, naming the file and its range.
std::optional<std::string> OutsideMeasurements(const Netlist& circuit,
                                               std::pair<double, double> range) {
  std::optional<std::string> why = UnmeasuredRange(circuit, range.first, range.second);
  if (why) *why += ", where this run analyses the circuit";
  return why;
}

// An absolute tolerance as large as a part would let a drawn value reach
// zero or below.
std::optional<std::string> TooWideTolerance(const Netlist& circuit,
                                            const MonteCarloSettings& settings) {
  for (const ElementKind kind :
       {ElementKind::kInductor, ElementKind::kCapacitor, ElementKind::kResistor}) {
    const Tolerance& t = settings.ToleranceOf(kind);
    if (t.relative || t.value == 0) continue;
    for (const NetlistElement& e : circuit.elements) {
      if (e.kind != kind || e.pad) continue;
      for (int part = 0; part < (e.second ? 2 : 1); ++part) {
        const double value = part == 0 ? e.value : e.second->value;
        if (t.value < value) continue;
        return "the " + std::string(KindName(kind)) + " tolerance +-" + ToleranceText(t, kind) +
               " is not smaller than " +
               (e.second ? PairPartName(e.name, part) : std::string(e.name)) + ", " +
               ValueWithUnit(value, kind);
      }
    }
  }
  return std::nullopt;
}

// The limits the circuit misses at its nominal values, each at the point
// where it misses by most.
std::optional<std::vector<LimitMiss>> NominalMisses(const Netlist& circuit, const Limits& limits,
                                                    double band_percent, std::string& error) {
  std::array<std::optional<LimitMiss>, std::size(kAllLimits)> worst;
  std::array<double, std::size(kAllLimits)> worst_margin{};
  for (const double f : CheckFrequencies(circuit.frequency_hz, band_percent)) {
    const SResult s = AnalyzeNetlist(circuit, f);
    if (!s.s) {
      error = s.error;
      return std::nullopt;
    }
    for (const LimitMargin& m : MarginsOf(FiguresOf(*s.s, RuleOf(circuit.form)), limits)) {
      const size_t k = size_t(m.kind);
      if (m.margin < 0 && (!worst[k] || m.margin < worst_margin[k])) {
        worst[k] = LimitMiss{m.kind, m.value, m.limit, f};
        worst_margin[k] = m.margin;
      }
    }
  }
  std::vector<LimitMiss> misses;
  for (const auto& miss : worst) {
    if (miss) misses.push_back(*miss);
  }
  return misses;
}

// Each part where it is most loaded against its rating (every scenario
// counted), flagged when over it.
StressReport StressOf(const Netlist& circuit, std::vector<StressScenario> scenarios,
                      const StressSettings& settings, const StudyRequest& request) {
  StressReport report{settings, std::move(scenarios), {}};
  size_t index = 0;
  for (const NetlistElement& e : circuit.elements) {
    if (e.pad) continue;
    const RatedElement rated = RatingOf(e, request.parts, request.models);
    PartStressRow row;
    row.rating = rated.rating;
    row.rating_source = rated.source;
    row.usage = -1;
    for (const StressScenario& s : report.scenarios) {
      const PartStress& p = s.parts[index];
      const double usage = RatingUsage(p.v_peak, p.i_rms, p.p_diss_w, rated.rating);
      if (usage > row.usage) row.worst = p, row.scenario = s.key, row.usage = usage;
    }
    row.ok = row.usage <= 1;
    report.parts.push_back(std::move(row));
    ++index;
  }
  return report;
}

StudyOutcome Failed(StudyOutcome::Status status, std::string error) {
  return {status, std::move(error), std::nullopt};
}

}  // namespace

Design DesignOf(const StudyRequest& request) {
  return FormDesign(request.RequestedForm(), request.inputs);
}

namespace {

StudyOutcome RunStudyUnguarded(const StudyRequest& request, const RunControl* control) {
  const auto stopped = [&] { return control && control->StopRequested(); };
  StudyResult r;
  r.request = request;
  r.design = DesignOf(request);
  r.ideal = IdealNetlist(r.design);
  if (request.Built()) {
    FitGoal goal;
    goal.limits = request.limits;
    goal.control = control;
    if (control) goal.effort = control->effort;
    if (request.monte_carlo) {
      goal.band_percent = request.monte_carlo->band_percent;
      if (request.parts.method == FitMethod::kYield) {
        // Every circuit the search tries is built on the same boards, not
        // the run's own: the yield reported is then a fresh sample.
        MonteCarloSettings boards = *request.monte_carlo;
        boards.limits = request.limits;
        boards.seed = request.monte_carlo->seed ^ 0x6a09e667f3bcc909ULL;
        boards.pair_room = request.parts.pairs;
        boards.spread_samples = 0;
        // No part may be as small as an absolute tolerance.
        for (const ElementKind kind : {ElementKind::kInductor, ElementKind::kCapacitor}) {
          const Tolerance& t = boards.ToleranceOf(kind);
          (kind == ElementKind::kInductor ? goal.least_inductor : goal.least_capacitor) =
              t.relative ? 0 : t.value;
        }
        // One thread a circuit: its few hundred boards at a time are too few
        // to share out.
        boards.threads = 1;
        goal.boards = kFitBoards;
        goal.boards_passing = [boards, control](const Netlist& n, const FitGoal::BoardGate& gate) {
          return BoardsPassing(n, boards, kFitBoards, [&](int done, int passed) {
            return !(control && control->StopRequested()) && gate(done, passed);
          });
        };
      }
    }
    if (std::optional<std::string> why = WhyUnbuildable(r.design, request.parts, request.models)) {
      return Failed(StudyOutcome::Status::kRefused, *why);
    }
    if (control) control->Report("fit", 0);
    r.built = FitParts(r.design, request.parts, request.models, goal);
    if (stopped()) return Failed(StudyOutcome::Status::kStopped, "stopped");
    for (const auto& [name, value] : request.part_values) {
      for (NetlistElement& e : r.built->netlist.elements) {
        if (e.name != name || !(value > 0) || e.pad) continue;
        // A part set by hand is one part.
        e.value = value;
        e.second.reset();
        e.model =
            ResolveModel(e.kind, value, ModelFor(e.kind, value, request.parts, request.models),
                         r.design.frequency_hz);
        e.loss_ohms = FixedLossOhms(e.kind, value, e.model);
        if (const PartSeries* series = request.parts.SeriesFor(e.kind)) {
          e.model.tolerance_floor_f = series->ToleranceFloorOf(value);
        }
      }
    }
  }
  const Netlist& circuit = r.Circuit();
  r.parts = PartRows(r.ideal, circuit, request.parts, request.models);
  r.warnings = FarOffParts(r.parts);
  for (std::string& w : ResonanceWarnings(circuit)) r.warnings.push_back(std::move(w));
  for (std::string& w : PadWarnings(r.ideal, request.models)) r.warnings.push_back(std::move(w));
  if (std::optional<std::string> why =
          OutsideMeasurements(circuit, AnalysedRange(request, r.design.frequency_hz))) {
    return Failed(StudyOutcome::Status::kRefused, *why);
  }

  std::optional<MonteCarloSettings> monte_carlo = request.monte_carlo;
  if (monte_carlo) {
    monte_carlo->limits = request.limits;
    monte_carlo->spread_samples = request.spread ? 10000 : 0;
    if (request.target_yield_percent) {
      GradeChoice grades =
          CheapestGrades(circuit, *monte_carlo, *request.target_yield_percent, control);
      if (grades.stopped) return Failed(StudyOutcome::Status::kStopped, "stopped");
      monte_carlo->inductor = grades.inductor;
      monte_carlo->capacitor = grades.capacitor;
      monte_carlo->resistor = grades.resistor;
      r.grades = grades;
    }
    if (std::optional<std::string> why = TooWideTolerance(circuit, *monte_carlo)) {
      return Failed(StudyOutcome::Status::kRefused, *why);
    }
    r.monte_carlo_settings = monte_carlo;
  }
  if (stopped()) return Failed(StudyOutcome::Status::kStopped, "stopped");

  std::string error;
  const double band_percent = monte_carlo ? monte_carlo->band_percent : 0;
  std::optional<std::vector<LimitMiss>> misses =
      NominalMisses(circuit, request.limits, band_percent, error);
  if (!misses) return Failed(StudyOutcome::Status::kAnalysisFailed, error);
  r.nominal_misses = std::move(*misses);

  if (request.summaries) {
    if (control) control->Report("response", 0);
    r.ideal_summary = Summarize(r.ideal, request.limits, error);
    if (r.ideal_summary && r.built) r.built_summary = Summarize(circuit, request.limits, error);
    if (!r.ideal_summary || (r.built && !r.built_summary)) {
      return Failed(StudyOutcome::Status::kAnalysisFailed, error);
    }
  }
  if (request.sweeps) {
    SweepResponse sweep = AnalyzeSweep(r.ideal, error);
    if (sweep.frequencies_hz.empty()) return Failed(StudyOutcome::Status::kAnalysisFailed, error);
    r.ideal_sweep = std::move(sweep);
    if (r.built) {
      sweep = AnalyzeSweep(circuit, error);
      if (sweep.frequencies_hz.empty()) {
        return Failed(StudyOutcome::Status::kAnalysisFailed, error);
      }
      r.built_sweep = std::move(sweep);
    }
  }
  if (request.stress) {
    std::vector<StressScenario> scenarios = StressScenarios(circuit, *request.stress, error);
    if (scenarios.empty()) return Failed(StudyOutcome::Status::kAnalysisFailed, error);
    r.stress = StressOf(circuit, std::move(scenarios), *request.stress, request);
    for (const PartStressRow& p : r.stress->parts) {
      if (p.ok) continue;
      r.warnings.push_back(p.worst.name + " is over its rating (" + RatingText(p.rating) + ", " +
                           p.rating_source + ") when " + p.scenario + ": " +
                           StressFigure(p.worst.v_peak, Unit::kVolt) + " peak, " +
                           StressFigure(p.worst.i_rms, Unit::kAmpere) + " RMS, " +
                           StressFigure(p.worst.p_diss_w, Unit::kWatt));
    }
  }
  if (request.measured) {
    if (control) control->Report("measurement", 0);
    if (std::optional<std::string> why = StudyMeasurement(r, band_percent)) {
      return Failed(StudyOutcome::Status::kRefused, *why);
    }
  }
  if (stopped()) return Failed(StudyOutcome::Status::kStopped, "stopped");
  if (monte_carlo) {
    MonteCarloResult result = RunMonteCarlo(circuit, *monte_carlo, control);
    if (result.stopped) return Failed(StudyOutcome::Status::kStopped, "stopped");
    r.monte_carlo = std::move(result);
  }
  return {StudyOutcome::Status::kDone, {}, std::move(r)};
}

}  // namespace

StudyOutcome RunStudy(const StudyRequest& request, const RunControl* control) {
  // A study runs on the front end's worker threads too, where an exception
  // would end the program: every failure comes back as an outcome.
  try {
    return RunStudyUnguarded(request, control);
  } catch (const std::bad_alloc&) {
    return Failed(StudyOutcome::Status::kFailed, "out of memory");
  } catch (const std::exception& e) {
    return Failed(StudyOutcome::Status::kFailed, std::string("internal failure: ") + e.what());
  }
}

}  // namespace rfsplitter
