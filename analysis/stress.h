// What each part of a circuit takes when power flows through it: its peak
// voltage, RMS current and dissipation at the design frequency, for the
// ways a splitter or hybrid is driven on a board (into matched outputs,
// into mismatched ones at their worst phase, and as a combiner with two
// inputs at their worst relative phase).
//
// A node solve with the port terminations and their sources in the node
// matrix: port k is a source of open-circuit voltage E_k behind its load
// Z_k, which injects E_k / Z_k into node k. A source of available power P
// into Z0 has E = 2 sqrt(2 P Z0) (peak). Figures are peak phasors: a part's
// voltage |V_a - V_b|, its current V / Z (its model's impedance), its
// dissipation Re(V conj(I)) / 2.
#ifndef RFSPLITTER_ANALYSIS_STRESS_H_
#define RFSPLITTER_ANALYSIS_STRESS_H_

#include <complex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/netlist.h"

namespace rfsplitter {

// One port's termination: its load's reflection against Z0 and, when it is
// driven, the power its source makes available and the source's phase.
struct PortDrive {
  std::complex<double> reflection = 0;
  double power_w = 0;
  double phase_deg = 0;
};

struct PartStress {
  std::string name;  // "L1", as in the netlist
  double v_peak = 0, i_rms = 0, p_diss_w = 0;
};

struct Excited {
  std::vector<PartStress> parts;     // the netlist's parts in order, no pads
  std::vector<double> port_power_w;  // what each port's load takes, port 1 first
};

// The circuit with its ports so terminated (`drives[k]` for port k + 1;
// ports beyond the list matched and not driven) at `frequency_hz`; nothing
// when the node matrix is singular or a part has no impedance there.
std::optional<Excited> Excite(const Netlist& circuit, const std::vector<PortDrive>& drives,
                              double frequency_hz);

struct StressSettings {
  double power_w = 1;  // what each driven port's source makes available
  double vswr = 2;     // the worst output mismatch
};

// One way of driving the board, each figure at its own worst phase.
struct StressScenario {
  std::string key;          // "driven", "mismatched", "combined"
  std::string description;  // "port 1 driven, outputs matched"
  std::vector<PartStress> parts;
  std::vector<double> port_power_w;  // the most each port's load takes
};

// "1W", "500 mW", "30dBm" or a plain number of watts, from 1 uW to 1 kW;
// nothing, with `why` set ("is outside 1 uW to 1 kW (-30 to 60 dBm)"), for
// any other text.
std::optional<double> PowerWatts(std::string_view text, std::string& why);

// The circuit's outputs and ports: a splitter's 2 and 3, a hybrid's 2 and 3
// (its port 4 is the isolated port, matched on the board).
std::vector<StressScenario> StressScenarios(const Netlist& circuit, const StressSettings& settings,
                                            std::string& error);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ANALYSIS_STRESS_H_
