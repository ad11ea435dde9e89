// The margin and yield fits' search over each element's options: its
// starts (parts screened by margin, drawn at random, annealed, paired) in
// search_starts.cpp, the search itself in search_fit.cpp.
#ifndef RFSPLITTER_PARTS_SEARCH_FIT_H_
#define RFSPLITTER_PARTS_SEARCH_FIT_H_

#include <cmath>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "parts/fit.h"
#include "parts/fit_support.h"

namespace rfsplitter::fitting {

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
            const FitGoal& goal);

  // A circuit, a value a slot, whose values made of pairs the second search
  // also starts from.
  void PairAround(std::vector<double> centre) { pair_centres_.push_back(std::move(centre)); }

  // Takes `other`'s annealing (a search of the same circuit) rather than
  // annealing again.
  void TakeAnnealing(SearchFit& other) {
    annealed_ = std::move(other.annealed_);
    annealed_ready_ = true;
  }

  BuiltCircuit Run();

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
  Candidate RunLines(std::vector<Candidate> starts, int64_t budget, uint64_t salt) const;

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
  void BuildOptions();

  // The nodes other than ground a slot's elements touch.
  std::vector<int> NodesOf(const QuantityChoice& q) const;

  // Two slots are coupled when they meet at a node other than ground or
  // stand for one quantity.
  void FindCoupling();

  Candidate Holding(Candidate c, size_t i, size_t k) const {
    c.at[i] = k;
    c.values[i].chosen = options_[i][k].value;
    c.values[i].second = options_[i][k].second;
    return c;
  }

  double Margin(const Candidate& c) const {
    return WorstMargin(BuildNetlist(ideal_, c.values, value_of_element_, choice_, models_),
                       goal_.limits, goal_.band_percent);
  }

  // Scores `c`; with `rival`, a yield stops counting once `c` has fallen
  // clearly behind it on the same boards, and `c` then loses (false).
  bool Evaluate(Candidate& c, const Candidate* rival, Line* line = nullptr) const;

  bool Stopped() const { return goal_.control && goal_.control->StopRequested(); }

  // `c` with `move`'s options, if that scores better.
  bool TryMove(Line& line, Candidate& c,
               std::initializer_list<std::pair<size_t, size_t>> move) const;

  // Each slot in turn to its best option, then each two coupled slots
  // together (parts that pull together, as L1 and L2 do, move only so),
  // until a round changes nothing.
  void LocalSearch(Line& line, Candidate& c) const;

  // Local searches from `starts`; then, while the budget lasts, a few slots
  // at random to other options and a local search from there, kept when it
  // ends better (an iterated local search).
  Candidate Search(Line& line, std::vector<Candidate> starts) const;

  // Starts from each combination of the inductors' single parts (all of
  // them while they are few, else the two either side of each target), the
  // capacitors at the option nearest their value retuned for them: the
  // combinations with the largest margin are weighed by the goal, and the
  // best few kept.
  std::vector<Candidate> ScreenedStarts(const Candidate& base) const;

  // Starts from combinations drawn at random from every slot's options:
  // those whose nominal circuit holds every limit are weighed by the goal
  // against the best of them so far (most lose within a batch of boards),
  // and the best few kept.
  std::vector<Candidate> DrawnStarts(Line& line, const Candidate& base) const;

  // The candidates with the largest margin, weighed by the goal: the best
  // few.
  std::vector<Candidate> Weighed(std::vector<Candidate> candidates) const;

  // Each slot's reach: the single parts of its series on either side of its
  // target, as many as the series' density puts within a factor of 2.5 of
  // it but at most four a side. A dense series reaches a few steps, a sparse
  // list every value that could serve; where the element's neighbours make
  // up for it, a part far from its own target can give the circuit that
  // holds the limits best.
  std::vector<double> Reach(const QuantityChoice& slot, const PartSeries& series) const;

  // For the yield fit, simulated annealing on the nominal circuit's margin
  // over every slot's reach, from random combinations: a sparse series' good circuits lie far
  // from the one-step moves of the local search, but a margin costs one
  // analysis. Each restart's best that holds the limits is kept. The values
  // of a circuit then move on one bound circuit: only where each part is
  // its value and a fixed loss (no parasitics, no part's own model, one
  // part a slot); elsewhere the other starts serve.
  void Anneal();

  // Pairs whose halves spread least give a circuit its values with less of
  // their parts' spread: around each element's value in the winner and in
  // the annealing's finds that the goal weighed best (a circuit's values
  // that make up for one another, not the targets), the eight pairs whose sums come closest and
  // spread least join the options, and each such circuit made of its
  // best-scored pairs is a start; the best few by the goal.
  std::vector<Candidate> PairedStarts(const Candidate& winner,
                                      const std::vector<Candidate>& annealed);

  // The annealing's finds as starts, the best few by the goal.
  std::vector<Candidate> AnnealedStarts(const Candidate& base) const;

  // The `count` pairs from `series` whose sum (two inductors in series, two
  // capacitors in parallel) comes closest to `target` (and, where the
  // spread counts, spreads least), the larger part first.
  static std::vector<std::pair<double, double>> PairOptions(double target, const PartSeries& series,
                                                            size_t count, bool spread_counts);

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
  // Each slot's nodes, found once: the searches ask for them in their
  // innermost loops.
  std::vector<std::vector<int>> slot_nodes_;
  std::vector<int> value_of_element_;          // the slot each element of ideal_ takes
  std::vector<std::vector<Option>> annealed_;  // the annealing's finds, an option a slot

  std::vector<std::vector<double>> pair_centres_;  // from PairAround
  bool annealed_ready_ = false;
};

}  // namespace rfsplitter::fitting

#endif  // RFSPLITTER_PARTS_SEARCH_FIT_H_
