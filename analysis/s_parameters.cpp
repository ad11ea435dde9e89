#include "analysis/s_parameters.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>

#include "analysis/limits.h"
#include "engine/fast_complex.h"

namespace rfsplitter {
namespace {

constexpr char kSingular[] = "the circuit's node matrix is singular at this frequency";

// Lane `lane` of a lane solve's answer as a matrix: the first `columns`
// columns, the others zero.
void LaneToMatrix(const lanes::LaneS& lane_s, int lane, int ports, int columns, SMatrix& s) {
  s = SMatrix(ports);
  for (int to = 1; to <= ports; ++to) {
    for (int from = 1; from <= columns; ++from) {
      const int at = lanes::LaneS::At(to, from);
      s(to, from) = {lane_s.re[at][lane], lane_s.im[at][lane]};
    }
  }
}

}  // namespace

BoundNetlist::BoundNetlist(const Netlist& netlist) : ports_(netlist.ports), z0_(netlist.z0) {
  if (ports_ < 1 || ports_ > kMaxPorts) throw std::length_error("too many ports for the analysis");
  static const lanes::SolveFunction best = lanes::BestSolve();
  solve_ = best;
  if (RuleOf(netlist.form).outputs > 2) check_columns_ = ports_;
  // Inner nodes take the first rows and the ports the last ones, in order:
  // after forward elimination, back-substitution then needs only the port
  // rows.
  std::array<int, kMaxNodes> inner{};
  int inner_count = 0;
  const auto is_port = [&](int node) { return node >= 1 && node <= ports_; };
  for (const NetlistElement& e : netlist.elements) {
    for (const int node : {e.node_a, e.node_b}) {
      if (node == 0 || is_port(node)) continue;
      if (std::find(inner.begin(), inner.begin() + inner_count, node) !=
          inner.begin() + inner_count) {
        continue;
      }
      if (inner_count + ports_ == kMaxNodes)
        throw std::length_error("too many nodes for the analysis");
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
    Branch& b = branches_[size_t(branch_count_++)];
    b = {row_of(e.node_a), row_of(e.node_b), e.kind, e.value, 1 / e.value, e.loss_ohms};
    const bool dynamic = e.model.Dynamic(e.kind) || (e.second && e.second->model.Dynamic(e.kind));
    if (e.second && !dynamic &&
        (e.kind == ElementKind::kInductor || (e.loss_ohms == 0 && e.second->loss_ohms == 0))) {
      b.merged = true;
      b.value = e.value + e.second->value;
      b.inverse = 1 / b.value;
      b.loss = e.loss_ohms + e.second->loss_ohms;
    } else if (dynamic || e.second) {
      b.model = int(models_.size());
      models_.push_back(e.model);
      if (e.second) {
        b.pair = int(pairs_.size());
        pairs_.push_back({e.second->value, e.second->loss_ohms, e.second->model});
      }
    }
  }
}

void BoundNetlist::SetPair(int index, double value, double loss_ohms, double second_value,
                           double second_loss_ohms) {
  Branch& b = branches_[size_t(index)];
  if (b.merged) {
    SetElement(index, value + second_value, loss_ohms + second_loss_ohms);
    return;
  }
  SetElement(index, value, loss_ohms);
  if (b.pair >= 0) pairs_[size_t(b.pair)].value = second_value;
  if (b.pair >= 0) pairs_[size_t(b.pair)].loss = second_loss_ohms;
}

bool BoundNetlist::ModelAdmittance(const Branch& e, double value, double loss, const double* second,
                                   double omega, double& g, double& b, double parasitic) const {
  std::optional<Complex> z;
  const ElementModel* model = &models_[size_t(e.model)];
  ElementModel scaled, second_scaled;
  const auto scale = [&](ElementModel& m) {
    m.parallel_c_f *= parasitic;
    m.series_l_h *= parasitic;
  };
  if (parasitic != 1) {
    scaled = *model;
    scale(scaled);
    model = &scaled;
  }
  if (e.pair >= 0) {
    const Pair& p = pairs_[size_t(e.pair)];
    const ElementModel* second_model = &p.model;
    if (parasitic != 1) {
      second_scaled = p.model;
      scale(second_scaled);
      second_model = &second_scaled;
    }
    z = PairImpedance(e.kind, value, loss, *model, second ? second[0] : p.value,
                      second ? second[1] : p.loss, *second_model, omega);
  } else {
    z = PartImpedance(e.kind, value, loss, *model, omega);
  }
  if (!z || !(Norm(*z) > 0)) return false;
  const Complex y = Reciprocal(*z);
  g = y.real(), b = y.imag();
  return true;
}

// The solve, with the matrix size fixed at compile time for the three
// circuits (kN = 0: any size), so that the loops unroll. Real and imaginary
// parts sit in arrays of their own, so the row operations vectorise.
template <int kN, int kP, int kC>
bool BoundNetlist::Kernel(double omega, SMatrix& s) const {
  const int n = kN ? kN : nodes_;
  const int ports = kP ? kP : ports_;
  const int columns = kC ? kC : ports;  // the columns of S wanted
  const int first_port = n - ports;
  constexpr int kRows = kN ? kN : kMaxNodes;
  constexpr int kWidth = kN ? kN + (kC ? kC : kP) : kMaxNodes + kMaxPorts;
  // The node admittance matrix Y and, beside it, one right-hand column per
  // wanted port: port k driven by an EMF of 1 behind Z0, a Norton current
  // 1/Z0.
  double re[kRows][kWidth] = {};
  double im[kRows][kWidth] = {};
  const double inverse_omega = 1 / omega;
  for (int i = 0; i < branch_count_; ++i) {
    const Branch& e = branches_[size_t(i)];
    double g = 0, b = 0;  // the admittance g + jb
    if (e.model >= 0) {
      if (!ModelAdmittance(e, e.value, e.loss, nullptr, omega, g, b, e.parasitic)) return false;
    } else if (e.loss == 0) {
      // The common lossless cases need no complex division.
      switch (e.kind) {
        case ElementKind::kInductor:
          b = -e.inverse * inverse_omega;
          break;
        case ElementKind::kCapacitor:
          b = omega * e.value;
          break;
        case ElementKind::kResistor:
          g = e.inverse;
          break;
      }
    } else {
      Complex y;
      switch (e.kind) {
        case ElementKind::kInductor:
          y = Reciprocal({e.loss, omega * e.value});
          break;
        case ElementKind::kCapacitor:
          y = Reciprocal({e.loss, -(e.inverse * inverse_omega)});
          break;
        case ElementKind::kResistor:
          y = {1 / (e.value + e.loss), 0};
          break;
      }
      g = y.real(), b = y.imag();
    }
    if (e.a >= 0) re[e.a][e.a] += g, im[e.a][e.a] += b;
    if (e.b >= 0) re[e.b][e.b] += g, im[e.b][e.b] += b;
    if (e.a >= 0 && e.b >= 0) {
      re[e.a][e.b] -= g, im[e.a][e.b] -= b;
      re[e.b][e.a] -= g, im[e.b][e.a] -= b;
    }
  }
  const double g0 = 1 / z0_;
  for (int port = 0; port < ports; ++port) {
    re[first_port + port][first_port + port] += g0;
    if (port < columns) re[first_port + port][n + port] = g0;
  }

  // Forward elimination with partial pivoting on |z|^2 (no square roots),
  // dividing by the pivot through its reciprocal.
  const int width = n + columns;
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    double best = re[col][col] * re[col][col] + im[col][col] * im[col][col];
    for (int row = col + 1; row < n; ++row) {
      const double size = re[row][col] * re[row][col] + im[row][col] * im[row][col];
      if (size > best) best = size, pivot = row;
    }
    if (!(best > 0) || !std::isfinite(best)) return false;
    if (pivot != col) {
      for (int k = col; k < width; ++k) {
        std::swap(re[col][k], re[pivot][k]);
        std::swap(im[col][k], im[pivot][k]);
      }
    }
    const double inverse_best = 1 / best;
    const double inv_re = re[col][col] * inverse_best;
    const double inv_im = -im[col][col] * inverse_best;
    for (int row = col + 1; row < n; ++row) {
      const double f_re = re[row][col] * inv_re - im[row][col] * inv_im;
      const double f_im = re[row][col] * inv_im + im[row][col] * inv_re;
      for (int k = col + 1; k < width; ++k) {
        const double a = re[col][k], c = im[col][k];
        re[row][k] -= f_re * a - f_im * c;
        im[row][k] -= f_re * c + f_im * a;
      }
    }
    re[col][col] = inv_re;  // kept for the back-substitution
    im[col][col] = inv_im;
  }
  // Back-substitution for the port rows only; b_j / a_k = 2 V_j - delta_jk.
  s = SMatrix(ports);
  for (int row = n - 1; row >= first_port; --row) {
    for (int rhs = n; rhs < width; ++rhs) {
      double sum_re = re[row][rhs], sum_im = im[row][rhs];
      for (int k = row + 1; k < n; ++k) {
        sum_re -= re[row][k] * re[k][rhs] - im[row][k] * im[k][rhs];
        sum_im -= re[row][k] * im[k][rhs] + im[row][k] * re[k][rhs];
      }
      re[row][rhs] = sum_re * re[row][row] - sum_im * im[row][row];
      im[row][rhs] = sum_re * im[row][row] + sum_im * re[row][row];
    }
  }
  for (int to = 1; to <= ports; ++to) {
    for (int from = 1; from <= columns; ++from) {
      const double v_re = 2 * re[first_port + to - 1][n + from - 1] - (to == from ? 1.0 : 0.0);
      const double v_im = 2 * im[first_port + to - 1][n + from - 1];
      if (!std::isfinite(v_re) || !std::isfinite(v_im)) return false;
      s(to, from) = {v_re, v_im};
    }
  }
  return true;
}

template <int kC>
bool BoundNetlist::Dispatch(double frequency_hz, SMatrix& s) const {
  if (!(frequency_hz > 0) || !std::isfinite(frequency_hz)) return false;
  const double omega = 2 * std::numbers::pi * frequency_hz;
  if (nodes_ == 3 && ports_ == 3) return Kernel<3, 3, kC>(omega, s);
  if (nodes_ == 4 && ports_ == 4) return Kernel<4, 4, kC>(omega, s);
  if (nodes_ == 6 && ports_ == 4) return Kernel<6, 4, kC>(omega, s);
  return Kernel<0, 0, kC>(omega, s);
}

bool BoundNetlist::Analyze(double frequency_hz, SMatrix& s) const {
  return Dispatch<0>(frequency_hz, s);
}

bool BoundNetlist::AnalyzeFromPorts1And2(double frequency_hz, SMatrix& s) const {
  return check_columns_ == 2 ? Dispatch<2>(frequency_hz, s) : Dispatch<0>(frequency_hz, s);
}

void BoundNetlist::FillLanes(lanes::Branch* branches) const {
  for (int i = 0; i < branch_count_; ++i) {
    const Branch& e = branches_[size_t(i)];
    lanes::Branch& out = branches[i];
    out.a = e.a, out.b = e.b, out.kind = e.model >= 0 ? lanes::kAdmittance : int(e.kind);
    std::fill(std::begin(out.value), std::end(out.value), e.value);
    std::fill(std::begin(out.inverse), std::end(out.inverse), e.inverse);
    std::fill(std::begin(out.loss), std::end(out.loss), e.loss);
    out.losses = e.loss == 0 ? lanes::kSomeLossless : lanes::kSomeLossy;
  }
}

size_t BoundNetlist::AnalyzeMany(std::span<const double> frequencies_hz, std::span<SMatrix> s,
                                 std::span<bool> analysed, Columns columns) const {
  std::array<lanes::Branch, kMaxElements> lane_branches;
  FillLanes(lane_branches.data());
  const lanes::Circuit circuit = LaneCircuit(lane_branches.data());
  const int wanted = ColumnCount(columns);
  size_t failed = 0;
  lanes::LaneS lane_s;
  for (size_t first = 0; first < frequencies_hz.size(); first += lanes::kLanes) {
    const size_t count = std::min<size_t>(lanes::kLanes, frequencies_hz.size() - first);
    double omega[lanes::kLanes];
    unsigned scalar = 0;  // the lanes the scalar solve takes
    for (size_t w = 0; w < size_t(lanes::kLanes); ++w) {
      const double f = frequencies_hz[first + std::min(w, count - 1)];
      const bool valid = f > 0 && std::isfinite(f);
      omega[w] = valid ? 2 * std::numbers::pi * f : 1;
      if (!valid) scalar |= 1u << w;
    }
    // A modelled part's admittance at each lane's frequency; a lane where it
    // has none goes to the scalar solve, which says so.
    for (int i = 0; i < branch_count_; ++i) {
      const Branch& e = branches_[size_t(i)];
      if (e.model < 0) continue;
      for (int w = 0; w < lanes::kLanes; ++w) {
        double g = 0, b = 0;
        if (!ModelAdmittance(e, e.value, e.loss, nullptr, omega[w], g, b)) scalar |= 1u << w;
        lane_branches[size_t(i)].value[w] = g;
        lane_branches[size_t(i)].loss[w] = b;
      }
    }
    scalar |= solve_(circuit, omega, wanted, lane_s);
    for (size_t w = 0; w < count; ++w) {
      const size_t i = first + w;
      bool ok = true;
      if (scalar & (1u << w)) {
        ok = AnalyzeColumns(frequencies_hz[i], s[i], columns);
      } else {
        LaneToMatrix(lane_s, int(w), ports_, wanted, s[i]);
      }
      analysed[i] = ok;
      if (!ok) ++failed;
    }
  }
  return failed;
}

BoardLanes::BoardLanes(const BoundNetlist& circuit) : scalar_(circuit) {
  for (auto& lanes : parasitic_) lanes.fill(1);
  circuit.FillLanes(branches_.data());
  raw_ = branches_;
  for (int i = 0; i < circuit.branch_count_; ++i) {
    if (const int pair = circuit.branches_[size_t(i)].pair; pair >= 0) {
      std::fill(std::begin(second_[size_t(i)].value), std::end(second_[size_t(i)].value),
                circuit.pairs_[size_t(pair)].value);
      std::fill(std::begin(second_[size_t(i)].loss), std::end(second_[size_t(i)].loss),
                circuit.pairs_[size_t(pair)].loss);
    }
  }
}

void BoardLanes::SetPair(int board, int index, double value, double loss_ohms, double second_value,
                         double second_loss_ohms) {
  const BoundNetlist::Branch& b = scalar_.branches_[size_t(index)];
  if (b.merged) {
    SetElement(board, index, value + second_value, loss_ohms + second_loss_ohms);
    return;
  }
  SetElement(board, index, value, loss_ohms);
  second_[size_t(index)].value[board] = second_value;
  second_[size_t(index)].loss[board] = second_loss_ohms;
}

unsigned BoardLanes::Analyze(double frequency_hz, BoundNetlist::Columns columns) {
  columns_ = columns;
  if (!(frequency_hz > 0) || !std::isfinite(frequency_hz)) return 0;
  double omega[kBoards];
  std::fill(std::begin(omega), std::end(omega), 2 * std::numbers::pi * frequency_hz);
  const int ports = scalar_.ports_;
  const int wanted = scalar_.ColumnCount(columns);
  unsigned no_model = 0;  // boards a modelled part has no admittance for
  for (int i = 0; i < scalar_.branch_count_; ++i) {
    const BoundNetlist::Branch& e = scalar_.branches_[size_t(i)];
    lanes::Branch& b = branches_[size_t(i)];
    const lanes::Branch& raw = raw_[size_t(i)];
    if (e.model >= 0) {
      const SecondLanes& second = second_[size_t(i)];
      for (int w = 0; w < kBoards; ++w) {
        double g = 0, y = 0;
        const double second_part[2] = {second.value[w], second.loss[w]};
        if (!scalar_.ModelAdmittance(e, raw.value[w], raw.loss[w],
                                     e.pair >= 0 ? second_part : nullptr, omega[w], g, y,
                                     parasitic_[size_t(i)][size_t(w)])) {
          no_model |= 1u << w;
        }
        b.value[w] = g, b.loss[w] = y;
      }
      continue;
    }
    if (losses_known_) continue;
    int lossless = 0, lossy = 0;
    for (int w = 0; w < kBoards; ++w) {
      b.value[w] = raw.value[w];
      b.loss[w] = raw.loss[w];
      lossless |= b.loss[w] == 0;
      lossy |= b.loss[w] != 0;
      b.inverse[w] = 1 / b.value[w];
    }
    b.losses = (lossless ? lanes::kSomeLossless : 0) | (lossy ? lanes::kSomeLossy : 0);
  }
  losses_known_ = true;
  const unsigned handed_back =
      scalar_.solve_(scalar_.LaneCircuit(branches_.data()), omega, wanted, s_) | no_model;
  unsigned answered = ((1u << kBoards) - 1) & ~handed_back;
  for (int board = 0; board < kBoards; ++board) {
    if (!(handed_back & (1u << board))) continue;
    for (int i = 0; i < scalar_.branch_count_; ++i) {
      const lanes::Branch& b = raw_[size_t(i)];
      scalar_.SetElement(i, b.value[board], b.loss[board]);
      scalar_.branches_[size_t(i)].parasitic = parasitic_[size_t(i)][size_t(board)];
      if (const int pair = scalar_.branches_[size_t(i)].pair; pair >= 0) {
        scalar_.pairs_[size_t(pair)].value = second_[size_t(i)].value[board];
        scalar_.pairs_[size_t(pair)].loss = second_[size_t(i)].loss[board];
      }
    }
    SMatrix one;
    if (!scalar_.AnalyzeColumns(frequency_hz, one, columns)) continue;
    answered |= 1u << board;
    for (int to = 1; to <= ports; ++to) {
      for (int from = 1; from <= wanted; ++from) {
        const int at = lanes::LaneS::At(to, from);
        s_.re[at][board] = one(to, from).real();
        s_.im[at][board] = one(to, from).imag();
      }
    }
  }
  return answered;
}

void BoardLanes::Get(int board, SMatrix& s) const {
  const int ports = scalar_.ports_;
  LaneToMatrix(s_, board, ports, scalar_.ColumnCount(columns_), s);
}

SResult AnalyzeNetlist(const Netlist& netlist, double frequency_hz) {
  if (!(frequency_hz > 0) || !std::isfinite(frequency_hz)) {
    return {std::nullopt, "the analysis frequency must be a positive number"};
  }
  SMatrix s(netlist.ports);
  if (!BoundNetlist(netlist).Analyze(frequency_hz, s)) {
    return {std::nullopt, UnmeasuredRange(netlist, frequency_hz, frequency_hz).value_or(kSingular)};
  }
  return {s, {}};
}

SResult AnalyzeDesign(const Design& design, double frequency_hz) {
  return AnalyzeNetlist(IdealNetlist(design), frequency_hz);
}

SweepResponse AnalyzeSweep(const Netlist& netlist, const Sweep& sweep, std::string& error) {
  SweepResponse response;
  response.frequencies_hz = sweep.Frequencies();
  response.s.assign(response.frequencies_hz.size(), SMatrix(netlist.ports));
  const std::unique_ptr<bool[]> analysed(new bool[response.frequencies_hz.size()]);
  if (BoundNetlist(netlist).AnalyzeMany(response.frequencies_hz, response.s,
                                        {analysed.get(), response.frequencies_hz.size()}) > 0) {
    error = UnmeasuredRange(netlist, sweep.low_hz, sweep.high_hz).value_or(kSingular);
    return {};
  }
  return response;
}

SweepResponse AnalyzeSweep(const Netlist& netlist, std::string& error) {
  return AnalyzeSweep(netlist, FileSweep(netlist.frequency_hz), error);
}

// 10 log10 |z|^2: the same as 20 log10 |z| without the hypot.
double MagnitudeDb(Complex value) { return 10 * std::log10(Norm(value)); }
double PhaseDegrees(Complex value) { return std::arg(value) * 180 / std::numbers::pi; }

}  // namespace rfsplitter
