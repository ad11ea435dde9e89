#include "exports/exports.h"

namespace rfsplitter {

std::string TouchstoneFileName(const Netlist& netlist) {
  return FileStem(netlist.form, netlist.inputs.frequency_mhz) + ".s" +
         std::to_string(netlist.ports) + "p";
}
std::string SpiceFileName(const Netlist& netlist) {
  return FileStem(netlist.form, netlist.inputs.frequency_mhz) + ".cir";
}
std::string SpiceResultFileName(const Netlist& netlist) {
  return FileStem(netlist.form, netlist.inputs.frequency_mhz) + ".sp.txt";
}

}  // namespace rfsplitter
