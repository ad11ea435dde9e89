// What the fits share inside the parts library: each quantity's target, the
// effective value a part acts as, the snapping of values to a series, the
// fits by cost, and the two cores a search runs on. Not for other libraries.
#ifndef RFSPLITTER_PARTS_FIT_SUPPORT_H_
#define RFSPLITTER_PARTS_FIT_SUPPORT_H_

#include <functional>
#include <numbers>
#include <string_view>
#include <vector>

#include "analysis/s_parameters.h"
#include "engine/netlist.h"
#include "engine/part_model.h"
#include "engine/run_control.h"
#include "parts/fit.h"

namespace rfsplitter::fitting {

// The circuit's distinct quantities, a choice each at its ideal value.
std::vector<QuantityChoice> IdealQuantities(const Netlist& ideal);
// Every element of the ideal circuit, a choice of its own.
std::vector<QuantityChoice> IdealElements(const Netlist& ideal);

inline double Omega0(const Netlist& netlist) { return 2 * std::numbers::pi * netlist.frequency_hz; }

// The three frequencies of the cost, with the ideal circuit's matrices there.
struct CostReference {
  explicit CostReference(const Netlist& ideal);
  double Cost(const Netlist& built) const;

  double frequencies[3] = {};
  SMatrix s[3];
  bool valid = true;
};

// Whether a kind's model makes its parts act as more or less than their
// nominal value at the design frequency.
bool Shifts(ElementKind kind, const KindModel& m);

// What a part of `value` acts as at f0: the value itself for a part whose
// model keeps it (so that the fits of parts without parasitics keep their
// numbers to the last bit).
double Effective(ElementKind kind, double value, const KindModel& model, double f0);

// The nominal value a part of a kind needs to act as `target`.
double Needed(ElementKind kind, double target, const PartModels& models, double f0);

// Each quantity's target, the ideal value less the pad beside a shunt, and
// the nominal value that meets it.
void SetTargets(std::vector<QuantityChoice>& values, const PartModels& models, double f0);

// A parts file whose values carry their own models is matched on effective
// values; any other series on the nominal value needed.
struct Snapper {
  const PartsChoice& choice;
  const PartModels& models;
  double f0;

  double EffectiveOf(ElementKind kind, double value) const;
  double Nearest(const QuantityChoice& q) const;
  // The values on either side of the one wanted.
  std::vector<double> Candidates(const QuantityChoice& q) const;
  void Snap(std::vector<QuantityChoice>& values, ElementKind kind) const;
  // The capacitors recomputed for the inductors' effective values.
  std::vector<QuantityChoice> Retuned(const Netlist& ideal,
                                      std::vector<QuantityChoice> values) const;
};

// The nearest, retune and best fits.
BuiltCircuit FitByCost(const Design& design, const PartsChoice& choice, const PartModels& models);

// Runs work(1) on a second thread where there is a core and a thread for it
// (else on this one, first) and work(0) on this one; what the second thread
// throws is thrown again here, not the program's end. The second thread
// takes the control's priority.
void OnTwoCores(const RunControl* control, const std::function<void(int)>& work);

}  // namespace rfsplitter::fitting

#endif  // RFSPLITTER_PARTS_FIT_SUPPORT_H_
