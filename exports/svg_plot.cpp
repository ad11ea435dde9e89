#include <algorithm>
#include <cmath>

#include "analysis/summary.h"
#include "engine/number_text.h"
#include "exports/exports.h"

namespace rfsplitter {
namespace {

constexpr double kWidth = 820;
constexpr double kLeft = 70;
constexpr double kRight = 190;  // room for the legend
constexpr double kTop = 50;
constexpr double kPanelHeight = 410;
constexpr double kSecondPanelHeight = 220;
constexpr double kPanelGap = 60;
constexpr double kBottom = 60;

std::string Fixed(double value) { return FixedText(value, 2); }

std::string Escape(const std::string& text) {
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

// Text for a tick: the number's own digits, no exponent.
std::string TickText(double value) { return GeneralText(value, 6); }

// One chart area: a log frequency axis shared by all panels and a linear
// value axis of its own, values beyond it clipped at the frame.
struct Panel {
  double lo_hz, hi_hz;
  double top, bottom;
  double top_value, bottom_value;
  double X(double f) const {
    return kLeft + (kWidth - kLeft - kRight) * std::log(f / lo_hz) / std::log(hi_hz / lo_hz);
  }
  double Y(double value) const {
    if (!std::isfinite(value)) value = value > 0 ? top_value : bottom_value;
    const double clipped =
        std::clamp(value, std::min(bottom_value, top_value), std::max(bottom_value, top_value));
    return top + (bottom - top) * (top_value - clipped) / (top_value - bottom_value);
  }
  double right() const { return kWidth - kRight; }
};

struct Svg {
  std::string text;
  void Line(double x1, double y1, double x2, double y2, const std::string& attributes) {
    text += "<line x1=\"" + Fixed(x1) + "\" y1=\"" + Fixed(y1) + "\" x2=\"" + Fixed(x2) +
            "\" y2=\"" + Fixed(y2) + "\" " + attributes + "/>\n";
  }
  void Text(double x, double y, const std::string& anchor, const std::string& content,
            const std::string& extra = {}) {
    text += "<text x=\"" + Fixed(x) + "\" y=\"" + Fixed(y) + "\" text-anchor=\"" + anchor + "\"" +
            extra + ">" + Escape(content) + "</text>\n";
  }
};

void DrawFrame(Svg& svg, const Panel& panel, const std::string& clip_id, double step,
               const std::string& axis_title, bool frequency_labels) {
  svg.text += "<defs><clipPath id=\"" + clip_id + "\"><rect x=\"" + Fixed(kLeft) + "\" y=\"" +
              Fixed(panel.top) + "\" width=\"" + Fixed(panel.right() - kLeft) + "\" height=\"" +
              Fixed(panel.bottom - panel.top) + "\"/></clipPath></defs>\n";
  // Grid: every 1..9 x 10^k MHz, labelled at 1, 2 and 5; every step.
  svg.text += "<g stroke=\"#d0d0d0\" stroke-width=\"1\">\n";
  Svg labels;
  const double lo_mhz = panel.lo_hz / 1e6;
  const double hi_mhz = panel.hi_hz / 1e6;
  for (double decade = std::pow(10, std::floor(std::log10(lo_mhz))); decade <= hi_mhz;
       decade *= 10) {
    for (int m = 1; m <= 9; ++m) {
      const double mhz = m * decade;
      if (mhz < lo_mhz * (1 - 1e-12) || mhz > hi_mhz * (1 + 1e-12)) continue;
      const double x = panel.X(mhz * 1e6);
      svg.text += "<line x1=\"" + Fixed(x) + "\" y1=\"" + Fixed(panel.top) + "\" x2=\"" + Fixed(x) +
                  "\" y2=\"" + Fixed(panel.bottom) + "\"/>\n";
      if (frequency_labels && (m == 1 || m == 2 || m == 5)) {
        labels.Text(x, panel.bottom + 18, "middle", TickText(mhz));
      }
    }
  }
  const double high = std::max(panel.top_value, panel.bottom_value);
  const double low = std::min(panel.top_value, panel.bottom_value);
  for (double v = high; v >= low - 1e-9; v -= step) {
    const double y = panel.Y(v);
    svg.text += "<line x1=\"" + Fixed(kLeft) + "\" y1=\"" + Fixed(y) + "\" x2=\"" +
                Fixed(panel.right()) + "\" y2=\"" + Fixed(y) + "\"/>\n";
    labels.Text(kLeft - 8, y + 4, "end", TickText(std::abs(v) < 1e-9 ? 0 : v));
  }
  svg.text += "</g>\n" + labels.text;
  svg.text += "<rect x=\"" + Fixed(kLeft) + "\" y=\"" + Fixed(panel.top) + "\" width=\"" +
              Fixed(panel.right() - kLeft) + "\" height=\"" + Fixed(panel.bottom - panel.top) +
              "\" fill=\"none\" stroke=\"black\"/>\n";
  svg.text += "<text transform=\"translate(20 " + Fixed((panel.top + panel.bottom) / 2) +
              ") rotate(-90)\" text-anchor=\"middle\">" + Escape(axis_title) + "</text>\n";
}

void DrawMarker(Svg& svg, const Panel& panel, double f0_hz, const std::string& label) {
  const double x = panel.X(f0_hz);
  svg.Line(x, panel.top, x, panel.bottom, "stroke=\"#555\" stroke-dasharray=\"5 4\"");
  if (!label.empty()) svg.Text(x, panel.top - 6, "middle", label);
}

template <typename Value>
void DrawCurve(Svg& svg, const Panel& panel, const std::string& clip_id,
               const std::vector<double>& frequencies, Value value, const std::string& colour,
               bool dashed) {
  std::string points;
  points.reserve(frequencies.size() * 14);
  for (size_t i = 0; i < frequencies.size(); ++i) {
    AppendFixed(points, panel.X(frequencies[i]), 2);
    points += ',';
    AppendFixed(points, panel.Y(value(i)), 2);
    points += ' ';
  }
  if (!points.empty()) points.pop_back();
  svg.text += "<polyline clip-path=\"url(#" + clip_id + ")\" fill=\"none\" stroke=\"" + colour +
              "\" stroke-width=\"" + (dashed ? "1.5\" stroke-dasharray=\"6 4" : "2") +
              "\" points=\"" + points + "\"/>\n";
}

void DrawBand(Svg& svg, const Panel& panel, const std::string& clip_id,
              const std::vector<double>& frequencies, const SweepSpread::Band& band,
              const std::string& colour) {
  if (band.low.size() != frequencies.size() || band.high.size() != frequencies.size()) return;
  std::string points;
  for (size_t i = 0; i < frequencies.size(); ++i) {
    points += Fixed(panel.X(frequencies[i])) + "," + Fixed(panel.Y(band.high[i])) + " ";
  }
  for (size_t i = frequencies.size(); i-- > 0;) {
    points += Fixed(panel.X(frequencies[i])) + "," + Fixed(panel.Y(band.low[i])) + " ";
  }
  if (!points.empty()) points.pop_back();
  svg.text += "<polygon class=\"spread\" clip-path=\"url(#" + clip_id + ")\" fill=\"" + colour +
              "\" fill-opacity=\"0.22\" stroke=\"none\" points=\"" + points + "\"/>\n";
}

void DrawLegendEntry(Svg& svg, double x, double y, const std::string& colour,
                     const std::string& name, bool dashed) {
  svg.Line(
      x, y, x + 24, y,
      "stroke=\"" + colour + "\" stroke-width=\"2\"" + (dashed ? " stroke-dasharray=\"6 4\"" : ""));
  svg.Text(x + 30, y + 4, "start", name);
}

}  // namespace

std::string SvgPlot(const Netlist& netlist, const PlotData& data) {
  const SweepResponse& response = *data.response;
  const std::vector<double>& f = response.frequencies_hz;
  const bool hybrid = netlist.ports == 4;
  const bool second_panel = hybrid && (data.ideal != nullptr || data.spread != nullptr);
  const double height =
      kTop + kPanelHeight + (second_panel ? kPanelGap + kSecondPanelHeight : 0) + kBottom;

  Svg svg;
  svg.text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg.text += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Fixed(kWidth) +
              "\" height=\"" + Fixed(height) + "\" viewBox=\"0 0 " + Fixed(kWidth) + " " +
              Fixed(height) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg.text += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  const Panel magnitude{f.front(), f.back(), kTop, kTop + kPanelHeight, 0, -60};
  svg.Text((kLeft + magnitude.right()) / 2, 28, "middle",
           DesignTitle(netlist.topology, netlist.inputs), " font-size=\"15\"");
  DrawFrame(svg, magnitude, "plot", 10, "Magnitude (dB)", !second_panel);
  DrawMarker(svg, magnitude, netlist.frequency_hz,
             "f0 = " + NumberText(netlist.inputs.frequency_mhz) + " MHz");

  const struct {
    int to, from;
    const char* name;
    const char* colour;
    const SweepSpread::Band* band;
  } curves[] = {
      {2, 1, "|S21| output to port 2", "#1f77b4", data.spread ? &data.spread->s21_db : nullptr},
      {3, 1, "|S31| output to port 3", "#d62728", data.spread ? &data.spread->s31_db : nullptr},
      {3, 2, "|S32| isolation 3 to 2", "#2ca02c", data.spread ? &data.spread->s32_db : nullptr},
      {1, 1, "|S11| input match", "#9467bd", data.spread ? &data.spread->s11_db : nullptr}};
  for (const auto& curve : curves) {
    if (curve.band) DrawBand(svg, magnitude, "plot", f, *curve.band, curve.colour);
  }
  if (data.ideal != nullptr) {
    for (const auto& curve : curves) {
      DrawCurve(
          svg, magnitude, "plot", data.ideal->frequencies_hz,
          [&](size_t i) { return MagnitudeDb(data.ideal->s[i](curve.to, curve.from)); },
          curve.colour, true);
    }
  }
  double legend_y = kTop + 10;
  for (const auto& curve : curves) {
    DrawCurve(
        svg, magnitude, "plot", f,
        [&](size_t i) { return MagnitudeDb(response.s[i](curve.to, curve.from)); }, curve.colour,
        false);
    DrawLegendEntry(svg, magnitude.right() + 14, legend_y, curve.colour, curve.name, false);
    legend_y += 22;
  }
  if (data.ideal != nullptr) {
    DrawLegendEntry(svg, magnitude.right() + 14, legend_y, "#777", "ideal parts (dashed)", true);
    legend_y += 22;
  }
  if (data.spread != nullptr) {
    svg.text += "<rect x=\"" + Fixed(magnitude.right() + 14) + "\" y=\"" + Fixed(legend_y - 6) +
                "\" width=\"24\" height=\"12\" fill=\"#777\" fill-opacity=\"0.22\"/>\n";
    svg.Text(magnitude.right() + 44, legend_y + 4, "start", "5 % to 95 % of boards");
  }

  if (second_panel) {
    // Phase difference around its nominal 90 degrees (either sign) on the
    // left axis; the amplitude imbalance |S21| - |S31| in dB on the right.
    const double nominal = PhaseDifferenceDegrees(response.s[response.s.size() / 2]) < 0 ? -90 : 90;
    const double top = kTop + kPanelHeight + kPanelGap;
    const Panel phase{f.front(),    f.back(),    top, top + kSecondPanelHeight,
                      nominal + 30, nominal - 30};
    const Panel imbalance{f.front(), f.back(), top, top + kSecondPanelHeight, 3, -3};
    DrawFrame(svg, phase, "phase", 10, "Phase S31 - S21 (deg)", true);
    for (double v = 3; v >= -3; v -= 1) {
      svg.Text(phase.right() + 6, imbalance.Y(v) + 4, "start", TickText(v));
    }
    svg.text += "<text transform=\"translate(" + Fixed(phase.right() + 40) + " " +
                Fixed((phase.top + phase.bottom) / 2) +
                ") rotate(90)\" text-anchor=\"middle\">Imbalance (dB)</text>\n";
    DrawMarker(svg, phase, netlist.frequency_hz, "");
    if (data.spread != nullptr) {
      DrawBand(svg, phase, "phase", f, data.spread->phase_difference_deg, "#ff7f0e");
    }
    const auto draw = [&](const SweepResponse& r, bool dashed) {
      DrawCurve(
          svg, phase, "phase", r.frequencies_hz,
          [&](size_t i) { return PhaseDifferenceDegrees(r.s[i]); }, "#ff7f0e", dashed);
      DrawCurve(
          svg, imbalance, "phase", r.frequencies_hz,
          [&](size_t i) { return MagnitudeDb(r.s[i](2, 1)) - MagnitudeDb(r.s[i](3, 1)); },
          "#17becf", dashed);
    };
    if (data.ideal != nullptr) draw(*data.ideal, true);
    draw(response, false);
    DrawLegendEntry(svg, kLeft + 10, phase.top + 14, "#ff7f0e", "phase S31 - S21 (left)", false);
    DrawLegendEntry(svg, kLeft + 10, phase.top + 32, "#17becf", "imbalance |S21| - |S31| (right)",
                    false);
  }
  svg.Text((kLeft + magnitude.right()) / 2, height - 14, "middle", "Frequency (MHz)");
  svg.text += "</svg>\n";
  return svg.text;
}

}  // namespace rfsplitter
