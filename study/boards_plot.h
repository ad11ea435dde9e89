// The boards of a Monte Carlo as pictures: how they spread in one figure at
// f0 against its limit, and what each part alone costs the yield.
#ifndef RFSPLITTER_STUDY_BOARDS_PLOT_H_
#define RFSPLITTER_STUDY_BOARDS_PLOT_H_

#include <string>

#include "analysis/limits.h"
#include "exports/plot.h"
#include "tolerance/monte_carlo.h"

namespace rfsplitter {

// "|S11| input match at f0 (dB)" for a figure's key ("s11_db").
std::string FigureTitle(const std::string& key);

// The histogram of the figure `figure` (an index into the result's
// percentiles and histograms), its limit drawn; an empty plot without one.
Plot HistogramPlot(const MonteCarloResult& result, size_t figure, const Limits& limits,
                   const std::string& title);

// Each part's effect on the yield: the yield with that part alone straying
// by its tolerance (the others at their values), a bar each, beside the
// yield with every part straying.
Plot SensitivityPlot(const MonteCarloResult& result, const std::string& title);

}  // namespace rfsplitter

#endif  // RFSPLITTER_STUDY_BOARDS_PLOT_H_
