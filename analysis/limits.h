// What a splitter or hybrid must do at a frequency, and how far a response
// is from it. The bands of the analysis, the Monte Carlo's pass test, the
// advice on a failing circuit and the fits all judge by these limits.
//
//   match              |S11| at most match_db
//   isolation          every isolation path (|S32|, and |S41| for the
//                      hybrids) at most isolation_db
//   amplitude balance  | |S21| dB - |S31| dB | at most imbalance_db
//   phase balance      arg S31 - arg S21 within phase_deg of 0 (splitter)
//                      or of +-90 degrees (hybrids)
//
// A form's FigureRule says which ports these are: an unequal split's
// balance is measured against the asked split, a splitter of more ways
// takes the spread of all its outputs (power and phase) and the worst
// isolation between any two, a ring from its sum port wants 0 degrees.
//
// Dissipation is none of these: it is reported as excess loss,
// -10 log10(|S21|^2 + |S31|^2), and never fails a limit.
#ifndef RFSPLITTER_ANALYSIS_LIMITS_H_
#define RFSPLITTER_ANALYSIS_LIMITS_H_

#include <string_view>
#include <vector>

#include "analysis/s_parameters.h"
#include "engine/form.h"

namespace rfsplitter {

struct FigureRule {
  int outputs = 2;              // ports 2 .. outputs + 1
  double split_db = 0;          // the asked |S21|^2 over |S31|^2, in dB
  bool quadrature = false;      // the outputs 90 degrees apart
  bool port4_isolated = false;  // S41 is an isolation path
};
FigureRule RuleOf(const Form& form);

struct Limits {
  double match_db = -15;
  double isolation_db = -15;
  double imbalance_db = 0.5;
  double phase_deg = 5;
  bool operator==(const Limits&) const = default;
};

enum class LimitKind { kMatch, kIsolation, kAmplitudeBalance, kPhaseBalance };
inline constexpr LimitKind kAllLimits[] = {LimitKind::kMatch, LimitKind::kIsolation,
                                           LimitKind::kAmplitudeBalance,
                                           LimitKind::kPhaseBalance};
// "match", "isolation", "amplitude balance", "phase balance"
std::string_view LimitName(LimitKind kind);

// The figures a response is judged by at one frequency; S needs its first
// two columns only (a splitter of more ways: every column).
struct PointFigures {
  double match_db = 0;         // |S11|
  double isolation_db = 0;     // the worst isolation path
  double imbalance_db = 0;     // | |S21| dB - |S31| dB - split |, or the outputs' spread
  double phase_error_deg = 0;  // the phase difference less 0 or 90 (signed)
  double excess_loss_db = 0;   // -10 log10 of the outputs' power
};
PointFigures FiguresOf(const SMatrix& s, const FigureRule& rule);

// arg S31 - arg S21 in (-180, 180].
double PhaseDifferenceDegrees(const SMatrix& s);

// One figure against its limit: `value` in dB or degrees, and the margin,
// the distance inside the limit in the limit's own unit (negative outside).
struct LimitMargin {
  LimitKind kind;
  double value;
  double limit;
  double margin;
};
std::vector<LimitMargin> MarginsOf(const PointFigures& figures, const Limits& limits);

// The limits as powers and cosines, so that a check needs no logarithm and
// no arc tangent: 10 log10 |S|^2 <= L exactly when |S|^2 <= 10^(L / 10), the
// imbalance bounds the ratio of the outputs' powers, and the phase limit is
// a bound on the cosine of the angle of S31 conj(S21).
class LimitCheck {
 public:
  LimitCheck(const Limits& limits, const FigureRule& rule);

  // A bit per LimitKind (1 << kind) for each limit that holds, for a form of
  // two outputs (S41 is read where the rule makes it an isolation path).
  unsigned Holding(Complex s11, Complex s21, Complex s31, Complex s32, Complex s41) const;
  unsigned Holding(const SMatrix& s) const;
  static constexpr unsigned kAll = 15;
  const FigureRule& rule() const { return rule_; }

 private:
  bool PhaseHolds(Complex s21, Complex s31) const;

  FigureRule rule_;
  double match_, isolation_, imbalance_;
  double split_;        // the asked power ratio of port 2 over port 3
  double phase_bound_;  // see PhaseHolds
  bool phase_always_;
};

// Whether every limit holds.
bool MeetsLimits(const SMatrix& s, const Limits& limits, const FigureRule& rule);

// The frequencies a circuit is held to its limits at: f0 first, then with
// a band of `band_percent` 20 more, evenly spaced with f0 across
// f0 (1 -+ band_percent / 200).
std::vector<double> CheckFrequencies(double f0, double band_percent);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ANALYSIS_LIMITS_H_
