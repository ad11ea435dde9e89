#include "engine/number_text.h"
#include "exports/exports.h"

namespace rfsplitter {

std::string TouchstoneText(const Netlist& netlist, const SweepResponse& response) {
  const int ports = netlist.ports;
  const std::string stem = FileStem(netlist.form, netlist.inputs.frequency_mhz);
  std::string text;
  // About 25 characters a value pair.
  text.reserve(response.frequencies_hz.size() * size_t(ports * ports) * 26 + 256);
  text += "! " + DesignTitle(netlist.form, netlist.inputs) + "\n";
  text += "! S-parameters of " + netlist.description + " of " + stem + ".i, ports 1 to " +
          std::to_string(ports) + "\n";
  text += "# Hz S MA R " + NumberText(netlist.inputs.impedance_ohms) + "\n";
  for (size_t i = 0; i < response.frequencies_hz.size(); ++i) {
    const SMatrix& s = response.s[i];
    AppendShortest(text, response.frequencies_hz[i]);
    for (int row = 1; row <= ports; ++row) {
      // A matrix row starts on a new line (continuation lines are indented)
      // and wraps after four pairs.
      for (int column = 1; column <= ports; ++column) {
        if (column > 1 && (column - 1) % 4 == 0) text += "\n ";
        text += ' ';
        AppendShortest(text, std::abs(s(row, column)));
        text += ' ';
        AppendShortest(text, PhaseDegrees(s(row, column)));
      }
      text += row < ports ? "\n " : "\n";
    }
  }
  return text;
}

}  // namespace rfsplitter
