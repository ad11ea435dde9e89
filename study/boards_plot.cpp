#include "study/boards_plot.h"

#include <algorithm>
#include <cmath>

#include "engine/number_text.h"

namespace rfsplitter {
namespace {

// Ticks at a 1, 2 or 5 step, some five across.
std::vector<PlotTick> Ticks(double low, double high) {
  const double raw = (high - low) / 5;
  const double decade = std::pow(10, std::floor(std::log10(raw)));
  const double step = raw / decade < 1.5 ? decade : raw / decade < 3.5 ? 2 * decade : 5 * decade;
  std::vector<PlotTick> ticks;
  for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9; v += step) {
    ticks.push_back({v, GeneralText(std::abs(v) < step * 1e-9 ? 0 : v, 6)});
  }
  return ticks;
}

}  // namespace

std::string FigureTitle(const std::string& key) {
  if (key == "s11_db") return "|S11| input match at f0 (dB)";
  if (key == "s32_db") return "|S32| isolation 3 to 2 at f0 (dB)";
  if (key == "s41_db") return "|S41| isolation 1 to 4 at f0 (dB)";
  if (key == "imbalance_db") return "Imbalance at f0 (dB)";
  if (key == "phase_error_deg") return "Phase error at f0 (deg)";
  return "Excess loss at f0 (dB)";
}

Plot HistogramPlot(const MonteCarloResult& r, size_t figure, const Limits& limits,
                   const std::string& title) {
  Plot plot;
  plot.title = title;
  plot.reads_frequency = false;
  if (figure >= r.histograms.size() || r.histograms[figure].counts.empty()) return plot;
  const MonteCarloResult::Histogram& h = r.histograms[figure];
  const std::string& key = r.percentiles[figure].first;
  plot.x_title = FigureTitle(key);
  // The figure's limits, where it has any.
  std::vector<double> lines;
  if (key == "s11_db") lines = {limits.match_db};
  if (key == "s32_db" || key == "s41_db") lines = {limits.isolation_db};
  if (key == "imbalance_db") lines = {limits.imbalance_db};
  if (key == "phase_error_deg") lines = {-limits.phase_deg, limits.phase_deg};
  double low = h.low, high = h.high;
  for (const double l : lines) low = std::min(low, l), high = std::max(high, l);
  const double pad = 0.05 * (high - low);
  PlotPanel panel;
  panel.weight = 360;
  panel.x = {low - pad, high + pad, false, "", Ticks(low - pad, high + pad)};
  const int most = *std::max_element(h.counts.begin(), h.counts.end());
  panel.y = {0, most * 1.1, false, "Boards", Ticks(0, most * 1.1)};
  PlotFill bars;
  bars.colour = PlotColour::kS11;
  const double width = (h.high - h.low) / double(h.counts.size());
  for (size_t b = 0; b < h.counts.size(); ++b) {
    for (const double x : {h.low + width * double(b), h.low + width * double(b + 1)}) {
      bars.x.push_back(x);
      bars.low.push_back(0);
      bars.high.push_back(h.counts[b]);
    }
  }
  panel.fills.push_back(std::move(bars));
  for (const double l : lines) panel.markers.emplace_back(l, "limit " + GeneralText(l, 6));
  plot.panels.push_back(std::move(panel));
  plot.legend.push_back(
      {PlotColour::kS11, PlotLegendEntry::Style::kFill, std::to_string(r.samples) + " boards"});
  return plot;
}

Plot SensitivityPlot(const MonteCarloResult& r, const std::string& title) {
  Plot plot;
  plot.title = title;
  plot.reads_frequency = false;
  plot.x_title = "Part straying alone (the others at their values)";
  if (r.sensitivity.empty()) return plot;
  PlotPanel panel;
  panel.weight = 240;
  const double n = double(r.sensitivity.size());
  panel.x = {-0.6, n - 0.4, false, "", {}};
  for (size_t i = 0; i < r.sensitivity.size(); ++i) {
    const auto& part = r.sensitivity[i];
    panel.x.ticks.push_back({double(i), part.part});
    PlotFill bar;
    bar.colour = PlotColour::kPhase;
    bar.x = {double(i) - 0.35, double(i) + 0.35};
    bar.low = {0, 0};
    bar.high = {part.yield_percent_alone, part.yield_percent_alone};
    panel.fills.push_back(std::move(bar));
  }
  panel.y = {0, 105, false, "Yield (%)", Ticks(0, 100)};
  // The whole yield, for the bars to be read against.
  PlotCurve all{"all parts straying",
                PlotColour::kNeutral,
                true,
                false,
                {-0.6, n - 0.4},
                {r.yield_percent, r.yield_percent}};
  panel.curves.push_back(std::move(all));
  panel.legend.push_back({PlotColour::kNeutral, PlotLegendEntry::Style::kDashed,
                          "all parts straying: " + FixedText(r.yield_percent, 1) + " %"});
  plot.panels.push_back(std::move(panel));
  return plot;
}

}  // namespace rfsplitter
