// The console report of a design study: the texts the command line prints.
// Every number comes from the StudyResult; nothing is computed here.
#ifndef RFSPLITTER_STUDY_REPORT_H_
#define RFSPLITTER_STUDY_REPORT_H_

#include <string>

#include "engine/si_value.h"
#include "study/study.h"

namespace rfsplitter {

// The component listing, a line per entry ending in a line feed.
std::string ListingText(const Design& design);

// --analyze: the parts and both circuits side by side when built, else the
// ideal circuit's response; the bands; what the nominal circuit misses; the
// Monte Carlo table.
std::string AnalysisText(const StudyResult& result);

// What the measured board is and what the diagnosis finds on it: the
// planes, the entries never measured, the suspects, the repair.
std::string MeasuredText(const StudyResult& result);

// The lines --monte-carlo prints without --analyze: the yield, and with
// pairs the yield with each pair's parts drawn alike, and the grades a
// target yield chose.
std::string YieldLine(const StudyResult& result);

// --stress: each part's peak voltage, RMS current and dissipation where it
// is most loaded against its rating, flagged when over it; then each
// case's drive and the most power leaving each port (a hybrid's port 4 is
// its termination's).
std::string StressText(const StudyResult& result);
// "2.5 W", "141 mA", "0 W": three digits.
std::string StressFigure(double value, Unit unit);
// "50 V", "0.063 W, 50 V", "none"
std::string RatingText(const PartRating& rating);

// "15 nH", or for a pair "8.2 nH + 6.8 nH" (in series) or
// "15 pF || 2.2 pF" (in parallel).
std::string ChosenText(const PartRow& part);

// "L +-2 %, C +-0.1 pF, R +-1 %"
std::string TolerancesText(const MonteCarloSettings& settings);

// "10.5126 to 13.2507", with "below" or "above" at an open end.
std::string BandText(const Band& band);

// "imbalance 0.62 dB > 0.5 dB at 2450 MHz"
std::string MissText(const LimitMiss& miss);

}  // namespace rfsplitter

#endif  // RFSPLITTER_STUDY_REPORT_H_
