#include "tolerance/monte_carlo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

#include "analysis/s_parameters.h"
#include "engine/form_netlist.h"
#include "parts/fit.h"
#include "parts/presets.h"
#include "tolerance/grades.h"

namespace rfsplitter {
namespace {

Netlist Built(Topology topology, const PartModels& models = {}) {
  PartsChoice choice;
  choice.inductors = PartSeries::Standard("E12");
  choice.capacitors = PartSeries::Standard("E24");
  return FitParts(ComputeDesign(topology, {433.92f, 50}), choice, models).netlist;
}

MonteCarloSettings Settings(int samples, double inductor, double capacitor) {
  MonteCarloSettings s;
  s.samples = samples;
  s.inductor = {inductor, true};
  s.capacitor = {capacitor, true};
  s.sensitivity_samples = 500;
  return s;
}

TEST(MonteCarlo, ZeroToleranceGivesAllOrNothingAndNoSpread) {
  for (const Topology t : kAllTopologies) {
    const Netlist ideal = IdealNetlist(ComputeDesign(t, {433.92f, 50}));
    const MonteCarloResult r = RunMonteCarlo(ideal, Settings(200, 0, 0));
    EXPECT_EQ(r.yield_percent, 100);
    EXPECT_TRUE(r.nominal_passes);
    for (const auto& [name, p] : r.percentiles) {
      EXPECT_EQ(p.p5, p.p95) << name;
      EXPECT_EQ(p.p5, p.p50) << name;
    }
    // The wide hybrid built from E12/E24 parts misses the match at f0.
    MonteCarloSettings strict = Settings(200, 0, 0);
    strict.limits.match_db = -60;
    const MonteCarloResult failing = RunMonteCarlo(Built(t), strict);
    EXPECT_EQ(failing.yield_percent, 0);
    EXPECT_FALSE(failing.nominal_passes);
  }
}

// An independent sampler in the test: its own generator, the plain
// analysis and the limits written out again. Every part is drawn uniformly
// within its tolerance, a pair's two parts each on their own or, `alike`,
// by the same amount; a part's fixed loss follows its value.
struct Direct {
  Tolerance inductor{0.05, true}, capacitor{0.02, true};
  double match = -15, imbalance = 0.5;
  bool alike = false;
  double parasitics = 0;  // each part's Cp or ESL, a constant ESR and each pad within +-this
};
double DirectYield(const Netlist& nominal, const Direct& d, int n) {
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> unit(-1, 1);
  int passed = 0;
  for (int b = 0; b < n; ++b) {
    Netlist board = nominal;
    for (NetlistElement& e : board.elements) {
      if (d.parasitics > 0) {
        const double reactive = 1 + d.parasitics * unit(random);
        const double resistive = 1 + d.parasitics * unit(random);
        if (e.pad) {
          e.value *= reactive;
        } else if (!e.model.measured) {
          e.model.parallel_c_f *= reactive;
          e.model.series_l_h *= reactive;
          if (e.kind == ElementKind::kCapacitor && e.model.esr_ohms > 0 && !(e.model.q > 0)) {
            e.loss_ohms = e.model.esr_ohms * resistive;
          }
        }
      }
      if (e.pad) continue;
      const Tolerance& t = e.kind == ElementKind::kInductor ? d.inductor : d.capacitor;
      const double offset = unit(random);
      e.value += t.Amount(e.kind, e.value) * offset;
      if (e.model.q > 0) e.loss_ohms = FixedLossOhms(e.kind, e.value, e.model);
      if (e.second) {
        e.second->value += t.Amount(e.kind, e.second->value) * (d.alike ? offset : unit(random));
        if (e.second->model.q > 0) {
          e.second->loss_ohms = FixedLossOhms(e.kind, e.second->value, e.second->model);
        }
      }
    }
    const SMatrix s = *AnalyzeNetlist(board, board.frequency_hz).s;
    const auto db = [](Complex v) { return 20 * std::log10(std::abs(v)); };
    double phase = (std::arg(s(3, 1)) - std::arg(s(2, 1))) * 180 / M_PI;
    phase = std::remainder(phase, 360.0);
    const double phase_error = board.ports == 4 ? std::abs(phase) - 90 : phase;
    passed += db(s(1, 1)) <= d.match && db(s(3, 2)) <= -15 &&
              (board.ports == 3 || db(s(4, 1)) <= -15) &&
              std::abs(db(s(2, 1)) - db(s(3, 1))) <= d.imbalance && std::abs(phase_error) <= 5;
  }
  return 100.0 * passed / n;
}

// Two yields in percent from `n` boards each agree within four sigma.
void ExpectSameYield(double a, double b, int n, const std::string& what) {
  const double p = a / 100, q = b / 100;
  const double sigma = std::sqrt(p * (1 - p) / n + q * (1 - q) / n);
  EXPECT_NEAR(p, q, 4 * sigma + 1e-9) << what << ": " << a << " % and " << b << " %";
}

TEST(MonteCarlo, AgreesWithDirectSampling) {
  // Parts with a fixed loss, then parts with a Q that falls off as sqrt f,
  // a self-resonance, ESL and pads: a drawn value takes its model along.
  PartModels chip;
  chip.inductor.q = 40, chip.inductor.q_at_hz = 1e9;
  chip.inductor.q_profile = QProfile::kSqrt;
  chip.inductor.srf_hz = 3e9;
  chip.capacitor.esl_h = 0.4e-9;
  chip.pad_capacitance_f = 0.2e-12;
  for (const auto& [t, modelled] : {std::pair{Topology::kNarrowSplitter, false},
                                    {Topology::kNarrowQuad, false},
                                    {Topology::kWideQuad, false},
                                    {Topology::kWideQuad, true}}) {
    const Netlist nominal = modelled ? Built(t, chip) : Built(t, QualityFactors(40));
    MonteCarloSettings settings = Settings(4000, 0.05, 0.02);
    // Limits that leave every circuit's yield between the ends.
    settings.limits.match_db = -20;
    settings.limits.imbalance_db = 0.4;
    const MonteCarloResult r = RunMonteCarlo(nominal, settings);
    const Direct direct{{0.05, true}, {0.02, true}, -20, 0.4, false};
    ExpectSameYield(r.yield_percent, DirectYield(nominal, direct, 4000), 4000,
                    std::string(TextsOf(t).file_stem) + (modelled ? " modelled" : ""));
    EXPECT_GT(r.yield_percent, 0);
    EXPECT_LT(r.yield_percent, 100);
    // Each figure's histogram holds every board, between its extremes,
    // which bound the percentiles.
    ASSERT_EQ(r.histograms.size(), r.percentiles.size());
    for (size_t f = 0; f < r.histograms.size(); ++f) {
      const MonteCarloResult::Histogram& h = r.histograms[f];
      int boards = 0;
      for (const int c : h.counts) boards += c;
      EXPECT_EQ(boards, 4000) << r.percentiles[f].first;
      EXPECT_LE(h.low, r.percentiles[f].second.p5) << r.percentiles[f].first;
      EXPECT_GE(h.high, r.percentiles[f].second.p95) << r.percentiles[f].first;
    }
  }
}

// Parasitics that vary from board to board: the program's boards and the
// test's own agree, and the spread costs yield that the values alone keep.
// A capacitor's percentage grade stops at +-0.05 pF; an absolute grade and
// the other kinds' percentages are what they say.
TEST(MonteCarlo, SmallCapacitorsTakeTheGradesFloor) {
  const Tolerance two{0.02, true};
  EXPECT_DOUBLE_EQ(two.Amount(ElementKind::kCapacitor, 0.2e-12), 0.05e-12);
  EXPECT_DOUBLE_EQ(two.Amount(ElementKind::kCapacitor, 10e-12), 0.2e-12);
  EXPECT_DOUBLE_EQ(two.Amount(ElementKind::kInductor, 1e-9), 0.02e-9);
  EXPECT_DOUBLE_EQ((Tolerance{0.02e-12, false}).Amount(ElementKind::kCapacitor, 0.2e-12), 0.02e-12);
  EXPECT_EQ((Tolerance{0, true}).Amount(ElementKind::kCapacitor, 0.2e-12), 0);
  // A parts file's Tmin= in place of the grades' floor.
  EXPECT_DOUBLE_EQ(two.Amount(ElementKind::kCapacitor, 0.2e-12, 0.02e-12), 0.02e-12);
}

TEST(MonteCarlo, DrawsEachPartsParasiticsAndThePads) {
  PartModels chip = *ChipPreset("0402");
  chip.pad_capacitance_f = 0.1e-12;
  // The ideal values, compensated for the parts' parasitics.
  const Netlist nominal =
      FitParts(ComputeDesign(Topology::kWideQuad, {2450, 50}), PartsChoice{}, chip).netlist;
  MonteCarloSettings settings = Settings(4000, 0.02, 0);
  const double without = RunMonteCarlo(nominal, settings).yield_percent;
  settings.parasitic_tolerance = 0.3;
  const MonteCarloResult r = RunMonteCarlo(nominal, settings);
  Direct direct{{0.02, true}, {0, true}};
  direct.parasitics = 0.3;
  ExpectSameYield(r.yield_percent, DirectYield(nominal, direct, 4000), 4000, "parasitics");
  EXPECT_LT(r.yield_percent, without - 10);
}

// Each element made of two parts (60 % and 40 % of it): the boards draw
// them part by part, and the second figure draws them alike.
TEST(MonteCarlo, DrawsTheTwoPartsOfAPairEachOnItsOwn) {
  Netlist nominal = IdealNetlist(ComputeDesign(Topology::kWideQuad, {433.92f, 50}));
  for (NetlistElement& e : nominal.elements) {
    e.second = SecondPart{0.4 * e.value, 0, {}};
    e.value *= 0.6;
  }
  ApplyModels(nominal, QualityFactors(40));
  MonteCarloSettings settings = Settings(4000, 0.08, 0.05);
  const MonteCarloResult r = RunMonteCarlo(nominal, settings);
  ASSERT_TRUE(r.yield_percent_pairs_alike);
  const Direct apart{{0.08, true}, {0.05, true}, -15, 0.5, false};
  Direct alike = apart;
  alike.alike = true;
  ExpectSameYield(r.yield_percent, DirectYield(nominal, apart, 4000), 4000, "apart");
  ExpectSameYield(*r.yield_percent_pairs_alike, DirectYield(nominal, alike, 4000), 4000, "alike");
  // Parts drawn apart average out: the two figures differ.
  EXPECT_GT(r.yield_percent, *r.yield_percent_pairs_alike + 5);
}

// The grades chosen for a 90 % yield give it by the test's own sampler on
// 100,000 boards, whatever the run's seed, and no cheaper set does by the
// program's.
TEST(Grades, TheCheapestThatReachTheTarget) {
  const Netlist nominal = Built(Topology::kWideQuad, QualityFactors(40));
  MonteCarloSettings settings = Settings(4000, 0.05, 0.05);
  const GradeChoice g = CheapestGrades(nominal, settings, 90);
  ASSERT_TRUE(g.reached);
  EXPECT_EQ(g.samples, 100000);
  EXPECT_GE(WilsonInterval(int(std::lround(g.yield_percent * g.samples / 100)), g.samples).first,
            90);
  constexpr int kDirect = 100000;
  const double direct = DirectYield(nominal, {g.inductor, g.capacitor}, kDirect);
  EXPECT_GT(direct, 90 - 3 * 100 * std::sqrt(0.9 * 0.1 / kDirect));
  for (const uint64_t seed : {2, 4}) {
    settings.seed = seed;
    const GradeChoice again = CheapestGrades(nominal, settings, 90);
    EXPECT_EQ(again.inductor, g.inductor);
    EXPECT_EQ(again.capacitor, g.capacitor);
  }
  settings.seed = 1;
  // One grade looser on either kind misses it.
  const std::vector<Tolerance> inductors = GradeLadder(ElementKind::kInductor, nominal);
  const std::vector<Tolerance> capacitors = GradeLadder(ElementKind::kCapacitor, nominal);
  const auto looser = [](const std::vector<Tolerance>& ladder, const Tolerance& t) {
    const auto at = std::find(ladder.begin(), ladder.end(), t);
    return at == ladder.begin() ? std::optional<Tolerance>() : *(at - 1);
  };
  for (const auto& [kind, ladder, chosen] :
       {std::tuple{ElementKind::kInductor, inductors, g.inductor},
        {ElementKind::kCapacitor, capacitors, g.capacitor}}) {
    const std::optional<Tolerance> cheaper = looser(ladder, chosen);
    if (!cheaper) continue;
    MonteCarloSettings trial = settings;
    trial.inductor = kind == ElementKind::kInductor ? *cheaper : g.inductor;
    trial.capacitor = kind == ElementKind::kCapacitor ? *cheaper : g.capacitor;
    EXPECT_LT(100.0 * BoardsPassing(nominal, trial, 4000) / 4000, 90) << KindName(kind);
  }
  // A target beyond reach: the best there is, said so.
  const GradeChoice beyond = CheapestGrades(nominal, settings, 99.99);
  EXPECT_FALSE(beyond.reached);
  EXPECT_LT(beyond.yield_percent, 99.99);
}

TEST(MonteCarlo, TheSameSeedGivesTheSameNumbersOnAnyNumberOfThreads) {
  const Netlist nominal = Built(Topology::kNarrowQuad);
  for (const Distribution d : {Distribution::kUniform, Distribution::kNormal}) {
    MonteCarloSettings one = Settings(3000, 0.05, 0.05);
    one.distribution = d;
    one.threads = 1;
    one.seed = 7;
    MonteCarloSettings two = one;
    two.threads = 2;
    const MonteCarloResult a = RunMonteCarlo(nominal, one);
    const MonteCarloResult b = RunMonteCarlo(nominal, two);
    EXPECT_EQ(a.passed, b.passed);
    for (size_t i = 0; i < a.percentiles.size(); ++i) {
      EXPECT_EQ(a.percentiles[i].second.p50, b.percentiles[i].second.p50);
    }
    for (size_t i = 0; i < a.sensitivity.size(); ++i) {
      EXPECT_EQ(a.sensitivity[i].part, b.sensitivity[i].part);
      EXPECT_EQ(a.sensitivity[i].yield_percent_alone, b.sensitivity[i].yield_percent_alone);
    }
    two.seed = 8;
    EXPECT_NE(RunMonteCarlo(nominal, two).percentiles[0].second.p50, a.percentiles[0].second.p50);
  }
}

TEST(MonteCarlo, APartWithAHugeToleranceTopsTheSensitivityList) {
  const Netlist nominal = Built(Topology::kNarrowSplitter);
  MonteCarloSettings settings = Settings(2000, 0.001, 0);
  settings.resistor = {0.5, true};
  const MonteCarloResult r = RunMonteCarlo(nominal, settings);
  EXPECT_EQ(r.sensitivity.front().part, "R1");
  EXPECT_LT(r.sensitivity.front().yield_percent_alone, r.sensitivity.back().yield_percent_alone);
  ASSERT_TRUE(r.harmful_part);
  EXPECT_EQ(*r.harmful_part, "R1");
  ASSERT_TRUE(r.tighter);
  EXPECT_DOUBLE_EQ(r.tighter->value, 0.2);
  EXPECT_GE(r.tighter_yield_percent, r.yield_percent);
}

TEST(MonteCarlo, TheYieldBandChecksMorePoints) {
  const Netlist nominal = Built(Topology::kWideQuad);
  MonteCarloSettings at_f0 = Settings(1000, 0.02, 0.02);
  MonteCarloSettings band = at_f0;
  band.band_percent = 20;
  EXPECT_LE(RunMonteCarlo(nominal, band).passed, RunMonteCarlo(nominal, at_f0).passed);
}

TEST(WilsonInterval, ContainsTheYieldAndNarrowsWithTheSamples) {
  double last_width = 100;
  for (const int n : {10, 100, 1000, 100000}) {
    const auto [low, high] = WilsonInterval(n * 3 / 10, n);
    EXPECT_LE(low, 30);
    EXPECT_GE(high, 30);
    EXPECT_LT(high - low, last_width);
    last_width = high - low;
  }
  // At the ends the interval stays inside 0 to 100 % and is not empty.
  EXPECT_EQ(WilsonInterval(0, 50).first, 0);
  EXPECT_GT(WilsonInterval(0, 50).second, 0);
  EXPECT_EQ(WilsonInterval(50, 50).second, 100);
  // A known value: 8 of 10 gives 49.0 % to 94.3 %.
  EXPECT_NEAR(WilsonInterval(8, 10).first, 49.02, 0.01);
  EXPECT_NEAR(WilsonInterval(8, 10).second, 94.33, 0.01);
}

TEST(ParseTolerance, ReadsPercentagesAndAbsoluteValues) {
  std::string error;
  EXPECT_EQ(*ParseTolerance("5%", ElementKind::kInductor, error), (Tolerance{0.05, true}));
  EXPECT_EQ(*ParseTolerance("0.5 %", ElementKind::kResistor, error), (Tolerance{0.005, true}));
  EXPECT_EQ(*ParseTolerance("0", ElementKind::kResistor, error), (Tolerance{0, true}));
  EXPECT_DOUBLE_EQ(ParseTolerance("0.1p", ElementKind::kCapacitor, error)->value, 0.1e-12);
  EXPECT_FALSE(ParseTolerance("0.1p", ElementKind::kCapacitor, error)->relative);
  EXPECT_DOUBLE_EQ(ParseTolerance("0.2nH", ElementKind::kInductor, error)->value, 0.2e-9);
  for (const auto& [text, kind] : {std::pair{"-5%", ElementKind::kInductor},
                                   {"101%", ElementKind::kCapacitor},
                                   {"1p", ElementKind::kResistor},
                                   {"five", ElementKind::kInductor},
                                   {"2x", ElementKind::kCapacitor}}) {
    EXPECT_FALSE(ParseTolerance(text, kind, error)) << text;
  }
}

}  // namespace
}  // namespace rfsplitter

namespace rfsplitter {
namespace {

// The families' boards: the program's yield against a sampler and a judge
// of the test's own, which reads the outputs and isolations of each form
// as its textbook says (every output of three ways, the split asked, the
// ring's sum port in phase and its difference port isolated).
TEST(MonteCarlo, TheFamiliesAgreeWithTheTestsOwnBoards) {
  PartsChoice choice;
  choice.inductors = PartSeries::Standard("E12");
  choice.capacitors = PartSeries::Standard("E24");
  const Form forms[] = {{FormFamily::kSplitter, 3, 0, 1, ArmForm::kLowPass},
                        {FormFamily::kSplitter, 2, -6, 1, ArmForm::kHighPass},
                        {FormFamily::kRing, 2, 0, 1, ArmForm::kHighPass}};
  for (const Form& form : forms) {
    const Netlist nominal =
        FitParts(FormDesign(form, {433.92f, 50}), choice, QualityFactors(40)).netlist;
    MonteCarloSettings settings = Settings(4000, 0.05, 0.02);
    settings.limits.match_db = -20;
    settings.limits.imbalance_db = 0.4;
    const MonteCarloResult r = RunMonteCarlo(nominal, settings);

    std::mt19937_64 random(777);
    std::uniform_real_distribution<double> unit(-1, 1);
    const int outputs = form.family == FormFamily::kSplitter ? form.ways : 2;
    const auto db = [](Complex v) { return 20 * std::log10(std::abs(v)); };
    int passed = 0;
    for (int b = 0; b < 4000; ++b) {
      Netlist board = nominal;
      for (NetlistElement& e : board.elements) {
        if (e.kind == ElementKind::kResistor) continue;
        e.value *= 1 + (e.kind == ElementKind::kInductor ? 0.05 : 0.02) * unit(random);
        e.loss_ohms = FixedLossOhms(e.kind, e.value, e.model);
      }
      const SMatrix s = *AnalyzeNetlist(board, board.frequency_hz).s;
      bool ok = db(s(1, 1)) <= -20;
      if (form.family == FormFamily::kRing) ok = ok && db(s(4, 1)) <= -15;
      double most = -1e9, least = 1e9;
      for (int j = 2; j <= outputs + 1; ++j) {
        // Port 3's power as if the split were even.
        const double power = db(s(j, 1)) + (j == 3 ? form.split_db : 0);
        most = std::max(most, power), least = std::min(least, power);
        const double phase = std::remainder(std::arg(s(j, 1) / s(2, 1)) * 180 / M_PI, 360.0);
        ok = ok && std::abs(phase) <= 5;
        for (int k = 2; k < j; ++k) ok = ok && db(s(j, k)) <= -15;
      }
      passed += ok && most - least <= 0.4;
    }
    ExpectSameYield(r.yield_percent, 100.0 * passed / 4000, 4000, FormText(form));
    EXPECT_GT(r.yield_percent, 0) << FormText(form);
    EXPECT_LT(r.yield_percent, 100) << FormText(form);
  }
}

}  // namespace
}  // namespace rfsplitter
