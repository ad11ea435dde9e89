// The SVG painter of a Plot (plot.h): black on white, fixed colours.
#include <algorithm>
#include <cmath>

#include "engine/number_text.h"
#include "exports/exports.h"
#include "exports/plot.h"

namespace rfsplitter {
namespace {

constexpr double kWidth = 820;

std::string Fixed(double value) { return FixedText(value, 2); }

std::string Colour(PlotColour colour) {
  switch (colour) {
    case PlotColour::kS21:
      return "#1f77b4";
    case PlotColour::kS31:
      return "#d62728";
    case PlotColour::kS32:
      return "#2ca02c";
    case PlotColour::kS41:
      return "#8c564b";
    case PlotColour::kS11:
      return "#9467bd";
    case PlotColour::kPhase:
      return "#ff7f0e";
    case PlotColour::kImbalance:
      return "#17becf";
    case PlotColour::kNeutral:
      return "#777";
  }
  return "#000";
}

struct Svg {
  std::string text;
  void Line(double x1, double y1, double x2, double y2, const std::string& attributes = {}) {
    text += "<line x1=\"" + Fixed(x1) + "\" y1=\"" + Fixed(y1) + "\" x2=\"" + Fixed(x2) +
            "\" y2=\"" + Fixed(y2) + "\"" + (attributes.empty() ? "" : " " + attributes) + "/>\n";
  }
  void Text(double x, double y, const std::string& anchor, const std::string& content,
            const std::string& extra = {}) {
    text += "<text x=\"" + Fixed(x) + "\" y=\"" + Fixed(y) + "\" text-anchor=\"" + anchor + "\"" +
            extra + ">" + SvgEscaped(content) + "</text>\n";
  }
  void Rect(const PlotRect& r, const std::string& attributes) {
    text += "<rect x=\"" + Fixed(r.left) + "\" y=\"" + Fixed(r.top) + "\" width=\"" +
            Fixed(r.right - r.left) + "\" height=\"" + Fixed(r.bottom - r.top) + "\" " +
            attributes + "/>\n";
  }
};

void AppendPoint(std::string& points, double x, double y) {
  AppendFixed(points, x, 2);
  points += ',';
  AppendFixed(points, y, 2);
  points += ' ';
}

// A curve as polylines, broken where its value is missing.
void DrawCurve(Svg& svg, const PlotCurve& curve, const PlotAxis& x, const PlotAxis& y,
               const PlotRect& rect, const std::string& clip) {
  std::string points;
  const auto flush = [&] {
    if (points.empty()) return;
    points.pop_back();
    svg.text += "<polyline clip-path=\"url(#" + clip + ")\" fill=\"none\" stroke=\"" +
                Colour(curve.colour) + "\" stroke-width=\"" +
                (curve.dotted   ? "2\" stroke-linecap=\"round\" stroke-dasharray=\"0.1 4"
                 : curve.dashed ? "1.5\" stroke-dasharray=\"6 4"
                                : "2") +
                "\" points=\"" + points + "\"/>\n";
    points.clear();
  };
  points.reserve(curve.x.size() * 14);
  for (size_t i = 0; i < curve.x.size(); ++i) {
    if (std::isnan(curve.y[i])) {
      flush();
      continue;
    }
    AppendPoint(points, MapX(x, rect, curve.x[i]), MapY(y, rect, curve.y[i]));
  }
  flush();
}

void DrawFill(Svg& svg, const PlotFill& fill, const PlotAxis& x, const PlotAxis& y,
              const PlotRect& rect, const std::string& clip) {
  std::string points;
  for (size_t i = 0; i < fill.x.size(); ++i) {
    if (std::isnan(fill.high[i]) || std::isnan(fill.low[i])) continue;
    AppendPoint(points, MapX(x, rect, fill.x[i]), MapY(y, rect, fill.high[i]));
  }
  for (size_t i = fill.x.size(); i-- > 0;) {
    if (std::isnan(fill.high[i]) || std::isnan(fill.low[i])) continue;
    AppendPoint(points, MapX(x, rect, fill.x[i]), MapY(y, rect, fill.low[i]));
  }
  if (points.empty()) return;
  points.pop_back();
  svg.text += "<polygon class=\"spread\" clip-path=\"url(#" + clip + ")\" fill=\"" +
              Colour(fill.colour) + "\" fill-opacity=\"0.22\" stroke=\"none\" points=\"" + points +
              "\"/>\n";
}

void DrawLegendEntry(Svg& svg, double x, double y, const PlotLegendEntry& entry) {
  const std::string colour = Colour(entry.colour);
  switch (entry.style) {
    case PlotLegendEntry::Style::kLine:
    case PlotLegendEntry::Style::kDashed:
    case PlotLegendEntry::Style::kDotted:
      svg.Line(x, y, x + 24, y,
               "stroke=\"" + colour + "\" stroke-width=\"2\"" +
                   (entry.style == PlotLegendEntry::Style::kDashed ? " stroke-dasharray=\"6 4\""
                    : entry.style == PlotLegendEntry::Style::kDotted
                        ? " stroke-linecap=\"round\" stroke-dasharray=\"0.1 4\""
                        : ""));
      break;
    case PlotLegendEntry::Style::kFill:
      svg.Rect({x, y - 6, x + 24, y + 6}, "fill=\"" + colour + "\" fill-opacity=\"0.22\"");
      break;
    case PlotLegendEntry::Style::kShade:
      svg.Rect({x, y - 6, x + 24, y + 6}, "fill=\"#2ca02c\" fill-opacity=\"0.08\" stroke=\"#bbb\"");
      break;
    case PlotLegendEntry::Style::kLimit:
      svg.Line(x, y, x + 24, y, "stroke=\"#555\" stroke-width=\"1\" stroke-dasharray=\"2 3\"");
      svg.Line(x + 8, y, x + 16, y, "stroke=\"#d62728\" stroke-width=\"4\" stroke-opacity=\"0.6\"");
      break;
  }
  svg.Text(x + 30, y + 4, "start", entry.text);
}

void DrawSmithGrid(Svg& svg, const SmithCircle& c) {
  const auto circle = [&](double x, double y, double r) {
    svg.text += "<circle cx=\"" + Fixed(x) + "\" cy=\"" + Fixed(y) + "\" r=\"" + Fixed(r) +
                "\" fill=\"none\"/>\n";
  };
  svg.text += "<g stroke=\"#d0d0d0\" stroke-width=\"1\" clip-path=\"url(#smith)\">\n";
  // Constant resistance r: centre r / (r + 1), radius 1 / (r + 1); constant
  // reactance x: centre (1, 1 / x), radius 1 / |x|.
  for (const double r : {0.2, 0.5, 1.0, 2.0, 5.0}) {
    circle(c.x + c.radius * r / (r + 1), c.y, c.radius / (r + 1));
  }
  for (const double x : {0.2, 0.5, 1.0, 2.0, 5.0}) {
    circle(c.x + c.radius, c.y - c.radius / x, c.radius / x);
    circle(c.x + c.radius, c.y + c.radius / x, c.radius / x);
  }
  svg.Line(c.x - c.radius, c.y, c.x + c.radius, c.y);
  svg.text += "</g>\n";
  svg.text += "<circle cx=\"" + Fixed(c.x) + "\" cy=\"" + Fixed(c.y) + "\" r=\"" +
              Fixed(c.radius) + "\" fill=\"none\" stroke=\"black\"/>\n";
}

void DrawPanel(Svg& svg, const PlotPanel& panel, const PlotRect& rect, const std::string& clip,
               bool frequency_labels) {
  if (panel.smith) {
    const SmithCircle c = SmithCircleIn(rect);
    svg.text += "<defs><clipPath id=\"" + clip + "\"><circle cx=\"" + Fixed(c.x) + "\" cy=\"" +
                Fixed(c.y) + "\" r=\"" + Fixed(c.radius) + "\"/></clipPath></defs>\n";
    DrawSmithGrid(svg, c);
    const PlotAxis unit{-1, 1, false, "", {}};
    const PlotRect square{c.x - c.radius, c.y - c.radius, c.x + c.radius, c.y + c.radius};
    for (const PlotCurve& curve : panel.curves) DrawCurve(svg, curve, unit, unit, square, clip);
    for (const PlotPanel::Dot& dot : panel.dots) {
      const double x = MapX(unit, square, dot.x), y = MapY(unit, square, dot.y);
      svg.text += "<circle cx=\"" + Fixed(x) + "\" cy=\"" + Fixed(y) + "\" r=\"4\" fill=\"" +
                  Colour(dot.colour) + "\"/>\n";
      if (!dot.label.empty()) svg.Text(x + 7, y - 7, "start", dot.label);
    }
    return;
  }
  svg.text += "<defs><clipPath id=\"" + clip + "\"><rect x=\"" + Fixed(rect.left) + "\" y=\"" +
              Fixed(rect.top) + "\" width=\"" + Fixed(rect.right - rect.left) + "\" height=\"" +
              Fixed(rect.bottom - rect.top) + "\"/></clipPath></defs>\n";
  for (const auto& [low, high] : panel.shades) {
    const double x1 = std::clamp(MapX(panel.x, rect, low), rect.left, rect.right);
    const double x2 = std::clamp(MapX(panel.x, rect, high), rect.left, rect.right);
    svg.Rect({x1, rect.top, x2, rect.bottom},
             "class=\"band\" fill=\"#2ca02c\" fill-opacity=\"0.08\" stroke=\"none\"");
  }
  svg.text += "<g stroke=\"#d0d0d0\" stroke-width=\"1\">\n";
  Svg labels;
  for (const PlotTick& tick : panel.x.ticks) {
    const double x = MapX(panel.x, rect, tick.value);
    svg.Line(x, rect.top, x, rect.bottom);
    if (frequency_labels && !tick.label.empty()) {
      labels.Text(x, rect.bottom + 18, "middle", tick.label);
    }
  }
  for (size_t i = 0; i < panel.y.ticks.size(); ++i) {
    const PlotTick& tick = panel.y.ticks[i];
    const double y = MapY(panel.y, rect, tick.value);
    svg.Line(rect.left, y, rect.right, y);
    if (!tick.label.empty()) labels.Text(rect.left - 8, y + 4, "end", tick.label);
    if (panel.y_right && i < panel.y_right->ticks.size()) {
      labels.Text(rect.right + 6, y + 4, "start", panel.y_right->ticks[i].label);
    }
  }
  svg.text += "</g>\n" + labels.text;
  svg.Rect(rect, "fill=\"none\" stroke=\"black\"");
  svg.text += "<text transform=\"translate(20 " + Fixed((rect.top + rect.bottom) / 2) +
              ") rotate(-90)\" text-anchor=\"middle\">" + SvgEscaped(panel.y.title) + "</text>\n";
  if (panel.y_right) {
    svg.text += "<text transform=\"translate(" + Fixed(rect.right + 48) + " " +
                Fixed((rect.top + rect.bottom) / 2) + ") rotate(90)\" text-anchor=\"middle\">" +
                SvgEscaped(panel.y_right->title) + "</text>\n";
  }
  for (const auto& [x, label] : panel.markers) {
    const double px = MapX(panel.x, rect, x);
    svg.Line(px, rect.top, px, rect.bottom, "stroke=\"#555\" stroke-dasharray=\"5 4\"");
    if (!label.empty()) svg.Text(px, rect.top - 6, "middle", label);
  }
  for (const PlotFill& fill : panel.fills) {
    DrawFill(svg, fill, panel.x, fill.right_axis ? *panel.y_right : panel.y, rect, clip);
  }
  for (const PlotCurve& curve : panel.curves) {
    DrawCurve(svg, curve, panel.x, curve.right_axis ? *panel.y_right : panel.y, rect, clip);
  }
  for (const PlotLimit& limit : panel.limits) {
    const PlotAxis& axis = limit.right_axis ? *panel.y_right : panel.y;
    if (limit.y < axis.low || limit.y > axis.high) continue;  // off the scale
    const double y = MapY(axis, rect, limit.y);
    svg.Line(rect.left, y, rect.right, y,
             "stroke=\"" + Colour(limit.colour) + "\" stroke-width=\"1\" stroke-dasharray=\"2 3\"");
    for (const auto& [low, high] : limit.failing) {
      const double x1 = std::clamp(MapX(panel.x, rect, low), rect.left, rect.right);
      const double x2 = std::clamp(MapX(panel.x, rect, high), rect.left, rect.right);
      if (x2 > x1) {
        svg.Line(x1, y, x2, y,
                 "class=\"missed\" stroke=\"#d62728\" stroke-width=\"4\" "
                 "stroke-opacity=\"0.6\"");
      }
    }
  }
  double legend_y = rect.top + 14;
  for (const PlotLegendEntry& entry : panel.legend) {
    DrawLegendEntry(svg, rect.left + 10, legend_y, entry);
    legend_y += 18;
  }
}

}  // namespace

std::string SvgEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string SvgText(const Plot& plot) {
  const double height = NaturalPlotHeight(plot);
  const PlotLayout layout = LayoutPlot(plot, kWidth, height);
  Svg svg;
  svg.text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg.text += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Fixed(kWidth) +
              "\" height=\"" + Fixed(height) + "\" viewBox=\"0 0 " + Fixed(kWidth) + " " +
              Fixed(height) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg.text += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  if (!layout.panels.empty()) {
    const PlotRect& first = layout.panels.front();
    svg.Text((first.left + first.right) / 2, layout.title_y, "middle", plot.title,
             " font-size=\"15\"");
  }
  for (size_t i = 0; i < plot.panels.size(); ++i) {
    DrawPanel(svg, plot.panels[i], layout.panels[i], "panel" + std::to_string(i),
              i + 1 == plot.panels.size());
  }
  for (size_t i = 0; i < plot.legend.size(); ++i) {
    const PlotPoint at = LegendPosition(layout, i, plot.legend.size());
    DrawLegendEntry(svg, at.x, at.y, plot.legend[i]);
  }
  if (!plot.x_title.empty() && !layout.panels.empty()) {
    const PlotRect& last = layout.panels.back();
    svg.Text((last.left + last.right) / 2, layout.x_title_y, "middle", plot.x_title);
  }
  svg.text += "</svg>\n";
  return svg.text;
}

std::string SvgPlot(const Netlist& netlist, const PlotData& data) {
  ResponsePlotData plot_data;
  plot_data.netlist = &netlist;
  plot_data.response = data.response;
  plot_data.ideal = data.ideal;
  plot_data.spread = data.spread;
  plot_data.usable = data.usable;
  plot_data.measured = data.measured;
  plot_data.fitted = data.fitted;
  plot_data.limits = data.limits;
  return SvgText(ResponsePlot(plot_data, WholeSweepView(netlist.frequency_hz)));
}

}  // namespace rfsplitter
