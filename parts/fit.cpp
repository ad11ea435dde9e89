#include "parts/fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/s_parameters.h"

namespace rfsplitter {
namespace {

std::vector<QuantityChoice> IdealQuantities(const Netlist& ideal) {
  std::vector<QuantityChoice> quantities;
  for (const NetlistElement& e : ideal.elements) {
    const bool known =
        std::any_of(quantities.begin(), quantities.end(),
                    [&](const QuantityChoice& q) { return q.quantity == e.quantity; });
    if (!known) quantities.push_back({e.quantity, e.kind, e.value, e.value, e.value});
  }
  return quantities;
}

double Omega0(const Netlist& netlist) { return 2 * std::numbers::pi * netlist.frequency_hz; }

// The three frequencies of the cost, with the ideal circuit's matrices there.
struct CostReference {
  explicit CostReference(const Netlist& ideal) {
    const BoundNetlist bound(ideal);
    for (size_t i = 0; i < 3; ++i) {
      frequencies[i] = ideal.frequency_hz * (0.95 + 0.05 * double(i));
      valid = bound.Analyze(frequencies[i], s[i]) && valid;
    }
  }
  double Cost(const Netlist& built) const {
    if (!valid) return HUGE_VAL;
    const BoundNetlist bound(built);
    double worst = 0;
    for (size_t i = 0; i < 3; ++i) {
      SMatrix b;
      if (!bound.Analyze(frequencies[i], b)) return HUGE_VAL;
      double sum = 0;
      for (int to = 1; to <= b.ports(); ++to) {
        for (int from = 1; from <= b.ports(); ++from)
          sum += std::norm(b(to, from) - s[i](to, from));
      }
      worst = std::max(worst, std::sqrt(sum));
    }
    return worst;
  }
  double frequencies[3] = {};
  SMatrix s[3];
  bool valid = true;
};

// Whether a kind's model makes its parts act as more or less than their
// nominal value at the design frequency.
bool Shifts(ElementKind kind, const KindModel& m) {
  switch (kind) {
    case ElementKind::kInductor:
      return m.srf_hz > 0 || m.parallel_c_f > 0 || (m.q > 0 && m.q_profile != QProfile::kLinear);
    case ElementKind::kCapacitor:
      return m.esl_h > 0;
    case ElementKind::kResistor:
      return false;
  }
  return false;
}

// What a part of `value` acts as at f0: the value itself for a part whose
// model keeps it (so that the fits of parts without parasitics keep their
// numbers to the last bit).
double Effective(ElementKind kind, double value, const KindModel& model, double f0) {
  if (!model.measured && !Shifts(kind, model)) return value;
  return EffectiveValue(kind, value, ResolveModel(kind, value, model, f0),
                        2 * std::numbers::pi * f0)
      .value_or(HUGE_VAL);
}

// The nominal value a part of a kind needs to act as `target`.
double Needed(ElementKind kind, double target, const PartModels& models, double f0) {
  const KindModel& m = models.Of(kind);
  if (!models.compensate || !Shifts(kind, m)) return target;
  return NominalForEffective(kind, target, m, f0).value_or(target);
}

// Each quantity's target, the ideal value less the pad beside a shunt, and
// the nominal value that meets it.
void SetTargets(std::vector<QuantityChoice>& values, const PartModels& models, double f0) {
  for (QuantityChoice& q : values) {
    q.target = q.ideal;
    if (q.kind == ElementKind::kCapacitor && models.compensate && models.pad_capacitance_f > 0) {
      // A pad larger than the shunt leaves nothing to buy; a twentieth of
      // the shunt stays (the study warns of it).
      q.target = std::max(q.ideal - models.pad_capacitance_f, 0.05 * q.ideal);
    }
    q.chosen = Needed(q.kind, q.target, models, f0);
  }
}

// A parts file whose values carry their own models is matched on effective
// values; any other series on the nominal value needed.
struct Snapper {
  const PartsChoice& choice;
  const PartModels& models;
  double f0;

  double EffectiveOf(ElementKind kind, double value) const {
    return Effective(kind, value, ModelFor(kind, value, choice, models), f0);
  }
  double Nearest(const QuantityChoice& q) const {
    const PartSeries* series = choice.SeriesFor(q.kind);
    if (series == nullptr) return q.chosen;
    if (!series->HasOwnModels()) return series->Nearest(q.chosen);
    double best = q.chosen, distance = HUGE_VAL;
    for (const double v : series->values()) {
      const double d = std::abs(std::log(EffectiveOf(q.kind, v) / q.target));
      if (d < distance) distance = d, best = v;
    }
    return best;
  }
  // The values on either side of the one wanted.
  std::vector<double> Candidates(const QuantityChoice& q) const {
    const PartSeries* series = choice.SeriesFor(q.kind);
    if (series == nullptr) return {q.chosen};
    std::optional<double> below, above;
    if (series->HasOwnModels()) {
      double below_eff = 0, above_eff = HUGE_VAL;
      for (const double v : series->values()) {
        const double eff = EffectiveOf(q.kind, v);
        if (eff <= q.target && eff > below_eff) below_eff = eff, below = v;
        if (eff >= q.target && eff < above_eff) above_eff = eff, above = v;
      }
    } else {
      const PartSeries::Neighbours n = series->Around(q.chosen);
      below = n.below, above = n.above;
    }
    std::vector<double> values;
    if (below) values.push_back(*below);
    if (above && (!below || *above != *below)) values.push_back(*above);
    if (values.empty()) values.push_back(q.chosen);
    return values;
  }
  void Snap(std::vector<QuantityChoice>& values, ElementKind kind) const {
    for (QuantityChoice& q : values) {
      if (q.kind == kind) q.chosen = Nearest(q);
    }
  }
  // The capacitors recomputed for the inductors' effective values.
  std::vector<QuantityChoice> Retuned(const Netlist& ideal,
                                      std::vector<QuantityChoice> values) const {
    const double w0 = Omega0(ideal);
    const auto inductance = [&](std::string_view quantity) {
      for (const QuantityChoice& q : values) {
        if (q.quantity == quantity) return EffectiveOf(q.kind, q.chosen);
      }
      return 0.0;
    };
    for (QuantityChoice& q : values) {
      if (q.kind != ElementKind::kCapacitor) continue;
      // Every capacitor of a quantity sits where the same kinds of arm meet,
      // so its first element tells them all.
      const auto first =
          std::find_if(ideal.elements.begin(), ideal.elements.end(),
                       [&](const NetlistElement& e) { return e.quantity == q.quantity; });
      const int node = first->node_a != 0 ? first->node_a : first->node_b;
      double c = 0;
      for (const NetlistElement& arm : ideal.elements) {
        if (arm.kind == ElementKind::kInductor && (arm.node_a == node || arm.node_b == node)) {
          c += 1 / (w0 * w0 * inductance(arm.quantity));
        }
      }
      q.target = c;
      if (models.compensate && models.pad_capacitance_f > 0) {
        q.target = std::max(c - models.pad_capacitance_f, 0.05 * c);
      }
      q.chosen = Needed(q.kind, q.target, models, f0);
    }
    return values;
  }
};

}  // namespace

std::string_view FitName(FitMethod method) {
  switch (method) {
    case FitMethod::kNearest:
      return "nearest";
    case FitMethod::kRetune:
      return "retune";
    case FitMethod::kBest:
      return "best";
  }
  return "";
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

Netlist BuildNetlist(const Netlist& ideal, const std::vector<QuantityChoice>& values,
                     const PartsChoice& choice, const PartModels& models) {
  Netlist built = ideal;
  for (NetlistElement& e : built.elements) {
    for (const QuantityChoice& q : values) {
      if (q.quantity == e.quantity) e.value = q.chosen;
    }
  }
  ApplyModels(built, models);
  for (NetlistElement& e : built.elements) {
    const PartSeries* series = e.pad ? nullptr : choice.SeriesFor(e.kind);
    const KindModel* own = series ? series->ModelOf(e.value) : nullptr;
    if (own == nullptr) continue;
    e.model = ResolveModel(e.kind, e.value, *own, built.frequency_hz);
    e.loss_ohms = FixedLossOhms(e.kind, e.value, e.model);
  }
  return built;
}

double FitCost(const Netlist& ideal, const Netlist& built) {
  return CostReference(ideal).Cost(built);
}

std::vector<QuantityChoice> Retuned(const Netlist& ideal, std::vector<QuantityChoice> values) {
  const PartsChoice no_parts;
  const PartModels no_models;
  return Snapper{no_parts, no_models, ideal.frequency_hz}.Retuned(ideal, std::move(values));
}

BuiltCircuit FitParts(const Design& design, const PartsChoice& choice, const PartModels& models) {
  const Netlist ideal = IdealNetlist(design);
  const CostReference reference(ideal);
  const Snapper snapper{choice, models, ideal.frequency_hz};
  std::vector<QuantityChoice> start = IdealQuantities(ideal);
  SetTargets(start, models, ideal.frequency_hz);
  const auto finish = [&](std::vector<QuantityChoice> values) {
    BuiltCircuit built;
    built.netlist = BuildNetlist(ideal, values, choice, models);
    built.netlist.description = "the circuit built from the chosen parts";
    built.quantities = std::move(values);
    built.cost = reference.Cost(built.netlist);
    return built;
  };

  std::vector<QuantityChoice> nearest = start;
  for (const ElementKind kind :
       {ElementKind::kInductor, ElementKind::kCapacitor, ElementKind::kResistor}) {
    snapper.Snap(nearest, kind);
  }
  if (choice.method == FitMethod::kNearest) return finish(nearest);

  std::vector<QuantityChoice> retune = start;
  snapper.Snap(retune, ElementKind::kInductor);
  if (choice.capacitors) {
    retune = snapper.Retuned(ideal, retune);
    snapper.Snap(retune, ElementKind::kCapacitor);
  }
  snapper.Snap(retune, ElementKind::kResistor);
  if (choice.method == FitMethod::kRetune) return finish(retune);

  // Best: the inductor combinations first, since the capacitors' candidates
  // depend on them; then every capacitor and resistor candidate.
  BuiltCircuit best = finish(nearest);
  if (BuiltCircuit r = finish(retune); r.cost < best.cost) best = std::move(r);
  std::vector<std::vector<double>> inductor_candidates;
  std::vector<size_t> inductor_index;
  for (size_t i = 0; i < start.size(); ++i) {
    if (start[i].kind != ElementKind::kInductor) continue;
    inductor_candidates.push_back(snapper.Candidates(start[i]));
    inductor_index.push_back(i);
  }
  // Walks every combination of the candidate lists, like an odometer.
  const auto for_each_combination = [](const std::vector<std::vector<double>>& lists,
                                       const auto& visit) {
    std::vector<size_t> at(lists.size(), 0);
    while (true) {
      visit(at);
      size_t k = 0;
      while (k < lists.size() && ++at[k] == lists[k].size()) at[k++] = 0;
      if (k == lists.size()) return;
    }
  };
  for_each_combination(inductor_candidates, [&](const std::vector<size_t>& li) {
    std::vector<QuantityChoice> values = start;
    for (size_t k = 0; k < li.size(); ++k) {
      values[inductor_index[k]].chosen = inductor_candidates[k][li[k]];
    }
    const std::vector<QuantityChoice> retuned = snapper.Retuned(ideal, values);
    std::vector<std::vector<double>> other_candidates;
    std::vector<size_t> other_index;
    for (size_t i = 0; i < values.size(); ++i) {
      if (values[i].kind == ElementKind::kInductor) continue;
      const PartSeries* series = choice.SeriesFor(values[i].kind);
      std::vector<double> list = snapper.Candidates(start[i]);
      if (values[i].kind == ElementKind::kCapacitor && series != nullptr) {
        for (const double c : snapper.Candidates(retuned[i])) {
          if (std::find(list.begin(), list.end(), c) == list.end()) list.push_back(c);
        }
      }
      other_candidates.push_back(std::move(list));
      other_index.push_back(i);
    }
    for_each_combination(other_candidates, [&](const std::vector<size_t>& oi) {
      for (size_t k = 0; k < oi.size(); ++k) {
        values[other_index[k]].chosen = other_candidates[k][oi[k]];
      }
      const Netlist built = BuildNetlist(ideal, values, choice, models);
      const double cost = reference.Cost(built);
      if (cost < best.cost) best = finish(values);
    });
  });
  return best;
}

}  // namespace rfsplitter
