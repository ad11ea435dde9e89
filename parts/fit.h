// Building the circuit from real parts: every distinct quantity of the
// circuit (parts that share one, like the splitter's L1 and L2, stay equal)
// gets one purchasable value, and the parts their models (part_model.h).
//
// With a model that makes a part act as more or less than its nominal value
// (an inductor's self-resonance, a capacitor's ESL, the pads), each
// quantity's target is the effective value at the design frequency that the
// ideal element has (a shunt less the pad beside it), and its nominal value
// the one whose effective value meets that target; every fit below works on
// these nominal values (a parts file whose values carry their own models, on
// the effective values of its parts).
//
//   nearest  each quantity to the nearest value of its series (log scale).
//   retune   inductors to their nearest value; each capacitor recomputed so
//            that every arm is again a quarter-wave equivalent at the design
//            frequency with its snapped inductor (a shunt of 1 / (w0^2 L) at
//            each end of an arm, shunts meeting at a node adding up), then
//            snapped.
//   best     the combination, over each inductor's two neighbours, each
//            capacitor's neighbours of its ideal and of its retuned value and
//            the resistor's two neighbours, with the least cost (FitCost).
//   margin   the parts whose circuit, at its nominal values, has the largest
//            worst margin to the limits (analysis/limits.h) at f0 and across
//            a yield band: each margin over its limit (15 dB, 0.5 dB, 5
//            degrees), the smallest of them counting. The insertion phase
//            common to the outputs never counts.
//   yield    the parts whose boards pass most often (FitGoal), ties going to
//            the larger margin.
//
// nearest, retune and best give every part of a quantity the same part.
// margin and yield choose each part on its own unless asked to tie equal
// values, and with pairs allowed an inductor may be two of its series in
// series and a capacitor two in parallel. They search: from the better of
// nearest and best, and for yield from circuits found by annealing the
// nominal margin over each part's reach (as many of its series' values either side
// of its target as lie within a factor of 2.5, at most four a side: a few
// steps of a dense series, every value of a sparse list that could serve),
// each part in turn takes whichever of its candidates (its series' values
// either side of its target and of its retuned target, best's value and the
// four closest pairs) scores best, until a round changes nothing. The yield
// fit then searches again from its winner and the annealing's finds, with
// their values among the candidates and, with pairs, the eight pairs whose
// sums come closest to those circuits' values (and to those of a quick
// search of single parts) and spread least.
//
// A kind without a series keeps its ideal values.
#ifndef RFSPLITTER_PARTS_FIT_H_
#define RFSPLITTER_PARTS_FIT_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "engine/design.h"
#include "engine/netlist.h"
#include "engine/part_model.h"
#include "engine/run_control.h"
#include "parts/series.h"

namespace rfsplitter {

enum class FitMethod { kNearest, kRetune, kBest, kMargin, kYield };
// "nearest", "retune", "best", "margin", "yield"
std::string_view FitName(FitMethod method);
std::optional<FitMethod> FitNamed(std::string_view name);

struct PartsChoice {
  std::optional<PartSeries> inductors, capacitors, resistors;
  FitMethod method = FitMethod::kBest;
  // For margin and yield: parts of one quantity share a part.
  bool tie_equal_values = false;
  // For margin and yield: an element may be two parts of its series.
  bool pairs = false;

  bool AnyParts() const { return inductors || capacitors || resistors; }
  const PartSeries* SeriesFor(ElementKind kind) const;
  std::optional<PartSeries>& Slot(ElementKind kind);
};

struct QuantityChoice {
  std::string_view quantity;  // "Lt"
  ElementKind kind;
  double ideal;
  double chosen;
  double target = 0;           // the effective value the part must have at f0
  std::string_view element{};  // one element of the quantity ("L3"); empty: all
  double second = 0;           // a pair's second part; 0: none
};

// What the margin and yield fits serve.
struct FitGoal {
  Limits limits;
  double band_percent = 0;  // the limits hold across f0 (1 -+ band / 200) too
  // The yield fit's measure: how many of a fixed set of `boards` boards
  // built around a circuit pass, the same boards for every circuit, counted
  // in batches; after each but the last the gate (boards so far, passed so
  // far) may stop the count, which then gives nothing.
  using BoardGate = std::function<bool(int, int)>;
  std::function<std::optional<int>(const Netlist&, const BoardGate&)> boards_passing;
  int boards = 0;
  // The worker's control, when the fit runs on one: a stop ends the search
  // early (its result is then of no use), the search's own threads take its
  // priority, and the progress is reported as "fit".
  const RunControl* control = nullptr;
  // The share of the search's usual work to do (a quick look, a test).
  double effort = 1;
  // Parts at or below these are not candidates (an absolute tolerance as
  // large as a part would let it reach zero).
  double least_inductor = 0, least_capacitor = 0;
};

// The smallest margin to the limits at the check frequencies, each margin
// over its limit: 1 is a limit's own size inside it, negative outside;
// -infinity when the circuit cannot be analysed.
double WorstMargin(const Netlist& built, const Limits& limits, double band_percent);

struct BuiltCircuit {
  Netlist netlist;                         // the circuit to be soldered, with its losses
  std::vector<QuantityChoice> quantities;  // in the order the circuit first uses them
  double cost = 0;                         // FitCost against the ideal circuit
};

// The ideal circuit with every element of a quantity at `values`' value and
// each part's model: its value's own from a parts file, else its kind's; with
// a pad capacitance, the pads.
Netlist BuildNetlist(const Netlist& ideal, const std::vector<QuantityChoice>& values,
                     const PartsChoice& choice, const PartModels& models);
// Which of `values` each element of `ideal` takes (-1: none), for a search
// that builds many circuits of one slot order; and the build that uses it.
std::vector<int> ValueOfElements(const Netlist& ideal, const std::vector<QuantityChoice>& values);
Netlist BuildNetlist(const Netlist& ideal, const std::vector<QuantityChoice>& values,
                     const std::vector<int>& value_of_element, const PartsChoice& choice,
                     const PartModels& models);

// The largest, over f0 x 0.95, f0 and f0 x 1.05, of the Frobenius norm of
// S_built(f) - S_ideal(f); infinite when either cannot be analysed.
double FitCost(const Netlist& ideal, const Netlist& built);

// The capacitor values that make every arm a quarter-wave equivalent at the
// design frequency with the inductor values given, by quantity.
std::vector<QuantityChoice> Retuned(const Netlist& ideal, std::vector<QuantityChoice> values);

// Why some element of the design cannot be built: no part its series
// offers (or, compensated, no value of its kind's model) acts as it at the
// design frequency; past its self-resonance, or outside its measurements.
// Nothing when every element can be; the fits then never fall back on a
// value the series lacks.
std::optional<std::string> WhyUnbuildable(const Design& design, const PartsChoice& choice,
                                          const PartModels& models);

BuiltCircuit FitParts(const Design& design, const PartsChoice& choice, const PartModels& models,
                      const FitGoal& goal = {});

// The model a part of `value` gets: its value's own, else its kind's.
const KindModel& ModelFor(ElementKind kind, double value, const PartsChoice& choice,
                          const PartModels& models);

}  // namespace rfsplitter

#endif  // RFSPLITTER_PARTS_FIT_H_
