#include <gtest/gtest.h>

#include <QXmlStreamReader>

#include "engine/topologies.h"
#include "exports/exports.h"

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
