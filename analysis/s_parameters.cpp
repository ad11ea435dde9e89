#include "analysis/s_parameters.h"

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

}  // namespace

BoundNetlist::BoundNetlist(const Netlist& netlist) : ports_(netlist.ports), z0_(netlist.z0) {
  // Ports take the first rows, in order; inner nodes follow.
  std::array<int, kMaxNodes> node_of_row{};
  for (int port = 1; port <= ports_; ++port) node_of_row[size_t(port - 1)] = port;
  nodes_ = ports_;
  const auto row_of = [&](int node) {
    if (node == 0) return -1;
    for (int row = 0; row < nodes_; ++row) {
      if (node_of_row[size_t(row)] == node) return row;
    }
    if (nodes_ == kMaxNodes) throw std::length_error("too many nodes for the analysis");
    node_of_row[size_t(nodes_)] = node;
    return nodes_++;
  };
  if (netlist.elements.size() > branches_.size()) {
    throw std::length_error("too many elements for the analysis");
  }
  for (const NetlistElement& e : netlist.elements) {
    branches_[size_t(branch_count_++)] = {row_of(e.node_a), row_of(e.node_b), e.kind, e.value,
                                         e.loss_ohms};
  }
}

bool BoundNetlist::Analyze(double frequency_hz, SMatrix& s) const {
  if (!(frequency_hz > 0) || !std::isfinite(frequency_hz)) return false;
  const double omega = 2 * std::numbers::pi * frequency_hz;
  const int n = nodes_;
  // The node admittance matrix Y and, beside it, one right-hand column per
  // port: port k driven by an EMF of 1 behind Z0, a Norton current 1/Z0.
  std::array<std::array<Complex, kMaxNodes + kMaxPorts>, kMaxNodes> m{};
  const auto stamp = [&](int a, int b, Complex y) {
    if (a >= 0) m[size_t(a)][size_t(a)] += y;
    if (b >= 0) m[size_t(b)][size_t(b)] += y;
    if (a >= 0 && b >= 0) {
      m[size_t(a)][size_t(b)] -= y;
      m[size_t(b)][size_t(a)] -= y;
    }
  };
  for (int i = 0; i < branch_count_; ++i) {
    const Branch& e = branches_[size_t(i)];
    Complex z;
    switch (e.kind) {
      case ElementKind::kInductor:
        z = {e.loss, omega * e.value};
        break;
      case ElementKind::kCapacitor:
        z = {e.loss, -1 / (omega * e.value)};
        break;
      case ElementKind::kResistor:
        z = {e.value + e.loss, 0};
        break;
    }
    stamp(e.a, e.b, Reciprocal(z));
  }
  const double g0 = 1 / z0_;
  for (int port = 0; port < ports_; ++port) {
    m[size_t(port)][size_t(port)] += g0;
    m[size_t(port)][size_t(n + port)] = g0;
  }

  // Gaussian elimination with partial pivoting on |z|^2, over Y and the
  // right-hand columns together.
  const int width = n + ports_;
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    double best = std::norm(m[size_t(col)][size_t(col)]);
    for (int row = col + 1; row < n; ++row) {
      const double size = std::norm(m[size_t(row)][size_t(col)]);
      if (size > best) best = size, pivot = row;
    }
    if (!(best > 0) || !std::isfinite(best)) return false;
    std::swap(m[size_t(col)], m[size_t(pivot)]);
    const Complex inverse = Reciprocal(m[size_t(col)][size_t(col)]);
    for (int k = col; k < width; ++k) m[size_t(col)][size_t(k)] *= inverse;
    for (int row = 0; row < n; ++row) {
      if (row == col) continue;
      const Complex factor = m[size_t(row)][size_t(col)];
      if (factor == Complex(0)) continue;
      for (int k = col; k < width; ++k) {
        m[size_t(row)][size_t(k)] -= factor * m[size_t(col)][size_t(k)];
      }
    }
  }
  // b_j / a_k = 2 V_j - delta_jk.
  s = SMatrix(ports_);
  for (int to = 1; to <= ports_; ++to) {
    for (int from = 1; from <= ports_; ++from) {
      const Complex v = m[size_t(to - 1)][size_t(n + from - 1)];
      const Complex value = 2.0 * v - (to == from ? 1.0 : 0.0);
      if (!std::isfinite(value.real()) || !std::isfinite(value.imag())) return false;
      s(to, from) = value;
    }
  }
  return true;
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
