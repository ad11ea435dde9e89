#include "parts/fit.h"

#include <algorithm>
#include <cmath>

#include "engine/quoted.h"
#include "engine/si_value.h"
#include "parts/fit_support.h"
#include "parts/search_fit.h"

namespace rfsplitter {

std::string_view FitName(FitMethod method) {
  switch (method) {
    case FitMethod::kNearest:
      return "nearest";
    case FitMethod::kRetune:
      return "retune";
    case FitMethod::kBest:
      return "best";
    case FitMethod::kMargin:
      return "margin";
    case FitMethod::kYield:
      return "yield";
  }
  return "";
}

std::optional<FitMethod> FitNamed(std::string_view name) {
  for (const FitMethod m : {FitMethod::kNearest, FitMethod::kRetune, FitMethod::kBest,
                            FitMethod::kMargin, FitMethod::kYield}) {
    if (FitName(m) == name) return m;
  }
  return std::nullopt;
}

std::optional<PartSeries>& PartsChoice::Slot(ElementKind kind) {
  return kind == ElementKind::kInductor    ? inductors
         : kind == ElementKind::kCapacitor ? capacitors
                                           : resistors;
}

const PartSeries* PartsChoice::SeriesFor(ElementKind kind) const {
  const std::optional<PartSeries>& series = kind == ElementKind::kInductor    ? inductors
                                            : kind == ElementKind::kCapacitor ? capacitors
                                                                              : resistors;
  return series ? &*series : nullptr;
}

const KindModel& ModelFor(ElementKind kind, double value, const PartsChoice& choice,
                          const PartModels& models) {
  const PartSeries* series = choice.SeriesFor(kind);
  const KindModel* own = series ? series->ModelOf(value) : nullptr;
  return own ? *own : models.Of(kind);
}

std::vector<int> ValueOfElements(const Netlist& ideal, const std::vector<QuantityChoice>& values) {
  std::vector<int> of(ideal.elements.size(), -1);
  for (size_t n = 0; n < ideal.elements.size(); ++n) {
    const NetlistElement& e = ideal.elements[n];
    // A choice for the element itself, else its quantity's.
    for (size_t i = 0; i < values.size(); ++i) {
      const QuantityChoice& q = values[i];
      if (q.element.empty() ? of[n] < 0 && q.quantity == e.quantity : q.element == e.name) {
        of[n] = int(i);
      }
    }
  }
  return of;
}

Netlist BuildNetlist(const Netlist& ideal, const std::vector<QuantityChoice>& values,
                     const PartsChoice& choice, const PartModels& models) {
  return BuildNetlist(ideal, values, ValueOfElements(ideal, values), choice, models);
}

Netlist BuildNetlist(const Netlist& ideal, const std::vector<QuantityChoice>& values,
                     const std::vector<int>& value_of_element, const PartsChoice& choice,
                     const PartModels& models) {
  Netlist built = ideal;
  for (size_t n = 0; n < built.elements.size(); ++n) {
    // A stopped search's winner has no values: the ideal's stay.
    if (value_of_element[n] < 0 || size_t(value_of_element[n]) >= values.size()) continue;
    const QuantityChoice& pick = values[size_t(value_of_element[n])];
    NetlistElement& e = built.elements[n];
    e.value = pick.chosen;
    if (pick.second > 0) e.second = SecondPart{pick.second, 0, {}};
  }
  ApplyModels(built, models);
  for (NetlistElement& e : built.elements) {
    const PartSeries* series = e.pad ? nullptr : choice.SeriesFor(e.kind);
    if (series == nullptr) continue;
    if (const KindModel* own = series->ModelOf(e.value)) {
      e.model = ResolveModel(e.kind, e.value, *own, built.frequency_hz);
      e.loss_ohms = FixedLossOhms(e.kind, e.value, e.model);
    }
    if (const KindModel* own = e.second ? series->ModelOf(e.second->value) : nullptr) {
      e.second->model = ResolveModel(e.kind, e.second->value, *own, built.frequency_hz);
      e.second->loss_ohms = FixedLossOhms(e.kind, e.second->value, e.second->model);
    }
    e.model.tolerance_floor_f = series->ToleranceFloorOf(e.value);
    if (e.second) e.second->model.tolerance_floor_f = series->ToleranceFloorOf(e.second->value);
  }
  return built;
}

double WorstMargin(const Netlist& built, const Limits& limits, double band_percent) {
  const BoundNetlist bound(built);
  double worst = HUGE_VAL;
  for (const double f : CheckFrequencies(built.frequency_hz, band_percent)) {
    SMatrix s;
    if (!bound.AnalyzeFromPorts1And2(f, s)) return -HUGE_VAL;
    for (const LimitMargin& m : MarginsOf(FiguresOf(s, RuleOf(built.form)), limits)) {
      worst = std::min(worst, m.margin / std::max(std::abs(m.limit), 1e-3));
    }
  }
  return worst;
}

double FitCost(const Netlist& ideal, const Netlist& built) {
  return fitting::CostReference(ideal).Cost(built);
}

std::vector<QuantityChoice> Retuned(const Netlist& ideal, std::vector<QuantityChoice> values) {
  const PartsChoice no_parts;
  const PartModels no_models;
  return fitting::Snapper{no_parts, no_models, ideal.frequency_hz}.Retuned(ideal,
                                                                           std::move(values));
}

namespace {

// Why a part of `kind` with `model` cannot act as any value at f0, in words.
std::string PastResonance(ElementKind kind, double value, const KindModel& model, double f0) {
  if (model.measured) {
    return "is measured over " + model.measured->RangeText() + " only";
  }
  const std::optional<double> resonance =
      ResonanceHz(kind, value, ResolveModel(kind, value, model, f0));
  if (!resonance) return "does not act as one there";
  return kind == ElementKind::kInductor
             ? "is past its self-resonance (SRF " + SiText(*resonance, Unit::kHertz) + ")"
             : "is past its resonance with its ESL (" + SiText(*resonance, Unit::kHertz) + ")";
}

}  // namespace

std::optional<std::string> WhyUnbuildable(const Design& design, const PartsChoice& choice,
                                          const PartModels& models) {
  const Netlist ideal = IdealNetlist(design);
  const double f0 = ideal.frequency_hz;
  std::vector<QuantityChoice> quantities = fitting::IdealQuantities(ideal);
  fitting::SetTargets(quantities, models, f0);
  for (const QuantityChoice& q : quantities) {
    std::string names;
    for (const NetlistElement& e : ideal.elements) {
      if (e.quantity != q.quantity) continue;
      names += (names.empty() ? "" : ", ") + std::string(e.name);
    }
    const std::string element =
        names + " (" + ValueWithUnit(q.ideal, q.kind) + ") at " + SiText(f0, Unit::kHertz);
    const std::string kind(KindName(q.kind));
    const PartSeries* series = choice.SeriesFor(q.kind);
    if (series != nullptr && series->HasOwnModels()) {
      // Matched on what each part acts as: a file none of whose parts acts
      // as one at f0 has nothing to offer.
      const std::vector<double>& values = series->values();
      const bool any = std::any_of(values.begin(), values.end(), [&](double v) {
        return fitting::Effective(q.kind, v, ModelFor(q.kind, v, choice, models), f0) < HUGE_VAL;
      });
      if (!any) {
        const double first = values.front();
        return EscapeControls(series->name()) + ": no " + kind + " of the file can act as " +
               element + "; its " + ValueWithUnit(first, q.kind) + ", for one, " +
               PastResonance(q.kind, first, ModelFor(q.kind, first, choice, models), f0);
      }
      continue;
    }
    const KindModel& model = models.Of(q.kind);
    if (!models.compensate || !fitting::Shifts(q.kind, model)) continue;
    if (!NominalForEffective(q.kind, q.target, model, f0)) {
      return "no " + kind + " with the model given can act as " + element + ": a " +
             ValueWithUnit(q.target, q.kind) + " part " +
             PastResonance(q.kind, q.target, model, f0);
    }
  }
  return std::nullopt;
}

BuiltCircuit FitParts(const Design& design, const PartsChoice& choice, const PartModels& models,
                      const FitGoal& goal) {
  if (choice.method == FitMethod::kYield && choice.pairs && goal.boards_passing &&
      !choice.tie_equal_values) {
    // The yield's best single parts make up for one another; the same
    // values as pairs whose halves spread least keep that and spread less.
    PartsChoice singles = choice;
    singles.pairs = false;
    FitGoal quick = goal;
    quick.effort = goal.effort * 0.15;
    fitting::SearchFit single_search(design, singles, models, quick);
    const BuiltCircuit single = single_search.Run();
    fitting::SearchFit search(design, choice, models, goal);
    search.TakeAnnealing(single_search);
    std::vector<double> centre;
    for (const QuantityChoice& q : single.quantities) centre.push_back(q.chosen + q.second);
    search.PairAround(std::move(centre));
    return search.Run();
  }
  if (choice.method == FitMethod::kMargin || choice.method == FitMethod::kYield) {
    return fitting::SearchFit(design, choice, models, goal).Run();
  }
  return fitting::FitByCost(design, choice, models);
}

}  // namespace rfsplitter
