// Response analysis of a circuit with values: its complex S-parameters at
// any frequency, by nodal analysis of the Netlist's inductors, capacitors and
// resistors, each with its series loss.
//
// The device's ports are the nodes 1..N (3 for the splitter, 4 for the
// hybrids), each referred to Z0.
#ifndef RFSPLITTER_ANALYSIS_S_PARAMETERS_H_
#define RFSPLITTER_ANALYSIS_S_PARAMETERS_H_

#include <array>
#include <complex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/lane_kernel.h"
#include "engine/design.h"
#include "engine/netlist.h"
#include "engine/part_model.h"
#include "engine/sweep.h"

namespace rfsplitter {

using Complex = std::complex<double>;

inline constexpr int kMaxPorts = lanes::kMaxPorts;

// |z|^2 without the library's std::norm, which goes through a hypot.
inline double Norm(Complex z) { return z.real() * z.real() + z.imag() * z.imag(); }

// An N x N scattering matrix, N at most kMaxPorts; ports count from 1 as in
// the netlist. A plain value: no allocation.
class SMatrix {
 public:
  explicit SMatrix(int ports = kMaxPorts) : ports_(ports) {}
  int ports() const { return ports_; }
  Complex& operator()(int to, int from) { return s_[Index(to, from)]; }
  Complex operator()(int to, int from) const { return s_[Index(to, from)]; }

 private:
  static size_t Index(int to, int from) { return size_t(to - 1) * kMaxPorts + size_t(from - 1); }
  int ports_;
  std::array<Complex, kMaxPorts * kMaxPorts> s_{};
};

struct SResult {
  std::optional<SMatrix> s;  // empty when the analysis failed
  std::string error;         // why, when it failed
};

// A Netlist prepared for many analyses: node rows resolved once, the
// elements reduced to what the node matrix needs. Analyze allocates nothing.
class BoundNetlist {
 public:
  explicit BoundNetlist(const Netlist& netlist);

  // The S-parameters at `frequency_hz` (> 0). False when the node matrix is
  // singular there or the frequency is not a positive number.
  bool Analyze(double frequency_hz, SMatrix& s) const;
  // The same for the columns a board's checks need: the first two (S11,
  // S21, S31, S41 and S12, S22, S32, S42), or every one for a splitter of
  // more than two ways, whose outputs are each isolated from the others; the
  // other columns are left zero.
  bool AnalyzeFromPorts1And2(double frequency_hz, SMatrix& s) const;

  enum class Columns { kAll, kFromPorts1And2 };
  // Many frequencies at once, eight to a solve across the processor's vector
  // lanes; point for point the same numbers as Analyze (or
  // AnalyzeFromPorts1And2). `analysed[i]` tells whether point i has an
  // answer; returns how many have none. The spans are equally long.
  size_t AnalyzeMany(std::span<const double> frequencies_hz, std::span<SMatrix> s,
                     std::span<bool> analysed, Columns columns = Columns::kAll) const;
  // The lane solve AnalyzeMany uses: the fastest this processor runs, unless
  // a benchmark or a test picks another variant.
  void UseLaneSolve(lanes::SolveFunction solve) { solve_ = solve; }

  int ports() const { return ports_; }
  // Changes one element's value and loss, by its place in the Netlist, as a
  // sampled board does: no rebinding.
  void SetElement(int index, double value, double loss_ohms) {
    branches_[size_t(index)].value = value;
    branches_[size_t(index)].inverse = 1 / value;
    branches_[size_t(index)].loss = loss_ohms;
  }
  // The same for an element made of two parts.
  void SetPair(int index, double value, double loss_ohms, double second_value,
               double second_loss_ohms);
  // Whether an element's admittance comes from its part model (part_model.h)
  // rather than from its value and fixed loss alone.
  bool IsModelled(int index) const { return branches_[size_t(index)].model >= 0; }

 private:
  // The kernel for this circuit's size, for the first kC columns (0: all).
  template <int kC>
  bool Dispatch(double frequency_hz, SMatrix& s) const;
  // How many columns of S `columns` means here.
  int ColumnCount(Columns columns) const {
    return columns == Columns::kFromPorts1And2 ? check_columns_ : ports_;
  }
  // Analyze or AnalyzeFromPorts1And2, as `columns` says.
  bool AnalyzeColumns(double frequency_hz, SMatrix& s, Columns columns) const {
    return columns == Columns::kFromPorts1And2 ? AnalyzeFromPorts1And2(frequency_hz, s)
                                               : Analyze(frequency_hz, s);
  }
  template <int kN, int kP, int kC>
  bool Kernel(double omega, SMatrix& s) const;

  // A multi-section form has an inner node at each section's junctions.
  static constexpr int kMaxNodes = 16;
  static constexpr int kMaxElements = 40;
  struct Branch {
    int a, b;  // matrix rows; -1 for ground
    ElementKind kind;
    double value;
    double inverse;  // 1 / value, so that the common cases need no division
    double loss;
    int model = -1;  // into models_, for a part with more than a fixed loss
    // An element of two parts: into pairs_ when the branch needs both
    // parts' impedances; merged when they add up to one element of the
    // kind (inductors with fixed losses in series, lossless capacitors in
    // parallel), which the branch's value and loss then are.
    int pair = -1;
    bool merged = false;
    // A board's spread of the part's parasitics: its capacitance across or
    // its ESL times this (1: as modelled).
    double parasitic = 1;
  };
  struct Pair {
    double value, loss;  // the second part's
    ElementModel model;
  };
  // A modelled part's (or pair's) admittance g + jb at `omega`, the second
  // part of a pair at `second`; false outside a measured part's range.
  bool ModelAdmittance(const Branch& e, double value, double loss, const double* second,
                       double omega, double& g, double& b, double parasitic = 1) const;
  friend class BoardLanes;
  // The circuit for the lane solve, every lane at this circuit's values.
  void FillLanes(lanes::Branch* branches) const;
  lanes::Circuit LaneCircuit(const lanes::Branch* branches) const {
    return {branches, branch_count_, nodes_, ports_, 1 / z0_};
  }
  std::array<Branch, kMaxElements> branches_{};
  int branch_count_ = 0;
  std::vector<ElementModel> models_;
  std::vector<Pair> pairs_;
  int inner_ = 0;  // inner nodes, on the first rows
  int nodes_ = 0;
  int ports_ = 0;
  int check_columns_ = 2;
  double z0_ = 50;
  lanes::SolveFunction solve_;
};

// Eight boards of one circuit, each with its own values, solved together
// across the vector lanes: for a Monte Carlo, where every board is analysed
// at the same frequencies. Each board's numbers are bit for bit what a
// BoundNetlist with its values gives.
class BoardLanes {
 public:
  static constexpr int kBoards = lanes::kLanes;

  // Every board at the circuit's values.
  explicit BoardLanes(const BoundNetlist& circuit);

  // As BoundNetlist::SetElement, for one board. The inverse values (and a
  // modelled part's admittance) are worked out when the boards are next
  // solved, eight at a time.
  void SetElement(int board, int index, double value, double loss_ohms) {
    lanes::Branch& b = raw_[size_t(index)];
    b.value[board] = value;
    b.loss[board] = loss_ohms;
    losses_known_ = false;
  }
  // As BoundNetlist::SetPair, for one board.
  void SetPair(int board, int index, double value, double loss_ohms, double second_value,
               double second_loss_ohms);
  // A modelled part's capacitance across it or its ESL, for one board,
  // `scale` times its model's.
  void SetParasiticScale(int board, int index, double scale) {
    parasitic_[size_t(index)][size_t(board)] = scale;
  }
  // A board's value and loss of an element, as last set.
  double Value(int board, int index) const { return raw_[size_t(index)].value[board]; }
  bool IsModelled(int index) const { return scalar_.IsModelled(index); }

  // Solves every board at `frequency_hz`. Returns a bit for each board that
  // has an answer (board k: bit k).
  unsigned Analyze(double frequency_hz,
                   BoundNetlist::Columns columns = BoundNetlist::Columns::kAll);
  // The last answer's S(to, from) for a board.
  Complex S(int board, int to, int from) const {
    const int at = lanes::LaneS::At(to, from);
    return {s_.re[at][board], s_.im[at][board]};
  }
  // The same as a matrix (the columns solved; the others zero).
  void Get(int board, SMatrix& s) const;

 private:
  BoundNetlist scalar_;  // for the boards the lane solve hands back
  BoundNetlist::Columns columns_ = BoundNetlist::Columns::kAll;
  // The boards' values and losses as set, and the branches the solve takes
  // (the same, but for a modelled part's admittance at the frequency).
  std::array<lanes::Branch, BoundNetlist::kMaxElements> raw_;
  std::array<lanes::Branch, BoundNetlist::kMaxElements> branches_;
  // The second parts of the pairs that are not merged: value and loss.
  struct SecondLanes {
    double value[kBoards], loss[kBoards];
  };
  std::array<SecondLanes, BoundNetlist::kMaxElements> second_{};
  std::array<std::array<double, kBoards>, BoundNetlist::kMaxElements> parasitic_;
  lanes::LaneS s_;
  bool losses_known_ = true;  // each branch's `losses` and `inverse` up to date
};

// The S-parameters of a circuit at `frequency_hz` (> 0).
SResult AnalyzeNetlist(const Netlist& netlist, double frequency_hz);
// The same for a design's ideal circuit.
SResult AnalyzeDesign(const Design& design, double frequency_hz);

// The response over a sweep, with the frequencies it was analysed at.
struct SweepResponse {
  std::vector<double> frequencies_hz;
  std::vector<SMatrix> s;
};

// Empty frequencies, with `error` set, when the analysis fails at a point.
SweepResponse AnalyzeSweep(const Netlist& netlist, const Sweep& sweep, std::string& error);
// Over the simulation file's sweep.
SweepResponse AnalyzeSweep(const Netlist& netlist, std::string& error);

// The 5 % to 95 % spread of a family of boards over a sweep, for the plots.
struct SweepSpread {
  struct Band {
    std::vector<double> low, high;  // one value per sweep point
  };
  std::vector<double> frequencies_hz;
  Band s21_db, s31_db, s32_db, s41_db, s11_db;  // s41_db for the hybrids only
  // The phase difference less 90 degrees for a hybrid (as the limits see
  // it), and |S21| dB - |S31| dB.
  Band phase_error_deg, imbalance_db;
};

double MagnitudeDb(Complex value);
double PhaseDegrees(Complex value);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ANALYSIS_S_PARAMETERS_H_
