#include "engine/netlist.h"

#include "engine/number_text.h"

namespace rfsplitter {

const NetlistElement* Netlist::Find(std::string_view name) const {
  for (const NetlistElement& e : elements) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

Netlist IdealNetlist(const Design& design) {
  const Circuit& circuit = CircuitOf(design.topology);
  Netlist netlist;
  netlist.topology = design.topology;
  netlist.inputs = design.inputs;
  netlist.frequency_hz = design.frequency_hz;
  netlist.z0 = design.inputs.impedance_ohms;
  netlist.ports = circuit.device_ports;
  const auto add = [&](const CircuitElement& e) {
    netlist.elements.push_back(
        {e.kind, e.name, e.quantity, e.node_a, e.node_b, design.Quantity(e.quantity).value, 0});
  };
  for (const CircuitElement& e : circuit.reactive_elements) add(e);
  if (!circuit.resistor.port_termination) add(circuit.resistor);
  return netlist;
}

std::string FileStem(Topology topology, float frequency_mhz) {
  return std::string(TextsOf(topology).file_stem) + NumberText(frequency_mhz, '.');
}

std::string DesignTitle(Topology topology, DesignInputs inputs) {
  return std::string(TextsOf(topology).caption) + " at " + NumberText(inputs.frequency_mhz) +
         " MHz, Z0 " + NumberText(inputs.impedance_ohms) + " ohms";
}

}  // namespace rfsplitter
