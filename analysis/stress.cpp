#include "analysis/stress.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/number_text.h"
#include "engine/part_model.h"
#include "engine/si_value.h"

namespace rfsplitter {
namespace {

using Complex = std::complex<double>;

// Solves a x = b in place by Gaussian elimination with partial pivoting;
// false when a is singular.
bool Solve(std::vector<std::vector<Complex>>& a, std::vector<Complex>& b) {
  const size_t n = b.size();
  for (size_t col = 0; col < n; ++col) {
    size_t pivot = col;
    for (size_t row = col + 1; row < n; ++row) {
      if (std::abs(a[row][col]) > std::abs(a[pivot][col])) pivot = row;
    }
    if (!(std::abs(a[pivot][col]) > 0)) return false;
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (size_t row = col + 1; row < n; ++row) {
      const Complex f = a[row][col] / a[col][col];
      if (f == Complex(0)) continue;
      for (size_t k = col; k < n; ++k) a[row][k] -= f * a[col][k];
      b[row] -= f * b[col];
    }
  }
  for (size_t col = n; col-- > 0;) {
    for (size_t k = col + 1; k < n; ++k) b[col] -= a[col][k] * b[k];
    b[col] /= a[col][col];
  }
  return true;
}

std::optional<Complex> ImpedanceOf(const NetlistElement& e, double omega) {
  if (e.second) {
    return PairImpedance(e.kind, e.value, e.loss_ohms, e.model, e.second->value,
                         e.second->loss_ohms, e.second->model, omega);
  }
  return PartImpedance(e.kind, e.value, e.loss_ohms, e.model, omega);
}

// Each figure of `from` where it is larger.
void KeepWorst(std::vector<PartStress>& worst, const std::vector<PartStress>& from) {
  if (worst.empty()) {
    worst = from;
    return;
  }
  for (size_t i = 0; i < worst.size(); ++i) {
    worst[i].v_peak = std::max(worst[i].v_peak, from[i].v_peak);
    worst[i].i_rms = std::max(worst[i].i_rms, from[i].i_rms);
    worst[i].p_diss_w = std::max(worst[i].p_diss_w, from[i].p_diss_w);
  }
}

}  // namespace

std::optional<Excited> Excite(const Netlist& circuit, const std::vector<PortDrive>& drives,
                              double frequency_hz) {
  const double omega = 2 * std::numbers::pi * frequency_hz;
  const double z0 = circuit.z0;
  // Matrix rows for the nodes in use, the ports first (a circuit's inner
  // nodes need not be numbered on from its ports).
  std::vector<int> row_of(1, -1);
  int rows = 0;
  const auto row = [&](int node) {
    if (size_t(node) >= row_of.size()) row_of.resize(size_t(node) + 1, -1);
    if (node != 0 && row_of[size_t(node)] < 0) row_of[size_t(node)] = rows++;
    return row_of[size_t(node)];
  };
  for (int port = 1; port <= circuit.ports; ++port) row(port);
  for (const NetlistElement& e : circuit.elements) row(e.node_a), row(e.node_b);
  const auto n = static_cast<size_t>(rows);
  std::vector<std::vector<Complex>> y(n, std::vector<Complex>(n));
  std::vector<Complex> current(n);
  std::vector<Complex> element_z;
  for (const NetlistElement& e : circuit.elements) {
    const std::optional<Complex> z = ImpedanceOf(e, omega);
    if (!z || !(std::norm(*z) > 0)) return std::nullopt;
    element_z.push_back(*z);
    const Complex admittance = 1.0 / *z;
    const int a = row(e.node_a), b = row(e.node_b);
    if (a >= 0) y[size_t(a)][size_t(a)] += admittance;
    if (b >= 0) y[size_t(b)][size_t(b)] += admittance;
    if (a >= 0 && b >= 0) {
      y[size_t(a)][size_t(b)] -= admittance;
      y[size_t(b)][size_t(a)] -= admittance;
    }
  }
  // Each port's load and source: Z = Z0 (1 + G) / (1 - G), E = 2 sqrt(2 P Z0).
  std::vector<Complex> load(size_t(circuit.ports)), source(size_t(circuit.ports));
  for (int port = 0; port < circuit.ports; ++port) {
    const PortDrive drive = size_t(port) < drives.size() ? drives[size_t(port)] : PortDrive{};
    load[size_t(port)] = z0 * (1.0 + drive.reflection) / (1.0 - drive.reflection);
    source[size_t(port)] =
        std::polar(2 * std::sqrt(2 * drive.power_w * z0), drive.phase_deg * std::numbers::pi / 180);
    y[size_t(port)][size_t(port)] += 1.0 / load[size_t(port)];
    current[size_t(port)] += source[size_t(port)] / load[size_t(port)];
  }
  if (!Solve(y, current)) return std::nullopt;
  const std::vector<Complex>& v = current;
  const auto at = [&](int node) { return node == 0 ? Complex(0) : v[size_t(row(node))]; };

  Excited result;
  for (size_t i = 0; i < circuit.elements.size(); ++i) {
    const NetlistElement& e = circuit.elements[i];
    if (e.pad) continue;
    const Complex across = at(e.node_a) - at(e.node_b);
    const Complex through = across / element_z[i];
    // A lossless part's dissipation is rounding: none.
    double dissipation = 0.5 * (across * std::conj(through)).real();
    if (dissipation < 1e-12 * std::abs(across) * std::abs(through)) dissipation = 0;
    result.parts.push_back({std::string(e.name), std::abs(across),
                            std::abs(through) / std::numbers::sqrt2, dissipation});
  }
  // The wave leaving each port: b = (V - Z0 I) / (2 sqrt Z0), I into the
  // device; its power |b|^2 / 2.
  for (int port = 0; port < circuit.ports; ++port) {
    const Complex into = (source[size_t(port)] - v[size_t(port)]) / load[size_t(port)];
    const Complex b = (v[size_t(port)] - z0 * into) / (2 * std::sqrt(z0));
    result.port_power_w.push_back(0.5 * std::norm(b));
  }
  return result;
}

std::optional<double> PowerWatts(std::string_view text, std::string& why) {
  const std::optional<SiValue> power = ParseSiValue(text, why);
  if (!power) return std::nullopt;
  double watts = power->value;
  if (power->unit == Unit::kDecibelMilliwatt) {
    watts = 1e-3 * std::pow(10.0, power->value / 10);
  } else if (power->unit != Unit::kWatt && power->unit != Unit::kNone) {
    why = "has the wrong unit; it takes W or dBm";
    return std::nullopt;
  }
  if (!(watts >= 1e-6 && watts <= 1e3)) {
    why = "is outside 1 uW to 1 kW (-30 to 60 dBm)";
    return std::nullopt;
  }
  return watts;
}

std::vector<StressScenario> StressScenarios(const Netlist& circuit, const StressSettings& settings,
                                            std::string& error) {
  const double f0 = circuit.frequency_hz;
  const double gamma = (settings.vswr - 1) / (settings.vswr + 1);
  std::vector<StressScenario> scenarios;
  bool failed = false;
  // Runs every drive of `drives_of(step)` and keeps each figure's worst.
  const auto scenario = [&](std::string key, std::string description, int steps,
                            const auto& drives_of) {
    StressScenario s{std::move(key), std::move(description), {}, {}};
    for (int step = 0; step < steps && !failed; ++step) {
      const std::optional<Excited> e = Excite(circuit, drives_of(step), f0);
      if (!e) {
        failed = true;
        break;
      }
      KeepWorst(s.parts, e->parts);
      s.port_power_w.resize(e->port_power_w.size());
      for (size_t p = 0; p < e->port_power_w.size(); ++p) {
        s.port_power_w[p] = std::max(s.port_power_w[p], e->port_power_w[p]);
      }
    }
    scenarios.push_back(std::move(s));
  };
  const PortDrive driven{0, settings.power_w, 0};
  scenario("driven", "port 1 driven, every other port matched", 1,
           [&](int) { return std::vector<PortDrive>{driven}; });
  // Each output's load at |G| of the VSWR, its phase in 15-degree steps.
  constexpr int kPhases = 24;
  scenario("mismatched",
           "port 1 driven, ports 2 and 3 at VSWR " + GeneralText(settings.vswr, 3) +
               " at their worst phases",
           kPhases * kPhases, [&](int step) {
             const auto reflection = [&](int k) {
               return std::polar(gamma, 2 * std::numbers::pi * k / kPhases);
             };
             return std::vector<PortDrive>{
                 driven, {reflection(step % kPhases)}, {reflection(step / kPhases)}};
           });
  // Two inputs of the same power, their relative phase in 5-degree steps.
  constexpr int kRelative = 72;
  scenario("combined", "ports 2 and 3 driven, at their worst relative phase", kRelative,
           [&](int step) {
             return std::vector<PortDrive>{
                 {}, {0, settings.power_w, 0}, {0, settings.power_w, 360.0 * step / kRelative}};
           });
  if (failed) {
    error = "the circuit cannot be solved at its design frequency";
    return {};
  }
  return scenarios;
}

}  // namespace rfsplitter
