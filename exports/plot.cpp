#include "exports/plot.h"

#include <algorithm>
#include <cmath>

#include "engine/number_text.h"

namespace rfsplitter {
namespace {

constexpr double kMagnitudeHeight = 410;
constexpr double kBalanceHeight = 220;

// Text for a tick: the number's own digits, no exponent.
std::string TickText(double value) { return GeneralText(std::abs(value) < 1e-12 ? 0 : value, 6); }

// A log axis: a grid line at every 1..9 x 10^k, labelled at 1, 2 and 5.
std::vector<PlotTick> LogTicks(double low, double high) {
  std::vector<PlotTick> ticks;
  for (double decade = std::pow(10, std::floor(std::log10(low))); decade <= high; decade *= 10) {
    for (int m = 1; m <= 9; ++m) {
      const double v = m * decade;
      if (v < low * (1 - 1e-12) || v > high * (1 + 1e-12)) continue;
      ticks.push_back({v, (m == 1 || m == 2 || m == 5) ? TickText(v) : std::string()});
    }
  }
  return ticks;
}

// A linear axis: every 1, 2 or 5 x 10^k, whichever gives four to ten steps.
std::vector<PlotTick> LinearTicks(double low, double high) {
  std::vector<PlotTick> ticks;
  const double span = high - low;
  if (!(span > 0)) return ticks;
  double step = std::pow(10, std::floor(std::log10(span)));
  for (const double m : {0.5, 0.2, 0.1}) {
    if (span / step >= 4) break;
    step = std::pow(10, std::floor(std::log10(span))) * m;
  }
  for (double k = std::ceil(low / step - 1e-9); k * step <= high * (1 + 1e-12) + 1e-300; ++k) {
    ticks.push_back({k * step, TickText(k * step)});
  }
  return ticks;
}

PlotAxis FrequencyAxis(const PlotView& view) {
  PlotAxis axis;
  axis.low = view.low_hz / 1e6;
  axis.high = view.high_hz / 1e6;
  axis.logarithmic = view.logarithmic;
  axis.title = "Frequency (MHz)";
  axis.ticks = view.logarithmic ? LogTicks(axis.low, axis.high) : LinearTicks(axis.low, axis.high);
  return axis;
}

// A symmetric axis from -range to +range in ten steps.
PlotAxis SymmetricAxis(double range, std::string title) {
  PlotAxis axis{-range, range, false, std::move(title), {}};
  for (int i = 0; i <= 10; ++i) {
    const double v = -range + range * i / 5;
    axis.ticks.push_back({v, TickText(v)});
  }
  return axis;
}

// The smallest of `ranges` that holds every finite value of `curves` and
// `fills` between `low` and `high` (MHz).
double RangeFor(const std::vector<const PlotCurve*>& curves,
                const std::vector<const PlotFill*>& fills, double low, double high,
                std::initializer_list<double> ranges) {
  double largest = 0;
  const auto consider = [&](double x, double y) {
    if (x >= low && x <= high && std::isfinite(y)) largest = std::max(largest, std::abs(y));
  };
  for (const PlotCurve* c : curves) {
    for (size_t i = 0; i < c->x.size(); ++i) consider(c->x[i], c->y[i]);
  }
  for (const PlotFill* f : fills) {
    for (size_t i = 0; i < f->x.size(); ++i) {
      consider(f->x[i], f->low[i]);
      consider(f->x[i], f->high[i]);
    }
  }
  for (const double r : ranges) {
    if (largest <= r) return r;
  }
  return *std::prev(ranges.end());
}

double SignedPhaseError(const SMatrix& s, const FigureRule& rule) {
  if (rule.outputs > 2) return FiguresOf(s, rule).phase_error_deg;
  const double difference = PhaseDifferenceDegrees(s);
  return rule.quadrature ? std::abs(difference) - 90 : difference;
}

// Signed for two outputs, against the asked split; the spread of more.
double Imbalance(const SMatrix& s, const FigureRule& rule) {
  if (rule.outputs > 2) return FiguresOf(s, rule).imbalance_db;
  return MagnitudeDb(s(2, 1)) - MagnitudeDb(s(3, 1)) - rule.split_db;
}

struct Trace {
  int to, from;
  PlotColour colour;
  const char* name;
  const SweepSpread::Band SweepSpread::*band;
};

std::vector<Trace> MagnitudeTraces(const FigureRule& rule) {
  std::vector<Trace> traces = {
      {2, 1, PlotColour::kS21, "|S21| output to port 2", &SweepSpread::s21_db},
      {3, 1, PlotColour::kS31, "|S31| output to port 3", &SweepSpread::s31_db},
      {3, 2, PlotColour::kS32, "|S32| isolation 3 to 2", &SweepSpread::s32_db}};
  if (rule.port4_isolated) {
    traces.push_back({4, 1, PlotColour::kS41, "|S41| isolation 1 to 4", &SweepSpread::s41_db});
  } else if (rule.outputs > 2) {
    // The spread of boards is drawn for ports 2 and 3 alone.
    traces.push_back({4, 1, PlotColour::kS41, "|S41| output to port 4", nullptr});
    if (rule.outputs > 3)
      traces.push_back({5, 1, PlotColour::kS41, "|S51| output to port 5", nullptr});
  }
  traces.push_back({1, 1, PlotColour::kS11, "|S11| input match", &SweepSpread::s11_db});
  return traces;
}

template <typename Value>
PlotCurve CurveOf(const SweepResponse& r, std::string name, PlotColour colour, bool dashed,
                  bool right_axis, Value value) {
  PlotCurve curve{std::move(name), colour, dashed, right_axis, {}, {}};
  curve.x.reserve(r.frequencies_hz.size());
  curve.y.reserve(r.frequencies_hz.size());
  for (size_t i = 0; i < r.frequencies_hz.size(); ++i) {
    curve.x.push_back(r.frequencies_hz[i] / 1e6);
    curve.y.push_back(value(r.s[i]));
  }
  return curve;
}

// The stretches of the response where `fails` holds, each reaching halfway
// to its neighbouring points, in MHz.
template <typename Fails>
std::vector<std::pair<double, double>> FailingStretches(const SweepResponse& r, Fails fails) {
  std::vector<std::pair<double, double>> stretches;
  const std::vector<double>& f = r.frequencies_hz;
  for (size_t i = 0; i < f.size(); ++i) {
    if (!fails(r.s[i])) continue;
    const double low = i > 0 ? (f[i - 1] + f[i]) / 2 : f[i];
    const double high = i + 1 < f.size() ? (f[i] + f[i + 1]) / 2 : f[i];
    if (!stretches.empty() && stretches.back().second >= low / 1e6 - 1e-12) {
      stretches.back().second = high / 1e6;
    } else {
      stretches.emplace_back(low / 1e6, high / 1e6);
    }
  }
  return stretches;
}

PlotFill FillOf(const SweepSpread& spread, const SweepSpread::Band& band, PlotColour colour,
                bool right_axis) {
  PlotFill fill{colour, right_axis, {}, band.low, band.high};
  for (const double f : spread.frequencies_hz) fill.x.push_back(f / 1e6);
  if (fill.low.size() != fill.x.size() || fill.high.size() != fill.x.size()) fill.x.clear();
  return fill;
}

}  // namespace

PlotView WholeSweepView(double design_frequency_hz) {
  const Sweep sweep = FileSweep(design_frequency_hz);
  return {sweep.low_hz, sweep.high_hz, true};
}

PlotView AroundDesignFrequency(double design_frequency_hz, double half_width) {
  return {design_frequency_hz * (1 - half_width), design_frequency_hz * (1 + half_width), false};
}

Plot ResponsePlot(const ResponsePlotData& data, const PlotView& view) {
  const Netlist& netlist = *data.netlist;
  const FigureRule rule = RuleOf(netlist.form);
  const bool hybrid = rule.quadrature;
  const double f0_mhz = netlist.frequency_hz / 1e6;
  Plot plot;
  plot.title = DesignTitle(netlist.form, netlist.inputs);
  plot.x_title = "Frequency (MHz)";

  PlotPanel magnitude;
  magnitude.weight = kMagnitudeHeight;
  magnitude.x = FrequencyAxis(view);
  magnitude.y = {-60, 0, false, "Magnitude (dB)", {}};
  for (int v = 0; v >= -60; v -= 10) magnitude.y.ticks.push_back({double(v), TickText(v)});
  const std::string f0_label = "f0 = " + NumberText(netlist.inputs.frequency_mhz) + " MHz";
  magnitude.markers.emplace_back(f0_mhz, f0_label);

  PlotPanel balance;
  balance.weight = kBalanceHeight;
  balance.x = magnitude.x;
  balance.markers.emplace_back(f0_mhz, "");
  if (data.usable) {
    const std::pair<double, double> band{data.usable->low_hz / 1e6, data.usable->high_hz / 1e6};
    magnitude.shades.push_back(band);
    balance.shades.push_back(band);
  }

  const std::vector<Trace> traces = MagnitudeTraces(rule);
  if (data.spread) {
    for (const Trace& t : traces) {
      if (!t.band) continue;
      magnitude.fills.push_back(FillOf(*data.spread, (*data.spread).*(t.band), t.colour, false));
    }
    balance.fills.push_back(
        FillOf(*data.spread, data.spread->phase_error_deg, PlotColour::kPhase, false));
    balance.fills.push_back(
        FillOf(*data.spread, data.spread->imbalance_db, PlotColour::kImbalance, true));
  }
  const auto add_response = [&](const SweepResponse& r, bool dashed, bool dotted = false) {
    const std::string suffix = dashed ? " (ideal)" : dotted ? " (measured)" : "";
    // A measurement's entry nobody measured has no curve.
    const auto measured = [&](int to, int from) {
      return r.s.empty() || !std::isnan(r.s[0](to, from).real());
    };
    const auto add = [&](PlotPanel& panel, PlotCurve curve) {
      curve.dotted = dotted;
      panel.curves.push_back(std::move(curve));
    };
    for (const Trace& t : traces) {
      if (!measured(t.to, t.from)) continue;
      add(magnitude, CurveOf(r, t.name + suffix, t.colour, dashed, false,
                             [&](const SMatrix& s) { return MagnitudeDb(s(t.to, t.from)); }));
    }
    if (!measured(2, 1) || !measured(3, 1)) return;
    add(balance, CurveOf(r, "phase error (deg)" + suffix, PlotColour::kPhase, dashed, false,
                         [&](const SMatrix& s) { return SignedPhaseError(s, rule); }));
    add(balance, CurveOf(r, "imbalance (dB)" + suffix, PlotColour::kImbalance, dashed, true,
                         [&](const SMatrix& s) { return Imbalance(s, rule); }));
  };
  if (data.ideal) add_response(*data.ideal, true);
  if (data.response) add_response(*data.response, false);
  if (data.measured) add_response(*data.measured, false, true);
  if (data.limits && data.response) {
    const Limits& l = *data.limits;
    const SweepResponse& r = *data.response;
    magnitude.limits.push_back(
        {l.match_db, false, PlotColour::kS11,
         FailingStretches(r, [&](const SMatrix& s) { return MagnitudeDb(s(1, 1)) > l.match_db; })});
    magnitude.limits.push_back(
        {l.isolation_db, false, PlotColour::kS32, FailingStretches(r, [&](const SMatrix& s) {
           return FiguresOf(s, rule).isolation_db > l.isolation_db;
         })});
    const auto phase_fails = FailingStretches(
        r, [&](const SMatrix& s) { return std::abs(SignedPhaseError(s, rule)) > l.phase_deg; });
    const auto imbalance_fails = FailingStretches(
        r, [&](const SMatrix& s) { return std::abs(Imbalance(s, rule)) > l.imbalance_db; });
    for (const double sign : {1.0, -1.0}) {
      balance.limits.push_back({sign * l.phase_deg, false, PlotColour::kPhase, phase_fails});
      balance.limits.push_back(
          {sign * l.imbalance_db, true, PlotColour::kImbalance, imbalance_fails});
    }
  }

  // The balance scales serve the neighbourhood of f0 (10 % either side),
  // where the circuit is used; farther out the curves may leave them.
  const double near_low = std::max(magnitude.x.low, 0.9 * f0_mhz);
  const double near_high = std::min(magnitude.x.high, 1.1 * f0_mhz);
  std::vector<const PlotCurve*> phase_curves, imbalance_curves;
  for (const PlotCurve& c : balance.curves) {
    (c.right_axis ? imbalance_curves : phase_curves).push_back(&c);
  }
  std::vector<const PlotFill*> phase_fills, imbalance_fills;
  for (const PlotFill& f : balance.fills) {
    (f.right_axis ? imbalance_fills : phase_fills).push_back(&f);
  }
  const double phase_range = RangeFor(phase_curves, phase_fills, near_low, near_high,
                                      {1, 2, 5, 10, 20, 45, 90, 180});
  const double imbalance_range = RangeFor(imbalance_curves, imbalance_fills, near_low, near_high,
                                          {0.5, 1, 2, 5, 10, 20, 50});
  balance.y = SymmetricAxis(phase_range, hybrid ? "Phase error (deg)" : "Phase S31 - S21 (deg)");
  balance.y_right = SymmetricAxis(imbalance_range, "Imbalance (dB)");
  balance.legend = {
      {PlotColour::kPhase, PlotLegendEntry::Style::kLine,
       hybrid ? "phase S31 - S21, less 90 deg (left)" : "phase S31 - S21 (left)"},
      {PlotColour::kImbalance, PlotLegendEntry::Style::kLine, "imbalance |S21| - |S31| (right)"}};

  for (const Trace& t : traces) {
    plot.legend.push_back({t.colour, PlotLegendEntry::Style::kLine, t.name});
  }
  if (data.ideal) {
    plot.legend.push_back(
        {PlotColour::kNeutral, PlotLegendEntry::Style::kDashed, "ideal parts (dashed)"});
  }
  if (data.spread) {
    plot.legend.push_back(
        {PlotColour::kNeutral, PlotLegendEntry::Style::kFill, "5 % to 95 % of boards"});
  }
  if (data.measured) {
    plot.legend.push_back(
        {PlotColour::kNeutral, PlotLegendEntry::Style::kDotted, "measured (dotted)"});
  }
  if (data.fitted) {
    plot.legend.push_back(
        {PlotColour::kNeutral, PlotLegendEntry::Style::kLine, "as fitted (solid)"});
  }
  if (data.usable) {
    plot.legend.push_back({PlotColour::kNeutral, PlotLegendEntry::Style::kShade, "usable band"});
  }
  if (data.limits && data.response) {
    plot.legend.push_back(
        {PlotColour::kNeutral, PlotLegendEntry::Style::kLimit, "limit; missed in red"});
  }
  plot.panels.push_back(std::move(magnitude));
  plot.panels.push_back(std::move(balance));
  return plot;
}

Plot SmithPlot(const ResponsePlotData& data) {
  const Netlist& netlist = *data.netlist;
  Plot plot;
  plot.title = DesignTitle(netlist.form, netlist.inputs) + ": port reflections";
  PlotPanel smith;
  smith.smith = true;
  smith.weight = 560;
  const PlotColour colours[] = {PlotColour::kS11, PlotColour::kS21, PlotColour::kS31,
                                PlotColour::kS41};
  const auto add = [&](const SweepResponse& r, bool dashed) {
    for (int port = 1; port <= netlist.ports; ++port) {
      std::string name = "S" + std::to_string(port) + std::to_string(port);
      PlotCurve curve{name + (dashed ? " (ideal)" : ""), colours[port - 1], dashed, false, {}, {}};
      for (const SMatrix& s : r.s) {
        curve.x.push_back(s(port, port).real());
        curve.y.push_back(s(port, port).imag());
      }
      if (!dashed && !r.frequencies_hz.empty()) {
        // The design frequency on the curve: the sweep point nearest it.
        size_t nearest = 0;
        for (size_t i = 0; i < r.frequencies_hz.size(); ++i) {
          if (std::abs(std::log(r.frequencies_hz[i] / netlist.frequency_hz)) <
              std::abs(std::log(r.frequencies_hz[nearest] / netlist.frequency_hz))) {
            nearest = i;
          }
        }
        smith.dots.push_back({curve.x[nearest], curve.y[nearest], colours[port - 1],
                              port == 1 ? "f0" : ""});
      }
      smith.curves.push_back(std::move(curve));
      if (!dashed) plot.legend.push_back({colours[port - 1], PlotLegendEntry::Style::kLine, name});
    }
  };
  if (data.ideal) add(*data.ideal, true);
  if (data.response) add(*data.response, false);
  // The markers on the solid curves, linear between the sweep's points.
  const std::vector<double>& f =
      data.response ? data.response->frequencies_hz : std::vector<double>{};
  for (size_t m = 0; m < data.markers_mhz.size() && f.size() > 1; ++m) {
    const double hz = data.markers_mhz[m] * 1e6;
    if (hz < f.front() || hz > f.back()) continue;
    const size_t high = std::min<size_t>(
        size_t(std::lower_bound(f.begin(), f.end(), hz) - f.begin()), f.size() - 1);
    const size_t low = high == 0 ? 0 : high - 1;
    const double t = high == low ? 0 : (hz - f[low]) / (f[high] - f[low]);
    for (int port = 1; port <= netlist.ports; ++port) {
      const Complex g =
          data.response->s[low](port, port) +
          t * (data.response->s[high](port, port) - data.response->s[low](port, port));
      smith.dots.push_back(
          {g.real(), g.imag(), colours[port - 1], port == 1 ? "M" + std::to_string(m + 1) : ""});
    }
  }
  if (data.measured) {
    for (int port = 1; port <= netlist.ports; ++port) {
      if (data.measured->s.empty() || std::isnan(data.measured->s[0](port, port).real())) continue;
      PlotCurve curve{"S" + std::to_string(port) + std::to_string(port) + " (measured)",
                      colours[port - 1],
                      false,
                      false,
                      {},
                      {}};
      curve.dotted = true;
      for (const SMatrix& s : data.measured->s) {
        curve.x.push_back(s(port, port).real());
        curve.y.push_back(s(port, port).imag());
      }
      smith.curves.push_back(std::move(curve));
    }
    plot.legend.push_back(
        {PlotColour::kNeutral, PlotLegendEntry::Style::kDotted, "measured (dotted)"});
  }
  if (data.ideal) {
    plot.legend.push_back(
        {PlotColour::kNeutral, PlotLegendEntry::Style::kDashed, "ideal parts (dashed)"});
  }
  plot.panels.push_back(std::move(smith));
  return plot;
}

}  // namespace rfsplitter
