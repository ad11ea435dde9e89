// How a real part differs from its ideal element: its losses. Every place
// that builds a circuit from parts (the fits, each Monte Carlo board, the
// exports) computes them here, so all agree.
//
// An inductor or capacitor gets a fixed series resistance computed at the
// design frequency w0: w0 L / Q for an inductor, 1 / (w0 C Q) for a
// capacitor, so that Q is exact at f0. A resistor keeps no loss of its own.
#ifndef RFSPLITTER_ENGINE_PART_MODEL_H_
#define RFSPLITTER_ENGINE_PART_MODEL_H_

#include "engine/netlist.h"

namespace rfsplitter {

struct PartLosses {
  double q_inductor = 0;  // 0: lossless
  double q_capacitor = 0;

  bool Any() const { return q_inductor > 0 || q_capacitor > 0; }
  bool operator==(const PartLosses&) const = default;
};

// The series resistance of a part of `kind` and `value` at angular
// frequency `w0`. Inline: each Monte Carlo board asks it for every part.
inline double SeriesLossOhms(ElementKind kind, double value, double w0, const PartLosses& losses) {
  if (kind == ElementKind::kInductor && losses.q_inductor > 0) {
    return w0 * value / losses.q_inductor;
  }
  if (kind == ElementKind::kCapacitor && losses.q_capacitor > 0) {
    return 1 / (w0 * value * losses.q_capacitor);
  }
  return 0;
}

// Every element of `netlist` gets its loss at the netlist's design frequency.
void ApplyLosses(Netlist& netlist, const PartLosses& losses);

// 100 (chosen - ideal) / ideal: how far a part strays from its ideal value.
double ErrorPercent(double chosen, double ideal);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_PART_MODEL_H_
