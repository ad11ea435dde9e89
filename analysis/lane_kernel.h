// The node solve for eight frequencies at once, one per vector lane.
//
// Plain data only: the kernel is compiled once for each instruction set it
// may run on (SSE2, AVX2, AVX-512) and the fastest the processor has is
// chosen at run time. Everything those files compile must stay out of the
// shared headers, or the linker could pick a copy built for instructions the
// processor lacks; hence no standard headers here.
#ifndef RFSPLITTER_ANALYSIS_LANE_KERNEL_H_
#define RFSPLITTER_ANALYSIS_LANE_KERNEL_H_

namespace rfsplitter::lanes {

inline constexpr int kLanes = 8;
// A four-way splitter has five ports.
inline constexpr int kMaxPorts = 5;

// One element between two matrix rows (-1: ground), with a value for each
// lane. `kind` follows ElementKind: 0 inductor, 1 capacitor, 2 resistor; or
// kAdmittance, a part whose admittance the caller worked out for each lane
// (its conductance in `value`, its susceptance in `loss`).
struct Branch {
  int a, b;
  int kind;
  // Which of the lanes have a loss: kSomeLossless | kSomeLossy, so that the
  // solve computes only the admittance formulas in use.
  int losses;
  double value[kLanes];
  double inverse[kLanes];  // 1 / value
  double loss[kLanes];     // series resistance
};

inline constexpr int kAdmittance = 3;
inline constexpr int kSomeLossless = 1;
inline constexpr int kSomeLossy = 2;

struct Circuit {
  const Branch* branches;
  int branch_count;
  int nodes;  // inner nodes first, then the ports
  int ports;
  double g0;  // 1 / Z0
};

// S(to, from) of lane w sits at [(to - 1) * kMaxPorts + from - 1][w].
struct LaneS {
  static constexpr int At(int to, int from) { return (to - 1) * kMaxPorts + from - 1; }
  double re[kMaxPorts * kMaxPorts][kLanes];
  double im[kMaxPorts * kMaxPorts][kLanes];
};

// Solves the lanes' circuits at their angular frequencies `omega` for the
// first `columns` columns of S (2, or the port count for all). Returns a bit
// for each lane the kernel did not finish: a singular one, one with a
// result that is not finite, or all of them for a circuit size it was not
// built for. Those lanes go to the scalar solve, which says why; the
// finished lanes are bit for bit what the scalar solve gives.
using SolveFunction = unsigned (*)(const Circuit& circuit, const double* omega, int columns,
                                   LaneS& s);

unsigned SolveGeneric(const Circuit& circuit, const double* omega, int columns, LaneS& s);
unsigned SolveAvx2(const Circuit& circuit, const double* omega, int columns, LaneS& s);
unsigned SolveAvx512(const Circuit& circuit, const double* omega, int columns, LaneS& s);

// The fastest variant this processor runs.
SolveFunction BestSolve();
// The name of the variant BestSolve picks: "avx512", "avx2" or "generic".
const char* BestSolveName();

}  // namespace rfsplitter::lanes

#endif  // RFSPLITTER_ANALYSIS_LANE_KERNEL_H_
