#include "analysis/limits.h"

#include <cmath>
#include <numbers>

namespace rfsplitter {
namespace {

double Power(double db) { return std::pow(10.0, db / 10); }

}  // namespace

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

double PhaseDifferenceDegrees(const SMatrix& s) {
  double difference = PhaseDegrees(s(3, 1)) - PhaseDegrees(s(2, 1));
  if (difference > 180) difference -= 360;
  if (difference <= -180) difference += 360;
  return difference;
}

PointFigures FiguresOf(const SMatrix& s) {
  PointFigures f;
  f.match_db = MagnitudeDb(s(1, 1));
  f.isolation_db = MagnitudeDb(s(3, 2));
  if (s.ports() >= 4) f.isolation_db = std::max(f.isolation_db, MagnitudeDb(s(4, 1)));
  f.imbalance_db = std::abs(MagnitudeDb(s(2, 1)) - MagnitudeDb(s(3, 1)));
  const double difference = PhaseDifferenceDegrees(s);
  f.phase_error_deg = s.ports() >= 4 ? std::abs(difference) - 90 : difference;
  f.excess_loss_db = -10 * std::log10(Norm(s(2, 1)) + Norm(s(3, 1)));
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

LimitCheck::LimitCheck(const Limits& limits, bool hybrid)
    : hybrid_(hybrid),
      match_(Power(limits.match_db)),
      isolation_(Power(limits.isolation_db)),
      imbalance_(Power(limits.imbalance_db)) {
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
  if (hybrid_) return re * re <= bound;
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
  if (Norm(s32) <= isolation_ && (!hybrid_ || Norm(s41) <= isolation_)) {
    holding |= 1u << int(LimitKind::kIsolation);
  }
  const double p21 = Norm(s21), p31 = Norm(s31);
  if (p21 > 0 && p31 > 0 && p21 <= imbalance_ * p31 && p31 <= imbalance_ * p21) {
    holding |= 1u << int(LimitKind::kAmplitudeBalance);
  }
  if (PhaseHolds(s21, s31)) holding |= 1u << int(LimitKind::kPhaseBalance);
  return holding;
}

unsigned LimitCheck::Holding(const SMatrix& s) const {
  return Holding(s(1, 1), s(2, 1), s(3, 1), s(3, 2), hybrid_ ? s(4, 1) : Complex());
}

bool MeetsLimits(const SMatrix& s, const Limits& limits) {
  return LimitCheck(limits, s.ports() >= 4).Holding(s) == LimitCheck::kAll;
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
