// The design run: one press of Generate, from the typed inputs to the listing
// and the simulation file.
#ifndef RFSPLITTER_ENGINE_RUN_H_
#define RFSPLITTER_ENGINE_RUN_H_

#include <string>

#include "engine/design.h"

namespace rfsplitter {

// The file side of a run, driven step by step in this order. Each step
// returns false once the file has failed; failure_reason() then says why.
// SimulationFileWriter (simfile/) is the real one.
class DesignFileSink {
 public:
  virtual ~DesignFileSink() = default;
  virtual bool Create(Topology topology, float frequency_mhz) = 0;
  virtual bool WriteHeader(Topology topology, float frequency_mhz, float impedance_ohms) = 0;
  virtual bool WriteCircuit(const Design& design, float impedance_ohms) = 0;
  virtual bool WriteSweepAndClose(double frequency_hz) = 0;
  // The file's name as the user should see it.
  virtual std::string FileName() const = 0;
  virtual std::string FailureReason() const = 0;
};

// Reads and checks both inputs (warnings first, before anything changes),
// replaces the listing and writes the file. A file failure stops the run and
// is reported through window.ReportFileFailure.
void RunDesign(DesignWindow& window, DesignFileSink& file);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_RUN_H_
