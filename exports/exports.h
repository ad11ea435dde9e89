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
#include "analysis/summary.h"
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

// What the chart shows: the circuit's response, optionally the ideal one as
// dashed curves beside it and the spread of many boards shaded behind it.
struct PlotData {
  const SweepResponse* response = nullptr;
  const SweepResponse* ideal = nullptr;
  const SweepSpread* spread = nullptr;
  std::optional<Band> usable;  // shaded
  const SweepResponse* measured = nullptr;  // dotted
  bool fitted = false;                      // the solid curves are the fitted board
  std::optional<Limits> limits{};           // drawn, the solid curves' misses marked
};

// `text` with SVG's (XML's) special characters escaped.
std::string SvgEscaped(const std::string& text);

// The response plot (plot.h) over the file's whole sweep, as SVG.
std::string SvgPlot(const Netlist& netlist, const PlotData& data);
inline std::string SvgPlot(const Netlist& netlist, const SweepResponse& response) {
  return SvgPlot(netlist, PlotData{&response, nullptr, nullptr, std::nullopt});
}

}  // namespace rfsplitter

#endif  // RFSPLITTER_EXPORTS_EXPORTS_H_
