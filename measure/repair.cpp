#include <algorithm>
#include <cmath>

#include "measure/diagnosis.h"
#include "parts/series.h"

namespace rfsplitter {
namespace {

bool Meets(const Netlist& board, const Limits& limits, std::span<const double> frequencies) {
  const BoundNetlist bound(board);
  SMatrix s(board.ports);
  for (const double f : frequencies) {
    if (!bound.Analyze(f, s) || !MeetsLimits(s, limits, RuleOf(board.form))) return false;
  }
  return true;
}

// Series values around `target` that differ from `current`: the two either
// side of it and the next one beyond each.
std::vector<double> Candidates(const PartSeries& series, double target, double current) {
  std::vector<double> values;
  const PartSeries::Neighbours near = series.Around(target);
  for (const std::optional<double> v :
       {near.below, near.above,
        near.below ? series.Around(*near.below * (1 - 1e-9)).below : std::nullopt,
        near.above ? series.Around(*near.above * (1 + 1e-9)).above : std::nullopt}) {
    if (v && std::abs(*v / current - 1) > 1e-9 &&
        std::find(values.begin(), values.end(), *v) == values.end())
      values.push_back(*v);
  }
  return values;
}

// The fitted board with element `index` replaced by one part of `value`,
// its deviation kept.
void Replace(Netlist& board, const Netlist& built, size_t index, double value) {
  NetlistElement& e = board.elements[index];
  const NetlistElement& b = built.elements[index];
  const double deviation = e.Combined() / b.Combined();
  const double base = FixedLossOhms(b.kind, b.value, b.model);
  e.second.reset();
  e.value = value * deviation;
  if (base > 0) e.loss_ohms = FixedLossOhms(b.kind, e.value, b.model);
}

}  // namespace

Repair FindRepair(const Netlist& built, const Diagnosis& diagnosis, const PartsChoice& parts,
                  const Limits& limits, std::span<const double> check_frequencies_hz) {
  Repair repair;
  repair.repaired = diagnosis.fitted;
  if (Meets(diagnosis.fitted, limits, check_frequencies_hz)) {
    repair.found = true;
    return repair;
  }
  repair.needed = true;
  const std::optional<PartSeries> e24 = PartSeries::Standard("E24");
  struct Option {
    size_t index;
    std::string part;
    double from, to;
  };
  // The first suspects' candidates: the value that, with the part's
  // deviation, puts the element back where it was built, and those nearby.
  std::vector<std::vector<Option>> options;
  for (const Suspect& s : diagnosis.suspects) {
    if (options.size() == 4) break;
    const auto at = std::find_if(built.elements.begin(), built.elements.end(),
                                 [&](const NetlistElement& e) { return e.name == s.part; });
    if (at == built.elements.end()) continue;
    const size_t index = size_t(at - built.elements.begin());
    const PartSeries* series = parts.SeriesFor(at->kind);
    if (!series) series = &*e24;
    std::vector<Option>& mine = options.emplace_back();
    const double target = s.built * s.built / s.fitted;
    for (const double v : Candidates(*series, target, s.built))
      mine.push_back({index, s.part, s.built, v});
  }
  const auto cost = [](const Option& o) { return std::abs(std::log(o.to / o.from)); };
  // One part first, the most likely one first, at the value nearest to
  // the one it was built with; then two.
  double best = INFINITY;
  for (const auto& mine : options) {
    for (const Option& o : mine) {
      Netlist board = diagnosis.fitted;
      Replace(board, built, o.index, o.to);
      if (cost(o) < best && Meets(board, limits, check_frequencies_hz)) {
        best = cost(o);
        repair.steps = {{o.part, o.from, o.to}};
        repair.repaired = board;
      }
    }
    if (!repair.steps.empty()) break;
  }
  if (repair.steps.empty()) {
    for (size_t i = 0; i < options.size(); ++i)
      for (size_t j = i + 1; j < options.size(); ++j)
        for (const Option& a : options[i])
          for (const Option& b : options[j]) {
            Netlist board = diagnosis.fitted;
            Replace(board, built, a.index, a.to);
            Replace(board, built, b.index, b.to);
            if (cost(a) + cost(b) < best && Meets(board, limits, check_frequencies_hz)) {
              best = cost(a) + cost(b);
              repair.steps = {{a.part, a.from, a.to}, {b.part, b.from, b.to}};
              repair.repaired = board;
            }
          }
  }
  repair.found = !repair.steps.empty();
  if (repair.found) repair.repaired.description = "the fitted board with the repair";
  return repair;
}

}  // namespace rfsplitter
