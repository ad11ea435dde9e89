// A frequency sweep as one object: its range, its number of points and
// their spacing. The simulation file's sweep, the analysis over it, the
// Touchstone and ngspice exports and the plots all take their frequencies
// from here, so they always agree.
#ifndef RFSPLITTER_ENGINE_SWEEP_H_
#define RFSPLITTER_ENGINE_SWEEP_H_

#include <vector>

namespace rfsplitter {

struct Sweep {
  double low_hz = 0;
  double high_hz = 0;
  int points = 2;
  bool logarithmic = true;

  // The points, both ends included exactly.
  std::vector<double> Frequencies() const;
  bool operator==(const Sweep&) const = default;
};

inline constexpr int kFileSweepPoints = 200;

// The simulation file's sweep: 200 logarithmically spaced points from 0.1 to
// 1.9 times the design frequency (both double products, as the file writes
// them).
Sweep FileSweep(double design_frequency_hz);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_SWEEP_H_
