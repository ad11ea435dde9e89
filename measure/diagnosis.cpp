#include "measure/diagnosis.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <numeric>

#include "engine/complex_solve.h"

namespace rfsplitter {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// The parameters' units, so that a step of one is a like change in each.
constexpr double kDelayUnit = 1e-11;  // 10 ps
constexpr double kPadUnit = 1e-13;    // 0.1 pF
// The prior that settles what the measurement cannot: a change of the same
// fraction in every shunt capacitor looks like a pad at every node. A board
// has one or two parts off, not all a little: the parts' changes get a
// Laplace prior of scale 3 % (a sparse answer), met by reweighting its
// quadratic stand-in, |x| / b ~ x^2 / (b |x_prev|); a pad strays by some
// 0.3 pF. The weights are against an analyser's noise of about -50 dB.
constexpr double kNoise = 3e-3;
constexpr double kLaplaceScale = 0.03;
constexpr double kLeastChange = 2e-3;     // below it the reweighting stops
constexpr double kPadPrior = kNoise / 3;  // 0.3 pF in pad units
constexpr int kReweightings = 6;

// The element at `scale` times its built value: both parts of a pair, and a
// loss that follows the value as its model's does (an inductor's from its
// Q, a capacitor's from its Q); a fixed ESR stays.
void ScaleElement(NetlistElement& e, const NetlistElement& built, double scale) {
  const auto scaled_loss = [&](double value, double loss, const ElementModel& model) {
    const double base = FixedLossOhms(built.kind, value, model);
    return base > 0 ? loss * FixedLossOhms(built.kind, value * scale, model) / base : loss;
  };
  e.value = built.value * scale;
  e.loss_ohms = scaled_loss(built.value, built.loss_ohms, built.model);
  if (built.second) {
    e.second->value = built.second->value * scale;
    e.second->loss_ohms =
        scaled_loss(built.second->value, built.second->loss_ohms, built.second->model);
  }
}

// An element's impedance and its derivative in the log of its scale.
bool ElementAt(const NetlistElement& e, double omega, Complex& z, Complex& dz) {
  std::optional<Complex> zz =
      e.second ? PairImpedance(e.kind, e.value, e.loss_ohms, e.model, e.second->value,
                               e.second->loss_ohms, e.second->model, omega)
               : PartImpedance(e.kind, e.value, e.loss_ohms, e.model, omega);
  if (!zz || !(Norm(*zz) > 0)) return false;
  z = *zz;
  const bool simple = !e.second && !e.model.measured;
  switch (e.kind) {
    case ElementKind::kInductor:
    case ElementKind::kResistor:
      // The series branch scales with the value; a capacitance across it
      // (Cp) does not: Z = Zs / (1 + jwCp Zs), dZ = dZs (Z / Zs)^2.
      dz = z;
      if (simple && e.model.parallel_c_f > 0) {
        ElementModel bare = e.model;
        bare.parallel_c_f = 0;
        if (const auto zs = PartImpedance(e.kind, e.value, e.loss_ohms, bare, omega))
          dz = z * z / *zs;
      }
      break;
    case ElementKind::kCapacitor:
      // 1 / (jwC) and a loss from Q scale as 1 / C; ESL and ESR do not.
      dz = -z;
      if (simple) dz = -(z - Complex(e.model.q > 0 ? 0 : e.loss_ohms, omega * e.model.series_l_h));
      break;
  }
  return true;
}

class Fit {
 public:
  Fit(const Netlist& built, const Measurement& m, const DiagnosisSettings& settings)
      : built_(built), m_(m), ports_(m.ports), g0_(1 / built.z0) {
    std::map<int, int> rows;
    for (int p = 1; p <= ports_; ++p) rows[p] = p - 1;
    for (size_t i = 0; i < built.elements.size(); ++i) {
      const NetlistElement& e = built.elements[i];
      for (const int node : {e.node_a, e.node_b})
        if (node != 0 && !rows.count(node)) rows.emplace(node, int(rows.size()));
      if (!e.pad) parts_.push_back(i);
    }
    nodes_ = int(rows.size());
    for (const NetlistElement& e : built.elements)
      ends_.push_back({e.node_a ? rows[e.node_a] : -1, e.node_b ? rows[e.node_b] : -1});
    delays_given_ = !settings.port_delays_s.empty();
    fit_pad_ = settings.fit_pad;
    params_ = int(parts_.size()) + ports_ + 1;
    p_.assign(size_t(params_), 0);
    anchor_ = p_;
    if (delays_given_)
      for (int i = 0; i < ports_; ++i)
        p_[parts_.size() + size_t(i)] = settings.port_delays_s[size_t(i)] / kDelayUnit;
    free_.assign(size_t(params_), true);
    for (int i = 0; i < ports_; ++i) free_[parts_.size() + size_t(i)] = !delays_given_;
    free_.back() = fit_pad_;
    // The points every part has an answer at.
    for (size_t i = 0; i < m.frequencies_hz.size(); ++i) {
      bool ok = true;
      Complex z, dz;
      for (const NetlistElement& e : built.elements)
        ok = ok && ElementAt(e, kTwoPi * m.frequencies_hz[i], z, dz);
      if (ok) points_.push_back(i);
    }
  }

  size_t Points() const { return points_.size(); }
  int Parts() const { return int(parts_.size()); }

  // The normal equations at p (with the prior) and the cost; false where a
  // node matrix is singular. Without `a`, the cost alone.
  bool Normal(const std::vector<double>& p, std::vector<double>* a, std::vector<double>* g,
              double& cost, double& data_cost) const {
    const size_t n = size_t(params_);
    if (a) a->assign(n * n, 0), g->assign(n, 0);
    cost = data_cost = 0;
    Netlist board = Board(p);
    std::vector<Complex> y(size_t(nodes_ * nodes_)), z(size_t(nodes_ * nodes_));
    std::vector<Complex> dy(board.elements.size());
    std::vector<double> row(n);
    const double pad = fit_pad_ ? p.back() * kPadUnit : 0;
    for (const size_t point : points_) {
      const double f = m_.frequencies_hz[point], omega = kTwoPi * f;
      std::fill(y.begin(), y.end(), Complex());
      for (size_t i = 0; i < board.elements.size(); ++i) {
        Complex ze, dze;
        if (!ElementAt(board.elements[i], omega, ze, dze)) return false;
        const Complex ye = 1.0 / ze;
        dy[i] = -dze * ye * ye;
        const auto [ra, rb] = ends_[i];
        if (ra >= 0) y[size_t(ra * nodes_ + ra)] += ye;
        if (rb >= 0) y[size_t(rb * nodes_ + rb)] += ye;
        if (ra >= 0 && rb >= 0)
          y[size_t(ra * nodes_ + rb)] -= ye, y[size_t(rb * nodes_ + ra)] -= ye;
      }
      for (int r = 0; r < nodes_; ++r) {
        y[size_t(r * nodes_ + r)] += Complex(r < ports_ ? g0_ : 0, omega * pad);
      }
      std::fill(z.begin(), z.end(), Complex());
      for (int r = 0; r < nodes_; ++r) z[size_t(r * nodes_ + r)] = 1;
      if (!SolveComplex(y, z, nodes_, nodes_)) return false;
      const auto zat = [&](int r, int c) {
        return r < 0 || c < 0 ? Complex() : z[size_t(r * nodes_ + c)];
      };
      Complex delay[kMaxPorts];
      for (int q = 0; q < ports_; ++q)
        delay[q] = std::polar(1.0, -omega * p[parts_.size() + size_t(q)] * kDelayUnit);
      for (int to = 1; to <= ports_; ++to) {
        for (int from = 1; from <= ports_; ++from) {
          if (!m_.Has(to, from)) continue;
          const int i = to - 1, j = from - 1;
          const Complex d = delay[i] * delay[j];
          // S = 2 G0 Z - 1 at the ports (the terminations are in the node
          // matrix), seen through each port's line.
          const Complex model = d * (2 * g0_ * zat(i, j) - (i == j ? 1.0 : 0.0));
          const Complex r = model - m_.s[point](to, from);
          data_cost += Norm(r);
          if (!a) continue;
          // dZ = -Z dY Z: an element between rows a and b changes Y by dy
          // (e_a - e_b)(e_a - e_b)^T, so dZ_ij = -dy (Z_ia - Z_ib)(Z_aj - Z_bj).
          Complex column[64];
          size_t k = 0;
          for (const size_t index : parts_) {
            const auto [ra, rb] = ends_[index];
            column[k++] =
                -d * (2 * g0_) * dy[index] * (zat(i, ra) - zat(i, rb)) * (zat(ra, j) - zat(rb, j));
          }
          for (int q = 0; q < ports_; ++q)
            column[k++] = (q == i || q == j ? (q == i && q == j ? 2.0 : 1.0) : 0.0) *
                          Complex(0, -omega * kDelayUnit) * model;
          Complex zz;
          for (int c = 0; c < nodes_; ++c) zz += zat(i, c) * zat(c, j);
          column[k++] = -d * (2 * g0_) * Complex(0, omega * kPadUnit) * zz;
          for (int part = 0; part < 2; ++part) {
            const double rv = part ? r.imag() : r.real();
            for (size_t c = 0; c < n; ++c)
              row[c] = free_[c] ? (part ? column[c].imag() : column[c].real()) : 0;
            for (size_t c = 0; c < n; ++c) {
              if (row[c] == 0) continue;
              (*g)[c] += row[c] * rv;
              for (size_t e = 0; e <= c; ++e) (*a)[c * n + e] += row[c] * row[e];
            }
          }
        }
      }
    }
    cost = data_cost;
    for (size_t c = 0; c < n; ++c) {
      const double w = Prior(c);
      cost += w * w * p[c] * p[c];
      if (!a) continue;
      (*a)[c * n + c] += w * w;
      (*g)[c] += w * w * p[c];
      for (size_t e = 0; e < c; ++e) (*a)[e * n + c] = (*a)[c * n + e];
      if (!free_[c]) {
        for (size_t e = 0; e < n; ++e) (*a)[c * n + e] = (*a)[e * n + c] = 0;
        (*a)[c * n + c] = 1, (*g)[c] = 0;
      }
    }
    return true;
  }

  // Runs the fit with the parts' prior reweighted from its last answer
  // until the answer settles.
  bool Reweighted(int& iterations, bool& converged) {
    for (int round = 0; round < kReweightings; ++round) {
      anchor_ = p_;
      if (!Run(false, iterations, converged)) return false;
      double moved = 0;
      for (size_t k = 0; k < parts_.size(); ++k)
        moved = std::max(moved, std::abs(p_[k] - anchor_[k]));
      if (moved < 1e-4) break;
    }
    return true;
  }

  // Levenberg-Marquardt from p; `only_delays` holds the parts and the pad.
  bool Run(bool only_delays, int& iterations, bool& converged) {
    const std::vector<bool> saved = free_;
    if (only_delays) {
      for (size_t c = 0; c < free_.size(); ++c)
        free_[c] = c >= parts_.size() && c < parts_.size() + size_t(ports_) && saved[c];
    }
    const size_t n = size_t(params_);
    std::vector<double> a, g, trial_a, step(n);
    double cost = 0, data = 0;
    bool ok = Normal(p_, &a, &g, cost, data);
    double lambda = 1e-3;
    converged = false;
    for (int it = 0; ok && it < 100; ++it) {
      ++iterations;
      trial_a = a;
      for (size_t c = 0; c < n; ++c) trial_a[c * n + c] *= 1 + lambda;
      for (size_t c = 0; c < n; ++c) step[c] = -g[c];
      if (!CholeskySolve(trial_a, step, n)) {
        lambda *= 10;
        continue;
      }
      std::vector<double> trial = p_;
      for (size_t c = 0; c < n; ++c) trial[c] += step[c];
      double trial_cost = 0, trial_data = 0;
      if (Normal(trial, nullptr, nullptr, trial_cost, trial_data) && trial_cost < cost) {
        const double gain = (cost - trial_cost) / cost;
        p_ = trial;
        lambda = std::max(lambda / 3, 1e-12);
        ok = Normal(p_, &a, &g, cost, data);
        if (gain < 1e-10) {
          converged = true;
          break;
        }
      } else {
        lambda *= 4;
        if (lambda > 1e10) {
          converged = true;  // no step lowers the cost: a minimum
          break;
        }
      }
    }
    free_ = saved;
    return ok;
  }

  // The covariance of the parameters, scaled by the residual's variance.
  std::vector<double> Covariance() const {
    const size_t n = size_t(params_);
    std::vector<double> a, g;
    double cost = 0, data_cost = 0;
    Normal(p_, &a, &g, cost, data_cost);
    const size_t rows = Rows();
    const double free = double(std::count(free_.begin(), free_.end(), true));
    const double variance = data_cost / std::max(1.0, double(rows) - free);
    std::vector<double> inverse(n * n, 0);
    for (size_t c = 0; c < n; ++c) {
      std::vector<double> unit(n, 0);
      unit[c] = 1;
      if (!CholeskySolve(a, unit, n)) return {};
      for (size_t e = 0; e < n; ++e) inverse[e * n + c] = unit[e] * variance;
    }
    return inverse;
  }

  size_t Rows() const {
    size_t entries = 0;
    for (int to = 1; to <= ports_; ++to)
      for (int from = 1; from <= ports_; ++from) entries += m_.Has(to, from);
    return 2 * entries * points_.size();
  }

  Netlist Board(const std::vector<double>& p) const {
    Netlist board = built_;
    for (size_t k = 0; k < parts_.size(); ++k)
      ScaleElement(board.elements[parts_[k]], built_.elements[parts_[k]], std::exp(p[k]));
    return board;
  }

  const std::vector<double>& p() const { return p_; }
  const std::vector<size_t>& parts() const { return parts_; }

 private:
  double Prior(size_t c) const {
    if (c < parts_.size()) {
      return kNoise / std::sqrt(kLaplaceScale * std::max(std::abs(anchor_[c]), kLeastChange));
    }
    if (c == size_t(params_ - 1)) return kPadPrior;
    return 0;
  }

  // Solves A x = b for a symmetric positive definite A (n x n); false when
  // it is not.
  static bool CholeskySolve(std::vector<double> a, std::vector<double>& b, size_t n) {
    for (size_t c = 0; c < n; ++c) {
      double d = a[c * n + c];
      for (size_t k = 0; k < c; ++k) d -= a[c * n + k] * a[c * n + k];
      if (!(d > 0)) return false;
      d = std::sqrt(d);
      a[c * n + c] = d;
      for (size_t r = c + 1; r < n; ++r) {
        double v = a[r * n + c];
        for (size_t k = 0; k < c; ++k) v -= a[r * n + k] * a[c * n + k];
        a[r * n + c] = v / d;
      }
    }
    for (size_t r = 0; r < n; ++r) {
      for (size_t k = 0; k < r; ++k) b[r] -= a[r * n + k] * b[k];
      b[r] /= a[r * n + r];
    }
    for (size_t r = n; r-- > 0;) {
      for (size_t k = r + 1; k < n; ++k) b[r] -= a[k * n + r] * b[k];
      b[r] /= a[r * n + r];
    }
    return true;
  }

  const Netlist& built_;
  const Measurement& m_;
  int ports_;
  double g0_;
  std::vector<size_t> parts_;
  std::vector<std::pair<int, int>> ends_;
  int nodes_ = 0;
  int params_ = 0;
  bool delays_given_ = false, fit_pad_ = true;
  std::vector<double> p_;
  std::vector<double> anchor_;  // the changes the parts' prior is weighted by
  std::vector<bool> free_;
  std::vector<size_t> points_;
};

double Db(double cost, size_t rows) {
  return 10 * std::log10(std::max(cost / std::max<size_t>(1, rows / 2), 1e-30));
}

// Every node's pad, changed by `c` (a node without one gets one).
void AddPads(Netlist& board, double c) {
  if (c == 0) return;
  std::vector<int> nodes;
  for (const NetlistElement& e : board.elements) {
    if (e.pad) continue;
    for (const int node : {e.node_a, e.node_b})
      if (node != 0 && std::find(nodes.begin(), nodes.end(), node) == nodes.end())
        nodes.push_back(node);
  }
  for (const int node : nodes) {
    auto pad = std::find_if(board.elements.begin(), board.elements.end(),
                            [&](const NetlistElement& e) { return e.pad && e.node_a == node; });
    if (pad != board.elements.end()) {
      pad->value += c;
      continue;
    }
    NetlistElement e;
    e.kind = ElementKind::kCapacitor;
    e.name = PadName(node);
    e.node_a = node;
    e.value = c;
    e.pad = true;
    board.elements.push_back(e);
  }
}

}  // namespace

std::optional<Diagnosis> Diagnose(const Netlist& built, const Measurement& measurement,
                                  const DiagnosisSettings& settings, std::string& error) {
  Fit fit(built, measurement, settings);
  if (fit.Points() < 3) {
    error = "fewer than 3 measured points where every part of the board has an answer";
    return std::nullopt;
  }
  Diagnosis d;
  d.points = fit.Points();
  double cost = 0, start = 0;
  if (!fit.Normal(fit.p(), nullptr, nullptr, cost, start)) {
    error = "the board's node matrix is singular at a measured point";
    return std::nullopt;
  }
  d.start_residual_db = Db(start, fit.Rows());
  bool converged = false;
  if (settings.port_delays_s.empty()) fit.Run(true, d.iterations, converged);
  if (!fit.Reweighted(d.iterations, converged)) {
    error = "the board's node matrix is singular at a measured point";
    return std::nullopt;
  }
  d.converged = converged;
  double data = 0;
  fit.Normal(fit.p(), nullptr, nullptr, cost, data);
  d.residual_db = Db(data, fit.Rows());
  const std::vector<double>& p = fit.p();
  const size_t parts = fit.parts().size();
  for (int q = 0; q < measurement.ports; ++q)
    d.port_delays_s.push_back(p[parts + size_t(q)] * kDelayUnit);
  d.pad_capacitance_f = settings.fit_pad ? p.back() * kPadUnit : 0;
  d.fitted = fit.Board(p);
  AddPads(d.fitted, d.pad_capacitance_f);
  d.fitted.description = "the board as fitted to " + measurement.source;

  const std::vector<double> cov = fit.Covariance();
  const size_t n = p.size();
  for (size_t k = 0; k < parts; ++k) {
    const NetlistElement& e = built.elements[fit.parts()[k]];
    Suspect s;
    s.part = std::string(e.name);
    s.built = e.Combined();
    s.fitted = s.built * std::exp(p[k]);
    s.change_percent = 100 * (std::exp(p[k]) - 1);
    const double sigma = cov.empty() ? 0 : std::sqrt(std::max(cov[k * n + k], 0.0));
    s.uncertainty_percent = 100 * sigma * std::exp(p[k]);
    s.evidence = sigma > 0 ? std::abs(p[k]) / sigma : 0;
    d.suspects.push_back(s);
  }
  // Parts whose changes the measurement moves together are one group.
  std::vector<size_t> group(parts);
  std::iota(group.begin(), group.end(), 0);
  const auto root = [&](size_t k) {
    while (group[k] != k) k = group[k];
    return k;
  };
  if (!cov.empty()) {
    for (size_t k = 0; k < parts; ++k)
      for (size_t l = 0; l < k; ++l) {
        const double r = cov[k * n + l] / std::sqrt(cov[k * n + k] * cov[l * n + l]);
        if (std::abs(r) > 0.95) group[root(k)] = root(l);
      }
  }
  for (size_t k = 0; k < parts; ++k) {
    if (root(k) != k) continue;
    std::vector<std::string> members;
    for (size_t l = 0; l < parts; ++l)
      if (root(l) == k) members.push_back(d.suspects[l].part);
    if (members.size() > 1) d.groups.push_back(members);
  }
  std::stable_sort(d.suspects.begin(), d.suspects.end(),
                   [](const Suspect& a, const Suspect& b) { return a.evidence > b.evidence; });
  return d;
}

}  // namespace rfsplitter
