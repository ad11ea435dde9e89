#include "study/chooser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "analysis/summary.h"
#include "engine/form_netlist.h"
#include "engine/inputs.h"
#include "engine/number_text.h"
#include "study/outputs.h"

namespace rfsplitter {
namespace {

using Json = nlohmann::ordered_json;

// `value` to five significant digits: a design frequency a designer types.
// Read back by from_chars: std::stod would follow the C library's locale,
// which the window sets from the user's.
double Rounded(double value) {
  const std::string text = GeneralText(value, 5);
  double rounded = value;
  std::from_chars(text.data(), text.data() + text.size(), rounded);
  return rounded;
}

// The best design frequency of `form` for the band: a lumped circuit's
// band scales with f0, so the ideal circuit's usable band at the band's
// middle, [a, b] of it, says where it covers the band most evenly: f0 with
// lo / (a f0) = (b f0) / hi, f0 = sqrt(lo hi / (a b)).
double BestFrequency(const Form& form, const ChoiceRequest& request) {
  const double middle = std::sqrt(request.low_mhz * request.high_mhz);
  const DesignInputs inputs{float(middle), request.base.inputs.impedance_ohms};
  std::string error;
  const std::optional<DesignSummary> s =
      Summarize(IdealNetlist(FormDesign(form, inputs)), request.base.limits, error);
  if (!s || !s->bands.usable) return middle;
  const double f = s->frequency_hz;
  const double a = s->bands.usable->low_hz / f, b = s->bands.usable->high_hz / f;
  return std::sqrt(request.low_mhz * request.high_mhz / (a * b));
}

ChoiceCandidate Weigh(const Form& form, const ChoiceRequest& request, const RunControl* control) {
  ChoiceCandidate c;
  c.form = form;
  c.frequency_mhz = Rounded(BestFrequency(form, request));
  StudyRequest study = request.base;
  study.form = form;
  study.inputs.frequency_mhz = float(c.frequency_mhz);
  study.summaries = true;
  const StudyOutcome outcome = RunStudy(study, control);
  if (outcome.status != StudyOutcome::Status::kDone) {
    c.error = outcome.error.empty() ? "stopped" : outcome.error;
    c.margin_percent = -100;
    return c;
  }
  const StudyResult& r = *outcome.result;
  for (const NetlistElement& e : r.Circuit().elements) {
    if (!e.pad) c.parts += e.second ? 2 : 1;
  }
  if (r.monte_carlo) c.yield_percent = r.monte_carlo->yield_percent;
  c.margin_percent = -100;
  if (const auto& summary = r.CircuitSummary(); summary && summary->bands.usable) {
    const Band& u = *summary->bands.usable;
    c.usable_mhz = {u.low_hz / 1e6, u.high_hz / 1e6};
    c.margin_percent = 100 * std::min(request.low_mhz / c.usable_mhz->first - 1,
                                      c.usable_mhz->second / request.high_mhz - 1);
    c.covers = c.margin_percent >= 0;
  }
  return c;
}

double Width(const ChoiceCandidate& c) {
  return c.usable_mhz ? c.usable_mhz->second / c.usable_mhz->first : 0;
}

std::string Mhz(double mhz) { return GeneralText(mhz, 6); }

}  // namespace

std::vector<Form> CandidateForms(const ChoiceRequest& request) {
  const int ways = request.ways.value_or(2);
  const double split = request.split_db.value_or(0);
  const auto phase = [&](int degrees) {
    return !request.phase_deg || *request.phase_deg == degrees;
  };
  std::vector<Form> forms;
  const auto add = [&](FormFamily family, int form_ways, int sections) {
    for (const ArmForm arms : {ArmForm::kLowPass, ArmForm::kHighPass}) {
      const Form form{family, form_ways, family == FormFamily::kRing ? 0 : split, sections, arms};
      if (!WhyNoForm(form)) forms.push_back(form);
    }
  };
  if (phase(0)) {
    for (int sections = 1; sections <= 4; ++sections) add(FormFamily::kSplitter, ways, sections);
  }
  if (ways == 2 && phase(90)) {
    for (int sections = 1; sections <= 3; ++sections) add(FormFamily::kQuad, 2, sections);
  }
  if (ways == 2 && split == 0 && (phase(0) || phase(180))) add(FormFamily::kRing, 2, 1);
  return forms;
}

std::optional<Choice> Choose(const ChoiceRequest& request, std::string& error,
                             const RunControl* control) {
  if (!(request.low_mhz >= kLowestFrequencyMhz && request.high_mhz <= kHighestFrequencyMhz &&
        request.low_mhz < request.high_mhz)) {
    error = "the band must run from a lower to a higher frequency within " +
            NumberText(kLowestFrequencyMhz) + " to " + NumberText(kHighestFrequencyMhz) + " MHz";
    return std::nullopt;
  }
  const std::vector<Form> forms = CandidateForms(request);
  if (forms.empty()) {
    error = "no form has these ways, split and phase together";
    return std::nullopt;
  }
  Choice choice;
  choice.low_mhz = request.low_mhz, choice.high_mhz = request.high_mhz;
  // A searched fit takes a second or more a form: the candidates are
  // weighed with the best fit, the pick to be designed as asked.
  ChoiceRequest weighed = request;
  PartsChoice& parts = weighed.base.parts;
  if (parts.AnyParts() &&
      (parts.method == FitMethod::kMargin || parts.method == FitMethod::kYield)) {
    parts.method = FitMethod::kBest;
    parts.pairs = parts.tie_equal_values = false;
    choice.notes.push_back(
        "the forms are weighed with the best fit; design the pick with the fit asked");
  }
  for (const Form& form : forms) choice.candidates.push_back(Weigh(form, weighed, control));
  // Those that cover the band by parts, yield and margin; the others by how
  // much of it they cover.
  std::stable_sort(
      choice.candidates.begin(), choice.candidates.end(),
      [](const ChoiceCandidate& a, const ChoiceCandidate& b) {
        if (a.covers != b.covers) return a.covers;
        if (!a.covers) return a.margin_percent > b.margin_percent;
        if (a.parts != b.parts) return a.parts < b.parts;
        if (a.yield_percent && b.yield_percent && *a.yield_percent != *b.yield_percent) {
          return *a.yield_percent > *b.yield_percent;
        }
        return a.margin_percent > b.margin_percent;
      });
  if (choice.candidates.front().covers) choice.chosen = 0;
  for (size_t i = 1; i < choice.candidates.size(); ++i) {
    if (Width(choice.candidates[i]) > Width(choice.candidates[choice.widest])) choice.widest = i;
  }
  return choice;
}

std::string ChoiceText(const Choice& c) {
  std::string text = "Band " + Mhz(c.low_mhz) + " to " + Mhz(c.high_mhz) +
                     " MHz: " + std::to_string(c.candidates.size()) + " forms weighed\n";
  const bool yields = std::any_of(c.candidates.begin(), c.candidates.end(),
                                  [](const ChoiceCandidate& k) { return k.yield_percent; });
  text += "   #  " + std::string("form") + std::string(48, ' ') + "f0 MHz  parts  usable MHz" +
          std::string(12, ' ') + "covers" + (yields ? "   yield" : "") + "\n";
  for (size_t i = 0; i < c.candidates.size(); ++i) {
    const ChoiceCandidate& k = c.candidates[i];
    std::string form = FormText(k.form);
    form.resize(std::max<size_t>(form.size(), 50), ' ');
    const std::string usable = k.usable_mhz
                                   ? Mhz(k.usable_mhz->first) + " to " + Mhz(k.usable_mhz->second)
                                   : std::string(k.error.empty() ? "none" : "failed: " + k.error);
    std::string column = usable;
    column.resize(std::max<size_t>(column.size() + 1, 22), ' ');
    std::string line = RightAligned(std::to_string(i + 1), 4) + "  " + form + "  " +
                       RightAligned(Mhz(k.frequency_mhz), 7) + "  " +
                       RightAligned(std::to_string(k.parts), 5) + "  " + column +
                       (k.covers ? "yes   " : "no    ");
    if (k.yield_percent) line += RightAligned(FixedText(*k.yield_percent, 2) + " %", 9);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  if (c.chosen) {
    const ChoiceCandidate& k = c.candidates[*c.chosen];
    text += "Pick: " + FormText(k.form) + " at " + Mhz(k.frequency_mhz) + " MHz, " +
            std::to_string(k.parts) + " parts\n";
  } else {
    const ChoiceCandidate& k = c.candidates[c.widest];
    text += "No form covers " + Mhz(c.low_mhz) + " to " + Mhz(c.high_mhz) + " MHz; the widest is " +
            FormText(k.form) + " at " + Mhz(k.frequency_mhz) + " MHz" +
            (k.usable_mhz ? ", usable " + Mhz(k.usable_mhz->first) + " to " +
                                Mhz(k.usable_mhz->second) + " MHz"
                          : std::string()) +
            "\n";
  }
  return text;
}

std::string ChoiceJson(const Choice& c) {
  Json candidates = Json::array();
  for (const ChoiceCandidate& k : c.candidates) {
    Json one = {
        {"form", Json::parse(FormJson(k.form))},
        {"frequency_mhz", k.frequency_mhz},
        {"parts", k.parts},
        {"usable_mhz",
         k.usable_mhz ? Json::array({k.usable_mhz->first, k.usable_mhz->second}) : Json(nullptr)},
        {"covers", k.covers},
        {"margin_percent", k.margin_percent}};
    if (k.yield_percent) one["yield_percent"] = *k.yield_percent;
    if (!k.error.empty()) one["error"] = k.error;
    candidates.push_back(std::move(one));
  }
  const Json choice = {{"band_mhz", {c.low_mhz, c.high_mhz}},
                       {"candidates", std::move(candidates)},
                       {"chosen", c.chosen ? Json(*c.chosen) : Json(nullptr)}};
  return Json{{"choice", choice}}.dump(2) + "\n";
}

}  // namespace rfsplitter
