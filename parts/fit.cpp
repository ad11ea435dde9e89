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
    if (!known) quantities.push_back({e.quantity, e.kind, e.value, e.value});
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

std::vector<double> Candidates(const PartSeries* series, double value) {
  if (series == nullptr) return {value};
  const PartSeries::Neighbours n = series->Around(value);
  std::vector<double> values;
  if (n.below) values.push_back(*n.below);
  if (n.above && (!n.below || *n.above != *n.below)) values.push_back(*n.above);
  if (values.empty()) values.push_back(value);
  return values;
}

void Snap(std::vector<QuantityChoice>& values, const PartsChoice& choice, ElementKind kind) {
  const PartSeries* series = choice.SeriesFor(kind);
  if (series == nullptr) return;
  for (QuantityChoice& q : values) {
    if (q.kind == kind) q.chosen = series->Nearest(q.chosen);
  }
}

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

Netlist BuildNetlist(const Netlist& ideal, const std::vector<QuantityChoice>& values,
                     const PartLosses& losses) {
  Netlist built = ideal;
  for (NetlistElement& e : built.elements) {
    for (const QuantityChoice& q : values) {
      if (q.quantity == e.quantity) e.value = q.chosen;
    }
  }
  ApplyLosses(built, losses);
  return built;
}

double FitCost(const Netlist& ideal, const Netlist& built) {
  return CostReference(ideal).Cost(built);
}

std::vector<QuantityChoice> Retuned(const Netlist& ideal, std::vector<QuantityChoice> values) {
  const double w0 = Omega0(ideal);
  const auto inductance = [&](std::string_view quantity) {
    for (const QuantityChoice& q : values) {
      if (q.quantity == quantity) return q.chosen;
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
    q.chosen = c;
  }
  return values;
}

BuiltCircuit FitParts(const Design& design, const PartsChoice& choice, const PartLosses& losses) {
  const Netlist ideal = IdealNetlist(design);
  const CostReference reference(ideal);
  const std::vector<QuantityChoice> start = IdealQuantities(ideal);
  const auto finish = [&](std::vector<QuantityChoice> values) {
    BuiltCircuit built;
    built.netlist = BuildNetlist(ideal, values, losses);
    built.netlist.description = "the circuit built from the chosen parts";
    built.quantities = std::move(values);
    built.cost = reference.Cost(built.netlist);
    return built;
  };

  std::vector<QuantityChoice> nearest = start;
  for (const ElementKind kind :
       {ElementKind::kInductor, ElementKind::kCapacitor, ElementKind::kResistor}) {
    Snap(nearest, choice, kind);
  }
  if (choice.method == FitMethod::kNearest) return finish(nearest);

  std::vector<QuantityChoice> retune = start;
  Snap(retune, choice, ElementKind::kInductor);
  if (choice.capacitors) {
    retune = Retuned(ideal, retune);
    Snap(retune, choice, ElementKind::kCapacitor);
  }
  Snap(retune, choice, ElementKind::kResistor);
  if (choice.method == FitMethod::kRetune) return finish(retune);

  // Best: the inductor combinations first, since the capacitors' candidates
  // depend on them; then every capacitor and resistor candidate.
  BuiltCircuit best = finish(nearest);
  if (BuiltCircuit r = finish(retune); r.cost < best.cost) best = std::move(r);
  std::vector<std::vector<double>> inductor_candidates;
  std::vector<size_t> inductor_index;
  for (size_t i = 0; i < start.size(); ++i) {
    if (start[i].kind != ElementKind::kInductor) continue;
    inductor_candidates.push_back(
        Candidates(choice.inductors ? &*choice.inductors : nullptr, start[i].ideal));
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
    const std::vector<QuantityChoice> retuned = Retuned(ideal, values);
    std::vector<std::vector<double>> other_candidates;
    std::vector<size_t> other_index;
    for (size_t i = 0; i < values.size(); ++i) {
      if (values[i].kind == ElementKind::kInductor) continue;
      const PartSeries* series = choice.SeriesFor(values[i].kind);
      std::vector<double> list = Candidates(series, values[i].ideal);
      if (values[i].kind == ElementKind::kCapacitor && series != nullptr) {
        for (const double c : Candidates(series, retuned[i].chosen)) {
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
      const Netlist built = BuildNetlist(ideal, values, losses);
      const double cost = reference.Cost(built);
      if (cost < best.cost) best = finish(values);
    });
  });
  return best;
}

}  // namespace rfsplitter
