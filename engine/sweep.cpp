#include "engine/sweep.h"

#include <cmath>

namespace rfsplitter {

std::vector<double> Sweep::Frequencies() const {
  if (points < 2) return {low_hz};
  std::vector<double> frequencies(static_cast<size_t>(points));
  for (int i = 0; i < points; ++i) {
    const double t = double(i) / (points - 1);
    frequencies[size_t(i)] = logarithmic ? low_hz * std::pow(high_hz / low_hz, t)
                                         : low_hz + (high_hz - low_hz) * t;
  }
  frequencies.front() = low_hz;
  frequencies.back() = high_hz;
  return frequencies;
}

Sweep FileSweep(double design_frequency_hz) {
  return {0.1 * design_frequency_hz, 1.9 * design_frequency_hz, kFileSweepPoints, true};
}

}  // namespace rfsplitter
