#include "analysis/s_parameters.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace rfsplitter {
namespace {

constexpr char kSingular[] = "the circuit's node matrix is singular at this frequency";

// 1 / z without the library's careful (and slow) complex division; the
// values here are never near overflow.
Complex Reciprocal(Complex z) {
  const double norm = z.real() * z.real() + z.imag() * z.imag();
  return {z.real() / norm, -z.imag() / norm};
}

// |z|^2 without the library's std::norm, which goes through a hypot.
double Norm(Complex z) { return z.real() * z.real() + z.imag() * z.imag(); }

}  // namespace

BoundNetlist::BoundNetlist(const Netlist& netlist) : ports_(netlist.ports), z0_(netlist.z0) {
  // Inner nodes take the first rows and the ports the last ones, in order:
  // after forward elimination, back-substitution then needs only the port
  // rows.
  std::array<int, kMaxNodes> inner{};
  int inner_count = 0;
  const auto is_port = [&](int node) { return node >= 1 && node <= ports_; };
  for (const NetlistElement& e : netlist.elements) {
    for (const int node : {e.node_a, e.node_b}) {
      if (node == 0 || is_port(node)) continue;
      if (std::find(inner.begin(), inner.begin() + inner_count, node) != inner.begin() + inner_count) {
        continue;
      }
      if (inner_count + ports_ == kMaxNodes) throw std::length_error("too many nodes for the analysis");
      inner[size_t(inner_count++)] = node;
    }
  }
  inner_ = inner_count;
  nodes_ = inner_count + ports_;
  const auto row_of = [&](int node) {
    if (node == 0) return -1;
    if (is_port(node)) return inner_count + node - 1;
    return int(std::find(inner.begin(), inner.begin() + inner_count, node) - inner.begin());
  };
  if (netlist.elements.size() > branches_.size()) {
    throw std::length_error("too many elements for the analysis");
  }
  for (const NetlistElement& e : netlist.elements) {
    branches_[size_t(branch_count_++)] = {row_of(e.node_a), row_of(e.node_b), e.kind, e.value,
                                         e.loss_ohms};
  }
}

// The solve, with the matrix size fixed at compile time for the three
// circuits (kN = 0: any size), so that the loops unroll.
template <int kN, int kP>
bool BoundNetlist::Kernel(double omega, SMatrix& s) const {
  const int n = kN ? kN : nodes_;
  const int ports = kP ? kP : ports_;
  const int first_port = n - ports;
  // The node admittance matrix Y and, beside it, one right-hand column per
  // port: port k driven by an EMF of 1 behind Z0, a Norton current 1/Z0.
  Complex m[kMaxNodes][kMaxNodes + kMaxPorts] = {};
  for (int i = 0; i < branch_count_; ++i) {
    const Branch& e = branches_[size_t(i)];
    Complex y;
    if (e.loss == 0) {
      // The common lossless cases need no complex division.
      switch (e.kind) {
        case ElementKind::kInductor:
          y = {0, -1 / (omega * e.value)};
          break;
        case ElementKind::kCapacitor:
          y = {0, omega * e.value};
          break;
        case ElementKind::kResistor:
          y = {1 / e.value, 0};
          break;
      }
    } else {
      switch (e.kind) {
        case ElementKind::kInductor:
          y = Reciprocal({e.loss, omega * e.value});
          break;
        case ElementKind::kCapacitor:
          y = Reciprocal({e.loss, -1 / (omega * e.value)});
          break;
        case ElementKind::kResistor:
          y = {1 / (e.value + e.loss), 0};
          break;
      }
    }
    if (e.a >= 0) m[e.a][e.a] += y;
    if (e.b >= 0) m[e.b][e.b] += y;
    if (e.a >= 0 && e.b >= 0) {
      m[e.a][e.b] -= y;
      m[e.b][e.a] -= y;
    }
  }
  const double g0 = 1 / z0_;
  for (int port = 0; port < ports; ++port) {
    m[first_port + port][first_port + port] += g0;
    m[first_port + port][n + port] = g0;
  }

  // Forward elimination with partial pivoting on |z|^2 (no square roots),
  // dividing by the pivot through its reciprocal.
  const int width = n + ports;
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    double best = Norm(m[col][col]);
    for (int row = col + 1; row < n; ++row) {
      const double size = Norm(m[row][col]);
      if (size > best) best = size, pivot = row;
    }
    if (!(best > 0) || !std::isfinite(best)) return false;
    if (pivot != col) {
      for (int k = col; k < width; ++k) std::swap(m[col][k], m[pivot][k]);
    }
    const Complex inverse = Reciprocal(m[col][col]);
    for (int row = col + 1; row < n; ++row) {
      const Complex factor = m[row][col] * inverse;
      for (int k = col + 1; k < width; ++k) m[row][k] -= factor * m[col][k];
    }
    m[col][col] = inverse;  // kept for the back-substitution
  }
  // Back-substitution for the port rows only; b_j / a_k = 2 V_j - delta_jk.
  s = SMatrix(ports);
  for (int row = n - 1; row >= first_port; --row) {
    for (int rhs = 0; rhs < ports; ++rhs) {
      Complex sum = m[row][n + rhs];
      for (int k = row + 1; k < n; ++k) sum -= m[row][k] * m[k][n + rhs];
      m[row][n + rhs] = sum * m[row][row];
    }
  }
  for (int to = 1; to <= ports; ++to) {
    for (int from = 1; from <= ports; ++from) {
      const Complex value =
          2.0 * m[first_port + to - 1][n + from - 1] - (to == from ? 1.0 : 0.0);
      if (!std::isfinite(value.real()) || !std::isfinite(value.imag())) return false;
      s(to, from) = value;
    }
  }
  return true;
}

bool BoundNetlist::Analyze(double frequency_hz, SMatrix& s) const {
  if (!(frequency_hz > 0) || !std::isfinite(frequency_hz)) return false;
  const double omega = 2 * std::numbers::pi * frequency_hz;
  if (nodes_ == 3 && ports_ == 3) return Kernel<3, 3>(omega, s);
  if (nodes_ == 4 && ports_ == 4) return Kernel<4, 4>(omega, s);
  if (nodes_ == 6 && ports_ == 4) return Kernel<6, 4>(omega, s);
  return Kernel<0, 0>(omega, s);
}

SResult AnalyzeNetlist(const Netlist& netlist, double frequency_hz) {
  if (!(frequency_hz > 0) || !std::isfinite(frequency_hz)) {
    return {std::nullopt, "the analysis frequency must be a positive number"};
  }
  SMatrix s(netlist.ports);
  if (!BoundNetlist(netlist).Analyze(frequency_hz, s)) return {std::nullopt, kSingular};
  return {s, {}};
}

SResult AnalyzeDesign(const Design& design, double frequency_hz) {
  return AnalyzeNetlist(IdealNetlist(design), frequency_hz);
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

SweepResponse AnalyzeSweep(const Netlist& netlist, std::string& error) {
  SweepResponse response;
  response.frequencies_hz = SweepFrequencies(netlist.frequency_hz);
  response.s.assign(response.frequencies_hz.size(), SMatrix(netlist.ports));
  const BoundNetlist bound(netlist);
  for (size_t i = 0; i < response.frequencies_hz.size(); ++i) {
    if (!bound.Analyze(response.frequencies_hz[i], response.s[i])) {
      error = kSingular;
      return {};
    }
  }
  return response;
}

double MagnitudeDb(Complex value) { return 20 * std::log10(std::abs(value)); }
double PhaseDegrees(Complex value) { return std::arg(value) * 180 / std::numbers::pi; }

}  // namespace rfsplitter
