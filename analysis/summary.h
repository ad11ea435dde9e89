// What an RF engineer reads first about a design: the response at the design
// frequency and the bands around it in which each limit holds.
#ifndef RFSPLITTER_ANALYSIS_SUMMARY_H_
#define RFSPLITTER_ANALYSIS_SUMMARY_H_

#include <optional>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "analysis/s_parameters.h"

namespace rfsplitter {

// A contiguous range around the design frequency.
struct Band {
  double low_hz = 0;
  double high_hz = 0;
  bool low_open = false;   // still holds at the lowest frequency searched
  bool high_open = false;  // still holds at the highest frequency searched
};

// The contiguous band around f0 in which each limit holds, and the band in
// which all four do; empty where the limit fails at f0 itself. The search
// covers the simulation file's sweep, 0.1 to 1.9 f0; a band still holding
// at an end of it is open there.
struct Bands {
  std::optional<Band> match, isolation, amplitude_balance, phase_balance, usable;
  const std::optional<Band>& Of(LimitKind kind) const;
};

struct DesignSummary {
  double frequency_hz = 0;
  Complex s21, s31, s11, s32;
  std::optional<Complex> s41;           // the hybrids' isolated port
  std::vector<Complex> more_outputs;    // a splitter of more ways: S41, S51
  double phase_difference_degrees = 0;  // arg S31 - arg S21, in (-180, 180]
  PointFigures figures;                 // at the design frequency
  double best_match_hz = 0;             // least |S11| within the sweep's range
  Limits limits;                        // the bands were found with these
  Bands bands;
};

// Empty, with `error` set, when the analysis fails.
std::optional<DesignSummary> Summarize(const Netlist& netlist, const Limits& limits,
                                       std::string& error);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ANALYSIS_SUMMARY_H_
