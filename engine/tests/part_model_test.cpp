#include "engine/part_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace rfsplitter {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;
const Complex j(0, 1);

void ExpectClose(Complex got, Complex want, const std::string& what) {
  EXPECT_NEAR(std::abs(got - want) / std::abs(want), 0, 1e-12) << what;
}

// Each model against its impedance written out by hand.
TEST(PartModel, InductorsFollowTheirQProfileAndSelfResonance) {
  const double l = 15e-9, f0 = 900e6, q0 = 60, fq = 1e9, srf = 3.1e9;
  for (const QProfile profile : {QProfile::kConstant, QProfile::kSqrt, QProfile::kLinear}) {
    KindModel kind;
    kind.q = q0, kind.q_at_hz = fq, kind.q_profile = profile, kind.srf_hz = srf;
    const ElementModel m = ResolveModel(ElementKind::kInductor, l, kind, f0);
    const double cp = 1 / (std::pow(2 * kPi * srf, 2) * l);
    EXPECT_DOUBLE_EQ(m.parallel_c_f, cp);
    for (const double f : {100e6, 900e6, 2.45e9}) {
      const double w = 2 * kPi * f;
      const double a = profile == QProfile::kConstant ? 0 : profile == QProfile::kSqrt ? 0.5 : 1;
      const double r = w * l / (q0 * std::pow(f / fq, a));
      const Complex series = r + j * w * l;
      const Complex want = 1.0 / (1.0 / series + j * w * cp);
      const double loss = FixedLossOhms(ElementKind::kInductor, l, m);
      ExpectClose(*PartImpedance(ElementKind::kInductor, l, loss, m, w), want,
                  std::string(QProfileName(profile)) + " at " + std::to_string(f));
    }
  }
  // The program's first model: Q at f0, a fixed resistance w0 L / Q.
  const ElementModel first = ResolveModel(ElementKind::kInductor, l, {.q = 40}, f0);
  EXPECT_EQ(FixedLossOhms(ElementKind::kInductor, l, first), 2 * kPi * f0 * l / 40);
  EXPECT_FALSE(first.Dynamic(ElementKind::kInductor));
}

TEST(PartModel, CapacitorsResistorsAndMeasuredParts) {
  const double c = 5.6e-12, esl = 0.4e-9, f0 = 2.45e9, w = 2 * kPi * 1.7e9;
  // ESR from a Q at a frequency, and a constant ESR.
  KindModel with_q{.q = 200, .q_at_hz = 1e9, .esl_h = esl};
  const ElementModel mq = ResolveModel(ElementKind::kCapacitor, c, with_q, f0);
  const double esr_q = 1 / (2 * kPi * 1e9 * c * 200);
  EXPECT_DOUBLE_EQ(FixedLossOhms(ElementKind::kCapacitor, c, mq), esr_q);
  ExpectClose(*PartImpedance(ElementKind::kCapacitor, c, esr_q, mq, w),
              esr_q + j * w * esl + 1.0 / (j * w * c), "capacitor with Q");
  const ElementModel mr =
      ResolveModel(ElementKind::kCapacitor, c, {.esl_h = esl, .esr_ohms = 0.2}, f0);
  EXPECT_EQ(FixedLossOhms(ElementKind::kCapacitor, c, mr), 0.2);
  // A 5.6 pF part with 0.4 nH acts as twice its value at 2.45 GHz.
  const double w0 = 2 * kPi * f0;
  EXPECT_NEAR(*EffectiveValue(ElementKind::kCapacitor, c, mr, w0) / c, 1 / (1 - w0 * w0 * esl * c),
              1e-12);

  const ElementModel rc = ResolveModel(ElementKind::kResistor, 100, {.parallel_c_f = 0.05e-12}, f0);
  ExpectClose(*PartImpedance(ElementKind::kResistor, 100, 0, rc, w),
              1.0 / (1.0 / 100 + j * w * 0.05e-12), "resistor with Cp");

  // A measured part: linear between its points, nothing outside them, and
  // scaled with a drawn value.
  auto measured = std::make_shared<MeasuredPart>();
  measured->name = "l.s2p";
  measured->frequencies_hz = {1e9, 2e9};
  measured->impedances = {Complex(1, 60), Complex(3, 130)};
  const ElementModel mm = ResolveModel(ElementKind::kInductor, 10e-9,
                                       {.measured = measured, .measured_value = 10e-9}, f0);
  ExpectClose(*PartImpedance(ElementKind::kInductor, 10e-9, 0, mm, 2 * kPi * 1.5e9), Complex(2, 95),
              "between the points");
  ExpectClose(*PartImpedance(ElementKind::kInductor, 11e-9, 0, mm, 2 * kPi * 1e9), Complex(1.1, 66),
              "a drawn value 10 % up");
  EXPECT_FALSE(PartImpedance(ElementKind::kInductor, 10e-9, 0, mm, 2 * kPi * 0.9e9));
  EXPECT_EQ(measured->RangeText(), "l.s2p (1 GHz to 2 GHz)");
}

// The nominal value found for a target acts as the target.
TEST(PartModel, NominalForEffectiveHitsTheTarget) {
  const double f0 = 2.45e9, w0 = 2 * kPi * f0;
  const struct {
    ElementKind kind;
    KindModel model;
    double target;
  } cases[] = {{ElementKind::kInductor, {.srf_hz = 4e9}, 8.2e-9},
               {ElementKind::kInductor,
                {.q = 40, .q_at_hz = 1e9, .q_profile = QProfile::kSqrt, .parallel_c_f = 0.2e-12},
                2.3e-9},
               {ElementKind::kCapacitor, {.esl_h = 0.4e-9, .esr_ohms = 0.2}, 5.5e-12}};
  for (const auto& c : cases) {
    const std::optional<double> nominal = NominalForEffective(c.kind, c.target, c.model, f0);
    ASSERT_TRUE(nominal);
    EXPECT_LT(*nominal, c.target);  // parasitics that add to the value
    const ElementModel m = ResolveModel(c.kind, *nominal, c.model, f0);
    EXPECT_NEAR(*EffectiveValue(c.kind, *nominal, m, w0) / c.target, 1, 1e-9);
  }
  // Past its resonance a capacitor cannot act as a large capacitance.
  EXPECT_FALSE(NominalForEffective(ElementKind::kCapacitor, 1e-9, {.esl_h = 10e-9}, f0));
}

}  // namespace
}  // namespace rfsplitter
