// The three circuits: their fixed texts, their netlists and their design
// equations.
//
// Each topology's circuit is one table (Circuit): the elements with their
// nodes, the quantity each takes and the element's line in the simulation
// file. The file writer, the response analysis and the exports all read this
// table, so they describe the same circuit.
#ifndef RFSPLITTER_ENGINE_TOPOLOGIES_H_
#define RFSPLITTER_ENGINE_TOPOLOGIES_H_

#include <span>
#include <string_view>

#include "engine/design.h"

namespace rfsplitter {

struct TopologyTexts {
  std::string_view caption;         // the option button's caption
  std::string_view file_stem;       // the simulation file's name starts with it
  std::string_view header_comment;  // line 1 of the simulation file
  std::string_view picture;         // the schematic's resource name
};

const TopologyTexts& TextsOf(Topology topology);

enum class ElementKind { kInductor, kCapacitor, kResistor };

struct CircuitElement {
  ElementKind kind;
  std::string_view name;  // "L1", "C3", "R1"
  int node_a;             // node 0 is ground
  int node_b;
  std::string_view quantity;  // the Design quantity that gives its value
  // The element's line in the simulation file. Inductors and capacitors name
  // their simulator variable in the text; the resistor's value follows as a
  // number item.
  std::string_view file_text;
  // Terminates the isolated port 4 for the simulator run; the device itself
  // does not contain it.
  bool port_termination = false;
};

struct VariableEntry {
  std::string_view name;      // "L1" in "AplacVar L1 = ..."
  std::string_view quantity;  // the Design quantity it holds
};

struct Circuit {
  std::span<const VariableEntry> variables;
  // Inductors and capacitors in file order.
  std::span<const CircuitElement> reactive_elements;
  // The one resistor line, written after the reactive elements.
  CircuitElement resistor;
  bool blank_line_before_resistor;
  // Device ports are the nodes 1..device_ports, each referred to Z0.
  int device_ports;
};

const Circuit& CircuitOf(Topology topology);

// The design equations; `inputs` must lie inside the accepted input ranges.
Design ComputeDesign(Topology topology, DesignInputs inputs);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_TOPOLOGIES_H_
