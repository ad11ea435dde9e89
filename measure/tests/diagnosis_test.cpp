#include "measure/diagnosis.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "measure/tests/synthetic_board.h"

namespace rfsplitter {
namespace {

using testing::Fault;
using testing::Fixture;

// Where `part` stands in the ranking.
size_t RankOf(const Diagnosis& d, const std::string& part) {
  return size_t(std::find_if(d.suspects.begin(), d.suspects.end(),
                             [&](const Suspect& s) { return s.part == part; }) -
                d.suspects.begin());
}

const Suspect& SuspectNamed(const Diagnosis& d, const std::string& part) {
  return d.suspects[RankOf(d, part)];
}

TEST(Diagnosis, NamesThePartsThatAreOffAndByHowMuch) {
  std::mt19937_64 random(3);
  const struct {
    Topology topology;
    float mhz;
    bool chip_parts;
    std::vector<Fault> faults;
    bool fixture;
  } cases[] = {
      {Topology::kNarrowSplitter, 915, true, {{"R1", 1.2}}, false},
      {Topology::kNarrowSplitter, 100, false, {{"C3", 0.9}}, true},
      {Topology::kNarrowQuad, 915, true, {{"L3", 1.1}, {"C1", 0.8}}, true},
      {Topology::kWideQuad, 915, true, {{"C5", 1.15}}, true},
      {Topology::kWideQuad, 100, false, {{"L6", 0.88}, {"L2", 1.22}}, false},
  };
  for (const auto& c : cases) {
    const Netlist built = testing::BuiltBoard(c.topology, c.mhz, c.chip_parts);
    Fixture fixture;
    if (c.fixture) fixture = {{10e-12, 40e-12, 25e-12, 33e-12}, 0.1e-12};
    fixture.delays_s.resize(c.fixture ? size_t(built.ports) : 0);
    const Measurement m = testing::Measure(built, c.faults, fixture, -50, random);
    std::string error;
    const std::optional<Diagnosis> d = Diagnose(built, m, {}, error);
    ASSERT_TRUE(d) << error;
    EXPECT_TRUE(d->converged);
    EXPECT_LT(d->residual_db, -45);
    for (const Fault& f : c.faults) {
      EXPECT_LT(RankOf(*d, f.part), c.faults.size()) << f.part;
      EXPECT_NEAR(SuspectNamed(*d, f.part).change_percent, 100 * (f.factor - 1), 2) << f.part;
    }
    for (size_t p = 0; p < fixture.delays_s.size(); ++p)
      EXPECT_NEAR(d->port_delays_s[p], fixture.delays_s[p], 1e-12);
    // At 100 MHz a tenth of a picofarad is below what the board shows.
    if (c.mhz > 500) {
      EXPECT_NEAR(d->pad_capacitance_f, fixture.pad_f, 0.03e-12);
    }
  }
}

TEST(Diagnosis, KeepsGivenPlanesAndRefusesTooFewPoints) {
  std::mt19937_64 random(5);
  const Netlist built = testing::BuiltBoard(Topology::kNarrowSplitter, 915, false);
  Measurement m =
      testing::Measure(built, {{"L1", 1.1}}, {{20e-12, 20e-12, 20e-12}, 0}, -60, random);
  DiagnosisSettings given;
  given.port_delays_s = {20e-12, 20e-12, 20e-12};
  given.fit_pad = false;
  std::string error;
  const std::optional<Diagnosis> d = Diagnose(built, m, given, error);
  ASSERT_TRUE(d) << error;
  EXPECT_EQ(d->port_delays_s, given.port_delays_s);
  EXPECT_EQ(d->pad_capacitance_f, 0);
  EXPECT_EQ(d->suspects[0].part, "L1");

  m.frequencies_hz.resize(2);
  m.s.resize(2);
  EXPECT_FALSE(Diagnose(built, m, {}, error));
  EXPECT_NE(error.find("fewer than 3 measured points"), std::string::npos);
}

TEST(Repair, BringsTheFittedBoardWithinTheLimitsAsASolveConfirms) {
  std::mt19937_64 random(11);
  const Netlist built = testing::BuiltBoard(Topology::kNarrowQuad, 915, true);
  const Measurement m = testing::Measure(built, {{"L2", 1.25}}, {}, -50, random);
  std::string error;
  const std::optional<Diagnosis> d = Diagnose(built, m, {}, error);
  ASSERT_TRUE(d) << error;
  PartsChoice parts;
  parts.inductors = PartSeries::Standard("E12");
  // The board as built from E12 and E24 parts is 1.1 dB out of balance at f0.
  const Limits limits{-15, -15, 1.5, 5};
  const std::vector<double> at = CheckFrequencies(built.frequency_hz, 0);
  const Repair repair = FindRepair(built, *d, parts, limits, at);
  ASSERT_TRUE(repair.needed);
  ASSERT_TRUE(repair.found);
  ASSERT_EQ(repair.steps.size(), 1u);
  EXPECT_EQ(repair.steps[0].part, "L2");
  // An E12 value below the built one, on a board that (solved again here,
  // with the part's deviation kept) meets every limit.
  EXPECT_LT(repair.steps[0].to, repair.steps[0].from);
  Netlist board = d->fitted;
  for (NetlistElement& e : board.elements) {
    if (e.name != "L2") continue;
    e.value = repair.steps[0].to * SuspectNamed(*d, "L2").fitted / SuspectNamed(*d, "L2").built;
    e.second.reset();
  }
  SMatrix s(4);
  for (const double f : at) {
    ASSERT_TRUE(BoundNetlist(board).Analyze(f, s));
    EXPECT_TRUE(MeetsLimits(s, limits, RuleOf(board.form))) << f;
  }

  // Limits no change of one or two parts can reach.
  const Repair none = FindRepair(built, *d, parts, {-60, -60, 0.01, 0.1}, at);
  EXPECT_TRUE(none.needed);
  EXPECT_FALSE(none.found);
}

}  // namespace
}  // namespace rfsplitter
