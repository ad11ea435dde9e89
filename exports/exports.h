// The circuit for the free tools people use today: a Touchstone file of the
// device's S-parameters, an ngspice netlist with an S-parameter analysis over
// the same sweep, and an SVG chart of the response. All three read a Netlist
// and its analysis, so the ideal circuit and one built from parts are
// exported alike.
#ifndef RFSPLITTER_EXPORTS_EXPORTS_H_
#define RFSPLITTER_EXPORTS_EXPORTS_H_

#include <string>
#include <vector>

#include "analysis/s_parameters.h"
#include "engine/netlist.h"

namespace rfsplitter {

// Version 1.1 Touchstone text: "# Hz S MA R <Z0>", each frequency's matrix
// row by row with at most four value pairs a line.
std::string TouchstoneText(const Netlist& netlist, const SweepResponse& response);
std::string TouchstoneFileName(const Netlist& netlist);  // NarrowQuad12.1.s4p

// An ngspice netlist whose .control block runs an S-parameter analysis at
// every sweep frequency and writes the matrices to SpiceResultFileName().
// An element's loss is a resistor in series with it.
std::string SpiceNetlist(const Netlist& netlist);
std::string SpiceFileName(const Netlist& netlist);        // NarrowQuad12.1.cir
std::string SpiceResultFileName(const Netlist& netlist);  // NarrowQuad12.1.sp.txt

// The 5 % to 95 % spread of a family of boards over the sweep, for the plot.
struct SweepSpread {
  struct Band {
    std::vector<double> low, high;  // one value per sweep point
  };
  Band s21_db, s31_db, s32_db, s11_db;
  Band phase_difference_deg;  // hybrids
};

// What the chart shows: the circuit's response, optionally the ideal one as
// dashed curves beside it and the spread of many boards shaded behind it.
struct PlotData {
  const SweepResponse* response = nullptr;
  const SweepResponse* ideal = nullptr;
  const SweepSpread* spread = nullptr;
};

// |S21|, |S31|, |S32| and |S11| in dB against frequency on a log axis; for a
// hybrid shown with its ideal or its spread, a second panel with the phase
// difference and the amplitude imbalance.
std::string SvgPlot(const Netlist& netlist, const PlotData& data);
inline std::string SvgPlot(const Netlist& netlist, const SweepResponse& response) {
  return SvgPlot(netlist, PlotData{&response});
}

}  // namespace rfsplitter

#endif  // RFSPLITTER_EXPORTS_EXPORTS_H_
