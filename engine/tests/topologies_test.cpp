#include "engine/topologies.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "engine/number_text.h"

namespace rfsplitter {
namespace {

const DesignInputs kInputs{12.1f, 50.0f};

std::string Text(const Design& design, const char* name) {
  return NumberText(design.Quantity(name));
}

std::vector<std::string> Labels(const std::vector<NamedValue>& values) {
  std::vector<std::string> labels;
  for (const NamedValue& v : values) labels.push_back(v.name);
  return labels;
}

TEST(ComputeDesign, NarrowSplitterAt12Point1MHz) {
  const Design d = ComputeDesign(Topology::kNarrowSplitter, kInputs);
  EXPECT_EQ(Text(d, "L"), "9.30219269659608E-07");
  EXPECT_EQ(Text(d, "Cin"), "3.72087707863843E-10");
  EXPECT_EQ(Text(d, "C"), "1.86043853931922E-10");
  EXPECT_EQ(d.Quantity("R"), Number::Single(100));
  EXPECT_EQ(d.resistor, Number::Single(100));
  EXPECT_EQ(Labels(d.listing), (std::vector<std::string>{"L1", "L2", "C1", "C2", "C3", "R"}));
  EXPECT_EQ(Labels(d.variables), (std::vector<std::string>{"L1", "C1", "C2"}));
  EXPECT_EQ(d.listing[2].value, d.Quantity("Cin"));
  EXPECT_EQ(d.listing[5].value, d.Quantity("R"));
}

TEST(ComputeDesign, NarrowQuadAt12Point1MHz) {
  const Design d = ComputeDesign(Topology::kNarrowQuad, kInputs);
  EXPECT_EQ(Text(d, "Lt"), "4.65109634829804E-07");
  EXPECT_EQ(Text(d, "Lb"), "6.57665023649343E-07");
  EXPECT_EQ(Text(d, "Cnode"), "6.3515371732358E-10");
  // The isolated port's load is Z0, matched like the other ports.
  EXPECT_EQ(d.resistor, Number::Single(50));
  EXPECT_EQ(Labels(d.listing),
            (std::vector<std::string>{"L1", "L2", "L3", "L4", "C1", "C2", "C3", "C4"}));
  EXPECT_EQ(Labels(d.variables), (std::vector<std::string>{"L1", "L3", "C1"}));
}

TEST(ComputeDesign, WideQuadAt12Point1MHz) {
  const Design d = ComputeDesign(Topology::kWideQuad, kInputs);
  EXPECT_EQ(Text(d, "Lt"), "4.64969171720085E-07");
  EXPECT_EQ(Text(d, "Le"), "1.58760336708951E-06");
  EXPECT_EQ(Text(d, "Ccorner"), "4.81062856770114E-10");
  EXPECT_EQ(Text(d, "Cmid"), "1.11626312359153E-09");
  EXPECT_EQ(d.resistor, Number::Single(50));
  EXPECT_EQ(Labels(d.listing), (std::vector<std::string>{"L1", "L2", "L3", "L4", "L5", "L6", "L7",
                                                         "C1", "C2", "C3", "C4", "C5", "C6"}));
  EXPECT_EQ(d.listing[4].value, d.Quantity("Le"));
  EXPECT_EQ(d.listing[8].value, d.Quantity("Cmid"));
  EXPECT_EQ(Labels(d.variables), (std::vector<std::string>{"L1", "L5", "C1", "C2"}));
}

TEST(ComputeDesign, StartsFromTheSinglePrecisionFrequency) {
  EXPECT_EQ(ComputeDesign(Topology::kWideQuad, {10.0f, 50.0f}).frequency_hz, 10000000.0);
  EXPECT_EQ(ComputeDesign(Topology::kWideQuad, kInputs).frequency_hz, 1e6 * double{12.1f});
  EXPECT_NE(ComputeDesign(Topology::kWideQuad, kInputs).frequency_hz, 12.1e6);
}

TEST(ComputeDesign, LowFrequencyHighImpedanceInductorIsPlain) {
  const Design d = ComputeDesign(Topology::kNarrowSplitter, {0.001f, 500.0f});
  EXPECT_EQ(Text(d, "L"), "0.112556529831169");
}

// The file's element lines, the analysis and the exports all read the circuit
// table; its texts must say what its fields say.
TEST(CircuitTable, ElementTextsMatchTheirNodesAndQuantities) {
  for (const Topology topology : kAllTopologies) {
    const Circuit& circuit = CircuitOf(topology);
    std::set<std::string> names;
    for (const CircuitElement& e : circuit.reactive_elements) {
      SCOPED_TRACE(std::string(e.file_text));
      std::istringstream fields{std::string(e.file_text)};
      std::string kind, name, variable;
      int a = -1, b = -1;
      fields >> kind >> name >> a >> b >> variable;
      EXPECT_EQ(kind, e.kind == ElementKind::kInductor ? "Ind" : "Cap");
      EXPECT_EQ(name, e.name);
      EXPECT_EQ(a, e.node_a);
      EXPECT_EQ(b, e.node_b);
      bool found = false;
      for (const VariableEntry& v : circuit.variables) {
        if (v.name == variable) {
          found = true;
          EXPECT_EQ(v.quantity, e.quantity);
        }
      }
      EXPECT_TRUE(found) << "no variable " << variable;
      EXPECT_TRUE(names.insert(name).second) << "duplicate " << name;
    }
    std::istringstream fields{std::string(circuit.resistor.file_text)};
    std::string kind, name;
    int a = -1, b = -1;
    fields >> kind >> name >> a >> b;
    EXPECT_EQ(kind, "Res");
    EXPECT_EQ(a, circuit.resistor.node_a);
    EXPECT_EQ(b, circuit.resistor.node_b);
    EXPECT_EQ(circuit.resistor.port_termination, topology != Topology::kNarrowSplitter);
  }
}

TEST(TopologyTexts, CaptionsStemsAndComments) {
  EXPECT_EQ(TextsOf(Topology::kNarrowSplitter).caption, "3dB Narrow-Band Splitter");
  EXPECT_EQ(TextsOf(Topology::kNarrowQuad).caption, "90 Deg Narrow-Band");
  EXPECT_EQ(TextsOf(Topology::kWideQuad).caption, "90 Deg Wide-Band");
  EXPECT_EQ(TextsOf(Topology::kWideQuad).file_stem, "WideQuad");
  EXPECT_EQ(TextsOf(Topology::kNarrowQuad).header_comment, "$ Narrow-band quad circuit");
}

}  // namespace
}  // namespace rfsplitter
