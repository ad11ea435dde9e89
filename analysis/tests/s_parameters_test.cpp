#include "analysis/s_parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "engine/topologies.h"

namespace rfsplitter {
namespace {

struct Case {
  std::string name;
  Topology topology;
  DesignInputs inputs;
};

std::string Name(const testing::TestParamInfo<Case>& info) { return info.param.name; }

// Every topology across the accepted input ranges.
std::vector<Case> Spread() {
  std::vector<Case> cases;
  const struct {
    const char* name;
    DesignInputs inputs;
  } inputs[] = {{"Default", {12.1f, 50}},        {"LowestCorner", {0.001f, 1}},
                {"HighestCorner", {50000, 500}}, {"LowHigh", {0.001f, 500}},
                {"HighLow", {50000, 1}},         {"Odd", {433.92f, 75}},
                {"Seventy", {1.8f, 37.5f}}};
  const char* topologies[] = {"NarrowSplitter", "NarrowQuad", "WideQuad"};
  for (int t = 0; t < 3; ++t) {
    for (const auto& in : inputs) {
      cases.push_back({std::string(topologies[t]) + "_" + in.name, kAllTopologies[t], in.inputs});
    }
  }
  return cases;
}

class DesignFrequencyTest : public testing::TestWithParam<Case> {
 protected:
  SMatrix Analyze(double scale = 1) {
    design_ = ComputeDesign(GetParam().topology, GetParam().inputs);
    SResult result = AnalyzeDesign(design_, design_.frequency_hz * scale);
    EXPECT_TRUE(result.s) << result.error;
    return *result.s;
  }
  Design design_;
};

TEST_P(DesignFrequencyTest, SplitsEquallyMatchedAndIsolated) {
  const SMatrix s = Analyze();
  EXPECT_NEAR(MagnitudeDb(s(2, 1)), -3.0103, 0.05);
  EXPECT_NEAR(MagnitudeDb(s(3, 1)), -3.0103, 0.05);
  EXPECT_LT(MagnitudeDb(s(1, 1)), -40);
  EXPECT_LT(MagnitudeDb(s(3, 2)), -40);
  if (s.ports() == 4) {
    EXPECT_LT(MagnitudeDb(s(4, 1)), -40);
  }

  double difference = std::remainder(PhaseDegrees(s(3, 1)) - PhaseDegrees(s(2, 1)), 360.0);
  const double expected = GetParam().topology == Topology::kNarrowSplitter ? 0 : 90;
  EXPECT_NEAR(std::abs(difference), expected, 0.5);
}

// Reciprocal and, with lossless arms and resistive terminations, passive:
// no column of S carries out more power than goes in, at any frequency.
TEST_P(DesignFrequencyTest, ReciprocalAndPassiveAcrossTheSweep) {
  for (const double scale : {0.1, 0.5, 0.93, 1.0, 1.07, 1.9, 10.0}) {
    const SMatrix s = Analyze(scale);
    for (int from = 1; from <= s.ports(); ++from) {
      double power = 0;
      for (int to = 1; to <= s.ports(); ++to) {
        EXPECT_NEAR(std::abs(s(to, from) - s(from, to)), 0, 1e-9) << to << from << " x" << scale;
        power += std::norm(s(to, from));
      }
      EXPECT_LE(power, 1 + 1e-9) << "port " << from << " x" << scale;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(, DesignFrequencyTest, testing::ValuesIn(Spread()), Name);

// The hybrids' port-4 resistor terminates the port for the simulator; the
// device itself is lossless, so its S-matrix is unitary.
TEST(AnalyzeDesign, HybridDevicesAreLossless) {
  for (const Topology t : {Topology::kNarrowQuad, Topology::kWideQuad}) {
    const Design d = ComputeDesign(t, {12.1f, 50});
    const SMatrix s = *AnalyzeDesign(d, 0.8 * d.frequency_hz).s;
    ASSERT_EQ(s.ports(), 4);
    for (int from = 1; from <= 4; ++from) {
      double power = 0;
      for (int to = 1; to <= 4; ++to) power += std::norm(s(to, from));
      EXPECT_NEAR(power, 1, 1e-9);
    }
  }
}

// A hand-solved check of the nodal analysis: at the splitter's design
// frequency each arm is a quarter-wave of sqrt(2) Z0 in the limit, so an
// incident wave reaches both outputs with -90 degrees.
TEST(AnalyzeDesign, SplitterOutputsLagByAQuarterWave) {
  const Design d = ComputeDesign(Topology::kNarrowSplitter, {10, 50});
  const SMatrix s = *AnalyzeDesign(d, d.frequency_hz).s;
  EXPECT_NEAR(PhaseDegrees(s(2, 1)), -90, 0.1);
  EXPECT_NEAR(std::abs(s(2, 1)), 1 / std::sqrt(2.0), 1e-3);
  EXPECT_NEAR(std::abs(s(2, 1) - s(3, 1)), 0, 1e-12);
}

TEST(AnalyzeDesign, RefusesFrequenciesWithoutAnAnswer) {
  const Design d = ComputeDesign(Topology::kWideQuad, {12.1f, 50});
  for (const double f : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
    const SResult result = AnalyzeDesign(d, f);
    EXPECT_FALSE(result.s);
    EXPECT_FALSE(result.error.empty());
  }
}

TEST(AnalyzeDesign, ReportsASingularCircuitInsteadOfNumbers) {
  // Zero inductances short every arm: the port nodes become one node and
  // the node matrix has no inverse.
  Design d = ComputeDesign(Topology::kNarrowQuad, {12.1f, 50});
  for (NamedValue& q : d.quantities) {
    if (q.name == "Lt" || q.name == "Lb") q.value.value = 0;
  }
  const SResult result = AnalyzeDesign(d, d.frequency_hz);
  EXPECT_FALSE(result.s);
  EXPECT_NE(result.error.find("singular"), std::string::npos);
}

// The straightforward nodal solve, kept as the reference for the fast
// kernel: a map from nodes to rows, library complex arithmetic, Gaussian
// elimination with partial pivoting on |z|.
std::optional<SMatrix> ReferenceAnalysis(const Netlist& netlist, double f) {
  const double omega = 2 * M_PI * f;
  std::map<int, size_t> row_of;
  for (int port = 1; port <= netlist.ports; ++port) row_of[port] = size_t(port - 1);
  for (const NetlistElement& e : netlist.elements) {
    for (const int node : {e.node_a, e.node_b}) {
      if (node != 0 && !row_of.contains(node)) row_of[node] = row_of.size();
    }
  }
  const size_t n = row_of.size();
  const size_t ports = size_t(netlist.ports);
  std::vector<std::vector<Complex>> y(n, std::vector<Complex>(n + ports));
  for (const NetlistElement& e : netlist.elements) {
    Complex z = e.kind == ElementKind::kInductor    ? Complex(0, omega * e.value)
                : e.kind == ElementKind::kCapacitor ? 1.0 / Complex(0, omega * e.value)
                                                    : Complex(e.value);
    const Complex admittance = 1.0 / (z + e.loss_ohms);
    const int a = e.node_a, b = e.node_b;
    if (a != 0) y[row_of[a]][row_of[a]] += admittance;
    if (b != 0) y[row_of[b]][row_of[b]] += admittance;
    if (a != 0 && b != 0) {
      y[row_of[a]][row_of[b]] -= admittance;
      y[row_of[b]][row_of[a]] -= admittance;
    }
  }
  for (size_t p = 0; p < ports; ++p) {
    y[p][p] += 1 / netlist.z0;
    y[p][n + p] = 1 / netlist.z0;
  }
  for (size_t col = 0; col < n; ++col) {
    size_t pivot = col;
    for (size_t row = col + 1; row < n; ++row) {
      if (std::abs(y[row][col]) > std::abs(y[pivot][col])) pivot = row;
    }
    if (std::abs(y[pivot][col]) == 0) return std::nullopt;
    std::swap(y[col], y[pivot]);
    for (size_t row = 0; row < n; ++row) {
      if (row == col) continue;
      const Complex factor = y[row][col] / y[col][col];
      for (size_t k = col; k < n + ports; ++k) y[row][k] -= factor * y[col][k];
    }
  }
  SMatrix s(netlist.ports);
  for (size_t to = 0; to < ports; ++to) {
    for (size_t from = 0; from < ports; ++from) {
      s(int(to + 1), int(from + 1)) = 2.0 * y[to][n + from] / y[to][to] - (to == from ? 1.0 : 0.0);
    }
  }
  return s;
}

TEST(BoundNetlist, AgreesWithTheStraightforwardSolve) {
  for (const Topology t : kAllTopologies) {
    for (const bool lossy : {false, true}) {
      Netlist netlist = IdealNetlist(ComputeDesign(t, {433.92f, 50}));
      if (lossy) {
        for (NetlistElement& e : netlist.elements) e.loss_ohms = 0.5 + 0.1 * double(e.node_a);
      }
      const BoundNetlist bound(netlist);
      for (const double f : FileSweep(netlist.frequency_hz).Frequencies()) {
        SMatrix fast;
        ASSERT_TRUE(bound.Analyze(f, fast));
        const std::optional<SMatrix> reference = ReferenceAnalysis(netlist, f);
        ASSERT_TRUE(reference);
        for (int to = 1; to <= netlist.ports; ++to) {
          for (int from = 1; from <= netlist.ports; ++from) {
            EXPECT_NEAR(std::abs(fast(to, from) - (*reference)(to, from)), 0, 1e-12)
                << TextsOf(t).file_stem << (lossy ? " lossy" : "") << " S" << to << from << " at "
                << f;
          }
        }
      }
    }
  }
}

// Every lane-solve variant this processor can run.
std::vector<std::pair<std::string, lanes::SolveFunction>> LaneVariants() {
  std::vector<std::pair<std::string, lanes::SolveFunction>> variants = {
      {"generic", lanes::SolveGeneric}};
#ifdef __x86_64__
  if (__builtin_cpu_supports("avx2")) variants.emplace_back("avx2", lanes::SolveAvx2);
  if (__builtin_cpu_supports("avx512f")) variants.emplace_back("avx512", lanes::SolveAvx512);
#endif
  return variants;
}

bool SameBits(const SMatrix& a, const SMatrix& b) {
  if (a.ports() != b.ports()) return false;
  for (int to = 1; to <= a.ports(); ++to) {
    for (int from = 1; from <= a.ports(); ++from) {
      const Complex x = a(to, from), y = b(to, from);
      if (std::memcmp(&x, &y, sizeof(Complex)) != 0) return false;
    }
  }
  return true;
}

TEST(BoundNetlist, ManyAtOnceGivesTheScalarSolveBitForBit) {
  // The sweep, a sampled board's odd values with losses, both column sets,
  // and lengths that leave a partial group of eight.
  for (const auto& [variant, solve] : LaneVariants()) {
    for (const Topology t : kAllTopologies) {
      for (const bool lossy : {false, true}) {
        Netlist netlist = IdealNetlist(ComputeDesign(t, {433.92f, 50}));
        for (size_t i = 0; i < netlist.elements.size(); ++i) {
          NetlistElement& e = netlist.elements[i];
          e.value *= 1 + 0.07 * std::sin(double(i) * 1.7);
          if (lossy) e.loss_ohms = 0.3 + 0.2 * double(i);
        }
        BoundNetlist bound(netlist);
        bound.UseLaneSolve(solve);
        std::vector<double> f = FileSweep(netlist.frequency_hz).Frequencies();
        f.resize(197);
        for (const auto columns :
             {BoundNetlist::Columns::kAll, BoundNetlist::Columns::kFromPorts1And2}) {
          std::vector<SMatrix> many(f.size());
          std::unique_ptr<bool[]> flags(new bool[f.size()]);
          ASSERT_EQ(bound.AnalyzeMany(f, many, {flags.get(), f.size()}, columns), 0u);
          for (size_t i = 0; i < f.size(); ++i) {
            SMatrix one;
            ASSERT_TRUE(columns == BoundNetlist::Columns::kAll
                            ? bound.Analyze(f[i], one)
                            : bound.AnalyzeFromPorts1And2(f[i], one));
            EXPECT_TRUE(flags[i]);
            EXPECT_TRUE(SameBits(many[i], one))
                << variant << " " << TextsOf(t).file_stem << (lossy ? " lossy" : "") << " at "
                << f[i] << (columns == BoundNetlist::Columns::kAll ? "" : " two columns");
          }
        }
      }
    }
  }
}

TEST(BoardLanes, EachBoardGetsWhatItsOwnCircuitGivesBitForBit) {
  // Eight boards with their own values: four lossless, four lossy, and one
  // of them with its inductors shorted, which has no answer; then with
  // parts whose model needs their whole impedance, and pads; then with
  // every element two parts (lossy inductors in series, which add up to one
  // inductor, and lossy capacitors in parallel, which do not).
  PartModels models;
  models.inductor.q = 40, models.inductor.q_at_hz = 1e9;
  models.inductor.q_profile = QProfile::kSqrt;
  models.inductor.srf_hz = 2e9;
  models.capacitor.esl_h = 0.4e-9;
  models.pad_capacitance_f = 0.2e-12;
  enum Parts { kPlain, kModelled, kPairs };
  for (const auto& [variant, solve] : LaneVariants()) {
    for (const auto& [t, parts] : {std::pair{Topology::kNarrowSplitter, kPlain},
                                   {Topology::kNarrowQuad, kPlain},
                                   {Topology::kWideQuad, kPlain},
                                   {Topology::kNarrowSplitter, kModelled},
                                   {Topology::kWideQuad, kModelled},
                                   {Topology::kNarrowQuad, kPairs},
                                   {Topology::kWideQuad, kPairs}}) {
      Netlist nominal = IdealNetlist(ComputeDesign(t, {433.92f, 50}));
      if (parts == kModelled) ApplyModels(nominal, models);
      if (parts == kPairs) {
        for (NetlistElement& e : nominal.elements) e.second = SecondPart{0.5 * e.value, 0, {}};
        ApplyModels(nominal, QualityFactors(40, 200));
      }
      BoundNetlist bound(nominal);
      bound.UseLaneSolve(solve);
      BoardLanes boards(bound);
      std::vector<BoundNetlist> alone;
      for (int k = 0; k < BoardLanes::kBoards; ++k) {
        Netlist board = nominal;
        for (size_t i = 0; i < board.elements.size(); ++i) {
          NetlistElement& e = board.elements[i];
          e.value *= 1 + 0.05 * std::sin(double(k * 13 + int(i)));
          if (k >= 4) e.loss_ohms = 0.1 * double(k + int(i));
          if (k == 6 && e.kind == ElementKind::kInductor) e.value = 0;
          if (SecondPart* second = e.second ? &*e.second : nullptr) {
            second->value *= 1 + 0.03 * std::cos(double(k * 7 + int(i)));
            if (k >= 4) second->loss_ohms = 0.05 * double(k + int(i));
            if (k == 6 && e.kind == ElementKind::kInductor) second->value = 0;
            boards.SetPair(k, int(i), e.value, e.loss_ohms, second->value, second->loss_ohms);
          } else {
            boards.SetElement(k, int(i), e.value, e.loss_ohms);
          }
        }
        alone.emplace_back(board);
      }
      const std::string what = std::string(TextsOf(t).file_stem) +
                               (parts == kModelled ? " modelled" : parts == kPairs ? " pairs" : "");
      for (const double f : FileSweep(nominal.frequency_hz).Frequencies()) {
        const unsigned answered = boards.Analyze(f);
        for (int k = 0; k < BoardLanes::kBoards; ++k) {
          SMatrix expected, got;
          const bool ok = alone[size_t(k)].Analyze(f, expected);
          ASSERT_EQ(bool(answered & (1u << k)), ok)
              << variant << " " << what << " board " << k << " at " << f;
          if (!ok) continue;
          boards.Get(k, got);
          EXPECT_TRUE(SameBits(got, expected))
              << variant << " " << what << " board " << k << " at " << f;
        }
      }
    }
  }
}

TEST(BoundNetlist, PicksTheWidestLaneSolveTheProcessorRuns) {
  std::string expected = "generic";
#ifdef __x86_64__
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) expected = "avx2";
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")) expected = "avx512";
#endif
  EXPECT_EQ(lanes::BestSolveName(), expected);
}

TEST(BoundNetlist, ManyAtOnceMarksThePointsWithoutAnAnswer) {
  Netlist shorted = IdealNetlist(ComputeDesign(Topology::kNarrowQuad, {12.1f, 50}));
  const Netlist good = shorted;
  for (NetlistElement& e : shorted.elements) {
    if (e.kind == ElementKind::kInductor) e.value = 0;
  }
  const double f0 = good.frequency_hz;
  const std::vector<double> f = {f0, 0, -f0, NAN, f0 * 2, INFINITY, f0 / 2, f0, f0 * 3};
  for (const auto& [variant, solve] : LaneVariants()) {
    BoundNetlist bound(good);
    bound.UseLaneSolve(solve);
    std::vector<SMatrix> s(f.size());
    bool analysed[9];
    EXPECT_EQ(bound.AnalyzeMany(f, s, analysed), 4u) << variant;
    const bool expected[9] = {true, false, false, false, true, false, true, true, true};
    for (size_t i = 0; i < f.size(); ++i) EXPECT_EQ(analysed[i], expected[i]) << variant << i;

    BoundNetlist singular(shorted);
    singular.UseLaneSolve(solve);
    EXPECT_EQ(singular.AnalyzeMany(f, s, analysed), f.size()) << variant;
  }
}

TEST(FileSweep, TwoHundredLogPointsWithExactEnds) {
  const std::vector<double> f = FileSweep(1e6 * double{12.1f}).Frequencies();
  ASSERT_EQ(f.size(), 200u);
  EXPECT_EQ(f.front(), 0.1 * (1e6 * double{12.1f}));
  EXPECT_EQ(f.back(), 1.9 * (1e6 * double{12.1f}));
  const double ratio = f[1] / f[0];
  for (size_t i = 1; i < f.size(); ++i) EXPECT_NEAR(f[i] / f[i - 1], ratio, 1e-12);
  EXPECT_NEAR(std::pow(ratio, 199), 19, 1e-9);
}

}  // namespace
}  // namespace rfsplitter
