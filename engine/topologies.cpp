#include "engine/topologies.h"

#include <stdexcept>
#include <string>

#include "engine/form.h"

namespace rfsplitter {
namespace {

// The constants exactly as the equations use them: rounded decimals, never the
// exact pi or square roots, because the file's 15 digits depend on them.
constexpr double kPi = 3.1415927;
constexpr double k1414 = 1.414;  // sqrt(2)
constexpr double k2828 = 2.828;  // 2 sqrt(2)
constexpr double k0707 = 0.707;  // 1 / sqrt(2)
constexpr double k2414 = 2.414;  // 1 + sqrt(2)
constexpr double kMega = 1000000;

constexpr TopologyTexts kTexts[] = {
    {"3dB Narrow-Band Splitter", "NarrowSplitter", "$ Narrow-band 3dB splitter circuit",
     "narrow_splitter"},
    {"90 Deg Narrow-Band", "NarrowQuad", "$ Narrow-band quad circuit", "narrow_quad"},
    {"90 Deg Wide-Band", "WideQuad", "$ Wide-band quad circuit", "wide_quad"},
};

using K = ElementKind;

// Narrow-band splitter: arms from port 1 to ports 2 and 3, isolation resistor
// between the outputs.
constexpr VariableEntry kSplitterVariables[] = {{"L1", "L"}, {"C1", "Cin"}, {"C2", "C"}};
constexpr CircuitElement kSplitterElements[] = {
    {K::kInductor, "L1", 1, 3, "L", "Ind L1 1 3 L1"},
    {K::kInductor, "L2", 1, 2, "L", "Ind L2 1 2 L1"},
    {K::kCapacitor, "C1", 1, 0, "Cin", "Cap C1 1 0 C1"},
    {K::kCapacitor, "C2", 3, 0, "C", "Cap C2 3 0 C2"},
    {K::kCapacitor, "C3", 2, 0, "C", "Cap C3 2 0 C2"},
};
constexpr Circuit kSplitterCircuit = {
    kSplitterVariables, kSplitterElements, {K::kResistor, "R1", 2, 3, "R", "Res R1 2 3"}, false, 3};

// Branch-line hybrid: through arms 1-2 and 4-3, branch arms 1-4 and 2-3.
constexpr VariableEntry kNarrowQuadVariables[] = {{"L1", "Lt"}, {"L3", "Lb"}, {"C1", "Cnode"}};
constexpr CircuitElement kNarrowQuadElements[] = {
    {K::kInductor, "L1", 4, 3, "Lt", "Ind L1 4 3 L1"},
    {K::kInductor, "L2", 1, 2, "Lt", "Ind L2 1 2 L1"},
    {K::kInductor, "L3", 1, 4, "Lb", "Ind L3 1 4 L3"},
    {K::kInductor, "L4", 2, 3, "Lb", "Ind L4 2 3 L3"},
    {K::kCapacitor, "C1", 4, 0, "Cnode", "Cap C1 4 0 C1"},
    {K::kCapacitor, "C2", 3, 0, "Cnode", "Cap C2 3 0 C1"},
    {K::kCapacitor, "C3", 1, 0, "Cnode", "Cap C3 1 0 C1"},
    {K::kCapacitor, "C4", 2, 0, "Cnode", "Cap C4 2 0 C1"},
};
constexpr Circuit kNarrowQuadCircuit = {kNarrowQuadVariables,
                                        kNarrowQuadElements,
                                        {K::kResistor, "R1", 4, 0, "Rterm", "Res R1 4 0", true},
                                        true,
                                        4};

// Two-section hybrid: inner nodes 20 (between ports 1 and 2) and 30 (between
// ports 4 and 3). The irregular blanks are those of the file.
constexpr VariableEntry kWideQuadVariables[] = {
    {"L1", "Lt"}, {"L5", "Le"}, {"C1", "Ccorner"}, {"C2", "Cmid"}};
constexpr CircuitElement kWideQuadElements[] = {
    {K::kInductor, "L1", 4, 30, "Lt", "Ind L1 4  30  L1"},
    {K::kInductor, "L2", 30, 3, "Lt", "Ind L2 30  3  L1"},
    {K::kInductor, "L3", 1, 20, "Lt", "Ind L3 1  20  L1"},
    {K::kInductor, "L4", 20, 2, "Lt", "Ind L4 20  2  L1"},
    {K::kInductor, "L5", 1, 4, "Le", "Ind L5 1   4  L5"},
    {K::kInductor, "L6", 20, 30, "Lt", "Ind L6 20 30  L1"},
    {K::kInductor, "L7", 2, 3, "Le", "Ind L7 2   3  L5"},
    {K::kCapacitor, "C1", 4, 0, "Ccorner", "Cap C1 4  0  C1"},
    {K::kCapacitor, "C2", 30, 0, "Cmid", "Cap C2 30 0  C2"},
    {K::kCapacitor, "C3", 3, 0, "Ccorner", "Cap C3 3  0  C1"},
    {K::kCapacitor, "C4", 1, 0, "Ccorner", "Cap C4 1  0  C1"},
    {K::kCapacitor, "C5", 20, 0, "Cmid", "Cap C5 20 0  C2"},
    {K::kCapacitor, "C6", 2, 0, "Ccorner", "Cap C6 2  0  C1"},
};
constexpr Circuit kWideQuadCircuit = {kWideQuadVariables,
                                      kWideQuadElements,
                                      {K::kResistor, "R1", 4, 0, "Rterm", "Res R1 4 0", true},
                                      true,
                                      4};

size_t IndexOf(Topology topology) { return static_cast<size_t>(topology); }

Number FindIn(const std::vector<NamedValue>& values, std::string_view name) {
  for (const NamedValue& v : values) {
    if (v.name == name) return v.value;
  }
  throw std::out_of_range("no value named " + std::string(name));
}

// Fills the listing and the variables from the quantities. The listing is
// the circuit's parts in table order, then the resistor when it is a part of
// the device (labelled plain "R"); a hybrid's port-4 termination is not.
void Label(Design& design) {
  const Circuit& circuit = CircuitOf(design.topology);
  for (const CircuitElement& e : circuit.reactive_elements) {
    design.listing.push_back({std::string(e.name), design.Quantity(e.quantity)});
  }
  if (!circuit.resistor.port_termination) {
    design.listing.push_back({"R", design.Quantity(circuit.resistor.quantity)});
  }
  for (const VariableEntry& v : CircuitOf(design.topology).variables) {
    design.variables.push_back({std::string(v.name), design.Quantity(v.quantity)});
  }
  design.resistor = design.Quantity(CircuitOf(design.topology).resistor.quantity);
}

// Each arm of impedance Z becomes a series Z / (2 pi f) and a shunt
// 1 / (Z 2 pi f) at both ends (the lumped equivalent of a quarter-wave line);
// shunts meeting at a node add up. The groupings below are deliberate.

void NarrowSplitter(Design& d, double z0, float z0_single) {
  const double f = d.frequency_hz;
  const double l = z0 / (f * (kPi * k1414));
  const double c = 1 / (z0 * (f * (kPi * k2828)));
  const double c_in = 2 * c;
  const float r = 2 * z0_single;
  d.quantities = {{"L", Number::Double(l)},
                  {"C", Number::Double(c)},
                  {"Cin", Number::Double(c_in)},
                  {"R", Number::Single(r)}};
  Label(d);
}

void NarrowQuad(Design& d, double z0, float z0_single) {
  const double f = d.frequency_hz;
  const double lt = z0 / (f * (kPi * k2828));
  const double lb = z0 / (f * (kPi * 2));
  const double ct = 1 / (k0707 * (z0 * (f * (kPi * 2))));
  const double cb = 1 / (z0 * (f * (kPi * 2)));
  const double c_node = cb + ct;
  d.quantities = {{"Lt", Number::Double(lt)},
                  {"Lb", Number::Double(lb)},
                  {"Ct", Number::Double(ct)},
                  {"Cb", Number::Double(cb)},
                  {"Cnode", Number::Double(c_node)},
                  // The isolated port is terminated in Z0, as a matched load
                  // must be for the sweep to show the hybrid's isolation.
                  {"Rterm", Number::Single(z0_single)}};
  Label(d);
}

void WideQuad(Design& d, double z0, float z0_single) {
  const double f = d.frequency_hz;
  const double lt = (z0 * k0707) / (f * (kPi * 2));
  const double le = (z0 * k2414) / (f * (kPi * 2));
  const double ct = 1 / (z0 * (k0707 * (f * (kPi * 2))));
  const double ce = 1 / (z0 * (k2414 * (f * (kPi * 2))));
  const double c_corner = ce + ct;
  const double c_mid = 3 * ct;
  d.quantities = {{"Lt", Number::Double(lt)},
                  {"Le", Number::Double(le)},
                  {"Ct", Number::Double(ct)},
                  {"Ce", Number::Double(ce)},
                  {"Ccorner", Number::Double(c_corner)},
                  {"Cmid", Number::Double(c_mid)},
                  {"Rterm", Number::Single(z0_single)}};
  Label(d);
}

}  // namespace

Number Design::Quantity(std::string_view name) const { return FindIn(quantities, name); }
Number Design::Variable(std::string_view name) const { return FindIn(variables, name); }

const TopologyTexts& TextsOf(Topology topology) { return kTexts[IndexOf(topology)]; }

const Circuit& CircuitOf(Topology topology) {
  static constexpr const Circuit* kCircuits[] = {&kSplitterCircuit, &kNarrowQuadCircuit,
                                                 &kWideQuadCircuit};
  return *kCircuits[IndexOf(topology)];
}

Design ComputeDesign(Topology topology, DesignInputs inputs) {
  Design design;
  design.topology = topology;
  design.form = FormOf(topology);
  design.inputs = inputs;
  design.frequency_hz = kMega * static_cast<double>(inputs.frequency_mhz);
  const double z0 = inputs.impedance_ohms;
  switch (topology) {
    case Topology::kNarrowSplitter:
      NarrowSplitter(design, z0, inputs.impedance_ohms);
      break;
    case Topology::kNarrowQuad:
      NarrowQuad(design, z0, inputs.impedance_ohms);
      break;
    case Topology::kWideQuad:
      WideQuad(design, z0, inputs.impedance_ohms);
      break;
  }
  return design;
}

}  // namespace rfsplitter
