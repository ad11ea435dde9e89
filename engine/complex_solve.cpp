#include "engine/complex_solve.h"

#include <cmath>
#include <utility>

namespace rfsplitter {

bool SolveComplex(std::vector<std::complex<double>>& a, std::vector<std::complex<double>>& b, int n,
                  int columns) {
  for (int c = 0; c < n; ++c) {
    int pivot = c;
    for (int r = c + 1; r < n; ++r)
      if (std::abs(a[size_t(r * n + c)]) > std::abs(a[size_t(pivot * n + c)])) pivot = r;
    if (!(std::abs(a[size_t(pivot * n + c)]) > 1e-300)) return false;
    if (pivot != c) {
      for (int k = 0; k < n; ++k) std::swap(a[size_t(c * n + k)], a[size_t(pivot * n + k)]);
      for (int k = 0; k < columns; ++k)
        std::swap(b[size_t(c * columns + k)], b[size_t(pivot * columns + k)]);
    }
    const std::complex<double> inv = 1.0 / a[size_t(c * n + c)];
    for (int r = 0; r < n; ++r) {
      if (r == c) continue;
      const std::complex<double> factor = a[size_t(r * n + c)] * inv;
      if (factor == 0.0) continue;
      for (int k = c; k < n; ++k) a[size_t(r * n + k)] -= factor * a[size_t(c * n + k)];
      for (int k = 0; k < columns; ++k)
        b[size_t(r * columns + k)] -= factor * b[size_t(c * columns + k)];
    }
  }
  for (int r = 0; r < n; ++r) {
    const std::complex<double> inv = 1.0 / a[size_t(r * n + r)];
    for (int k = 0; k < columns; ++k) b[size_t(r * columns + k)] *= inv;
  }
  return true;
}

}  // namespace rfsplitter
