#include <algorithm>
#include <cmath>
#include <exception>
#include <system_error>
#include <thread>

#include "parts/fit_support.h"

namespace rfsplitter::fitting {

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

CostReference::CostReference(const Netlist& ideal) {
  const BoundNetlist bound(ideal);
  for (size_t i = 0; i < 3; ++i) {
    frequencies[i] = ideal.frequency_hz * (0.95 + 0.05 * double(i));
    valid = bound.Analyze(frequencies[i], s[i]) && valid;
  }
}
double CostReference::Cost(const Netlist& built) const {
  if (!valid) return HUGE_VAL;
  const BoundNetlist bound(built);
  double worst = 0;
  for (size_t i = 0; i < 3; ++i) {
    SMatrix b;
    if (!bound.Analyze(frequencies[i], b)) return HUGE_VAL;
    double sum = 0;
    for (int to = 1; to <= b.ports(); ++to) {
      for (int from = 1; from <= b.ports(); ++from) sum += std::norm(b(to, from) - s[i](to, from));
    }
    worst = std::max(worst, std::sqrt(sum));
  }
  return worst;
}

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

double Effective(ElementKind kind, double value, const KindModel& model, double f0) {
  if (!model.measured && !Shifts(kind, model)) return value;
  return EffectiveValue(kind, value, ResolveModel(kind, value, model, f0),
                        2 * std::numbers::pi * f0)
      .value_or(HUGE_VAL);
}

double Needed(ElementKind kind, double target, const PartModels& models, double f0) {
  const KindModel& m = models.Of(kind);
  if (!models.compensate || !Shifts(kind, m)) return target;
  return NominalForEffective(kind, target, m, f0).value_or(target);
}

void SetTargets(std::vector<QuantityChoice>& values, const PartModels& models, double f0) {
  for (QuantityChoice& q : values) {
    q.target = CompensatedTarget(q.kind, q.ideal, models);
    q.chosen = Needed(q.kind, q.target, models, f0);
  }
}

double Snapper::EffectiveOf(ElementKind kind, double value) const {
  return Effective(kind, value, ModelFor(kind, value, choice, models), f0);
}
double Snapper::Nearest(const QuantityChoice& q) const {
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
std::vector<double> Snapper::Candidates(const QuantityChoice& q) const {
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
void Snapper::Snap(std::vector<QuantityChoice>& values, ElementKind kind) const {
  for (QuantityChoice& q : values) {
    if (q.kind == kind) q.chosen = Nearest(q);
  }
}
std::vector<QuantityChoice> Snapper::Retuned(const Netlist& ideal,
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
    q.target = CompensatedTarget(q.kind, c, models);
    q.chosen = Needed(q.kind, q.target, models, f0);
  }
  return values;
}

BuiltCircuit FitByCost(const Design& design, const PartsChoice& choice, const PartModels& models) {
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

std::vector<QuantityChoice> IdealElements(const Netlist& ideal) {
  std::vector<QuantityChoice> elements;
  for (const NetlistElement& e : ideal.elements) {
    elements.push_back({e.quantity, e.kind, e.value, e.value, e.value, e.name});
  }
  return elements;
}

void OnTwoCores(const RunControl* control, const std::function<void(int)>& work) {
  std::jthread second;
  std::exception_ptr second_failed;
  if (std::thread::hardware_concurrency() > 1) {
    try {
      second = std::jthread([&] {
        if (control) control->EnterThread();
        try {
          work(1);
        } catch (...) {
          second_failed = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No second thread to be had.
    }
  }
  if (!second.joinable()) work(1);
  work(0);
  if (second.joinable()) second.join();
  if (second_failed) std::rethrow_exception(second_failed);
}

}  // namespace rfsplitter::fitting
