// Which part of a built board is off: the board's circuit fitted to its
// measurement, every part's value (its model kept), each port's reference
// plane and a pad capacitance common to every node, by weighted least
// squares over the measured points; then the smallest change of parts, in
// their series, that brings the fitted board within the limits.
#ifndef RFSPLITTER_MEASURE_DIAGNOSIS_H_
#define RFSPLITTER_MEASURE_DIAGNOSIS_H_

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "engine/netlist.h"
#include "measure/measurement.h"
#include "parts/fit.h"

namespace rfsplitter {

struct DiagnosisSettings {
  // Each port's plane as the user knows it (seconds of matched line); empty:
  // the fit finds them.
  std::vector<double> port_delays_s;
  bool fit_pad = true;
};

struct Suspect {
  std::string part;  // "L2"
  double built = 0;  // the value the board was built with
  double fitted = 0;
  double change_percent = 0;
  double uncertainty_percent = 0;  // one standard deviation
  double evidence = 0;             // |change| over its uncertainty, on a log scale
};

struct Diagnosis {
  std::vector<Suspect> suspects;  // the most likely first
  // Parts the measurement cannot tell apart (their fitted changes move
  // together); each group's parts in circuit order.
  std::vector<std::vector<std::string>> groups;
  std::vector<double> port_delays_s;
  double pad_capacitance_f = 0;  // added at every node
  double residual_db = 0;        // RMS of |S fitted - S measured|, dB
  double start_residual_db = 0;  // the same for the board as built
  int iterations = 0;
  bool converged = false;
  size_t points = 0;  // the frequencies fitted over
  // The board as fitted: values, pads; its planes are the board's own.
  Netlist fitted;
};

// Nothing, with `error` set, when the circuit cannot be fitted at all (no
// point where every part has an answer, a singular node matrix).
std::optional<Diagnosis> Diagnose(const Netlist& built, const Measurement& measurement,
                                  const DiagnosisSettings& settings, std::string& error);

struct RepairStep {
  std::string part;
  double from = 0, to = 0;  // the part's value on the board, and its repair
};

struct Repair {
  bool needed = false;  // the fitted board misses a limit
  bool found = false;
  std::vector<RepairStep> steps;
  // The fitted board with the repair: what it is predicted to do.
  Netlist repaired;
};

// The smallest change in parts of their series (a kind without one: E24)
// that brings the fitted board within `limits` at every one of
// `check_frequencies_hz`: one part if one will do, the most likely suspect
// first, at the value nearest to what it was built with; else two; a part keeps its fitted
// deviation from its value, which is the board's and not the part's. Checked by a solve of the
// fitted board with the change.
Repair FindRepair(const Netlist& built, const Diagnosis& diagnosis, const PartsChoice& parts,
                  const Limits& limits, std::span<const double> check_frequencies_hz);

}  // namespace rfsplitter

#endif  // RFSPLITTER_MEASURE_DIAGNOSIS_H_
