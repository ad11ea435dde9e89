#include <charconv>

#include "engine/number_text.h"
#include "engine/topologies.h"
#include "exports/exports.h"
#include "simfile/simulation_file.h"

namespace rfsplitter {
namespace {

std::string Real(double value) { return ShortestText(value); }

}  // namespace

std::string TouchstoneText(const Design& design, const SweepResponse& response) {
  const int ports = CircuitOf(design.topology).device_ports;
  std::string text;
  text += "! " + DesignTitle(design) + "\n";
  text += "! S-parameters of the ideal lumped-element circuit of " +
          SimulationFileName(design.topology, design.inputs.frequency_mhz) + ", ports 1 to " +
          std::to_string(ports) + "\n";
  text += "# Hz S MA R " + NumberText(design.inputs.impedance_ohms) + "\n";
  for (size_t i = 0; i < response.frequencies_hz.size(); ++i) {
    const SMatrix& s = response.s[i];
    text += Real(response.frequencies_hz[i]);
    for (int row = 1; row <= ports; ++row) {
      // A matrix row starts on a new line (continuation lines are indented)
      // and wraps after four pairs.
      for (int column = 1; column <= ports; ++column) {
        if (column > 1 && (column - 1) % 4 == 0) text += "\n ";
        text += " " + Real(std::abs(s(row, column))) + " " + Real(PhaseDegrees(s(row, column)));
      }
      text += row < ports ? "\n " : "\n";
    }
  }
  return text;
}

}  // namespace rfsplitter
