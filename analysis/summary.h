// What an RF engineer reads first about a design: the response at the design
// frequency and the band around it in which the circuit is usable.
#ifndef RFSPLITTER_ANALYSIS_SUMMARY_H_
#define RFSPLITTER_ANALYSIS_SUMMARY_H_

#include <optional>
#include <string>

#include "analysis/s_parameters.h"

namespace rfsplitter {

// The usable band: |S11| at or below -15 dB and |S21|, |S31| within 0.5 dB of
// an ideal 3 dB split (-3.01 dB).
inline constexpr double kMatchLimitDb = -15;
inline constexpr double kSplitDb = -3.0103;
inline constexpr double kSplitToleranceDb = 0.5;
bool InUsableBand(const SMatrix& s);

struct Band {
  double low_hz = 0;
  double high_hz = 0;
  bool low_open = false;   // still usable at the lowest frequency searched
  bool high_open = false;  // still usable at the highest frequency searched
};

struct DesignSummary {
  double frequency_hz = 0;
  Complex s21, s31, s11, s32;
  std::optional<Complex> s41;           // the hybrids' isolated port
  double phase_difference_degrees = 0;  // arg S31 - arg S21, in (-180, 180]
  std::optional<Band> band;             // empty when not usable at the design frequency
};

// Empty, with `error` set, when the analysis fails.
std::optional<DesignSummary> Summarize(const Design& design, std::string& error);

// The table the command line prints.
std::string SummaryText(const Design& design, const DesignSummary& summary);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ANALYSIS_SUMMARY_H_
