// The design for the free tools people use today: a Touchstone file of the
// device's S-parameters, an ngspice netlist with an S-parameter analysis over
// the same sweep, and an SVG chart of the response. All three read the
// topology's circuit table and the analysis, as the simulation file does.
#ifndef RFSPLITTER_EXPORTS_EXPORTS_H_
#define RFSPLITTER_EXPORTS_EXPORTS_H_

#include <string>
#include <vector>

#include "analysis/s_parameters.h"
#include "engine/design.h"

namespace rfsplitter {

// The response over the simulation file's sweep.
struct SweepResponse {
  std::vector<double> frequencies_hz;
  std::vector<SMatrix> s;
};

// Empty frequencies, with `error` set, when the analysis fails.
SweepResponse AnalyzeSweep(const Design& design, std::string& error);

// "90 Deg Wide-Band at 12.1 MHz, Z0 50 ohms": the first line of every export.
std::string DesignTitle(const Design& design);

// Version 1.1 Touchstone text: "# Hz S MA R <Z0>", each frequency's matrix
// row by row with at most four value pairs a line.
std::string TouchstoneText(const Design& design, const SweepResponse& response);
std::string TouchstoneFileName(const Design& design);  // NarrowQuad12.1.s4p

// An ngspice netlist whose .control block runs an S-parameter analysis at
// every sweep frequency and writes the matrices to SpiceResultFileName().
std::string SpiceNetlist(const Design& design);
std::string SpiceFileName(const Design& design);        // NarrowQuad12.1.cir
std::string SpiceResultFileName(const Design& design);  // NarrowQuad12.1.sp.txt

// |S21|, |S31|, |S32| and |S11| in dB against frequency on a log axis.
std::string SvgPlot(const Design& design, const SweepResponse& response);

}  // namespace rfsplitter

#endif  // RFSPLITTER_EXPORTS_EXPORTS_H_
