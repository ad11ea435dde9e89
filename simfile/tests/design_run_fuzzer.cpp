// libFuzzer target for a whole design run: two typed texts, a circuit and a
// decimal separator, through RunDesign to the listing and the file's text.
// Whatever is typed, the run must pick values inside the accepted ranges,
// list every entry once and write a file whose numbers use a point.
// Build with -DRFSPLITTER_FUZZ=ON and clang; run build/bin/design_run_fuzzer.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/inputs.h"
#include "engine/number_text.h"
#include "engine/run.h"
#include "engine/tests/memory_window.h"
#include "engine/topologies.h"
#include "simfile/simulation_file.h"

namespace {

using namespace rfsplitter;

// Collects the file's text in memory, exactly as the writer would get it.
class MemorySink : public DesignFileSink {
 public:
  bool Create(Topology, float) override { return true; }
  bool WriteHeader(Topology t, float f, float z0) override {
    text += SimulationFileHeader(t, f, z0);
    return true;
  }
  bool WriteCircuit(const Design& d, float z0) override {
    design = d;
    text += SimulationFileCircuit(d, z0);
    return true;
  }
  bool WriteSweepAndClose(double f) override {
    text += SimulationFileSweep(f);
    return true;
  }
  std::string FileName() const override { return "memory"; }
  std::string FailureReason() const override { return {}; }

  std::string text;
  Design design;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const Topology topology = kAllTopologies[data[0] % 3];
  const char separator = (data[0] & 0x80) ? ',' : '.';
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = rest.find('\0');
  const std::string frequency = rest.substr(0, split);
  const std::string impedance = split == std::string::npos ? "" : rest.substr(split + 1);

  MemoryWindow window(frequency, impedance, topology, separator);
  MemorySink sink;
  RunDesign(window, sink);
  const DesignInputs& in = sink.design.inputs;
  if (!(in.frequency_mhz >= kLowestFrequencyMhz && in.frequency_mhz <= kHighestFrequencyMhz)) {
    std::abort();
  }
  if (!(in.impedance_ohms >= kLowestImpedanceOhms && in.impedance_ohms <= kHighestImpedanceOhms)) {
    std::abort();
  }
  size_t lines = 0;
  for (size_t at = 0; (at = window.listing.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  if (lines != sink.design.listing.size() || !window.failures.empty()) std::abort();
  if (sink.text != SimulationFileText(sink.design)) std::abort();
  // The file's numbers use a point whatever the window's separator.
  const std::string frequency_line = "$ Freq of circuit is  " + NumberText(in.frequency_mhz) + " ";
  if (sink.text.find(frequency_line) == std::string::npos) std::abort();
  return 0;
}
