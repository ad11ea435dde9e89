#include "parts/fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <numbers>
#include <system_error>
#include <thread>

#include "analysis/s_parameters.h"
#include "engine/quoted.h"
#include "engine/si_value.h"

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
    q.target = CompensatedTarget(q.kind, q.ideal, models);
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
      q.target = CompensatedTarget(q.kind, c, models);
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

Netlist BuildNetlist(const Netlist& ideal, const std::vector<QuantityChoice>& values,
                     const PartsChoice& choice, const PartModels& models) {
  Netlist built = ideal;
  for (NetlistElement& e : built.elements) {
    // A choice for the element itself, else its quantity's.
    const QuantityChoice* pick = nullptr;
    for (const QuantityChoice& q : values) {
      if (q.element.empty() ? pick == nullptr && q.quantity == e.quantity : q.element == e.name) {
        pick = &q;
      }
    }
    if (pick == nullptr) continue;
    e.value = pick->chosen;
    if (pick->second > 0) e.second = SecondPart{pick->second, 0, {}};
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
    for (const LimitMargin& m : MarginsOf(FiguresOf(s), limits)) {
      worst = std::min(worst, m.margin / std::max(std::abs(m.limit), 1e-3));
    }
  }
  return worst;
}

double FitCost(const Netlist& ideal, const Netlist& built) {
  return CostReference(ideal).Cost(built);
}

std::vector<QuantityChoice> Retuned(const Netlist& ideal, std::vector<QuantityChoice> values) {
  const PartsChoice no_parts;
  const PartModels no_models;
  return Snapper{no_parts, no_models, ideal.frequency_hz}.Retuned(ideal, std::move(values));
}

namespace {

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

// Every element of the ideal circuit, a choice of its own.
std::vector<QuantityChoice> IdealElements(const Netlist& ideal) {
  std::vector<QuantityChoice> elements;
  for (const NetlistElement& e : ideal.elements) {
    elements.push_back({e.quantity, e.kind, e.value, e.value, e.value, e.name});
  }
  return elements;
}

// How hard the search works. A yield costs a Monte Carlo of its own (most
// are given up within a batch of boards), a margin one analysis a check
// point; both are shared by the search's two lines.
constexpr int64_t kYieldBoards = 8'000'000;
constexpr int64_t kYieldBoardsWithPairs = 3'000'000;
constexpr int kMarginEvaluations = 30000;
constexpr int kLines = 2;
// The inductor combinations screened by margin for starting points (all of
// them up to this many), and how many of them are weighed by the goal.
constexpr double kScreenedCombinations = 20000;
constexpr size_t kWeighedStarts = 16;
// The random combinations screened by margin, how many that pass it are
// weighed by the goal, and how many starts each way of finding them gives.
constexpr int kDrawnCombinations = 50000;
constexpr int kWeighedDraws = 2000;
constexpr size_t kSearchedStarts = 3;

// The margin and yield fits: a search over each element's options.
class SearchFit {
 public:
  SearchFit(const Design& design, const PartsChoice& choice, const PartModels& models,
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

  // A circuit, a value a slot, whose values made of pairs the second search
  // also starts from.
  void PairAround(std::vector<double> centre) { pair_centres_.push_back(std::move(centre)); }

  // Takes `other`'s annealing (a search of the same circuit) rather than
  // annealing again.
  void TakeAnnealing(SearchFit& other) {
    annealed_ = std::move(other.annealed_);
    annealed_ready_ = true;
  }

  BuiltCircuit Run() {
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
    built.netlist = BuildNetlist(ideal_, winner.values, choice_, models_);
    built.netlist.description = "the circuit built from the chosen parts";
    built.cost = CostReference(ideal_).Cost(built.netlist);
    built.quantities = winner.values;
    return built;
  }

 private:
  // One way to buy an element: a part, or two.
  struct Option {
    double value;
    double second = 0;
    bool operator==(const Option&) const = default;
  };
  // A circuit as the search holds it: its choices, the option each slot
  // holds, its score, and for a yield the count after each batch of boards.
  struct Candidate {
    std::vector<QuantityChoice> values;
    std::vector<size_t> at;
    double score = -HUGE_VAL;
    int passes = 0;
    std::vector<int> counted;  // passes after each batch but the last
  };
  // A line of search: what it has spent, and its own random draws.
  struct Line {
    // What the line has spent: circuits weighed by margin, or boards
    // counted for a yield (whose circuits mostly stop early).
    int64_t spent = 0;
    int64_t budget = 0;
    uint64_t state = 0;
    bool reports = false;  // the line whose progress is the fit's
    size_t RandomBelow(size_t n) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      return size_t((state >> 33) % n);
    }
  };

  // Two lines of search share the starts (best first, dealt in turn) and
  // the budget, each on a core of its own where there is one; the lines do
  // not depend on each other, so the result is the same on any number of
  // cores.
  Candidate RunLines(std::vector<Candidate> starts, int64_t budget, uint64_t salt) const {
    std::stable_sort(starts.begin(), starts.end(),
                     [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    std::array<Candidate, kLines> found;
    const auto line = [&](int n) {
      std::vector<Candidate> mine;
      for (size_t i = size_t(n); i < starts.size(); i += kLines) mine.push_back(starts[i]);
      Line own{0, int64_t(double(budget) * goal_.effort) / kLines, salt * uint64_t(n + 1), n == 0};
      found[size_t(n)] = Search(own, std::move(mine));
    };
    OnTwoCores(line);
    return found[1].score > found[0].score ? std::move(found[1]) : std::move(found[0]);
  }

  // Runs work(1) on a second thread where there is a core and a thread for
  // it (else on this one, first) and work(0) on this one; what the second
  // thread throws is thrown again here, not the program's end.
  template <typename Work>
  void OnTwoCores(const Work& work) const {
    std::jthread second;
    std::exception_ptr second_failed;
    if (std::thread::hardware_concurrency() > 1) {
      try {
        second = std::jthread([&] {
          if (goal_.control) goal_.control->EnterThread();
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

  static const QuantityChoice& OfQuantity(const std::vector<QuantityChoice>& values,
                                          std::string_view quantity) {
    return *std::find_if(values.begin(), values.end(),
                         [&](const QuantityChoice& v) { return v.quantity == quantity; });
  }

  double Least(ElementKind kind) const {
    return kind == ElementKind::kInductor    ? goal_.least_inductor
           : kind == ElementKind::kCapacitor ? goal_.least_capacitor
                                             : 0;
  }

  // Each slot's options: nearest's, retune's and best's parts, its series' values
  // either side of its target and the next out (one for an inductor, two
  // for a capacitor: its series is the denser one, and the capacitors make
  // up for the inductors' coarse steps), a capacitor's either side of its
  // value retuned for nearest's inductors, and with pairs the closest
  // pairs. A part no larger than an absolute tolerance is none.
  void BuildOptions() {
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

  // The nodes other than ground a slot's elements touch.
  std::vector<int> NodesOf(const QuantityChoice& q) const {
    std::vector<int> nodes;
    for (const NetlistElement& e : ideal_.elements) {
      if (q.element.empty() ? e.quantity != q.quantity : e.name != q.element) continue;
      for (const int node : {e.node_a, e.node_b}) {
        if (node != 0) nodes.push_back(node);
      }
    }
    return nodes;
  }

  // Two slots are coupled when they meet at a node other than ground or
  // stand for one quantity.
  void FindCoupling() {
    coupled_.assign(slots_.size(), std::vector<bool>(slots_.size()));
    for (size_t i = 0; i < slots_.size(); ++i) {
      const std::vector<int> a = NodesOf(slots_[i]);
      for (size_t j = 0; j < slots_.size(); ++j) {
        const std::vector<int> b = NodesOf(slots_[j]);
        coupled_[i][j] =
            slots_[i].quantity == slots_[j].quantity || std::any_of(a.begin(), a.end(), [&](int n) {
              return std::find(b.begin(), b.end(), n) != b.end();
            });
      }
    }
  }

  Candidate Holding(Candidate c, size_t i, size_t k) const {
    c.at[i] = k;
    c.values[i].chosen = options_[i][k].value;
    c.values[i].second = options_[i][k].second;
    return c;
  }

  double Margin(const Candidate& c) const {
    return WorstMargin(BuildNetlist(ideal_, c.values, choice_, models_), goal_.limits,
                       goal_.band_percent);
  }

  // Scores `c`; with `rival`, a yield stops counting once `c` has fallen
  // clearly behind it on the same boards, and `c` then loses (false).
  bool Evaluate(Candidate& c, const Candidate* rival, Line* line = nullptr) const {
    const Netlist built = BuildNetlist(ideal_, c.values, choice_, models_);
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

  bool Stopped() const { return goal_.control && goal_.control->StopRequested(); }

  // `c` with `move`'s options, if that scores better.
  bool TryMove(Line& line, Candidate& c,
               std::initializer_list<std::pair<size_t, size_t>> move) const {
    if (line.spent >= line.budget || Stopped()) return false;
    Candidate trial = c;
    for (const auto& [i, k] : move) trial = Holding(std::move(trial), i, k);
    if (!Evaluate(trial, &c, &line) || trial.score <= c.score) return false;
    c = std::move(trial);
    return true;
  }

  // Each slot in turn to its best option, then each two coupled slots
  // together (parts that pull together, as L1 and L2 do, move only so),
  // until a round changes nothing.
  void LocalSearch(Line& line, Candidate& c) const {
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

  // Local searches from `starts`; then, while the budget lasts, a few slots
  // at random to other options and a local search from there, kept when it
  // ends better (an iterated local search).
  Candidate Search(Line& line, std::vector<Candidate> starts) const {
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

  // Starts from each combination of the inductors' single parts (all of
  // them while they are few, else the two either side of each target), the
  // capacitors at the option nearest their value retuned for them: the
  // combinations with the largest margin are weighed by the goal, and the
  // best few kept.
  std::vector<Candidate> ScreenedStarts(const Candidate& base) const {
    if (choice_.tie_equal_values) return {};
    std::vector<size_t> inductors;
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].kind == ElementKind::kInductor && options_[i].size() > 1)
        inductors.push_back(i);
    }
    const auto singles = [&](size_t i, bool all) {
      std::vector<size_t> list;
      for (size_t k = 0; k < options_[i].size(); ++k) {
        const double ratio = options_[i][k].value / slots_[i].chosen;
        if (options_[i][k].second == 0 && (all || (ratio > 0.8 && ratio < 1.25))) list.push_back(k);
      }
      return list;
    };
    double combinations = 1;
    for (const size_t i : inductors) combinations *= double(singles(i, true).size());
    std::vector<std::vector<size_t>> lists;
    for (const size_t i : inductors)
      lists.push_back(singles(i, combinations <= kScreenedCombinations));
    if (lists.empty() ||
        std::any_of(lists.begin(), lists.end(), [](const auto& l) { return l.empty(); })) {
      return {};
    }
    const double w0 = 2 * std::numbers::pi * ideal_.frequency_hz;
    std::vector<Candidate> screened;
    std::vector<size_t> pick(lists.size(), 0);
    for (bool more = true; more && !Stopped();) {
      Candidate c = base;
      for (size_t n = 0; n < lists.size(); ++n)
        c = Holding(std::move(c), inductors[n], lists[n][pick[n]]);
      for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].kind != ElementKind::kCapacitor) continue;
        // The shunt that makes the arms meeting here quarter waves with
        // their inductors: 1 / (w0^2 L) for each.
        const int node = NodesOf(slots_[i]).front();
        double shunt = 0;
        for (size_t j = 0; j < slots_.size(); ++j) {
          const std::vector<int> nodes = NodesOf(slots_[j]);
          if (slots_[j].kind == ElementKind::kInductor &&
              std::find(nodes.begin(), nodes.end(), node) != nodes.end()) {
            shunt += 1 / (w0 * w0 * c.values[j].chosen);
          }
        }
        size_t nearest = c.at[i];
        double distance = HUGE_VAL;
        for (size_t k = 0; k < options_[i].size(); ++k) {
          const double d = std::abs(std::log(options_[i][k].value / shunt));
          if (options_[i][k].second == 0 && d < distance) distance = d, nearest = k;
        }
        c = Holding(std::move(c), i, nearest);
      }
      c.score = Margin(c);
      screened.push_back(std::move(c));
      size_t n = 0;
      while (n < lists.size() && ++pick[n] == lists[n].size()) pick[n++] = 0;
      more = n < lists.size();
    }
    return Weighed(std::move(screened));
  }

  // Starts from combinations drawn at random from every slot's options:
  // those whose nominal circuit holds every limit are weighed by the goal
  // against the best of them so far (most lose within a batch of boards),
  // and the best few kept.
  std::vector<Candidate> DrawnStarts(Line& line, const Candidate& base) const {
    if (!by_yield_) return {};
    std::vector<Candidate> drawn;
    Candidate leader = base;
    for (int n = 0, weighed = 0; n < kDrawnCombinations && weighed < kWeighedDraws && !Stopped();
         ++n) {
      Candidate c = base;
      for (size_t i = 0; i < slots_.size(); ++i) {
        c = Holding(std::move(c), i, line.RandomBelow(options_[i].size()));
      }
      if (Margin(c) < 0) continue;
      ++weighed;
      if (!Evaluate(c, &leader)) continue;
      if (c.score > leader.score) leader = c;
      drawn.push_back(std::move(c));
    }
    std::stable_sort(drawn.begin(), drawn.end(),
                     [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    drawn.resize(std::min(drawn.size(), kSearchedStarts));
    return drawn;
  }

  // The candidates with the largest margin, weighed by the goal: the best
  // few.
  std::vector<Candidate> Weighed(std::vector<Candidate> candidates) const {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    candidates.resize(std::min(candidates.size(), kWeighedStarts));
    for (Candidate& c : candidates) Evaluate(c, nullptr);
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    candidates.resize(std::min(candidates.size(), kSearchedStarts));
    return candidates;
  }

  // Each slot's reach: the single parts of its series on either side of its
  // target, as many as the series' density puts within a factor of 2.5 of
  // it but at most four a side. A dense series reaches a few steps, a sparse
  // list every value that could serve; where the element's neighbours make
  // up for it, a part far from its own target can give the circuit that
  // holds the limits best.
  std::vector<double> Reach(const QuantityChoice& slot, const PartSeries& series) const {
    constexpr int kSide = 6;
    constexpr double kFactor = 2.5;
    std::vector<double> values;
    std::optional<double> v = series.Around(slot.chosen).below;
    for (int n = 0; n < kSide && v && *v >= slot.chosen / kFactor;
         ++n, v = series.Around(*v * (1 - 1e-9)).below) {
      values.push_back(*v);
    }
    v = series.Around(slot.chosen).above;
    for (int n = 0; n < kSide && v && *v <= slot.chosen * kFactor;
         ++n, v = series.Around(*v * (1 + 1e-9)).above) {
      if (values.empty() || *v != values.front()) values.push_back(*v);
    }
    const double least = Least(slot.kind);
    std::erase_if(values, [&](double x) { return x <= least; });
    return values;
  }

  // For the yield fit, simulated annealing on the nominal circuit's margin
  // over every slot's reach, from random combinations: a sparse series' good circuits lie far
  // from the one-step moves of the local search, but a margin costs one
  // analysis. Each restart's best that holds the limits is kept. The values
  // of a circuit then move on one bound circuit: only where each part is
  // its value and a fixed loss (no parasitics, no part's own model, one
  // part a slot); elsewhere the other starts serve.
  void Anneal() {
    if (!by_yield_ || choice_.tie_equal_values || models_.Parasitic() || goal_.effort <= 0) {
      return;
    }
    std::vector<std::vector<Option>> reach(slots_.size());
    for (size_t i = 0; i < slots_.size(); ++i) {
      const PartSeries* series = choice_.SeriesFor(slots_[i].kind);
      if (series == nullptr || series->HasOwnModels()) return;
      for (const double v : Reach(slots_[i], *series)) reach[i].push_back({v});
      if (reach[i].empty()) return;
    }
    std::vector<QuantityChoice> values = slots_;
    for (size_t i = 0; i < slots_.size(); ++i) values[i].chosen = reach[i][0].value;
    const Netlist built = BuildNetlist(ideal_, values, choice_, models_);
    for (const NetlistElement& e : built.elements) {
      if (!e.pad && e.model.Dynamic(e.kind)) return;
    }
    const auto loss = [&](size_t i, double value) {
      const NetlistElement& e = built.elements[i];
      return e.model.q > 0 ? FixedLossOhms(e.kind, value, e.model) : e.loss_ohms;
    };
    const std::vector<double> checks = CheckFrequencies(ideal_.frequency_hz, goal_.band_percent);
    // One restart: its own stream and its own bound circuit, so that the
    // restarts share out over two threads and give the same finds.
    constexpr int kRestarts = 128, kSteps = 4000;
    std::vector<std::pair<double, std::vector<size_t>>> results(kRestarts);
    const auto restart = [&](int r) {
      BoundNetlist bound(built);
      const auto set = [&](size_t i, const Option& o) {
        const double value = o.value + o.second;
        const double ohms = loss(i, o.value) + (o.second > 0 ? loss(i, o.second) : 0);
        bound.SetElement(int(i), value, ohms);
      };
      const auto margin = [&] {
        double worst = HUGE_VAL;
        SMatrix s;
        for (const double f : checks) {
          if (!bound.AnalyzeFromPorts1And2(f, s)) return -HUGE_VAL;
          for (const LimitMargin& m : MarginsOf(FiguresOf(s), goal_.limits)) {
            worst = std::min(worst, m.margin / std::max(std::abs(m.limit), 1e-3));
          }
        }
        return worst;
      };
      constexpr double kHot = 0.3, kCold = 0.003;
      const double cooling = std::pow(kCold / kHot, 1.0 / kSteps);
      uint64_t state = 0x6c62272e07bb0142ULL * uint64_t(r + 1);
      const auto random = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 11;
      };
      const auto uniform = [&] { return double(random()) * 0x1.0p-53; };
      std::vector<size_t> at(slots_.size());
      for (size_t i = 0; i < slots_.size(); ++i) {
        at[i] = random() % reach[i].size();
        set(i, reach[i][at[i]]);
      }
      double now = margin(), best = now, temperature = kHot;
      std::vector<size_t> best_at = at;
      for (int step = 0; step < kSteps; ++step, temperature *= cooling) {
        const size_t i = random() % slots_.size();
        const size_t was = at[i];
        at[i] = random() % reach[i].size();
        if (at[i] == was) continue;
        set(i, reach[i][at[i]]);
        const double trial = margin();
        if (trial >= now || uniform() < std::exp((trial - now) / temperature)) {
          now = trial;
          if (now > best) best = now, best_at = at;
        } else {
          set(i, reach[i][was]);
          at[i] = was;
        }
      }
      results[size_t(r)] = {best, std::move(best_at)};
    };
    // A tenth of a second's work on two cores, whatever the search's effort.
    OnTwoCores([&](int first) {
      for (int r = first; r < kRestarts && !Stopped(); r += 2) restart(r);
    });
    std::vector<std::pair<double, std::vector<Option>>> kept;
    for (auto& [best, best_at] : results) {
      if (!(best > 0) || best_at.empty()) continue;
      std::vector<Option> found(slots_.size());
      for (size_t i = 0; i < slots_.size(); ++i) found[i] = reach[i][best_at[i]];
      if (std::find(kept.begin(), kept.end(), std::pair{best, found}) == kept.end()) {
        kept.emplace_back(best, std::move(found));
      }
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (auto& k : kept) annealed_.push_back(std::move(k.second));
  }

  // Pairs whose halves spread least give a circuit its values with less of
  // their parts' spread: around each element's value in the winner and in
  // the annealing's finds that the goal weighed best (a circuit's values
  // that make up for one another, not the targets), the eight pairs whose sums come closest and
  // spread least join the options, and each such circuit made of its
  // best-scored pairs is a start; the best few by the goal.
  std::vector<Candidate> PairedStarts(const Candidate& winner,
                                      const std::vector<Candidate>& annealed) {
    std::vector<std::vector<double>> centres;
    for (const Candidate* c : {&winner}) {
      centres.emplace_back();
      for (const QuantityChoice& q : c->values) centres.back().push_back(q.chosen + q.second);
    }
    for (const std::vector<double>& centre : pair_centres_) centres.push_back(centre);
    for (const Candidate& c : annealed) {
      centres.emplace_back();
      for (const QuantityChoice& q : c.values) centres.back().push_back(q.chosen + q.second);
    }
    std::vector<Candidate> paired;
    for (const std::vector<double>& centre : centres) {
      Candidate c = winner;
      for (size_t i = 0; i < slots_.size(); ++i) {
        const PartSeries* series = choice_.SeriesFor(slots_[i].kind);
        if (series == nullptr || slots_[i].kind == ElementKind::kResistor) continue;
        const double least = Least(slots_[i].kind);
        bool first_pair = true;
        for (const auto& [a, b] : PairOptions(centre[i], *series, 8, true)) {
          if (a <= least || b <= least) continue;
          const Option o{a, b};
          auto at = std::find(options_[i].begin(), options_[i].end(), o);
          if (at == options_[i].end()) {
            options_[i].push_back(o);
            at = options_[i].end() - 1;
          }
          if (first_pair) c = Holding(std::move(c), i, size_t(at - options_[i].begin()));
          first_pair = false;
        }
      }
      c.score = Margin(c);
      paired.push_back(std::move(c));
    }
    return Weighed(std::move(paired));
  }

  // The annealing's finds as starts, the best few by the goal.
  std::vector<Candidate> AnnealedStarts(const Candidate& base) const {
    std::vector<Candidate> found;
    for (const std::vector<Option>& values : annealed_) {
      Candidate c = base;
      for (size_t i = 0; i < slots_.size(); ++i) {
        const auto k = std::find(options_[i].begin(), options_[i].end(), values[i]);
        c = Holding(std::move(c), i, size_t(k - options_[i].begin()));
      }
      c.score = Margin(c);
      found.push_back(std::move(c));
    }
    return Weighed(std::move(found));
  }

  // The `count` pairs from `series` whose sum (two inductors in series, two
  // capacitors in parallel) comes closest to `target` (and, where the
  // spread counts, spreads least), the larger part first.
  static std::vector<std::pair<double, double>> PairOptions(double target, const PartSeries& series,
                                                            size_t count, bool spread_counts) {
    struct Scored {
      std::pair<double, double> parts;
      double error;
    };
    std::vector<Scored> found;
    std::optional<double> larger = series.Around(target * (1 - 1e-9)).below;
    for (; larger && *larger >= target / 2; larger = series.Around(*larger * (1 - 1e-9)).below) {
      const PartSeries::Neighbours rest = series.Around(target - *larger);
      for (int side = 0; side < 2; ++side) {
        const std::optional<double>& smaller = side == 0 ? rest.below : rest.above;
        if (!smaller || *smaller > *larger) continue;
        // The larger part only falls, so a pair can repeat only as the
        // two neighbours of one exact value.
        if (side == 1 && rest.below && *rest.below == *smaller) continue;
        const std::pair parts{*larger, *smaller};
        // A pair's parts drawn each on its own spread its sum by
        // sqrt(a^2 + b^2) / (a + b) of one part's tolerance: halves alike
        // spread least. Scored as the square of the sum's error and of its
        // spread under a 5 % grade (a uniform draw's variance, T^2 / 3).
        const double error = std::log((*larger + *smaller) / target);
        const double spread = (*larger * *larger + *smaller * *smaller) /
                              ((*larger + *smaller) * (*larger + *smaller));
        found.push_back({parts, error * error + (spread_counts ? 0.05 * 0.05 / 3 * spread : 0)});
      }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Scored& a, const Scored& b) { return a.error < b.error; });
    std::vector<std::pair<double, double>> pairs;
    for (size_t i = 0; i < std::min(count, found.size()); ++i) pairs.push_back(found[i].parts);
    return pairs;
  }

  const Netlist ideal_;
  const PartsChoice& choice_;
  const PartModels& models_;
  const FitGoal& goal_;
  const Snapper snapper_;
  const bool by_yield_;
  std::vector<QuantityChoice> slots_;
  std::vector<QuantityChoice> nearest_, retune_, best_;  // the fits by cost, per quantity
  std::vector<std::vector<Option>> options_;
  std::vector<std::vector<bool>> coupled_;
  std::vector<std::vector<Option>> annealed_;  // the annealing's finds, an option a slot

  std::vector<std::vector<double>> pair_centres_;  // from PairAround
  bool annealed_ready_ = false;
};

}  // namespace

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
  std::vector<QuantityChoice> quantities = IdealQuantities(ideal);
  SetTargets(quantities, models, f0);
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
        return Effective(q.kind, v, ModelFor(q.kind, v, choice, models), f0) < HUGE_VAL;
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
    if (!models.compensate || !Shifts(q.kind, model)) continue;
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
    SearchFit single_search(design, singles, models, quick);
    const BuiltCircuit single = single_search.Run();
    SearchFit search(design, choice, models, goal);
    search.TakeAnnealing(single_search);
    std::vector<double> centre;
    for (const QuantityChoice& q : single.quantities) centre.push_back(q.chosen + q.second);
    search.PairAround(std::move(centre));
    return search.Run();
  }
  if (choice.method == FitMethod::kMargin || choice.method == FitMethod::kYield) {
    return SearchFit(design, choice, models, goal).Run();
  }
  return FitByCost(design, choice, models);
}

}  // namespace rfsplitter
