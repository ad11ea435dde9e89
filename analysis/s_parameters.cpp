#include "analysis/s_parameters.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "engine/topologies.h"

namespace rfsplitter {
namespace {

using Matrix = std::vector<std::vector<Complex>>;

// Solves A x = b for every column of b by Gaussian elimination with partial
// pivoting. Returns false for a singular matrix.
bool Solve(Matrix a, Matrix& b) {
  const size_t n = a.size();
  for (size_t col = 0; col < n; ++col) {
    size_t pivot = col;
    for (size_t row = col + 1; row < n; ++row) {
      if (std::abs(a[row][col]) > std::abs(a[pivot][col])) pivot = row;
    }
    if (!(std::abs(a[pivot][col]) > 0)) return false;
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (size_t row = col + 1; row < n; ++row) {
      const Complex factor = a[row][col] / a[col][col];
      if (factor == Complex(0)) continue;
      for (size_t k = col; k < n; ++k) a[row][k] -= factor * a[col][k];
      for (size_t k = 0; k < b[row].size(); ++k) b[row][k] -= factor * b[col][k];
    }
  }
  for (size_t col = n; col-- > 0;) {
    for (size_t k = 0; k < b[col].size(); ++k) {
      Complex sum = b[col][k];
      for (size_t j = col + 1; j < n; ++j) sum -= a[col][j] * b[j][k];
      b[col][k] = sum / a[col][col];
    }
  }
  return true;
}

}  // namespace

SResult AnalyzeDesign(const Design& design, double frequency_hz) {
  if (!(frequency_hz > 0) || !std::isfinite(frequency_hz)) {
    return {std::nullopt, "the analysis frequency must be a positive number"};
  }
  const Circuit& circuit = CircuitOf(design.topology);
  const double z0 = design.inputs.impedance_ohms;
  const double omega = 2 * std::numbers::pi * frequency_hz;
  const int ports = circuit.device_ports;

  // Ports take the first rows, in order; inner nodes follow.
  std::map<int, size_t> row_of;
  for (int port = 1; port <= ports; ++port) row_of[port] = size_t(port - 1);
  std::vector<CircuitElement> elements(circuit.reactive_elements.begin(),
                                       circuit.reactive_elements.end());
  if (!circuit.resistor.port_termination) elements.push_back(circuit.resistor);
  for (const CircuitElement& e : elements) {
    for (int node : {e.node_a, e.node_b}) {
      if (node != 0 && !row_of.contains(node)) row_of[node] = row_of.size();
    }
  }

  const size_t n = row_of.size();
  Matrix y(n, std::vector<Complex>(n));
  const auto stamp = [&](int a, int b, Complex admittance) {
    if (a != 0) y[row_of[a]][row_of[a]] += admittance;
    if (b != 0) y[row_of[b]][row_of[b]] += admittance;
    if (a != 0 && b != 0) {
      y[row_of[a]][row_of[b]] -= admittance;
      y[row_of[b]][row_of[a]] -= admittance;
    }
  };
  for (const CircuitElement& e : elements) {
    const double value = design.Quantity(e.quantity).value;
    switch (e.kind) {
      case ElementKind::kInductor:
        stamp(e.node_a, e.node_b, 1.0 / Complex(0, omega * value));
        break;
      case ElementKind::kCapacitor:
        stamp(e.node_a, e.node_b, Complex(0, omega * value));
        break;
      case ElementKind::kResistor:
        stamp(e.node_a, e.node_b, 1.0 / value);
        break;
    }
  }
  // Every port is terminated in Z0. Port k is driven by a source of EMF 1
  // behind Z0, a Norton current 1/Z0; then b_j / a_k = 2 V_j - delta_jk.
  Matrix rhs(n, std::vector<Complex>(size_t(ports)));
  for (int port = 0; port < ports; ++port) {
    y[size_t(port)][size_t(port)] += 1.0 / z0;
    rhs[size_t(port)][size_t(port)] = 1.0 / z0;
  }
  if (!Solve(y, rhs)) {
    return {std::nullopt, "the circuit's node matrix is singular at this frequency"};
  }
  SMatrix s(ports);
  for (int to = 1; to <= ports; ++to) {
    for (int from = 1; from <= ports; ++from) {
      const Complex value = 2.0 * rhs[size_t(to - 1)][size_t(from - 1)] - (to == from ? 1.0 : 0.0);
      if (!std::isfinite(value.real()) || !std::isfinite(value.imag())) {
        return {std::nullopt, "the circuit's node matrix is singular at this frequency"};
      }
      s(to, from) = value;
    }
  }
  return {std::move(s), {}};
}

std::vector<double> SweepFrequencies(double design_frequency_hz) {
  const double lo = 0.1 * design_frequency_hz;
  const double hi = 1.9 * design_frequency_hz;
  std::vector<double> frequencies(kSweepPoints);
  for (int i = 0; i < kSweepPoints; ++i) {
    frequencies[size_t(i)] = lo * std::pow(hi / lo, double(i) / (kSweepPoints - 1));
  }
  frequencies.front() = lo;
  frequencies.back() = hi;
  return frequencies;
}

double MagnitudeDb(Complex value) { return 20 * std::log10(std::abs(value)); }
double PhaseDegrees(Complex value) { return std::arg(value) * 180 / std::numbers::pi; }

}  // namespace rfsplitter
