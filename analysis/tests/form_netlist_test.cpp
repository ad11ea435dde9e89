// Every form's circuit at f0 against what its textbook design promises:
// the split asked, every port matched, the isolations, no loss, the
// phases; and the values of the simplest against their closed forms.
#include "engine/form_netlist.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analysis/limits.h"
#include "analysis/s_parameters.h"

namespace rfsplitter {
namespace {

double Db(Complex s) { return 20 * std::log10(std::abs(s)); }
double Degrees(Complex a, Complex b) {
  return std::remainder(std::arg(a / b) * 180 / std::numbers::pi, 360);
}

SMatrix AtF0(const Form& form, DesignInputs inputs = {915, 50}) {
  EXPECT_EQ(WhyNoForm(form), std::nullopt);
  const Netlist n = FormNetlist(form, inputs);
  const SResult r = AnalyzeNetlist(n, n.frequency_hz);
  EXPECT_TRUE(r.s) << r.error;
  return r.s.value_or(SMatrix(n.ports));
}

// From every port, or (a splitter, whose resistors take what the outputs
// send back unequally) from the input alone.
void ExpectMatchedAndLossless(const SMatrix& s, bool every_port = true) {
  for (int p = 1; p <= s.ports(); ++p) {
    EXPECT_LT(Db(s(p, p)), -40) << "port " << p;
    if (p > 1 && !every_port) continue;
    double power = 0;
    for (int q = 1; q <= s.ports(); ++q) power += std::norm(s(q, p));
    EXPECT_NEAR(power, 1, 1e-9) << "from port " << p;
  }
}

TEST(FormNetlist, SplittersSplitAsAskedInPhaseAndIsolated) {
  for (const ArmForm arms : {ArmForm::kLowPass, ArmForm::kHighPass}) {
    for (const double split : {0.0, 3.0, -6.0, 10.0}) {
      const SMatrix s = AtF0({FormFamily::kSplitter, 2, split, 1, arms});
      ExpectMatchedAndLossless(s, false);
      EXPECT_NEAR(Db(s(2, 1)) - Db(s(3, 1)), split, 0.01) << split;
      EXPECT_LT(Db(s(3, 2)), -40) << split;
      EXPECT_NEAR(Degrees(s(3, 1), s(2, 1)), 0, 0.1) << split;
    }
    for (const int ways : {3, 4}) {
      const SMatrix s = AtF0({FormFamily::kSplitter, ways, 0, 1, arms});
      ExpectMatchedAndLossless(s, false);
      for (int out = 2; out <= ways + 1; ++out) {
        EXPECT_NEAR(Db(s(out, 1)), 10 * std::log10(1.0 / ways), 0.01);
        EXPECT_NEAR(Degrees(s(out, 1), s(2, 1)), 0, 0.1);
        for (int other = out + 1; other <= ways + 1; ++other) EXPECT_LT(Db(s(other, out)), -40);
      }
    }
  }
}

TEST(FormNetlist, BranchLinesCoupleAsAskedNinetyDegreesApart) {
  for (const ArmForm arms : {ArmForm::kLowPass, ArmForm::kHighPass}) {
    for (const double split : {0.0, 3.0, -4.77}) {
      const SMatrix s = AtF0({FormFamily::kQuad, 2, split, 1, arms});
      ExpectMatchedAndLossless(s);
      EXPECT_NEAR(Db(s(2, 1)) - Db(s(3, 1)), split, 0.01);
      EXPECT_LT(Db(s(4, 1)), -40);
      EXPECT_LT(Db(s(3, 2)), -40);
      // The coupled port lags the through one (leads, with high-pass arms).
      EXPECT_NEAR(Degrees(s(3, 1), s(2, 1)), arms == ArmForm::kLowPass ? -90 : 90, 0.1);
    }
  }
}

TEST(FormNetlist, BranchLinesOfSectionsStayTheTextbookHybridAtF0) {
  for (const ArmForm arms : {ArmForm::kLowPass, ArmForm::kHighPass}) {
    for (const int sections : {2, 3}) {
      const SMatrix s = AtF0({FormFamily::kQuad, 2, 0, sections, arms});
      ExpectMatchedAndLossless(s);
      EXPECT_NEAR(Db(s(2, 1)) - Db(s(3, 1)), 0, 0.01) << sections;
      EXPECT_LT(Db(s(4, 1)), -40) << sections;
      EXPECT_NEAR(std::abs(Degrees(s(3, 1), s(2, 1))), 90, 0.1) << sections;
    }
  }
}

// Each form judged by its own rule: at f0 every figure within a hair of
// its goal, so that a rule reading the wrong ports (a third output as an
// isolated port, an unequal split as an imbalance, a ring as a hybrid)
// fails.
TEST(FormNetlist, EachFormMeetsTightLimitsByItsOwnRule) {
  const Limits tight{-40, -40, 0.01, 0.1};
  const Form forms[] = {{FormFamily::kSplitter, 2, -6, 1, ArmForm::kHighPass},
                        {FormFamily::kSplitter, 3, 0, 1, ArmForm::kLowPass},
                        {FormFamily::kSplitter, 4, 0, 1, ArmForm::kHighPass},
                        {FormFamily::kSplitter, 2, 0, 3, ArmForm::kLowPass},
                        {FormFamily::kQuad, 2, 3, 1, ArmForm::kLowPass},
                        {FormFamily::kQuad, 2, 0, 3, ArmForm::kHighPass},
                        {FormFamily::kRing, 2, 0, 1, ArmForm::kLowPass}};
  for (const Form& form : forms) {
    const SMatrix s = AtF0(form);
    const FigureRule rule = RuleOf(form);
    EXPECT_TRUE(MeetsLimits(s, tight, rule)) << FormText(form);
    const PointFigures f = FiguresOf(s, rule);
    EXPECT_LT(f.isolation_db, -40) << FormText(form);
    EXPECT_NEAR(f.imbalance_db, 0, 0.01) << FormText(form);
    EXPECT_NEAR(f.phase_error_deg, 0, 0.1) << FormText(form);
    EXPECT_NEAR(f.excess_loss_db, 0, 1e-3) << FormText(form);
  }
  // The same unequal split judged as an equal one misses by its 6 dB.
  const Form unequal = forms[0];
  EXPECT_NEAR(FiguresOf(AtF0(unequal), FigureRule{}).imbalance_db, 6, 0.01);
}

TEST(FormNetlist, TheRingSumsFromPortOneAndDiffersFromPortFour) {
  for (const ArmForm arms : {ArmForm::kLowPass, ArmForm::kHighPass}) {
    const SMatrix s = AtF0({FormFamily::kRing, 2, 0, 1, arms});
    ExpectMatchedAndLossless(s);
    EXPECT_NEAR(Db(s(2, 1)), -3.0103, 0.01);
    EXPECT_NEAR(Db(s(3, 1)), -3.0103, 0.01);
    EXPECT_NEAR(Degrees(s(3, 1), s(2, 1)), 0, 0.1);
    EXPECT_NEAR(std::abs(Degrees(s(3, 4), s(2, 4))), 180, 0.1);
    EXPECT_LT(Db(s(4, 1)), -40);
    EXPECT_LT(Db(s(3, 2)), -40);
  }
}

// The equal two-way splitter of low-pass arms is the textbook one:
// L = Z0 sqrt(2) / w0, C = 1 / (Z0 sqrt(2) w0) at each output and twice it
// at the input, R = 2 Z0.
TEST(FormNetlist, TheEqualSplitterHasTheClosedFormValues) {
  const Netlist n = FormNetlist({}, {100, 50});
  const double w0 = 2 * std::numbers::pi * 100e6, z = 50 * std::numbers::sqrt2;
  const auto value = [&](std::string_view name) { return n.Find(name)->value; };
  EXPECT_DOUBLE_EQ(value("L1"), z / w0);
  EXPECT_DOUBLE_EQ(value("L2"), z / w0);
  EXPECT_NEAR(value("C1"), 2 / (z * w0), 1e-24);  // node 1
  EXPECT_NEAR(value("C2"), 1 / (z * w0), 1e-24);  // node 2
  EXPECT_DOUBLE_EQ(value("R1"), 100);
  EXPECT_EQ(n.ports, 3);
}

// The usable band about f0: every port's match and the isolation at -20 dB,
// on a grid of a thousandth of f0.
double UsableFraction(const Form& form) {
  const Netlist n = FormNetlist(form, {100, 50});
  double low = 1, high = 1;
  const auto usable = [&](double ratio) {
    const SResult r = AnalyzeNetlist(n, ratio * n.frequency_hz);
    if (!r.s) return false;
    const SMatrix& s = *r.s;
    return Db(s(1, 1)) <= -20 && Db(s(2, 2)) <= -20 && Db(s(3, 3)) <= -20 && Db(s(3, 2)) <= -20;
  };
  while (low > 0.1 && usable(low - 0.001)) low -= 0.001;
  while (high < 1.9 && usable(high + 0.001)) high += 0.001;
  return high - low;
}

TEST(FormNetlist, SectionsWidenTheSplittersBand) {
  for (const ArmForm arms : {ArmForm::kLowPass, ArmForm::kHighPass}) {
    const double one = UsableFraction({FormFamily::kSplitter, 2, 0, 1, arms});
    const double two = UsableFraction({FormFamily::kSplitter, 2, 0, 2, arms});
    const double three = UsableFraction({FormFamily::kSplitter, 2, 0, 3, arms});
    EXPECT_GT(two, std::max(one, 0.30)) << ArmName(arms);
    EXPECT_GT(three, 0.50) << ArmName(arms);
    // And at f0 still the textbook splitter.
    const SMatrix s = AtF0({FormFamily::kSplitter, 2, 0, 3, arms});
    EXPECT_NEAR(Db(s(2, 1)), -3.0103, 0.01);
    EXPECT_NEAR(Degrees(s(3, 1), s(2, 1)), 0, 0.1);
    EXPECT_LT(Db(s(1, 1)), -40);
  }
}

TEST(FormNetlist, RefusesWhatItDoesNotBuild) {
  EXPECT_TRUE(WhyNoForm({FormFamily::kSplitter, 3, 3, 1, ArmForm::kLowPass}));
  EXPECT_TRUE(WhyNoForm({FormFamily::kSplitter, 2, 10.5, 1, ArmForm::kLowPass}));
  EXPECT_TRUE(WhyNoForm({FormFamily::kRing, 2, 3, 1, ArmForm::kLowPass}));
  EXPECT_TRUE(WhyNoForm({FormFamily::kQuad, 2, 3, 2, ArmForm::kLowPass}));
  EXPECT_TRUE(WhyNoForm({FormFamily::kQuad, 2, 0, 4, ArmForm::kHighPass}));
  EXPECT_TRUE(WhyNoForm({FormFamily::kSplitter, 2, 0, 4, ArmForm::kLowPass}));
  EXPECT_TRUE(WhyNoForm({FormFamily::kSplitter, 3, 0, 2, ArmForm::kLowPass}));
}

}  // namespace
}  // namespace rfsplitter
