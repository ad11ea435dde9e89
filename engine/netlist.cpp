#include "engine/netlist.h"

#include <mutex>
#include <set>

#include "engine/form_netlist.h"
#include "engine/number_text.h"

namespace rfsplitter {

const NetlistElement* Netlist::Find(std::string_view name) const {
  for (const NetlistElement& e : elements) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

Netlist IdealNetlist(const Design& design) {
  if (!FixedTopology(design.form)) return FormNetlist(design.form, design.inputs);
  const Circuit& circuit = CircuitOf(design.topology);
  Netlist netlist;
  netlist.topology = design.topology;
  netlist.form = FormOf(design.topology);
  netlist.inputs = design.inputs;
  netlist.frequency_hz = design.frequency_hz;
  netlist.z0 = design.inputs.impedance_ohms;
  netlist.ports = circuit.device_ports;
  const auto add = [&](const CircuitElement& e) {
    NetlistElement element;
    element.kind = e.kind;
    element.name = e.name;
    element.quantity = e.quantity;
    element.node_a = e.node_a;
    element.node_b = e.node_b;
    element.value = design.Quantity(e.quantity).value;
    netlist.elements.push_back(element);
  };
  for (const CircuitElement& e : circuit.reactive_elements) add(e);
  if (!circuit.resistor.port_termination) add(circuit.resistor);
  return netlist;
}

std::string_view PadName(int node) { return HeldName("PAD" + std::to_string(node)); }

std::string_view HeldName(const std::string& name) {
  static std::mutex mutex;
  static std::set<std::string, std::less<>> names;  // a set's strings never move
  const std::lock_guard lock(mutex);
  return *names.insert(name).first;
}

std::string PairPartName(std::string_view element, int part) {
  return std::string(element) + (part == 0 ? "A" : "B");
}

std::string FileStem(Topology topology, float frequency_mhz) {
  return std::string(TextsOf(topology).file_stem) + NumberText(frequency_mhz, '.');
}

std::string FileStem(const Form& form, float frequency_mhz) {
  if (const auto fixed = FixedTopology(form)) return FileStem(*fixed, frequency_mhz);
  return FormStem(form) + NumberText(frequency_mhz, '.');
}

std::string DesignTitle(const Form& form, DesignInputs inputs) {
  if (const auto fixed = FixedTopology(form)) return DesignTitle(*fixed, inputs);
  return FormCaption(form) + " at " + NumberText(inputs.frequency_mhz) + " MHz, Z0 " +
         NumberText(inputs.impedance_ohms) + " ohms";
}

std::string DesignTitle(Topology topology, DesignInputs inputs) {
  return std::string(TextsOf(topology).caption) + " at " + NumberText(inputs.frequency_mhz) +
         " MHz, Z0 " + NumberText(inputs.impedance_ohms) + " ohms";
}

}  // namespace rfsplitter
