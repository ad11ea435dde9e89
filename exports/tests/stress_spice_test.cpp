// The stress figures against the real ngspice's AC analysis of the same
// circuit (the exported netlist with the test's own sources and loads), and
// the textbook cases of a splitter driven and used as a combiner.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include "analysis/stress.h"
#include "engine/number_text.h"
#include "engine/tests/scratch_directory.h"
#include "engine/topologies.h"
#include "exports/exports.h"
#include "parts/fit.h"
#include "parts/presets.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;
using Complex = std::complex<double>;

// The node voltages ngspice finds at f0 with each port behind a 50-ohm
// source of `drives`' power and phase, or loaded to `drives`' reflection
// (its reactance an inductor or a capacitor at f0).
std::vector<Complex> NgspiceNodeVoltages(const Netlist& n, const std::vector<PortDrive>& drives) {
  const ScratchDirectory scratch;
  const fs::path& dir = scratch.path();
  std::string deck = SpiceNetlist(n);
  deck.erase(deck.find("\nV1 ") + 1);
  const double f0 = n.frequency_hz, w0 = 2 * std::numbers::pi * f0;
  std::vector<int> nodes;
  for (const NetlistElement& e : n.elements) {
    for (const int node : {e.node_a, e.node_b}) {
      if (node != 0 && std::find(nodes.begin(), nodes.end(), node) == nodes.end()) {
        nodes.push_back(node);
      }
    }
  }
  for (int port = 1; port <= n.ports; ++port) {
    const PortDrive d = size_t(port) <= drives.size() ? drives[size_t(port - 1)] : PortDrive{};
    const std::string p = std::to_string(port);
    if (d.power_w > 0) {
      deck += "VS" + p + " s" + p + " 0 dc 0 ac " +
              ShortestText(2 * std::sqrt(2 * d.power_w * 50)) + " " + ShortestText(d.phase_deg) +
              "\nRS" + p + " s" + p + " " + p + " 50\n";
      continue;
    }
    const Complex z = 50.0 * (1.0 + d.reflection) / (1.0 - d.reflection);
    deck += "RL" + p + " " + p + " x" + p + " " + ShortestText(z.real()) + "\n";
    if (z.imag() > 1e-9) {
      deck += "LL" + p + " x" + p + " 0 " + ShortestText(z.imag() / w0) + "\n";
    } else if (z.imag() < -1e-9) {
      deck += "CL" + p + " x" + p + " 0 " + ShortestText(-1 / (w0 * z.imag())) + "\n";
    } else {
      deck += "VL" + p + " x" + p + " 0 0\n";
    }
  }
  deck += ".control\nset wr_singlescale\nset numdgt=15\nac lin 1 " + ShortestText(f0) + " " +
          ShortestText(f0) + "\nwrdata nodes.txt";
  for (const int node : nodes) deck += " v(" + std::to_string(node) + ")";
  deck += "\nquit 0\n.endc\n.end\n";
  std::ofstream(dir / "stress.cir") << deck;
  const std::string command =
      "cd '" + dir.string() + "' && '" RFSPLITTER_NGSPICE "' -b stress.cir > ngspice.log 2>&1";
  if (std::system(command.c_str()) != 0) {
    std::ostringstream log;
    log << std::ifstream(dir / "ngspice.log").rdbuf();
    ADD_FAILURE() << "ngspice failed:\n" << log.str() << deck;
    return {};
  }
  std::ifstream results(dir / "nodes.txt");
  double f = 0;
  results >> f;
  std::vector<Complex> v(size_t(*std::max_element(nodes.begin(), nodes.end()) + 1));
  for (const int node : nodes) {
    double re = 0, im = 0;
    results >> re >> im;
    v[size_t(node)] = {re, im};
  }
  return v;
}

void ExpectNgspiceToAgree(const Netlist& n, const std::vector<PortDrive>& drives) {
  const std::optional<Excited> ours = Excite(n, drives, n.frequency_hz);
  ASSERT_TRUE(ours);
  const std::vector<Complex> v = NgspiceNodeVoltages(n, drives);
  ASSERT_FALSE(v.empty());
  // Within 1 %, or 0.1 % of the largest voltage where a part has next to
  // none across it.
  double largest = 0;
  for (const PartStress& p : ours->parts) largest = std::max(largest, p.v_peak);
  size_t part = 0;
  for (const NetlistElement& e : n.elements) {
    if (e.pad) continue;
    const double across = std::abs(v[size_t(e.node_a)] - v[size_t(e.node_b)]);
    EXPECT_NEAR(ours->parts[part].v_peak, across, 0.01 * across + 1e-3 * largest) << e.name;
    if (e.kind == ElementKind::kResistor && !e.model.Dynamic(e.kind)) {
      EXPECT_NEAR(ours->parts[part].p_diss_w / (across * across / (2 * e.value)), 1, 0.01);
    }
    ++part;
  }
}

BuiltCircuit Built(Topology topology, bool pairs) {
  PartsChoice choice;
  choice.inductors = PartSeries::Standard("E12");
  choice.capacitors = PartSeries::Standard("E24");
  choice.resistors = PartSeries::Standard("E24");
  choice.method = pairs ? FitMethod::kMargin : FitMethod::kBest;
  choice.pairs = pairs;
  FitGoal goal;
  goal.effort = 0.05;
  return FitParts(ComputeDesign(topology, {915, 50}), choice, *ChipPreset("0402-mounted"), goal);
}

TEST(StressAgainstNgspice, DrivenMismatchedAndCombinedBoards) {
  const Netlist splitter = Built(Topology::kNarrowSplitter, false).netlist;
  ExpectNgspiceToAgree(splitter, {{}, {0, 1, 0}, {0, 1, 180}});
  ExpectNgspiceToAgree(splitter,
                       {{0, 2, 30}, {std::polar(1.0 / 3, 1.0)}, {std::polar(1.0 / 3, -2.0)}});
  const Netlist hybrid = Built(Topology::kWideQuad, true).netlist;
  ASSERT_TRUE(std::any_of(hybrid.elements.begin(), hybrid.elements.end(),
                          [](const NetlistElement& e) { return e.second.has_value(); }));
  ExpectNgspiceToAgree(hybrid, {{0, 0.5, 0}, {std::polar(0.5, 2.5)}, {std::polar(0.2, -0.7)}});
  ExpectNgspiceToAgree(hybrid, {{}, {0, 1, 0}, {0, 1, 90}});
}

// Driven at port 1, an ideal splitter sends half the power to each output
// and none into its resistor; as a combiner with its inputs 180 degrees
// apart, the resistor takes both inputs' power and port 1 nothing.
TEST(StressScenarios, TextbookSplitter) {
  const Netlist ideal = IdealNetlist(ComputeDesign(Topology::kNarrowSplitter, {915, 50}));
  const std::optional<Excited> driven = Excite(ideal, {{0, 2, 0}}, ideal.frequency_hz);
  ASSERT_TRUE(driven);
  EXPECT_NEAR(driven->port_power_w[1], 1, 1e-6);
  EXPECT_NEAR(driven->port_power_w[2], 1, 1e-6);
  EXPECT_NEAR(driven->parts.back().p_diss_w, 0, 1e-9);

  std::string error;
  const std::vector<StressScenario> scenarios = StressScenarios(ideal, {1.5, 2}, error);
  ASSERT_EQ(scenarios.size(), 3u) << error;
  const StressScenario& combined = scenarios[2];
  EXPECT_EQ(combined.key, "combined");
  EXPECT_NEAR(combined.parts.back().p_diss_w, 3, 1e-6);  // R1: 1.5 W + 1.5 W
  EXPECT_NEAR(combined.port_power_w[0], 3, 1e-6);        // in phase, all of it at port 1
  // A mismatch only adds: every figure at least as large as when matched.
  for (size_t i = 0; i < scenarios[0].parts.size(); ++i) {
    EXPECT_GE(scenarios[1].parts[i].v_peak, scenarios[0].parts[i].v_peak * (1 - 1e-9));
  }
  EXPECT_GT(scenarios[1].parts.back().p_diss_w, 0.05);
}

}  // namespace
}  // namespace rfsplitter
