
#include "engine/number_text.h"
#include "engine/topologies.h"
#include "exports/exports.h"
#include "simfile/simulation_file.h"

namespace rfsplitter {

std::string SpiceNetlist(const Design& design) {
  const Circuit& circuit = CircuitOf(design.topology);
  const std::string z0 = NumberText(design.inputs.impedance_ohms);
  const std::string result = SpiceResultFileName(design);
  std::string text;
  text += "* " + DesignTitle(design) + ": the circuit of " +
          SimulationFileName(design.topology, design.inputs.frequency_mhz) + "\n";
  text += "* Run with: ngspice -b " + SpiceFileName(design) + "\n";
  text += "* Writes " + result + ": per frequency, the real and imaginary parts of\n";
  text += "* S11, S12, ... row by row.\n";
  const auto element = [&](const CircuitElement& e) {
    text += std::string(e.name) + " " + std::to_string(e.node_a) + " " + std::to_string(e.node_b) +
            " " + NumberText(design.Quantity(e.quantity)) + "\n";
  };
  for (const CircuitElement& e : circuit.reactive_elements) element(e);
  if (!circuit.resistor.port_termination) element(circuit.resistor);
  for (int port = 1; port <= circuit.device_ports; ++port) {
    const std::string n = std::to_string(port);
    text += "V" + n + " " + n + " 0 dc 0 ac 1 portnum " + n + " z0 " + z0 + "\n";
  }

  std::string vectors;
  for (int row = 1; row <= circuit.device_ports; ++row) {
    for (int column = 1; column <= circuit.device_ports; ++column) {
      vectors += " s_" + std::to_string(row) + "_" + std::to_string(column);
    }
  }
  // One analysis per sweep frequency, so that the points are exactly those
  // of the simulation file's 200-point log sweep, both ends included.
  const std::vector<double> frequencies = SweepFrequencies(design.frequency_hz);
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
