// One description of a chart, drawn by every painter: the SVG export
// (exports/svg_plot.cpp) and the bench's on-screen plot (ui/) take the same
// Plot and the same layout, so they can never show different curves.
//
// A Plot holds everything in data units (MHz, dB, degrees) and colour
// roles; only the painters turn roles into colours (the SVG on white, the
// bench from the window's palette) and data into pixels, through LayoutPlot
// and the Map functions below.
#ifndef RFSPLITTER_EXPORTS_PLOT_H_
#define RFSPLITTER_EXPORTS_PLOT_H_

#include <optional>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "analysis/s_parameters.h"
#include "analysis/summary.h"
#include "engine/netlist.h"

namespace rfsplitter {

// What a line or area stands for; each painter picks the colour.
enum class PlotColour { kS21, kS31, kS32, kS41, kS11, kPhase, kImbalance, kNeutral };

struct PlotTick {
  double value = 0;
  std::string label;  // empty: a grid line without a label
};

struct PlotAxis {
  double low = 0, high = 1;  // the range shown; values beyond it are clipped
  bool logarithmic = false;
  std::string title;
  std::vector<PlotTick> ticks;
};

struct PlotCurve {
  std::string name;
  PlotColour colour = PlotColour::kNeutral;
  bool dashed = false;
  bool right_axis = false;
  std::vector<double> x, y;
  bool dotted = false;  // a measurement: its points as dots along the line
};

// The area between two curves: a Monte Carlo spread.
struct PlotFill {
  PlotColour colour = PlotColour::kNeutral;
  bool right_axis = false;
  std::vector<double> x, low, high;
};

// A limit across a panel: a thin line at its value, and the stretches of x
// where the circuit's curve breaks it marked on the line.
struct PlotLimit {
  double y = 0;
  bool right_axis = false;
  PlotColour colour = PlotColour::kNeutral;
  std::vector<std::pair<double, double>> failing;  // x ranges
};

struct PlotLegendEntry {
  enum class Style { kLine, kDashed, kFill, kShade, kDotted, kLimit };
  PlotColour colour = PlotColour::kNeutral;
  Style style = Style::kLine;
  std::string text;
};

struct PlotPanel {
  PlotAxis x, y;
  std::optional<PlotAxis> y_right;  // ticks line up with the left axis'
  // A Smith chart: the curves are reflection coefficients (x the real part,
  // y the imaginary part) inside the unit circle, whose grid the painter
  // draws; x and y axes are then unused.
  bool smith = false;
  double weight = 1;  // the panel's share of the plot's height
  std::vector<std::pair<double, double>> shades;  // x ranges shaded: the usable band
  std::vector<PlotFill> fills;                    // drawn first
  std::vector<PlotCurve> curves;
  std::vector<PlotLimit> limits;                        // drawn over the curves
  std::vector<std::pair<double, std::string>> markers;  // vertical lines at x, labelled
  struct Dot {
    double x = 0, y = 0;
    PlotColour colour = PlotColour::kNeutral;
    std::string label;
  };
  std::vector<Dot> dots;  // points marked on the curves (f0 on a Smith chart)
  std::vector<PlotLegendEntry> legend;                  // inside the panel, top left
};

struct Plot {
  std::string title;
  std::string x_title;  // under the last panel
  std::vector<PlotPanel> panels;
  std::vector<PlotLegendEntry> legend;  // the column right of the panels
  bool reads_frequency = true;          // its x axis is a frequency: read it out
};

// Where the response plot looks: a frequency range on a log or linear axis.
struct PlotView {
  double low_hz = 0, high_hz = 0;
  bool logarithmic = true;
};
// The simulation file's whole sweep, on a log axis.
PlotView WholeSweepView(double design_frequency_hz);
// Linear around f0, a fraction `half_width` of f0 to either side.
PlotView AroundDesignFrequency(double design_frequency_hz, double half_width = 0.3);

struct ResponsePlotData {
  const Netlist* netlist = nullptr;          // the circuit shown
  const SweepResponse* response = nullptr;   // its response, solid
  const SweepResponse* ideal = nullptr;      // the ideal circuit's, dashed
  const SweepSpread* spread = nullptr;       // shaded behind the curves
  std::optional<Band> usable;                // shaded across the panels
  // The board as measured, dotted; its entries nobody measured are NaN and
  // left out. With `fitted`, the solid curves are the board as a diagnosis
  // fitted it, not as built.
  const SweepResponse* measured = nullptr;
  bool fitted = false;
  // The goals drawn across the panels, the solid curves' failing stretches
  // marked; none without.
  std::optional<Limits> limits{};
  // Markers (MHz): dots on the Smith chart's solid curves, named on S11.
  std::vector<double> markers_mhz{};
};

// |S21|, |S31|, every isolation path and |S11| in dB over the view, f0
// marked; beneath, the phase error (left axis) and the amplitude imbalance
// (right axis) on scales chosen to read them to 1 degree and 0.1 dB.
Plot ResponsePlot(const ResponsePlotData& data, const PlotView& view);
// The port reflections S11, S22, S33 (and S44) on a Smith chart.
Plot SmithPlot(const ResponsePlotData& data);

// Pixel places, shared by the painters.
struct PlotRect {
  double left = 0, top = 0, right = 0, bottom = 0;
};
struct PlotLayout {
  double width = 0, height = 0;
  std::vector<PlotRect> panels;
  double title_y = 0;    // baseline of the title
  double x_title_y = 0;  // baseline of the x axis' title
  double legend_x = 0;   // left edge of the legend column
  // A narrow plot (a small window, a large scale) has its legend beneath
  // the x axis' title, in as many columns as fit: its first baseline.
  double legend_y = 0;  // 0: beside the first panel
  int legend_columns = 1;
  double legend_column_width = 0;
};
inline constexpr double kPlotFontPx = 12;
PlotLayout LayoutPlot(const Plot& plot, double width, double height);
// Where the legend's entry `index` of `count` starts: the left end of its
// sample and its baseline.
struct PlotPoint {
  double x = 0, y = 0;
};
PlotPoint LegendPosition(const PlotLayout& layout, size_t index, size_t count);
// The height the SVG export gives a plot `width` wide.
double NaturalPlotHeight(const Plot& plot);

// Data to pixels. MapX does not clip; MapY clips to the rectangle (an
// infinite value goes to its edge).
double MapX(const PlotAxis& axis, const PlotRect& rect, double value);
double MapY(const PlotAxis& axis, const PlotRect& rect, double value);
// Pixels back to data, for a pointer's position.
double UnmapX(const PlotAxis& axis, const PlotRect& rect, double pixel);
// The Smith chart's unit circle in a panel: centre and radius.
struct SmithCircle {
  double x = 0, y = 0, radius = 0;
};
SmithCircle SmithCircleIn(const PlotRect& rect);

// The SVG painter.
std::string SvgText(const Plot& plot);

}  // namespace rfsplitter

#endif  // RFSPLITTER_EXPORTS_PLOT_H_
