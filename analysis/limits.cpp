#include "analysis/limits.h"

#include <cmath>
#include <numbers>

namespace rfsplitter {
namespace {

double Power(double db) { return std::pow(10.0, db / 10); }

// The phase of b against a in (-180, 180] degrees.
double DegreesBetween(Complex a, Complex b) {
  double difference = PhaseDegrees(b) - PhaseDegrees(a);
  if (difference > 180) difference -= 360;
  if (difference <= -180) difference += 360;
  return difference;
}

}  // namespace

FigureRule RuleOf(const Form& form) {
  FigureRule rule;
  rule.outputs = form.family == FormFamily::kSplitter ? form.ways : 2;
  rule.split_db = rule.outputs == 2 ? form.split_db : 0;
  rule.quadrature = form.family == FormFamily::kQuad;
  rule.port4_isolated = form.family != FormFamily::kSplitter;
  return rule;
}

std::string_view LimitName(LimitKind kind) {
  switch (kind) {
    case LimitKind::kMatch:
      return "match";
    case LimitKind::kIsolation:
      return "isolation";
    case LimitKind::kAmplitudeBalance:
      return "amplitude balance";
    case LimitKind::kPhaseBalance:
      return "phase balance";
  }
  return "";
}

double PhaseDifferenceDegrees(const SMatrix& s) { return DegreesBetween(s(2, 1), s(3, 1)); }

PointFigures FiguresOf(const SMatrix& s, const FigureRule& rule) {
  PointFigures f;
  f.match_db = MagnitudeDb(s(1, 1));
  const int last = rule.outputs + 1;
  if (rule.outputs == 2) {
    f.isolation_db = MagnitudeDb(s(3, 2));
    f.imbalance_db = std::abs(MagnitudeDb(s(2, 1)) - MagnitudeDb(s(3, 1)) - rule.split_db);
    const double difference = PhaseDifferenceDegrees(s);
    f.phase_error_deg = rule.quadrature ? std::abs(difference) - 90 : difference;
  } else {
    // Every pair of outputs, and every output's power and phase against
    // port 2's.
    f.isolation_db = -HUGE_VAL;
    double most = -HUGE_VAL, least = HUGE_VAL;
    for (int j = 2; j <= last; ++j) {
      const double db = MagnitudeDb(s(j, 1));
      most = std::max(most, db), least = std::min(least, db);
      const double phase = DegreesBetween(s(2, 1), s(j, 1));
      if (std::abs(phase) > std::abs(f.phase_error_deg)) f.phase_error_deg = phase;
      for (int k = 2; k < j; ++k) f.isolation_db = std::max(f.isolation_db, MagnitudeDb(s(j, k)));
    }
    f.imbalance_db = most - least;
  }
  if (rule.port4_isolated) f.isolation_db = std::max(f.isolation_db, MagnitudeDb(s(4, 1)));
  double power = 0;
  for (int j = 2; j <= last; ++j) power += Norm(s(j, 1));
  f.excess_loss_db = -10 * std::log10(power);
  return f;
}

std::vector<LimitMargin> MarginsOf(const PointFigures& f, const Limits& l) {
  return {{LimitKind::kMatch, f.match_db, l.match_db, l.match_db - f.match_db},
          {LimitKind::kIsolation, f.isolation_db, l.isolation_db, l.isolation_db - f.isolation_db},
          {LimitKind::kAmplitudeBalance, f.imbalance_db, l.imbalance_db,
           l.imbalance_db - f.imbalance_db},
          {LimitKind::kPhaseBalance, f.phase_error_deg, l.phase_deg,
           l.phase_deg - std::abs(f.phase_error_deg)}};
}

LimitCheck::LimitCheck(const Limits& limits, const FigureRule& rule)
    : rule_(rule),
      match_(Power(limits.match_db)),
      isolation_(Power(limits.isolation_db)),
      imbalance_(Power(limits.imbalance_db)),
      split_(Power(rule.split_db)) {
  const bool hybrid = rule.quadrature;
  // With z = S31 conj(S21) at angle t: a hybrid needs | |t| - 90 | <= P,
  // that is |cos t| <= sin P, or (Re z)^2 <= sin^2 P |z|^2; a splitter needs
  // |t| <= P, that is cos t >= cos P (see PhaseHolds).
  const double p = limits.phase_deg * std::numbers::pi / 180;
  if (hybrid) {
    phase_always_ = limits.phase_deg >= 90;
    phase_bound_ = std::sin(p);
  } else {
    phase_always_ = limits.phase_deg >= 180;
    phase_bound_ = std::cos(p);
  }
}

bool LimitCheck::PhaseHolds(Complex s21, Complex s31) const {
  if (phase_always_) return true;
  const double re = s31.real() * s21.real() + s31.imag() * s21.imag();
  const double im = s31.imag() * s21.real() - s31.real() * s21.imag();
  const double size = re * re + im * im;
  if (!(size > 0)) return false;
  const double bound = phase_bound_ * phase_bound_ * size;
  if (rule_.quadrature) return re * re <= bound;
  // cos t >= c: with c >= 0 the angle must be in the right half-plane and
  // its cosine squared at least c^2; with c < 0 the right half-plane
  // passes, and the left one while cos^2 t <= c^2.
  if (phase_bound_ >= 0) return re >= 0 && re * re >= bound;
  return re >= 0 || re * re <= bound;
}

unsigned LimitCheck::Holding(Complex s11, Complex s21, Complex s31, Complex s32,
                             Complex s41) const {
  unsigned holding = 0;
  if (Norm(s11) <= match_) holding |= 1u << int(LimitKind::kMatch);
  if (Norm(s32) <= isolation_ && (!rule_.port4_isolated || Norm(s41) <= isolation_)) {
    holding |= 1u << int(LimitKind::kIsolation);
  }
  // Port 3's power as if the split were even.
  const double p21 = Norm(s21), p31 = Norm(s31) * split_;
  if (p21 > 0 && p31 > 0 && p21 <= imbalance_ * p31 && p31 <= imbalance_ * p21) {
    holding |= 1u << int(LimitKind::kAmplitudeBalance);
  }
  if (PhaseHolds(s21, s31)) holding |= 1u << int(LimitKind::kPhaseBalance);
  return holding;
}

unsigned LimitCheck::Holding(const SMatrix& s) const {
  if (rule_.outputs == 2) {
    return Holding(s(1, 1), s(2, 1), s(3, 1), s(3, 2), rule_.port4_isolated ? s(4, 1) : Complex());
  }
  unsigned holding = 0;
  const int last = rule_.outputs + 1;
  if (Norm(s(1, 1)) <= match_) holding |= 1u << int(LimitKind::kMatch);
  bool isolated = true, balanced = true, in_phase = true;
  double most = 0, least = HUGE_VAL;
  for (int j = 2; j <= last; ++j) {
    const double p = Norm(s(j, 1));
    most = std::max(most, p), least = std::min(least, p);
    in_phase = in_phase && PhaseHolds(s(2, 1), s(j, 1));
    for (int k = 2; k < j; ++k) isolated = isolated && Norm(s(j, k)) <= isolation_;
  }
  balanced = least > 0 && most <= imbalance_ * least;
  if (isolated) holding |= 1u << int(LimitKind::kIsolation);
  if (balanced) holding |= 1u << int(LimitKind::kAmplitudeBalance);
  if (in_phase) holding |= 1u << int(LimitKind::kPhaseBalance);
  return holding;
}

bool MeetsLimits(const SMatrix& s, const Limits& limits, const FigureRule& rule) {
  return LimitCheck(limits, rule).Holding(s) == LimitCheck::kAll;
}

std::vector<double> CheckFrequencies(double f0, double band_percent) {
  std::vector<double> frequencies = {f0};
  if (band_percent > 0) {
    const double half = band_percent / 200;
    for (int i = 0; i < 21; ++i) {
      if (i != 10) frequencies.push_back(f0 * (1 - half + 2 * half * i / 20));
    }
  }
  return frequencies;
}

}  // namespace rfsplitter
