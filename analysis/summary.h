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
  double insertion_loss_db = 0;         // -10 log10(|S21|^2 + |S31|^2)
  double best_match_hz = 0;             // least |S11| within the sweep's range
  std::optional<Band> band;             // empty when not usable at the design frequency
};

// arg S31 - arg S21 in (-180, 180].
double PhaseDifferenceDegrees(const SMatrix& s);
// -10 log10(|S21|^2 + |S31|^2): what the circuit loses beyond the split.
double InsertionLossDb(const SMatrix& s);

// Empty, with `error` set, when the analysis fails.
std::optional<DesignSummary> Summarize(const Netlist& netlist, std::string& error);

// The table the command line prints for one circuit.
std::string SummaryText(const Netlist& netlist, const DesignSummary& summary);

// The ideal and the built circuit side by side.
std::string ComparisonText(const Netlist& ideal, const DesignSummary& ideal_summary,
                           const DesignSummary& built_summary);

// "10.5126 to 13.2507", with "below" or "above" at an open end.
std::string BandText(const Band& band);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ANALYSIS_SUMMARY_H_
