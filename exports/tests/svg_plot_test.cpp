#include <gtest/gtest.h>

#include <QXmlStreamReader>

#include "engine/topologies.h"
#include "exports/exports.h"
#include "exports/plot.h"

namespace rfsplitter {
namespace {

struct Chart {
  QStringList texts;
  int polylines = 0;
  int points = 0;
};

Chart Read(const std::string& svg, std::string& error) {
  Chart chart;
  QXmlStreamReader xml(QByteArray::fromStdString(svg));
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QStringLiteral("text")) {
      chart.texts << xml.readElementText();
    } else if (xml.isStartElement() && xml.name() == QStringLiteral("polyline")) {
      ++chart.polylines;
      chart.points = int(xml.attributes().value("points").split(u' ').size());
    }
  }
  if (xml.hasError()) error = xml.errorString().toStdString();
  return chart;
}

TEST(SvgPlot, IsWellFormedWithAxesLegendAndMarker) {
  const Netlist d = IdealNetlist(ComputeDesign(Topology::kWideQuad, {12.1f, 50}));
  std::string error;
  const std::string svg = SvgPlot(d, AnalyzeSweep(d, error));
  const Chart chart = Read(svg, error);
  ASSERT_TRUE(error.empty()) << error;
  // Five magnitudes, then the phase error and the imbalance.
  EXPECT_EQ(chart.polylines, 7);
  EXPECT_EQ(chart.points, 200);
  for (const char* text :
       {"2", "5", "10", "20", "0", "-30", "-60", "Frequency (MHz)", "Magnitude (dB)",
        "f0 = 12.1 MHz", "|S21| output to port 2", "|S31| output to port 3",
        "|S32| isolation 3 to 2", "|S41| isolation 1 to 4", "|S11| input match",
        "Phase error (deg)", "Imbalance (dB)", "90 Deg Wide-Band at 12.1 MHz, Z0 50 ohms"}) {
    EXPECT_TRUE(chart.texts.contains(QString::fromUtf8(text))) << text;
  }
}

// The limits cross the panels, and where the curve misses one (|S11| far
// from f0) the line is marked; near f0, where every limit holds, it is not.
// The narrow splitter at 915 MHz over its whole sweep, with the limits.
Plot SplitterPlotWithLimits() {
  const Netlist d = IdealNetlist(ComputeDesign(Topology::kNarrowSplitter, {915, 50}));
  std::string error;
  const SweepResponse r = AnalyzeSweep(d, error);
  ResponsePlotData data;
  data.netlist = &d;
  data.response = &r;
  data.limits = Limits{};
  return ResponsePlot(data, WholeSweepView(d.frequency_hz));
}

TEST(SvgPlot, MarksWhereTheCurveMissesItsLimits) {
  std::string error;
  const Plot plot = SplitterPlotWithLimits();
  const std::vector<PlotLimit>& magnitude = plot.panels[0].limits;
  ASSERT_EQ(magnitude.size(), 2u);
  EXPECT_EQ(magnitude[0].y, -15);
  ASSERT_EQ(magnitude[0].failing.size(), 2u);  // below and above the match band
  EXPECT_LT(magnitude[0].failing[0].second, 800);
  EXPECT_GT(magnitude[0].failing[1].first, 1000);
  // The balance limits: phase and imbalance either side of zero, never missed.
  ASSERT_EQ(plot.panels[1].limits.size(), 4u);
  for (const PlotLimit& l : plot.panels[1].limits) EXPECT_TRUE(l.failing.empty());
  const std::string svg = SvgText(plot);
  EXPECT_EQ(Read(svg, error).texts.count("limit; missed in red"), 1);
  EXPECT_NE(svg.find("class=\"missed\""), std::string::npos);
}

// A plot in a small window: its legend goes beneath where the panels keep
// their height, else beside them clear of the phase panel's right axis;
// never over a panel.
TEST(PlotLayout, KeepsTheLegendOffThePanelsWhateverTheSize) {
  const Plot plot = SplitterPlotWithLimits();
  for (const auto& [width, height] : {std::pair(820.0, 700.0), std::pair(420.0, 700.0),
                                      std::pair(420.0, 300.0), std::pair(300.0, 240.0)}) {
    const PlotLayout layout = LayoutPlot(plot, width, height);
    for (size_t i = 0; i < plot.legend.size(); ++i) {
      const PlotPoint at = LegendPosition(layout, i, plot.legend.size());
      // Right of every panel at its height, past a right axis' labels.
      for (size_t k = 0; k < plot.panels.size(); ++k) {
        const PlotRect& p = layout.panels[k];
        if (at.y < p.top - 8 || at.y > p.bottom + 8) continue;
        EXPECT_GT(at.x, p.right + (plot.panels[k].y_right ? 45 : 5))
            << width << " x " << height << ", entry " << i;
      }
      EXPECT_LT(at.y, height) << width << " x " << height << ", entry " << i;
    }
    EXPECT_EQ(layout.legend_y > 0, width == 420 && height == 700) << width << " x " << height;
  }
}

TEST(SvgPlot, TicksFollowTheSweep) {
  std::string error;
  const Netlist low = IdealNetlist(ComputeDesign(Topology::kNarrowSplitter, {0.001f, 50}));
  const Chart chart = Read(SvgPlot(low, AnalyzeSweep(low, error)), error);
  ASSERT_TRUE(error.empty()) << error;
  EXPECT_TRUE(chart.texts.contains("0.0002"));
  EXPECT_TRUE(chart.texts.contains("0.001"));
  EXPECT_FALSE(chart.texts.contains("10"));
}

}  // namespace
}  // namespace rfsplitter
