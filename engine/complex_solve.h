// Small dense complex systems: a Touchstone file's change of reference and
// the diagnosis's node matrices, a few rows each.
#ifndef RFSPLITTER_ENGINE_COMPLEX_SOLVE_H_
#define RFSPLITTER_ENGINE_COMPLEX_SOLVE_H_

#include <complex>
#include <vector>

namespace rfsplitter {

// Solves A X = B in place (A n x n, B n x columns, both row-major; X left in
// B) by elimination with partial pivoting; false when A is singular.
bool SolveComplex(std::vector<std::complex<double>>& a, std::vector<std::complex<double>>& b, int n,
                  int columns);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_COMPLEX_SOLVE_H_
