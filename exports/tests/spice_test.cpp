// The exported netlist run by the real ngspice agrees with the built-in
// analysis across the sweep.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/form_netlist.h"
#include "engine/tests/scratch_directory.h"
#include "engine/topologies.h"
#include "exports/exports.h"
#include "parts/fit.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;

class SpiceTest : public testing::TestWithParam<Topology> {};

// `expected`, when given, is the circuit ngspice is meant to simulate where
// it cannot express `d` itself.
void ExpectNgspiceToAgree(const Netlist& d, const Netlist* expected_circuit = nullptr) {
  const ScratchDirectory scratch;
  const fs::path& dir = scratch.path();
  std::ofstream(dir / SpiceFileName(d)) << SpiceNetlist(d);

  const std::string command = "cd '" + dir.string() + "' && '" RFSPLITTER_NGSPICE "' -b " +
                              SpiceFileName(d) + " > ngspice.log 2>&1";
  if (std::system(command.c_str()) != 0) {
    std::ostringstream log;
    log << std::ifstream(dir / "ngspice.log").rdbuf();
    FAIL() << "ngspice failed:\n" << log.str();
  }

  std::string error;
  const SweepResponse expected = AnalyzeSweep(expected_circuit ? *expected_circuit : d, error);
  ASSERT_EQ(expected.s.size(), 200u) << error;
  const int ports = d.ports;
  std::ifstream results(dir / SpiceResultFileName(d));
  size_t point = 0;
  for (std::string line; std::getline(results, line); ++point) {
    ASSERT_LT(point, 200u);
    std::istringstream fields(line);
    double f = 0;
    fields >> f;
    EXPECT_NEAR(f / expected.frequencies_hz[point], 1, 1e-12);
    std::vector<Complex> s;
    for (double re, im; fields >> re >> im;) s.emplace_back(re, im);
    ASSERT_EQ(s.size(), size_t(ports * ports));
    const auto at = [&](int to, int from) { return s[size_t((to - 1) * ports + from - 1)]; };
    for (const auto& [to, from] : {std::pair{2, 1}, {3, 1}, {1, 1}}) {
      EXPECT_NEAR(MagnitudeDb(at(to, from)), MagnitudeDb(expected.s[point](to, from)), 0.01)
          << "S" << to << from << " at " << f << " Hz";
    }
  }
  EXPECT_EQ(point, 200u);
}

// The forms beyond the three, checked by an independent solver on the
// program's own netlists: the four-way splitter (five ports), the
// three-section splitter of high-pass arms, a 3 dB-split hybrid, the ring.
TEST(SpiceForms, NgspiceAgreesOnEveryFamily) {
  for (const Form& form : {Form{FormFamily::kSplitter, 4, 0, 1, ArmForm::kLowPass},
                           Form{FormFamily::kSplitter, 2, 0, 3, ArmForm::kHighPass},
                           Form{FormFamily::kSplitter, 2, 6, 1, ArmForm::kLowPass},
                           Form{FormFamily::kQuad, 2, 3, 1, ArmForm::kLowPass},
                           Form{FormFamily::kRing, 2, 0, 1, ArmForm::kHighPass}}) {
    SCOPED_TRACE(std::string(FamilyName(form.family)) + " " + std::to_string(form.ways) + " ways " +
                 std::to_string(form.sections) + " sections");
    ExpectNgspiceToAgree(FormNetlist(form, {433.92f, 50}));
  }
}

TEST_P(SpiceTest, NgspiceAgreesWithTheAnalysis) {
  ExpectNgspiceToAgree(IdealNetlist(ComputeDesign(GetParam(), {12.1f, 50})));
}

// The parts' losses travel as series resistors, and a circuit built from
// standard values is exported with them.
TEST_P(SpiceTest, NgspiceAgreesOnABuiltCircuitWithLosses) {
  PartsChoice choice;
  choice.inductors = PartSeries::Standard("E12");
  choice.capacitors = PartSeries::Standard("E24");
  choice.resistors = PartSeries::Standard("E24");
  const BuiltCircuit built =
      FitParts(ComputeDesign(GetParam(), {433.92f, 50}), choice, QualityFactors(50, 500));
  ASSERT_GT(built.netlist.elements.front().loss_ohms, 0);
  ExpectNgspiceToAgree(built.netlist);
}

// Every parasitic ngspice can express travels in a subcircuit per part;
// an inductor whose R changes with frequency other than linearly is
// exported with its R at the design frequency, and said to be.
TEST_P(SpiceTest, NgspiceAgreesOnPartsWithParasitics) {
  PartModels models;
  models.inductor.q = 60;
  models.inductor.q_at_hz = 900e6;
  models.inductor.srf_hz = 3.1e9;
  models.capacitor.esl_h = 0.4e-9;
  models.capacitor.esr_ohms = 0.2;
  models.resistor.parallel_c_f = 0.05e-12;
  models.pad_capacitance_f = 0.1e-12;
  const Design design = ComputeDesign(GetParam(), {915, 50});
  const BuiltCircuit built = FitParts(design, {}, models);
  ASSERT_NE(built.netlist.Find("PAD1"), nullptr);
  ExpectNgspiceToAgree(built.netlist);
  EXPECT_EQ(SpiceNetlist(built.netlist).find("changes with frequency"), std::string::npos);

  models.inductor.q_profile = QProfile::kSqrt;
  const Netlist sqrt_q = FitParts(design, {}, models).netlist;
  Netlist at_f0 = sqrt_q;
  for (NetlistElement& e : at_f0.elements) {
    if (e.kind != ElementKind::kInductor) continue;
    // Q(f0) = Q0 (f0 / fQ)^0.5, as a linear Q at f0: R = w0 L / Q(f0).
    e.model.q = 60 * std::sqrt(915e6 / 900e6);
    e.model.q_at_hz = 915e6;
    e.model.q_exponent = 1;
    e.loss_ohms = FixedLossOhms(e.kind, e.value, e.model);
  }
  ExpectNgspiceToAgree(sqrt_q, &at_f0);
  EXPECT_NE(SpiceNetlist(sqrt_q).find("* L1: R(f) = 2 pi f L / Q(f) changes with frequency"),
            std::string::npos);
}

// Each element two parts: two inductors in series through a node of their
// own, two capacitors side by side, each with its loss.
TEST_P(SpiceTest, NgspiceAgreesOnPairsOfParts) {
  Netlist n = IdealNetlist(ComputeDesign(GetParam(), {433.92f, 50}));
  for (NetlistElement& e : n.elements) {
    e.second = SecondPart{0.3 * e.value, 0, {}};
    e.value *= 0.7;
  }
  ApplyModels(n, QualityFactors(40, 200));
  ExpectNgspiceToAgree(n);
  const std::string netlist = SpiceNetlist(n);
  EXPECT_NE(netlist.find("\nL1A "), std::string::npos) << netlist;
  EXPECT_NE(netlist.find("\nL1B 1001 "), std::string::npos) << netlist;
}

INSTANTIATE_TEST_SUITE_P(, SpiceTest, testing::ValuesIn(kAllTopologies),
                         [](const testing::TestParamInfo<Topology>& param_info) {
                           return std::string(TextsOf(param_info.param).file_stem);
                         });

TEST(SpiceNetlist, PutsEachLossInSeriesOnANodeOfItsOwn) {
  Netlist n = IdealNetlist(ComputeDesign(Topology::kNarrowSplitter, {12.1f, 50}));
  n.elements[0].loss_ohms = 1.5;
  const std::string netlist = SpiceNetlist(n);
  EXPECT_NE(netlist.find("\nL1 1 1001 9.30219269659608E-07\nRLOSS_L1 1001 3 1.5\n"),
            std::string::npos)
      << netlist;
  EXPECT_NE(netlist.find("\nL2 1 2 9.30219269659608E-07\n"), std::string::npos);
}

TEST(SpiceNetlist, HasTheDeviceAndPortSourcesButNotTheTermination) {
  const std::string netlist =
      SpiceNetlist(IdealNetlist(ComputeDesign(Topology::kNarrowQuad, {12.1f, 50})));
  EXPECT_NE(netlist.find("\nL1 4 3 4.65109634829804E-07\n"), std::string::npos);
  EXPECT_NE(netlist.find("\nC4 2 0 6.3515371732358E-10\n"), std::string::npos);
  EXPECT_NE(netlist.find("\nV4 4 0 dc 0 ac 1 portnum 4 z0 50\n"), std::string::npos);
  EXPECT_EQ(netlist.find("\nR1 "), std::string::npos);
  const std::string splitter =
      SpiceNetlist(IdealNetlist(ComputeDesign(Topology::kNarrowSplitter, {12.1f, 50})));
  EXPECT_NE(splitter.find("\nR1 2 3 100\n"), std::string::npos);
  EXPECT_EQ(splitter.find("portnum 4"), std::string::npos);
}

}  // namespace
}  // namespace rfsplitter
