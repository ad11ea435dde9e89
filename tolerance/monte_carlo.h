// Tolerances and yield: how many boards built from these parts meet the
// limits, how their response spreads, and which part's tolerance matters
// most.
//
// Each board draws every physical part independently around its nominal
// value (the splitter's L1 and L2 are two parts, and so are the two of a
// pair), uniformly within +-T or
// normally with sigma = T/3 clipped at +-T; each part keeps its model
// (part_model.h), whose losses from a Q follow the drawn value. Pads are no
// parts and do not vary. A board passes when, at the design frequency (or at 21 evenly
// spaced points of a band around it), every limit of analysis/limits.h
// holds.
//
// Every board has its own counter-based random stream (the seed and the
// board's number), so the result of a seed is the same on every run and for
// any number of threads.
#ifndef RFSPLITTER_TOLERANCE_MONTE_CARLO_H_
#define RFSPLITTER_TOLERANCE_MONTE_CARLO_H_

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/limits.h"
#include "analysis/s_parameters.h"
#include "engine/netlist.h"
#include "engine/part_model.h"
#include "engine/run_control.h"

namespace rfsplitter {

struct Tolerance {
  double value = 0;      // a fraction of the part's value, or an absolute amount
  bool relative = true;  // "5%" is relative 0.05; "0.1p" absolute 1e-13
  double For(double nominal) const { return relative ? value * nominal : value; }
  // What a part of `kind` at `nominal` may stray by. A capacitor's relative
  // grade is sold down to an absolute floor (C0G parts below a few pF come
  // as +-0.05 pF at best): a 0.2 pF part of a pair is +-0.05 pF, not
  // +-2 % of it.
  // A parts file may give a part a floor of its own (`floor`, 0: none).
  double Amount(ElementKind kind, double nominal, double floor = 0) const {
    const double amount = For(nominal);
    if (kind != ElementKind::kCapacitor || !relative || value == 0) return amount;
    return std::max(amount, floor > 0 ? floor : kCapacitorFloorF);
  }
  static constexpr double kCapacitorFloorF = 0.05e-12;
  bool operator==(const Tolerance&) const = default;
};

// "5%", "0.5 %", "1e2%", or for inductors and capacitors an absolute value
// with a prefix ("0.1p", "0.2nH"); "0" is none. Negative values, more than
// 100 %, and an absolute value for a resistor are refused with `error` set.
std::optional<Tolerance> ParseTolerance(std::string_view text, ElementKind kind,
                                        std::string& error);
std::string ToleranceText(const Tolerance& tolerance, ElementKind kind);  // "5 %", "0.1 pF"

enum class Distribution { kUniform, kNormal };
std::string_view DistributionName(Distribution distribution);

struct MonteCarloSettings {
  int samples = 1000;
  uint64_t seed = 1;
  Distribution distribution = Distribution::kUniform;
  Tolerance inductor, capacitor, resistor;
  // Every part's parasitics (its capacitance across or ESL, a capacitor's
  // constant ESR) and every pad drawn within +-this fraction of their
  // figures; 0: as modelled.
  double parasitic_tolerance = 0;
  Limits limits;
  double band_percent = 0;  // checks at 21 points across f0 (1 -+ band/200) too
  int threads = 0;          // 0: every core
  // How many boards each part's solo run, and the tighter-grade run, sample
  // at most; each gets an equal share of the main run's boards below that.
  int sensitivity_samples = 10000;
  // The 5 % to 95 % spread over the file's sweep, for the plots, from at
  // most this many boards (0: none).
  int spread_samples = 0;
  // Every element takes a pair's room in a board's random stream, so that
  // circuits with and without pairs draw their parts alike (the fits that
  // may choose pairs compare such circuits).
  bool pair_room = false;
  // The two parts of a pair drawn alike, as from one reel, instead of each
  // on its own.
  bool pairs_alike = false;

  const Tolerance& ToleranceOf(ElementKind kind) const;
};

struct Percentiles {
  double p5 = 0, p50 = 0, p95 = 0;
};

struct MonteCarloResult {
  int samples = 0;
  uint64_t seed = 0;
  Distribution distribution = Distribution::kUniform;
  int passed = 0;
  bool nominal_passes = false;  // the circuit at its nominal values
  double yield_percent = 0;
  double ci95_low = 0, ci95_high = 0;  // Wilson interval, percent
  // s11_db, s32_db, s41_db (hybrids), imbalance_db, phase_error_deg,
  // insertion_loss_db at the design frequency, in that order.
  std::vector<std::pair<std::string, Percentiles>> percentiles;
  // How the boards spread in each of those figures: equal bins from the
  // least to the largest value found; the boards without an answer left out.
  struct Histogram {
    double low = 0, high = 0;
    std::vector<int> counts;
  };
  std::vector<Histogram> histograms;  // in the order of `percentiles`
  struct PartYield {
    std::string part;
    double yield_percent_alone = 0;
  };
  std::vector<PartYield> sensitivity;  // the most harmful part first
  int sensitivity_samples = 0;         // boards in each part's solo run
  // The most harmful part with a tolerance, its tolerance one grade tighter,
  // and the yield that would give.
  std::optional<std::string> harmful_part;
  std::optional<Tolerance> tighter;
  ElementKind harmful_kind = ElementKind::kInductor;
  double tighter_yield_percent = 0;
  std::optional<SweepSpread> spread;
  // For a circuit with pairs: the yield with each pair's parts drawn alike
  // (the truth for parts from one reel lies between it and yield_percent).
  std::optional<double> yield_percent_pairs_alike;
  bool stopped = false;  // a stop was requested; the rest is incomplete
};

// `nominal` is the circuit as designed or built (its values the centres).
MonteCarloResult RunMonteCarlo(const Netlist& nominal, const MonteCarloSettings& settings,
                               const RunControl* control = nullptr);

// How many of `samples` boards pass, and nothing else: for a search that
// compares circuits on the same boards (the seed's).
int BoardsPassing(const Netlist& nominal, const MonteCarloSettings& settings, int samples);
// The same in batches of kPassBatch boards: after each but the last,
// `go_on(boards so far, passed so far)` says whether to go on; nothing when
// it says no.
inline constexpr int kPassBatch = 128;
std::optional<int> BoardsPassing(const Netlist& nominal, const MonteCarloSettings& settings,
                                 int samples, const std::function<bool(int, int)>& go_on);

// The Wilson score interval of `passed` out of `samples` at 95 %, in percent.
std::pair<double, double> WilsonInterval(int passed, int samples);

}  // namespace rfsplitter

#endif  // RFSPLITTER_TOLERANCE_MONTE_CARLO_H_
