#include <algorithm>
#include <cmath>

#include "engine/number_text.h"
#include "engine/topologies.h"
#include "exports/exports.h"

namespace rfsplitter {
namespace {

constexpr double kWidth = 820;
constexpr double kHeight = 520;
constexpr double kLeft = 70;
constexpr double kRight = 190;  // room for the legend
constexpr double kTop = 50;
constexpr double kBottom = 60;
constexpr double kTopDb = 0;
constexpr double kBottomDb = -60;  // lower values are clipped at the frame

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

struct Axes {
  double lo_hz, hi_hz;
  double X(double f) const {
    return kLeft + (kWidth - kLeft - kRight) * std::log(f / lo_hz) / std::log(hi_hz / lo_hz);
  }
  static double Y(double db) {
    const double clipped = std::clamp(db, kBottomDb, kTopDb);
    return kTop + (kHeight - kTop - kBottom) * (kTopDb - clipped) / (kTopDb - kBottomDb);
  }
};

// Text for a tick in MHz: the number's own digits, no exponent.
std::string MhzText(double mhz) { return GeneralText(mhz, 6); }

}  // namespace

std::string SvgPlot(const Design& design, const SweepResponse& response) {
  const Axes axes{response.frequencies_hz.front(), response.frequencies_hz.back()};
  const double plot_right = kWidth - kRight;
  const double plot_bottom = kHeight - kBottom;
  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Fixed(kWidth) + "\" height=\"" +
         Fixed(kHeight) + "\" viewBox=\"0 0 " + Fixed(kWidth) + " " + Fixed(kHeight) +
         "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  const std::string title = DesignTitle(design);
  svg += "<text x=\"" + Fixed((kLeft + plot_right) / 2) +
         "\" y=\"28\" text-anchor=\"middle\" font-size=\"15\">" + Escape(title) + "</text>\n";
  svg += "<defs><clipPath id=\"plot\"><rect x=\"" + Fixed(kLeft) + "\" y=\"" + Fixed(kTop) +
         "\" width=\"" + Fixed(plot_right - kLeft) + "\" height=\"" + Fixed(plot_bottom - kTop) +
         "\"/></clipPath></defs>\n";

  // Grid: every 1..9 x 10^k MHz, labelled at 1, 2 and 5; every 10 dB.
  svg += "<g stroke=\"#d0d0d0\" stroke-width=\"1\">\n";
  std::string labels;
  const double lo_mhz = axes.lo_hz / 1e6;
  const double hi_mhz = axes.hi_hz / 1e6;
  for (double decade = std::pow(10, std::floor(std::log10(lo_mhz))); decade <= hi_mhz;
       decade *= 10) {
    for (int m = 1; m <= 9; ++m) {
      const double mhz = m * decade;
      if (mhz < lo_mhz * (1 - 1e-12) || mhz > hi_mhz * (1 + 1e-12)) continue;
      const std::string x = Fixed(axes.X(mhz * 1e6));
      svg += "<line x1=\"" + x + "\" y1=\"" + Fixed(kTop) + "\" x2=\"" + x + "\" y2=\"" +
             Fixed(plot_bottom) + "\"/>\n";
      if (m == 1 || m == 2 || m == 5) {
        labels += "<text x=\"" + x + "\" y=\"" + Fixed(plot_bottom + 18) +
                  "\" text-anchor=\"middle\">" + MhzText(mhz) + "</text>\n";
      }
    }
  }
  for (double db = kTopDb; db >= kBottomDb; db -= 10) {
    const std::string y = Fixed(Axes::Y(db));
    svg += "<line x1=\"" + Fixed(kLeft) + "\" y1=\"" + y + "\" x2=\"" + Fixed(plot_right) +
           "\" y2=\"" + y + "\"/>\n";
    labels += "<text x=\"" + Fixed(kLeft - 8) + "\" y=\"" + Fixed(Axes::Y(db) + 4) +
              "\" text-anchor=\"end\">" + MhzText(db) + "</text>\n";
  }
  svg += "</g>\n" + labels;
  svg += "<rect x=\"" + Fixed(kLeft) + "\" y=\"" + Fixed(kTop) + "\" width=\"" +
         Fixed(plot_right - kLeft) + "\" height=\"" + Fixed(plot_bottom - kTop) +
         "\" fill=\"none\" stroke=\"black\"/>\n";
  svg += "<text x=\"" + Fixed((kLeft + plot_right) / 2) + "\" y=\"" + Fixed(kHeight - 14) +
         "\" text-anchor=\"middle\">Frequency (MHz)</text>\n";
  svg += "<text transform=\"translate(20 " + Fixed((kTop + plot_bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">Magnitude (dB)</text>\n";

  // The design frequency.
  const std::string f0 = Fixed(axes.X(design.frequency_hz));
  svg += "<line x1=\"" + f0 + "\" y1=\"" + Fixed(kTop) + "\" x2=\"" + f0 + "\" y2=\"" +
         Fixed(plot_bottom) + "\" stroke=\"#555\" stroke-dasharray=\"5 4\"/>\n";
  svg += "<text x=\"" + f0 + "\" y=\"" + Fixed(kTop - 6) +
         "\" text-anchor=\"middle\">f0 = " + NumberText(design.inputs.frequency_mhz) +
         " MHz</text>\n";

  const struct {
    int to, from;
    const char* name;
    const char* colour;
  } curves[] = {{2, 1, "|S21| output to port 2", "#1f77b4"},
                {3, 1, "|S31| output to port 3", "#d62728"},
                {3, 2, "|S32| isolation 3 to 2", "#2ca02c"},
                {1, 1, "|S11| input match", "#9467bd"}};
  double legend_y = kTop + 10;
  for (const auto& curve : curves) {
    std::string points;
    for (size_t i = 0; i < response.frequencies_hz.size(); ++i) {
      const double db = MagnitudeDb(response.s[i](curve.to, curve.from));
      points += Fixed(axes.X(response.frequencies_hz[i])) + "," +
                Fixed(Axes::Y(std::isfinite(db) ? db : kBottomDb)) + " ";
    }
    points.pop_back();
    svg += "<polyline clip-path=\"url(#plot)\" fill=\"none\" stroke=\"" +
           std::string(curve.colour) + "\" stroke-width=\"2\" points=\"" + points + "\"/>\n";
    const std::string x = Fixed(plot_right + 14);
    svg += "<line x1=\"" + x + "\" y1=\"" + Fixed(legend_y) + "\" x2=\"" + Fixed(plot_right + 38) +
           "\" y2=\"" + Fixed(legend_y) + "\" stroke=\"" + curve.colour +
           "\" stroke-width=\"2\"/>\n";
    svg += "<text x=\"" + Fixed(plot_right + 44) + "\" y=\"" + Fixed(legend_y + 4) + "\">" +
           Escape(curve.name) + "</text>\n";
    legend_y += 22;
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace rfsplitter
