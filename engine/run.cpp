#include "engine/run.h"

#include "engine/inputs.h"
#include "engine/listing.h"
#include "engine/topologies.h"

namespace rfsplitter {

void RunDesign(DesignWindow& window, DesignFileSink& file) {
  DesignInputs inputs;
  inputs.frequency_mhz = ReadFrequency(window);
  inputs.impedance_ohms = ReadImpedance(window);

  window.ClearListing();
  const Topology topology = window.SelectedTopology();
  const auto failed = [&] { window.ReportFileFailure(file.FileName(), file.FailureReason()); };
  if (!file.Create(topology, inputs.frequency_mhz) ||
      !file.WriteHeader(topology, inputs.frequency_mhz, inputs.impedance_ohms)) {
    return failed();
  }
  const Design design = ComputeDesign(topology, inputs);
  for (const NamedValue& entry : design.listing) {
    AddComponentLine(window, entry.name, entry.value);
  }
  if (!file.WriteCircuit(design, inputs.impedance_ohms) ||
      !file.WriteSweepAndClose(design.frequency_hz)) {
    return failed();
  }
}

}  // namespace rfsplitter
