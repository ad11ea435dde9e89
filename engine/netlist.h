// One circuit with values: the topology's device elements with their nodes,
// kind, value and series loss. The ideal circuit of a design, a circuit built
// from real parts and a sampled board are all Netlists, and the analysis, the
// Touchstone and ngspice exports and the plot read nothing else, so every
// variant is analysed and exported the same way.
#ifndef RFSPLITTER_ENGINE_NETLIST_H_
#define RFSPLITTER_ENGINE_NETLIST_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/design.h"
#include "engine/form.h"
#include "engine/part_model.h"
#include "engine/topologies.h"

namespace rfsplitter {

// The second part of an element built from two: in series with the first
// for an inductor, in parallel with it for a capacitor.
struct SecondPart {
  double value = 0;
  double loss_ohms = 0;
  ElementModel model;
  bool operator==(const SecondPart&) const = default;
};

struct NetlistElement {
  ElementKind kind = ElementKind::kInductor;
  std::string_view name;      // "L1", as in the circuit table
  std::string_view quantity;  // the Design quantity it stands for ("Lt")
  int node_a = 0;             // node 0 is ground
  int node_b = 0;
  double value = 0;                  // henries, farads or ohms: the part's nominal value
  double loss_ohms = 0;              // a fixed resistance in series with the element
  ElementModel model;                // the rest of the part's behaviour (part_model.h)
  bool pad = false;                  // a pad's capacitance, not a part
  std::optional<SecondPart> second;  // an element made of two parts

  // The nominal value of the element: the part's, or a pair's sum (two
  // inductors in series, two capacitors in parallel).
  double Combined() const { return second ? value + second->value : value; }
};

// "L1A" and "L1B": the designators of the two parts of an element.
std::string PairPartName(std::string_view element, int part);

struct Netlist {
  Topology topology = Topology::kNarrowSplitter;
  Form form;  // the family and its parameters; the topology's for the three
  DesignInputs inputs;
  double frequency_hz = 0;  // the design frequency
  double z0 = 50;           // every port is referred to it
  int ports = 3;            // nodes 1..ports
  // The device only: the resistor that terminates a hybrid's port 4 for the
  // simulator is not part of it.
  std::vector<NetlistElement> elements;
  // What the circuit is, for the exports' comment lines.
  std::string description = "the ideal lumped-element circuit";

  const NetlistElement* Find(std::string_view name) const;
};

// The ideal circuit of a design, lossless.
Netlist IdealNetlist(const Design& design);

// "PAD1": the name of the pad capacitance at a node.
std::string_view PadName(int node);

// `name`, held for the program's life: a netlist's names are views.
std::string_view HeldName(const std::string& name);

// "NarrowSplitter12.1": the name every file of a design starts with.
std::string FileStem(Topology topology, float frequency_mhz);

// "90 Deg Wide-Band at 12.1 MHz, Z0 50 ohms": the first line of every export.
std::string DesignTitle(Topology topology, DesignInputs inputs);

// The same for any form: the topology's for the three, the form's own else.
std::string FileStem(const Form& form, float frequency_mhz);
std::string DesignTitle(const Form& form, DesignInputs inputs);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_NETLIST_H_
