
#include "engine/number_text.h"
#include "exports/exports.h"

namespace rfsplitter {

std::string SpiceNetlist(const Netlist& design) {
  const std::string z0 = NumberText(design.inputs.impedance_ohms);
  const std::string result = SpiceResultFileName(design);
  const std::string stem = FileStem(design.topology, design.inputs.frequency_mhz);
  std::string text;
  text += "* " + DesignTitle(design.topology, design.inputs) + ": " +
          (design.description == Netlist().description ? "the circuit" : design.description) +
          " of " + stem + ".i\n";
  text += "* Run with: ngspice -b " + SpiceFileName(design) + "\n";
  text += "* Writes " + result + ": per frequency, the real and imaginary parts of\n";
  text += "* S11, S12, ... row by row.\n";
  // A lossy element goes to a node of its own (1001, 1002, ...), from which
  // its loss resistor RLOSS_<name> continues to the element's second node.
  int next_node = 1001;
  for (const NetlistElement& e : design.elements) {
    const std::string a = std::to_string(e.node_a);
    const std::string b = e.loss_ohms > 0 ? std::to_string(next_node++) : std::to_string(e.node_b);
    text += std::string(e.name) + " " + a + " " + b + " " + NumberText(e.value) + "\n";
    if (e.loss_ohms > 0) {
      text += "RLOSS_" + std::string(e.name) + " " + b + " " + std::to_string(e.node_b) + " " +
              NumberText(e.loss_ohms) + "\n";
    }
  }
  for (int port = 1; port <= design.ports; ++port) {
    const std::string n = std::to_string(port);
    text += "V" + n + " " + n + " 0 dc 0 ac 1 portnum " + n + " z0 " + z0 + "\n";
  }

  std::string vectors;
  for (int row = 1; row <= design.ports; ++row) {
    for (int column = 1; column <= design.ports; ++column) {
      vectors += " s_" + std::to_string(row) + "_" + std::to_string(column);
    }
  }
  // One analysis per sweep frequency, so that the points are exactly those
  // of the simulation file's 200-point log sweep, both ends included.
  const std::vector<double> frequencies = FileSweep(design.frequency_hz).Frequencies();
  const std::string first = GeneralText(frequencies.front(), 17);
  // The circuit is linear: no operating point is needed, and its inductor
  // loops would make the DC matrix singular.
  text += ".control\noption noopac\nset wr_singlescale\nset numdgt=15\nunset appendwrite\n";
  text += "sp lin 1 " + first + " " + first + "\n";
  text += "wrdata " + result + vectors + "\ndestroy\nset appendwrite\nforeach f";
  for (size_t i = 1; i < frequencies.size(); ++i) {
    text += " " + GeneralText(frequencies[i], 17);
  }
  text += "\n  sp lin 1 $f $f\n  wrdata " + result + vectors + "\n  destroy\nend\n";
  // Batch ngspice reports failure for a netlist without a top-level
  // analysis unless the control block says otherwise.
  text += "echo S-parameters written to " + result + "\nquit 0\n.endc\n.end\n";
  return text;
}

}  // namespace rfsplitter
