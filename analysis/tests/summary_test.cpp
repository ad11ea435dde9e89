#include "analysis/summary.h"

#include <gtest/gtest.h>

#include "engine/topologies.h"

namespace rfsplitter {
namespace {

TEST(Summarize, BandEdgesAreWhereTheLimitsAreCrossed) {
  for (const Topology t : kAllTopologies) {
    const Design d = ComputeDesign(t, {12.1f, 50});
    std::string error;
    const std::optional<DesignSummary> summary = Summarize(IdealNetlist(d), error);
    ASSERT_TRUE(summary) << error;
    ASSERT_TRUE(summary->band);
    const Band& band = *summary->band;
    EXPECT_LT(band.low_hz, d.frequency_hz);
    EXPECT_GT(band.high_hz, d.frequency_hz);
    EXPECT_FALSE(band.low_open || band.high_open);
    // Usable just inside each edge, not just outside it.
    for (const auto& [inside, outside] : {std::pair{band.low_hz * 1.0001, band.low_hz * 0.999},
                                          std::pair{band.high_hz * 0.9999, band.high_hz * 1.001}}) {
      EXPECT_TRUE(InUsableBand(*AnalyzeDesign(d, inside).s));
      EXPECT_FALSE(InUsableBand(*AnalyzeDesign(d, outside).s));
    }
  }
}

TEST(Summarize, TheTwoSectionHybridIsTheWiderBand) {
  std::string error;
  const auto width = [&](Topology t) {
    const Design d = ComputeDesign(t, {100, 50});
    const Band band = *Summarize(IdealNetlist(d), error)->band;
    return (band.high_hz - band.low_hz) / d.frequency_hz;
  };
  EXPECT_GT(width(Topology::kWideQuad), width(Topology::kNarrowQuad));
}

TEST(SummaryText, ReportsEveryQuantity) {
  const Design d = ComputeDesign(Topology::kNarrowQuad, {12.1f, 50});
  std::string error;
  const std::string text = SummaryText(IdealNetlist(d), *Summarize(IdealNetlist(d), error));
  for (const char* part :
       {"Response at 12.1 MHz, ports referred to 50 ohms", "S21    -3.01", "S31    -3.00",
        "Phase S31 - S21                -90.00 deg", "|S11|  -71.6", "|S32|  -71.6", "|S41|  -71.6",
        "Usable band", "% of 12.1 MHz)"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  const Design splitter = ComputeDesign(Topology::kNarrowSplitter, {12.1f, 50});
  EXPECT_EQ(
      SummaryText(IdealNetlist(splitter), *Summarize(IdealNetlist(splitter), error)).find("S41"),
      std::string::npos);
}

}  // namespace
}  // namespace rfsplitter
