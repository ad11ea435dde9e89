#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>

#include "engine/form.h"
#include "engine/number_text.h"
#include "engine/quoted.h"
#include "engine/si_value.h"
#include "parts/ratings.h"
#include "study/outputs.h"
#include "study/report.h"

namespace rfsplitter {
namespace {

using Json = nlohmann::ordered_json;

// Numbers a script can rely on being numbers: a magnitude of zero would be
// -infinity dB, written as -999.
double Finite(double v) {
  if (std::isinf(v)) return v < 0 ? -999 : 999;
  return v;
}

Json BandJson(const std::optional<Band>& band) {
  if (!band) return nullptr;
  return Json::array({band->low_hz / 1e6, band->high_hz / 1e6});
}

// The model's keys that apply to the part's kind.
Json ModelJson(ElementKind kind, const KindModel& m, double value, double f0) {
  Json model = Json::object();
  if (m.measured) {
    model["s2p"] = m.measured->name;
    return model;
  }
  if (m.q > 0 && kind != ElementKind::kResistor) {
    model["q"] = m.q;
    model["q_at_hz"] = m.q_at_hz > 0 ? m.q_at_hz : f0;
    if (kind == ElementKind::kInductor) model["q_profile"] = QProfileName(m.q_profile);
  }
  if (kind == ElementKind::kInductor && m.srf_hz > 0) model["srf_hz"] = m.srf_hz;
  if (kind == ElementKind::kInductor && m.srf_hz == 0 && m.parallel_c_f > 0) {
    // A capacitance the same for every value: this part's own resonance.
    model["srf_hz"] = 1 / (2 * std::numbers::pi * std::sqrt(value * m.parallel_c_f));
  }
  if (kind == ElementKind::kCapacitor) {
    if (m.esl_h > 0) model["esl_h"] = m.esl_h;
    if (m.q == 0 && m.esr_ohms > 0) model["esr_ohms"] = m.esr_ohms;
  }
  if (kind == ElementKind::kResistor && m.parallel_c_f > 0) model["parallel_c_f"] = m.parallel_c_f;
  return model;
}

Json PartsJson(const std::vector<PartRow>& rows, bool as_built, double f0) {
  Json parts = Json::array();
  for (const PartRow& p : rows) {
    Json part = {{"name", p.name},
                 {"kind", KindName(p.kind)},
                 {"value", as_built ? p.chosen : p.ideal},
                 {"ideal", p.ideal},
                 {"series", as_built ? p.series : "ideal"},
                 {"error_percent", as_built ? p.error_percent : 0.0},
                 {"loss_ohms", as_built ? p.loss_ohms : 0.0}};
    if (as_built) {
      // Absent for a part that acts as no such element at f0 (past its
      // resonance).
      if (p.effective > 0) part["effective"] = p.effective;
      if (p.model) part["model"] = ModelJson(p.kind, *p.model, p.chosen, f0);
      if (p.pair) {
        part["pair"] = {{"connection", p.kind == ElementKind::kInductor ? "series" : "parallel"},
                        {"values", {p.pair->values[0], p.pair->values[1]}}};
      }
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

Json ResponseJson(const DesignSummary& s) {
  const auto db = [](Complex v) { return Finite(MagnitudeDb(v)); };
  Json response = {{"at_mhz", s.frequency_hz / 1e6},
                   {"s21_db", db(s.s21)},
                   {"s21_deg", PhaseDegrees(s.s21)},
                   {"s31_db", db(s.s31)},
                   {"s31_deg", PhaseDegrees(s.s31)},
                   {"phase_difference_deg", s.phase_difference_degrees},
                   {"s11_db", db(s.s11)},
                   {"s32_db", db(s.s32)}};
  if (s.s41) response["s41_db"] = db(*s.s41);
  for (size_t k = 0; k < s.more_outputs.size(); ++k) {
    response["more_outputs"].push_back(
        {{"port", k + 4}, {"db", db(s.more_outputs[k])}, {"deg", PhaseDegrees(s.more_outputs[k])}});
  }
  // The same figure under its older name and its own.
  response["insertion_loss_db"] = Finite(s.figures.excess_loss_db);
  response["excess_loss_db"] = Finite(s.figures.excess_loss_db);
  response["imbalance_db"] = Finite(s.figures.imbalance_db);
  response["phase_error_deg"] = s.figures.phase_error_deg;
  response["best_match_mhz"] = s.best_match_hz / 1e6;
  response["band_mhz"] = BandJson(s.bands.usable);
  response["bands"] = {{"match", BandJson(s.bands.match)},
                       {"isolation", BandJson(s.bands.isolation)},
                       {"amplitude_balance", BandJson(s.bands.amplitude_balance)},
                       {"phase_balance", BandJson(s.bands.phase_balance)},
                       {"usable", BandJson(s.bands.usable)}};
  response["limits"] = {{"match_db", s.limits.match_db},
                        {"isolation_db", s.limits.isolation_db},
                        {"imbalance_db", s.limits.imbalance_db},
                        {"phase_deg", s.limits.phase_deg}};
  return response;
}

// "5%", "0.1p", "0.2n": a tolerance as the options take it.
std::string ToleranceOptionText(const Tolerance& t, ElementKind kind) {
  if (t.relative) return GeneralText(100 * t.value, 6) + "%";
  return kind == ElementKind::kInductor ? GeneralText(t.value * 1e9, 6) + "n"
                                        : GeneralText(t.value * 1e12, 6) + "p";
}

Json MonteCarloJson(const MonteCarloResult& r, const StudyResult& study) {
  Json percentiles = Json::object();
  for (const auto& [name, p] : r.percentiles) {
    percentiles[name] = {Finite(p.p5), Finite(p.p50), Finite(p.p95)};
  }
  Json sensitivity = Json::array();
  for (const auto& part : r.sensitivity) {
    sensitivity.push_back({{"part", part.part}, {"yield_percent_alone", part.yield_percent_alone}});
  }
  Json json = {{"samples", r.samples},
               {"seed", r.seed},
               {"distribution", DistributionName(r.distribution)},
               {"yield_percent", r.yield_percent},
               {"yield_ci95", {r.ci95_low, r.ci95_high}},
               {"nominal_passes", r.nominal_passes},
               {"percentiles", percentiles},
               {"sensitivity", sensitivity}};
  const MonteCarloSettings& settings = *study.monte_carlo_settings;
  json["tolerances"] = {
      {"inductor", ToleranceOptionText(settings.inductor, ElementKind::kInductor)},
      {"capacitor", ToleranceOptionText(settings.capacitor, ElementKind::kCapacitor)},
      {"resistor", ToleranceOptionText(settings.resistor, ElementKind::kResistor)}};
  if (settings.parasitic_tolerance > 0) {
    json["tolerances"]["parasitics"] = GeneralText(100 * settings.parasitic_tolerance, 6) + "%";
  }
  if (r.yield_percent_pairs_alike) {
    json["yield_percent_pairs_alike"] = *r.yield_percent_pairs_alike;
  }
  if (const std::optional<GradeChoice>& g = study.grades) {
    json["target_yield"] = {{"percent", g->target_percent},
                            {"reached", g->reached},
                            {"yield_percent", g->yield_percent},
                            {"samples", g->samples}};
  }
  return json;
}

// Names of files may be any bytes; JSON takes UTF-8 alone.
void ValidUtf8(Json& value) {
  if (value.is_string()) {
    value = EscapeInvalidUtf8(value.get_ref<const std::string&>());
  } else if (value.is_structured()) {
    for (Json& item : value) ValidUtf8(item);
  }
}

// Figures in plain units (V, A, W); a rating's missing figure is null.
Json StressJson(const StressReport& s) {
  const auto figures = [](const PartStress& p) {
    return Json{
        {"part", p.name}, {"v_peak", p.v_peak}, {"i_rms", p.i_rms}, {"p_diss_w", p.p_diss_w}};
  };
  const auto rated = [](double figure) { return figure > 0 ? Json(figure) : Json(nullptr); };
  Json scenarios = Json::array();
  for (const StressScenario& c : s.scenarios) {
    Json parts = Json::array();
    for (const PartStress& p : c.parts) parts.push_back(figures(p));
    scenarios.push_back({{"key", c.key},
                         {"description", c.description},
                         {"parts", parts},
                         {"port_power_w", c.port_power_w}});
  }
  Json parts = Json::array();
  for (const PartStressRow& p : s.parts) {
    Json row = figures(p.worst);
    row["scenario"] = p.scenario;
    row["rating"] = {{"v_peak", rated(p.rating.volts)},
                     {"i_rms", rated(p.rating.amps)},
                     {"p_diss_w", rated(p.rating.watts)},
                     {"source", p.rating_source}};
    row["usage"] = p.usage;
    row["ok"] = p.ok;
    parts.push_back(std::move(row));
  }
  return {
      {"power_w", s.settings.power_w},
      {"vswr", s.settings.vswr},
      {"derating",
       {{"voltage", kVoltageDerating}, {"current", kCurrentDerating}, {"power", kPowerDerating}}},
      {"scenarios", scenarios},
      {"parts", parts}};
}

// The measured board: its response in the form of the others', the
// diagnosis and the repair. Figures nobody measured are null.
Json MeasuredJson(const MeasuredResult& m) {
  const auto known = [](Json value) {
    std::function<void(Json&)> clean = [&](Json& v) {
      if (v.is_number_float() && std::isnan(v.get<double>())) v = nullptr;
      if (v.is_structured())
        for (Json& item : v) clean(item);
    };
    clean(value);
    return value;
  };
  Json response = known(ResponseJson(m.summary));
  Json missing = Json::array();
  for (int to = 1; to <= m.measurement.ports; ++to)
    for (int from = 1; from <= m.measurement.ports; ++from)
      if (!m.measurement.Has(to, from))
        missing.push_back("s" + std::to_string(to) + std::to_string(from));
  Json delays = Json::array();
  for (const double d : m.port_delays_s) delays.push_back(d * 1e12);
  Json json = {{"file", m.measurement.source}, {"points", m.measurement.frequencies_hz.size()},
               {"port_delays_ps", delays},     {"delays_fitted", m.delays_fitted},
               {"not_measured", missing},      {"at_f0", response},
               {"bands", response["bands"]}};
  return json;
}

Json DiagnosisJson(const Diagnosis& d) {
  Json suspects = Json::array();
  for (const Suspect& s : d.suspects) {
    suspects.push_back({{"part", s.part},
                        {"built", s.built},
                        {"fitted", s.fitted},
                        {"change_percent", s.change_percent},
                        {"uncertainty_percent", s.uncertainty_percent},
                        {"evidence", Finite(std::min(s.evidence, 1e300))}});
  }
  Json delays = Json::array();
  for (const double t : d.port_delays_s) delays.push_back(t * 1e12);
  return {{"suspects", suspects},         {"groups", d.groups},
          {"port_delays_ps", delays},     {"pad_capacitance_f", d.pad_capacitance_f},
          {"residual_db", d.residual_db}, {"residual_as_built_db", d.start_residual_db},
          {"points", d.points},           {"converged", d.converged}};
}

}  // namespace

std::string FormJson(const Form& form) {
  return Json{{"family", FamilyName(form.family)},
              {"ways", form.ways},
              {"split_db", form.split_db},
              {"sections", form.sections},
              {"arms", ArmName(form.arms)}}
      .dump();
}

std::string JsonText(const StudyResult& r) {
  const Form& form = r.design.form;
  Json run = {{"topology", FixedTopology(form) ? std::string(TopologyOption(r.design.topology))
                                               : std::string(FamilyName(form.family))},
              {"form", Json::parse(FormJson(form))},
              {"frequency_mhz", r.design.inputs.frequency_mhz},
              {"impedance_ohms", r.design.inputs.impedance_ohms},
              {"pad_capacitance_f", r.request.models.pad_capacitance_f},
              {"ideal",
               {{"parts", PartsJson(r.parts, false, r.design.frequency_hz)},
                {"response", ResponseJson(*r.ideal_summary)}}}};
  if (r.built) {
    run["built"] = {{"fit", r.request.parts.AnyParts() ? FitName(r.request.parts.method) : "ideal"},
                    {"parts", PartsJson(r.parts, true, r.design.frequency_hz)},
                    {"response", ResponseJson(*r.built_summary)}};
  }
  Json misses = Json::array();
  for (const LimitMiss& m : r.nominal_misses) {
    misses.push_back({{"limit", LimitName(m.kind)},
                      {"value", Finite(m.value)},
                      {"allowed", m.limit},
                      {"at_mhz", m.frequency_hz / 1e6}});
  }
  run["advice"] = {{"nominal_misses", misses}, {"warnings", r.warnings}};
  if (r.monte_carlo) run["monte_carlo"] = MonteCarloJson(*r.monte_carlo, r);
  if (r.stress) run["stress"] = StressJson(*r.stress);
  if (r.measured) {
    run["measured"] = MeasuredJson(*r.measured);
    if (r.measured->diagnosis) run["diagnosis"] = DiagnosisJson(*r.measured->diagnosis);
    if (const std::optional<Repair>& repair = r.measured->repair) {
      Json steps = Json::array();
      for (const RepairStep& step : repair->steps)
        steps.push_back({{"part", step.part}, {"from", step.from}, {"to", step.to}});
      run["repair"] = steps;
      run["repair_outcome"] = !repair->needed ? "not needed"
                              : repair->found ? "found"
                                              : "no repair within the series";
      if (r.measured->repaired_summary)
        run["repair_response"] = ResponseJson(*r.measured->repaired_summary);
    }
  }
  ValidUtf8(run);
  return run.dump(2) + "\n";
}

}  // namespace rfsplitter
