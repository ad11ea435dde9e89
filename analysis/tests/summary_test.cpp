#include "analysis/summary.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/part_model.h"
#include "engine/topologies.h"

namespace rfsplitter {
namespace {

// The limits written out again with logarithms and arc tangents, as a
// designer reads them off a plot.
bool HoldsAt(const Netlist& netlist, double f, LimitKind kind, const Limits& l) {
  const SMatrix s = *AnalyzeNetlist(netlist, f).s;
  const auto db = [](Complex v) { return 20 * std::log10(std::abs(v)); };
  switch (kind) {
    case LimitKind::kMatch:
      return db(s(1, 1)) <= l.match_db;
    case LimitKind::kIsolation:
      return db(s(3, 2)) <= l.isolation_db && (s.ports() < 4 || db(s(4, 1)) <= l.isolation_db);
    case LimitKind::kAmplitudeBalance:
      return std::abs(db(s(2, 1)) - db(s(3, 1))) <= l.imbalance_db;
    case LimitKind::kPhaseBalance: {
      const double phase =
          std::remainder(std::arg(s(3, 1)) - std::arg(s(2, 1)), 2 * M_PI) * 180 / M_PI;
      return std::abs(s.ports() >= 4 ? std::abs(phase) - 90 : phase) <= l.phase_deg;
    }
  }
  return false;
}

// The band of each limit found by a plain scan of 20,000 points across the
// sweep's range: the run of points around f0 in which the limit holds.
std::optional<Band> ScannedBand(const Netlist& netlist, LimitKind kind, const Limits& limits,
                                double& step) {
  const double f0 = netlist.frequency_hz;
  const int n = 20000;
  step = std::pow(19.0, 1.0 / n);
  if (!HoldsAt(netlist, f0, kind, limits)) return std::nullopt;
  Band band{f0, f0, false, false};
  for (double f = f0; HoldsAt(netlist, f, kind, limits); f /= step) {
    band.low_hz = f;
    if (f / step < 0.1 * f0) {
      band.low_open = true;
      break;
    }
  }
  for (double f = f0; HoldsAt(netlist, f, kind, limits); f *= step) {
    band.high_hz = f;
    if (f * step > 1.9 * f0) {
      band.high_open = true;
      break;
    }
  }
  return band;
}

TEST(Bands, EachAgreesWithAScanOfTheSweep) {
  Limits wide;  // loose enough that some bands reach the sweep's edges
  wide.isolation_db = -6;
  wide.phase_deg = 60;
  for (const Topology t : kAllTopologies) {
    for (const Limits& limits : {Limits{}, wide}) {
      Netlist netlist = IdealNetlist(ComputeDesign(t, {433.92f, 50}));
      ApplyModels(netlist, QualityFactors(40));
      std::string error;
      const std::optional<DesignSummary> summary = Summarize(netlist, limits, error);
      ASSERT_TRUE(summary) << error;
      std::optional<Band> usable = Band{0, 1e300, true, true};
      for (const LimitKind kind : kAllLimits) {
        double step = 0;
        const std::optional<Band> scanned = ScannedBand(netlist, kind, limits, step);
        const std::optional<Band>& found = summary->bands.Of(kind);
        const std::string what =
            std::string(TextsOf(t).file_stem) + " " + std::string(LimitName(kind));
        ASSERT_EQ(found.has_value(), scanned.has_value()) << what;
        if (!found) {
          usable.reset();
          continue;
        }
        EXPECT_NEAR(std::log(found->low_hz / scanned->low_hz), 0, std::log(step)) << what;
        EXPECT_NEAR(std::log(found->high_hz / scanned->high_hz), 0, std::log(step)) << what;
        EXPECT_EQ(found->low_open, scanned->low_open) << what;
        EXPECT_EQ(found->high_open, scanned->high_open) << what;
        if (usable) {
          usable->low_hz = std::max(usable->low_hz, found->low_hz);
          usable->high_hz = std::min(usable->high_hz, found->high_hz);
        }
      }
      ASSERT_EQ(summary->bands.usable.has_value(), usable.has_value());
      if (usable) {
        EXPECT_EQ(summary->bands.usable->low_hz, usable->low_hz);
        EXPECT_EQ(summary->bands.usable->high_hz, usable->high_hz);
      }
    }
  }
}

// Dissipation is no imbalance: lossy inductors on the ideal values leave
// the circuit usable, and the loss is reported as excess loss.
TEST(Bands, LossesDoNotEmptyTheUsableBand) {
  for (const Topology t : kAllTopologies) {
    Netlist netlist = IdealNetlist(ComputeDesign(t, {433.92f, 50}));
    ApplyModels(netlist, QualityFactors(40));
    std::string error;
    const DesignSummary summary = *Summarize(netlist, Limits{}, error);
    EXPECT_TRUE(summary.bands.usable) << TextsOf(t).file_stem;
    EXPECT_GT(summary.figures.excess_loss_db, 0.1) << TextsOf(t).file_stem;
  }
}

TEST(Bands, TheTwoSectionHybridIsTheWiderBand) {
  std::string error;
  const auto width = [&](Topology t) {
    const Design d = ComputeDesign(t, {100, 50});
    const Band band = *Summarize(IdealNetlist(d), Limits{}, error)->bands.usable;
    return (band.high_hz - band.low_hz) / d.frequency_hz;
  };
  EXPECT_GT(width(Topology::kWideQuad), width(Topology::kNarrowQuad));
}

}  // namespace
}  // namespace rfsplitter
