// Response analysis of a designed circuit: its complex S-parameters at any
// frequency, by nodal analysis of the ideal inductors, capacitors and
// resistors of the topology's circuit table.
//
// The device's ports are the nodes 1..N of the table (3 for the splitter, 4
// for the hybrids), each referred to the design impedance Z0. The resistor
// that terminates port 4 in the simulation file is simulator set-up, not part
// of the device, and is left out.
#ifndef RFSPLITTER_ANALYSIS_S_PARAMETERS_H_
#define RFSPLITTER_ANALYSIS_S_PARAMETERS_H_

#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "engine/design.h"

namespace rfsplitter {

using Complex = std::complex<double>;

// An N x N scattering matrix; ports count from 1 as in the netlist.
class SMatrix {
 public:
  explicit SMatrix(int ports) : ports_(ports), s_(size_t(ports) * size_t(ports)) {}
  int ports() const { return ports_; }
  Complex& operator()(int to, int from) { return s_[Index(to, from)]; }
  Complex operator()(int to, int from) const { return s_[Index(to, from)]; }

 private:
  size_t Index(int to, int from) const {
    return size_t(to - 1) * size_t(ports_) + size_t(from - 1);
  }
  int ports_;
  std::vector<Complex> s_;
};

struct SResult {
  std::optional<SMatrix> s;  // empty when the analysis failed
  std::string error;         // why, when it failed
};

// The S-parameters of the design's device at `frequency_hz` (> 0).
SResult AnalyzeDesign(const Design& design, double frequency_hz);

// The simulation file's sweep: 200 logarithmically spaced points from 0.1 to
// 1.9 times the design frequency, both ends included exactly.
std::vector<double> SweepFrequencies(double design_frequency_hz);

inline constexpr int kSweepPoints = 200;

double MagnitudeDb(Complex value);
double PhaseDegrees(Complex value);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ANALYSIS_S_PARAMETERS_H_
