#include "exports/exports.h"

#include "engine/number_text.h"
#include "engine/topologies.h"
#include "simfile/simulation_file.h"

namespace rfsplitter {
namespace {

// The simulation file's name without ".i": the exports sit beside it.
std::string Stem(const Design& design) {
  const std::string name = SimulationFileName(design.topology, design.inputs.frequency_mhz);
  return name.substr(0, name.size() - 2);
}

}  // namespace

SweepResponse AnalyzeSweep(const Design& design, std::string& error) {
  SweepResponse response;
  for (const double f : SweepFrequencies(design.frequency_hz)) {
    SResult result = AnalyzeDesign(design, f);
    if (!result.s) {
      error = result.error;
      return {};
    }
    response.frequencies_hz.push_back(f);
    response.s.push_back(std::move(*result.s));
  }
  return response;
}

std::string DesignTitle(const Design& design) {
  return std::string(TextsOf(design.topology).caption) + " at " +
         NumberText(design.inputs.frequency_mhz) + " MHz, Z0 " +
         NumberText(design.inputs.impedance_ohms) + " ohms";
}

std::string TouchstoneFileName(const Design& design) {
  return Stem(design) + ".s" + std::to_string(CircuitOf(design.topology).device_ports) + "p";
}
std::string SpiceFileName(const Design& design) { return Stem(design) + ".cir"; }
std::string SpiceResultFileName(const Design& design) { return Stem(design) + ".sp.txt"; }

}  // namespace rfsplitter
