// The simulation file: the circuit as a netlist with optimisable variables,
// three measurement ports and a logarithmic sweep from 0.1 to 1.9 times the
// design frequency, for the outside circuit simulator to read.
//
// The texts are built by plain functions (lines end in CR LF; numbers always
// use a point); SimulationFileWriter puts them on disk for a design run.
#ifndef RFSPLITTER_SIMFILE_SIMULATION_FILE_H_
#define RFSPLITTER_SIMFILE_SIMULATION_FILE_H_

#include <filesystem>
#include <string>

#include "engine/design.h"
#include "engine/run.h"
#include "files/atomic_file.h"

namespace rfsplitter {

// "NarrowSplitter12.1.i"
std::string SimulationFileName(Topology topology, float frequency_mhz);
// "Splitter4Way915.i": any form's.
std::string SimulationFileName(const Form& form, float frequency_mhz);

std::string SimulationFileHeader(Topology topology, float frequency_mhz, float impedance_ohms);
std::string SimulationFileCircuit(const Design& design, float impedance_ohms);
std::string SimulationFileSweep(double frequency_hz);

// The whole file of a design; a form beyond the three has its own circuit,
// header line and every port in the Defnport line.
std::string SimulationFileText(const Design& design);

// Writes the file of one run into `directory` (empty: the current one) as an
// AtomicFile, so a failed run never leaves a broken file in place of a good
// one.
class SimulationFileWriter : public DesignFileSink {
 public:
  explicit SimulationFileWriter(std::filesystem::path directory = {});
  ~SimulationFileWriter() override = default;
  SimulationFileWriter(const SimulationFileWriter&) = delete;
  SimulationFileWriter& operator=(const SimulationFileWriter&) = delete;

  bool Create(Topology topology, float frequency_mhz) override;
  bool WriteHeader(Topology topology, float frequency_mhz, float impedance_ohms) override;
  bool WriteCircuit(const Design& design, float impedance_ohms) override;
  bool WriteSweepAndClose(double frequency_hz) override;
  std::string FileName() const override { return path_.string(); }
  std::string FailureReason() const override { return file_.FailureReason(); }

 private:
  std::filesystem::path directory_;
  std::filesystem::path path_;
  AtomicFile file_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_SIMFILE_SIMULATION_FILE_H_
