// Complex division without the library's careful (and slow) guard against
// overflow and underflow (__divdc3): the inner loops of the analysis and the
// Monte Carlo cannot afford it, and impedances and admittances of parts stay
// far from the doubles' range.
#ifndef RFSPLITTER_ENGINE_FAST_COMPLEX_H_
#define RFSPLITTER_ENGINE_FAST_COMPLEX_H_

#include <complex>

namespace rfsplitter {

// 1 / z, with one real division, not two.
inline std::complex<double> Reciprocal(std::complex<double> z) {
  const double inverse_norm = 1 / (z.real() * z.real() + z.imag() * z.imag());
  return {z.real() * inverse_norm, -z.imag() * inverse_norm};
}

// a / b.
inline std::complex<double> Divided(std::complex<double> a, std::complex<double> b) {
  return a * std::conj(b) / std::norm(b);
}

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_FAST_COMPLEX_H_
