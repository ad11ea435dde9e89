#include "parts/search_fit.h"

#include <algorithm>
#include <array>
#include <numbers>

namespace rfsplitter::fitting {

SearchFit::SearchFit(const Design& design, const PartsChoice& choice, const PartModels& models,
                     const FitGoal& goal)
    : ideal_(IdealNetlist(design)),
      choice_(choice),
      models_(models),
      goal_(goal),
      snapper_{choice, models, ideal_.frequency_hz},
      by_yield_(choice.method == FitMethod::kYield && bool(goal.boards_passing)) {
  slots_ = choice.tie_equal_values ? IdealQuantities(ideal_) : IdealElements(ideal_);
  SetTargets(slots_, models, ideal_.frequency_hz);
  PartsChoice by_cost = choice;
  by_cost.method = FitMethod::kNearest;
  nearest_ = FitByCost(design, by_cost, models).quantities;
  by_cost.method = FitMethod::kRetune;
  retune_ = FitByCost(design, by_cost, models).quantities;
  by_cost.method = FitMethod::kBest;
  best_ = FitByCost(design, by_cost, models).quantities;
  BuildOptions();
  FindCoupling();
}

BuiltCircuit SearchFit::Run() {
  if (!annealed_ready_) Anneal();
  annealed_ready_ = true;
  // The best of nearest, retune and best to start from: the search never
  // ends worse than they are.
  Candidate first{slots_, std::vector<size_t>(slots_.size(), 0), -HUGE_VAL, 0, {}};
  for (size_t i = 0; i < slots_.size(); ++i) first = Holding(std::move(first), i, 0);
  Evaluate(first, nullptr);
  for (const std::vector<QuantityChoice>* fit : {&retune_, &best_}) {
    Candidate other = first;
    for (size_t i = 0; i < slots_.size(); ++i) {
      const Option wanted{OfQuantity(*fit, slots_[i].quantity).chosen};
      const auto found = std::find(options_[i].begin(), options_[i].end(), wanted);
      if (found != options_[i].end()) {
        other = Holding(std::move(other), i, size_t(found - options_[i].begin()));
      }
    }
    if (Evaluate(other, &first) && other.score > first.score) first = std::move(other);
  }

  std::vector<Candidate> starts = {first};
  for (Candidate& c : ScreenedStarts(first)) starts.push_back(std::move(c));
  Line drawing{0, 0, 0x9e3779b97f4a7c15ULL, false};
  for (Candidate& c : DrawnStarts(drawing, first)) starts.push_back(std::move(c));

  // Pairs give the search more to choose from and each circuit costs
  // more to weigh; their richer options find good circuits sooner.
  const int64_t budget = !by_yield_      ? kMarginEvaluations
                         : choice_.pairs ? kYieldBoardsWithPairs
                                         : kYieldBoards;
  Candidate winner = RunLines(std::move(starts), budget, 0x2545f4914f6cdd1dULL);

  // Then, for the yield, from what the annealing found (its values among
  // the options) and from the winner so far, with pairs whose halves
  // spread least as well, on half as much again: circuits far from the
  // targets are reached without the near ones' search losing ground.
  if ((!annealed_.empty() || (by_yield_ && choice_.pairs)) && !Stopped()) {
    for (const std::vector<Option>& found : annealed_) {
      for (size_t i = 0; i < slots_.size(); ++i) {
        if (std::find(options_[i].begin(), options_[i].end(), found[i]) == options_[i].end()) {
          options_[i].push_back(found[i]);
        }
      }
    }
    std::vector<Candidate> further = AnnealedStarts(first);
    if (by_yield_ && choice_.pairs) {
      for (Candidate& c : PairedStarts(winner, further)) further.push_back(std::move(c));
    }
    further.push_back(winner);
    Candidate second = RunLines(std::move(further), budget / 4, 0x5851f42d4c957f2dULL);
    if (second.score > winner.score) winner = std::move(second);
  }

  BuiltCircuit built;
  built.netlist = BuildNetlist(ideal_, winner.values, value_of_element_, choice_, models_);
  built.netlist.description = "the circuit built from the chosen parts";
  built.cost = CostReference(ideal_).Cost(built.netlist);
  built.quantities = winner.values;
  return built;
}

SearchFit::Candidate SearchFit::RunLines(std::vector<Candidate> starts, int64_t budget,
                                         uint64_t salt) const {
  std::stable_sort(starts.begin(), starts.end(),
                   [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
  std::array<Candidate, kLines> found;
  const auto line = [&](int n) {
    std::vector<Candidate> mine;
    for (size_t i = size_t(n); i < starts.size(); i += kLines) mine.push_back(starts[i]);
    Line own{0, int64_t(double(budget) * goal_.effort) / kLines, salt * uint64_t(n + 1), n == 0};
    found[size_t(n)] = Search(own, std::move(mine));
  };
  OnTwoCores(goal_.control, line);
  return found[1].score > found[0].score ? std::move(found[1]) : std::move(found[0]);
}

void SearchFit::BuildOptions() {
  const double f0 = ideal_.frequency_hz;
  std::vector<QuantityChoice> tied = IdealQuantities(ideal_);
  SetTargets(tied, models_, f0);
  snapper_.Snap(tied, ElementKind::kInductor);
  const std::vector<QuantityChoice> retuned = snapper_.Retuned(ideal_, tied);
  options_.assign(slots_.size(), {});
  for (size_t i = 0; i < slots_.size(); ++i) {
    const QuantityChoice& slot = slots_[i];
    std::vector<Option>& list = options_[i];
    const double least = Least(slot.kind);
    const auto add = [&](Option o) {
      const bool too_small = o.value <= least || (o.second > 0 && o.second <= least);
      if (!too_small && std::find(list.begin(), list.end(), o) == list.end()) list.push_back(o);
    };
    add({OfQuantity(nearest_, slot.quantity).chosen});
    add({OfQuantity(retune_, slot.quantity).chosen});
    add({OfQuantity(best_, slot.quantity).chosen});
    const PartSeries* series = choice_.SeriesFor(slot.kind);
    if (series != nullptr) {
      const std::vector<double> around = snapper_.Candidates(slot);
      for (const double v : around) add({v});
      if (!series->HasOwnModels()) {
        std::optional<double> below = around.front(), above = around.back();
        for (int step = 0; step < (slot.kind == ElementKind::kCapacitor ? 3 : 1); ++step) {
          if (below && (below = series->Around(*below * (1 - 1e-9)).below)) add({*below});
          if (above && (above = series->Around(*above * (1 + 1e-9)).above)) add({*above});
        }
      }
      if (slot.kind == ElementKind::kCapacitor) {
        for (const double v : snapper_.Candidates(OfQuantity(retuned, slot.quantity))) add({v});
      }
      if (choice_.pairs && slot.kind != ElementKind::kResistor) {
        for (const auto& [a, b] : PairOptions(slot.chosen, *series, 4, false)) add({a, b});
      }
    }
    // Left without one, a slot keeps nearest's part (the study says why
    // it cannot be sampled).
    if (list.empty()) list.push_back({OfQuantity(nearest_, slot.quantity).chosen});
  }
}

std::vector<int> SearchFit::NodesOf(const QuantityChoice& q) const {
  std::vector<int> nodes;
  for (const NetlistElement& e : ideal_.elements) {
    if (q.element.empty() ? e.quantity != q.quantity : e.name != q.element) continue;
    for (const int node : {e.node_a, e.node_b}) {
      if (node != 0) nodes.push_back(node);
    }
  }
  return nodes;
}

void SearchFit::FindCoupling() {
  slot_nodes_.clear();
  value_of_element_ = ValueOfElements(ideal_, slots_);
  for (const QuantityChoice& slot : slots_) slot_nodes_.push_back(NodesOf(slot));
  coupled_.assign(slots_.size(), std::vector<bool>(slots_.size()));
  for (size_t i = 0; i < slots_.size(); ++i) {
    const std::vector<int>& a = slot_nodes_[i];
    for (size_t j = 0; j < slots_.size(); ++j) {
      const std::vector<int>& b = slot_nodes_[j];
      coupled_[i][j] =
          slots_[i].quantity == slots_[j].quantity || std::any_of(a.begin(), a.end(), [&](int n) {
            return std::find(b.begin(), b.end(), n) != b.end();
          });
    }
  }
}

bool SearchFit::Evaluate(Candidate& c, const Candidate* rival, Line* line) const {
  const Netlist built = BuildNetlist(ideal_, c.values, value_of_element_, choice_, models_);
  const double margin = WorstMargin(built, goal_.limits, goal_.band_percent);
  if (!by_yield_) {
    if (line) ++line->spent;
    c.score = margin;
    return true;
  }
  c.counted.clear();
  int counted_boards = 0;
  const auto go_on = [&](int boards, int passed) {
    counted_boards = boards;
    c.counted.push_back(passed);
    if (rival == nullptr) return true;
    // It cannot catch up, or it trails by more than the boards on which
    // two close circuits differ would explain.
    if (passed + (goal_.boards - boards) < rival->passes) return false;
    const int theirs = rival->counted[c.counted.size() - 1];
    return passed >= theirs - 3 - 2 * std::sqrt(0.1 * boards);
  };
  const std::optional<int> passes = goal_.boards_passing(built, go_on);
  if (line) line->spent += passes ? goal_.boards : counted_boards;
  if (!passes) return false;
  c.passes = *passes;
  // Ties in the count go to the circuit with fewer pairs (fewer parts to
  // buy and place), then to the larger margin, mapped into (0, 1).
  const double fraction = 0.5 + std::atan(margin) / std::numbers::pi;
  const auto pairs = std::count_if(c.values.begin(), c.values.end(),
                                   [](const QuantityChoice& q) { return q.second > 0; });
  c.score =
      *passes + (double(slots_.size()) - double(pairs) + fraction) / double(slots_.size() + 1);
  return true;
}

bool SearchFit::TryMove(Line& line, Candidate& c,
                        std::initializer_list<std::pair<size_t, size_t>> move) const {
  if (line.spent >= line.budget || Stopped()) return false;
  Candidate trial = c;
  for (const auto& [i, k] : move) trial = Holding(std::move(trial), i, k);
  if (!Evaluate(trial, &c, &line) || trial.score <= c.score) return false;
  c = std::move(trial);
  return true;
}

void SearchFit::LocalSearch(Line& line, Candidate& c) const {
  constexpr int kRounds = 8;
  for (int round = 0; round < kRounds; ++round) {
    bool moved = false;
    for (size_t i = 0; i < slots_.size(); ++i) {
      for (size_t k = 0; k < options_[i].size(); ++k) {
        if (k != c.at[i]) moved = TryMove(line, c, {{i, k}}) || moved;
      }
    }
    for (size_t i = 0; i < slots_.size(); ++i) {
      for (size_t j = i + 1; j < slots_.size(); ++j) {
        if (!coupled_[i][j]) continue;
        for (size_t k = 0; k < options_[i].size(); ++k) {
          for (size_t l = 0; l < options_[j].size(); ++l) {
            if (k != c.at[i] && l != c.at[j]) moved = TryMove(line, c, {{i, k}, {j, l}}) || moved;
          }
        }
      }
    }
    if (!moved) return;
  }
}

SearchFit::Candidate SearchFit::Search(Line& line, std::vector<Candidate> starts) const {
  Candidate best;
  for (Candidate& start : starts) {
    LocalSearch(line, start);
    if (start.score > best.score) best = std::move(start);
  }
  while (line.spent < line.budget && slots_.size() > 1 && !best.values.empty() && !Stopped()) {
    if (goal_.control && line.reports) {
      goal_.control->Report("fit", double(line.spent) / double(line.budget));
    }
    Candidate trial = best;
    const size_t kicks = 2 + line.RandomBelow(3);
    for (size_t n = 0; n < kicks; ++n) {
      const size_t i = line.RandomBelow(slots_.size());
      trial = Holding(std::move(trial), i, line.RandomBelow(options_[i].size()));
    }
    Evaluate(trial, nullptr, &line);
    LocalSearch(line, trial);
    if (trial.score > best.score) best = std::move(trial);
  }
  return best;
}

}  // namespace rfsplitter::fitting
