// The margin and yield fits against the fits by cost, each by its own
// measure, and the yield fit's pick on boards it has never seen.
#include <gtest/gtest.h>

#include <cmath>

#include "parts/fit.h"
#include "tolerance/monte_carlo.h"

namespace rfsplitter {
namespace {

constexpr int kBoards = 2048;

PartsChoice E12E24(FitMethod method) {
  PartsChoice choice;
  choice.inductors = PartSeries::Standard("E12");
  choice.capacitors = PartSeries::Standard("E24");
  choice.resistors = PartSeries::Standard("E24");
  choice.method = method;
  return choice;
}

MonteCarloSettings Boards(uint64_t seed) {
  MonteCarloSettings s;
  s.inductor = {0.05, true};
  s.capacitor = {0.02, true};
  s.resistor = {0.01, true};
  s.seed = seed;
  s.threads = 1;
  return s;
}

// A fifth of the usual search: enough to show each property, quick under
// the sanitizers.
FitGoal YieldGoal(const MonteCarloSettings& boards) {
  FitGoal goal;
  goal.effort = 0.2;
  goal.boards = kBoards;
  goal.boards_passing = [boards](const Netlist& n, const FitGoal::BoardGate& gate) {
    return BoardsPassing(n, boards, kBoards, gate);
  };
  return goal;
}

struct Case {
  Topology topology;
  float frequency_mhz;
};
constexpr Case kCases[] = {{Topology::kNarrowSplitter, 433.92f},
                           {Topology::kNarrowQuad, 915},
                           {Topology::kWideQuad, 433.92f}};

TEST(SearchFits, NeverWorseThanTheFitsByCostByTheirOwnMeasure) {
  const MonteCarloSettings boards = Boards(99);
  for (const Case& c : kCases) {
    const Design design = ComputeDesign(c.topology, {c.frequency_mhz, 50});
    const PartModels q40 = QualityFactors(40);
    const std::string what(TextsOf(c.topology).file_stem);
    FitGoal quick;
    quick.effort = 0.2;
    const double margin = WorstMargin(
        FitParts(design, E12E24(FitMethod::kMargin), q40, quick).netlist, Limits{}, 0);
    const int passing =
        BoardsPassing(FitParts(design, E12E24(FitMethod::kYield), q40, YieldGoal(boards)).netlist,
                      boards, kBoards);
    for (const FitMethod m : {FitMethod::kNearest, FitMethod::kRetune, FitMethod::kBest}) {
      const Netlist by_cost = FitParts(design, E12E24(m), q40).netlist;
      EXPECT_GE(margin, WorstMargin(by_cost, Limits{}, 0)) << what << " " << FitName(m);
      EXPECT_GE(passing, BoardsPassing(by_cost, boards, kBoards)) << what << " " << FitName(m);
    }
  }
}

// The pick holds on a fresh sample: what it gains over best is no
// artefact of the boards it was chosen on.
TEST(SearchFits, TheYieldPickHoldsOnBoardsItHasNeverSeen) {
  const Design design = ComputeDesign(Topology::kWideQuad, {915, 50});
  const PartModels q40 = QualityFactors(40);
  const MonteCarloSettings search = Boards(99);
  const Netlist picked = FitParts(design, E12E24(FitMethod::kYield), q40, YieldGoal(search)).netlist;
  const double on_search = double(BoardsPassing(picked, search, kBoards)) / kBoards;
  constexpr int kFresh = 10000;
  MonteCarloSettings fresh = Boards(1);
  const double on_fresh = double(BoardsPassing(picked, fresh, kFresh)) / kFresh;
  const double sigma = std::sqrt(on_search * (1 - on_search) / kBoards +
                                 on_fresh * (1 - on_fresh) / kFresh);
  EXPECT_NEAR(on_fresh, on_search, 4 * sigma);
  const Netlist best = FitParts(design, E12E24(FitMethod::kBest), q40).netlist;
  EXPECT_GT(on_fresh, double(BoardsPassing(best, fresh, kFresh)) / kFresh + 0.2);
}

// A sparse parts file: its good circuits lie far from each part's target,
// beyond the steps a dense series needs; the search reaches them, and a
// file never does worse than a subset of its own values.
TEST(SearchFits, ASparseFileReachesItsGoodCircuits) {
  const Design design = ComputeDesign(Topology::kWideQuad, {433.92f, 50});
  const auto fit = [&](std::vector<double> inductors, std::vector<double> capacitors) {
    PartsChoice sparse;
    sparse.inductors = PartSeries::FromValues("l.txt", std::move(inductors));
    sparse.capacitors = PartSeries::FromValues("c.txt", std::move(capacitors));
    sparse.method = FitMethod::kYield;
    FitGoal goal = YieldGoal(Boards(99));
    goal.effort = 0.5;
    return FitParts(design, sparse, QualityFactors(40), goal).netlist;
  };
  constexpr int kFresh = 10000;
  const auto fresh = [&](const Netlist& n) {
    return 100.0 * BoardsPassing(n, Boards(1), kFresh) / kFresh;
  };
  const double whole =
      fresh(fit({10e-9, 18e-9, 22e-9, 33e-9, 39e-9}, {9.1e-12, 11e-12, 20e-12, 22e-12}));
  EXPECT_GT(whole, 80);
  EXPECT_GE(whole + 2, fresh(fit({10e-9, 18e-9, 39e-9}, {9.1e-12, 20e-12, 22e-12})));
}

// Pairs: two inductors in series or two capacitors in parallel, whose sum
// stays within the part's reach; ties keep a quantity's parts equal.
TEST(SearchFits, PairsAndTiedValues) {
  const Design design = ComputeDesign(Topology::kNarrowQuad, {433.92f, 50});
  const Netlist ideal = IdealNetlist(design);
  PartsChoice pairs = E12E24(FitMethod::kYield);
  pairs.pairs = true;
  MonteCarloSettings boards = Boards(99);
  boards.pair_room = true;
  const Netlist built = FitParts(design, pairs, QualityFactors(40), YieldGoal(boards)).netlist;
  int paired = 0;
  for (size_t i = 0; i < built.elements.size(); ++i) {
    const NetlistElement& e = built.elements[i];
    if (!e.second) continue;
    ++paired;
    EXPECT_GE(e.value, e.second->value) << e.name;  // the larger part first
    // Within the reach of its target: parts may make up for one another.
    EXPECT_GT(e.Combined() / ideal.elements[i].value, 1 / 2.5) << e.name;
    EXPECT_LT(e.Combined() / ideal.elements[i].value, 2.5) << e.name;
  }
  EXPECT_GT(paired, 0);

  PartsChoice tied = E12E24(FitMethod::kMargin);
  tied.tie_equal_values = true;
  FitGoal quick;
  quick.effort = 0.2;
  const Netlist same = FitParts(design, tied, QualityFactors(40), quick).netlist;
  for (const NetlistElement& a : same.elements) {
    for (const NetlistElement& b : same.elements) {
      if (a.quantity == b.quantity) {
        EXPECT_EQ(a.value, b.value) << a.name << " " << b.name;
      }
    }
  }
}

}  // namespace
}  // namespace rfsplitter
