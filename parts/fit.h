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
//
// A kind without a series keeps its ideal values.
#ifndef RFSPLITTER_PARTS_FIT_H_
#define RFSPLITTER_PARTS_FIT_H_

#include <optional>
#include <string>
#include <vector>

#include "engine/design.h"
#include "engine/netlist.h"
#include "engine/part_model.h"
#include "parts/series.h"

namespace rfsplitter {

enum class FitMethod { kNearest, kRetune, kBest };
std::string_view FitName(FitMethod method);  // "nearest", "retune", "best"

struct PartsChoice {
  std::optional<PartSeries> inductors, capacitors, resistors;
  FitMethod method = FitMethod::kBest;

  bool AnyParts() const { return inductors || capacitors || resistors; }
  const PartSeries* SeriesFor(ElementKind kind) const;
  std::optional<PartSeries>& Slot(ElementKind kind);
};

struct QuantityChoice {
  std::string_view quantity;  // "Lt"
  ElementKind kind;
  double ideal;
  double chosen;
  double target = 0;  // the effective value the part must have at f0
};

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

// The largest, over f0 x 0.95, f0 and f0 x 1.05, of the Frobenius norm of
// S_built(f) - S_ideal(f); infinite when either cannot be analysed.
double FitCost(const Netlist& ideal, const Netlist& built);

// The capacitor values that make every arm a quarter-wave equivalent at the
// design frequency with the inductor values given, by quantity.
std::vector<QuantityChoice> Retuned(const Netlist& ideal, std::vector<QuantityChoice> values);

BuiltCircuit FitParts(const Design& design, const PartsChoice& choice, const PartModels& models);

// The model a part of `value` gets: its value's own, else its kind's.
const KindModel& ModelFor(ElementKind kind, double value, const PartsChoice& choice,
                          const PartModels& models);

}  // namespace rfsplitter

#endif  // RFSPLITTER_PARTS_FIT_H_
