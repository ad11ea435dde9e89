// Where a plot's parts go in a width and a height: the panels, the titles,
// the legend beside the panels or beneath them; and data to pixels.
#include <algorithm>
#include <cmath>

#include "exports/plot.h"

namespace rfsplitter {
namespace {

constexpr double kLeft = 70;
constexpr double kLegendWidth = 190;  // room for the legend column
constexpr double kRightWithoutLegend = 60;
constexpr double kTop = 50;
constexpr double kPanelGap = 60;
constexpr double kBottom = 60;

}  // namespace

double NaturalPlotHeight(const Plot& plot) {
  double height = kTop + kBottom;
  for (size_t i = 0; i < plot.panels.size(); ++i) {
    height += plot.panels[i].weight + (i > 0 ? kPanelGap : 0);
  }
  return height;
}

PlotLayout LayoutPlot(const Plot& plot, double width, double height) {
  PlotLayout layout;
  layout.width = width;
  layout.height = height;
  // Narrower than this, a legend beside the panels would leave them no room.
  constexpr double kNarrow = kLeft + kLegendWidth + 300;
  constexpr double kLegendLine = 18;
  const double gaps = kPanelGap * double(plot.panels.empty() ? 0 : plot.panels.size() - 1);
  double legend_height = 0;
  if (!plot.legend.empty() && width < kNarrow) {
    const int columns = std::max(1, int((width - 20) / kLegendWidth));
    const size_t lines = (plot.legend.size() + size_t(columns) - 1) / size_t(columns);
    legend_height = double(lines) * kLegendLine + 6;
    // Beneath only where the panels keep their height: a plot short as well
    // as narrow is better off with its legend beside.
    if (height - kTop - kBottom - gaps - legend_height >= 200) {
      layout.legend_column_width = kLegendWidth;
      layout.legend_columns = columns;
    } else {
      legend_height = 0;
    }
  }
  const bool beneath = legend_height > 0;
  const double right =
      width - (plot.legend.empty() || beneath ? kRightWithoutLegend : kLegendWidth);
  double weights = 0;
  for (const PlotPanel& p : plot.panels) weights += p.weight;
  const double room = std::max(0.0, height - kTop - kBottom - gaps - legend_height);
  // A legend beside that runs past the first panel meets the right axis of
  // a panel beneath: the panels leave that axis its room.
  const bool right_axis_beneath =
      plot.panels.size() > 1 && std::any_of(plot.panels.begin() + 1, plot.panels.end(),
                                            [](const PlotPanel& p) { return p.y_right; });
  const double first_height =
      weights > 0 && !plot.panels.empty() ? room * plot.panels.front().weight / weights : 0;
  const double axis_room = !beneath && !plot.legend.empty() && right_axis_beneath &&
                                   10 + 22 * double(plot.legend.size()) > first_height
                               ? 50
                               : 0;
  double top = kTop;
  for (const PlotPanel& p : plot.panels) {
    const double h = weights > 0 ? room * p.weight / weights : 0;
    layout.panels.push_back({kLeft, top, std::max(kLeft, right - axis_room), top + h});
    top += h + kPanelGap;
  }
  layout.title_y = 28;
  layout.x_title_y = height - 14 - legend_height;
  layout.legend_x = beneath ? 20 : right + 14;
  if (beneath) layout.legend_y = height - legend_height + 8;
  return layout;
}

PlotPoint LegendPosition(const PlotLayout& layout, size_t index, size_t count) {
  if (layout.legend_y <= 0) {
    const double top = layout.panels.empty() ? 60 : layout.panels.front().top + 10;
    return {layout.legend_x, top + 22 * double(index)};
  }
  // Beneath: down the first column, then the next.
  const size_t columns = size_t(std::max(1, layout.legend_columns));
  const size_t lines = std::max<size_t>(1, (count + columns - 1) / columns);
  return {layout.legend_x + layout.legend_column_width * double(index / lines),
          layout.legend_y + 18 * double(index % lines)};
}

double MapX(const PlotAxis& axis, const PlotRect& rect, double value) {
  const double t = axis.logarithmic ? std::log(value / axis.low) / std::log(axis.high / axis.low)
                                    : (value - axis.low) / (axis.high - axis.low);
  return rect.left + (rect.right - rect.left) * t;
}

double MapY(const PlotAxis& axis, const PlotRect& rect, double value) {
  if (!std::isfinite(value)) value = value > 0 ? axis.high : axis.low;
  const double clipped = std::clamp(value, axis.low, axis.high);
  return rect.top + (rect.bottom - rect.top) * (axis.high - clipped) / (axis.high - axis.low);
}

double UnmapX(const PlotAxis& axis, const PlotRect& rect, double pixel) {
  const double t = (pixel - rect.left) / (rect.right - rect.left);
  return axis.logarithmic ? axis.low * std::pow(axis.high / axis.low, t)
                          : axis.low + (axis.high - axis.low) * t;
}

SmithCircle SmithCircleIn(const PlotRect& rect) {
  const double radius = std::min(rect.right - rect.left, rect.bottom - rect.top) / 2;
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, std::max(0.0, radius)};
}

}  // namespace rfsplitter
