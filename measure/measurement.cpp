#include "measure/measurement.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

#include "engine/si_value.h"
#include "engine/touchstone_read.h"

namespace rfsplitter {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Entry(int to, int from) { return "S" + std::to_string(to) + std::to_string(from); }

// The figures at one point, NaN where an entry they need was not measured.
PointFigures Figures(const SMatrix& s, const FigureRule& rule) {
  if (rule.outputs > 2) return FiguresOf(s, rule);
  PointFigures f;
  f.match_db = MagnitudeDb(s(1, 1));
  const double s32 = MagnitudeDb(s(3, 2));
  const double s41 = rule.port4_isolated ? MagnitudeDb(s(4, 1)) : kNaN;
  f.isolation_db = std::isnan(s32) ? s41 : std::isnan(s41) ? s32 : std::max(s32, s41);
  f.imbalance_db = std::abs(MagnitudeDb(s(2, 1)) - MagnitudeDb(s(3, 1)) - rule.split_db);
  const double difference =
      std::isnan(Norm(s(2, 1)) + Norm(s(3, 1))) ? kNaN : PhaseDifferenceDegrees(s);
  f.phase_error_deg = rule.quadrature ? std::abs(difference) - 90 : difference;
  f.excess_loss_db = -10 * std::log10(Norm(s(2, 1)) + Norm(s(3, 1)));
  return f;
}

// How far inside its limit a figure is (negative outside, NaN unknown).
double Margin(const PointFigures& f, const Limits& l, int kind) {
  switch (kind) {
    case 0:
      return l.match_db - f.match_db;
    case 1:
      return l.isolation_db - f.isolation_db;
    case 2:
      return l.imbalance_db - f.imbalance_db;
    case 3:
      return l.phase_deg - std::abs(f.phase_error_deg);
    default: {
      double least = std::numeric_limits<double>::infinity();
      for (int k = 0; k < 4; ++k) least = std::min(least, Margin(f, l, k));
      for (int k = 0; k < 4; ++k)
        if (std::isnan(Margin(f, l, k))) return kNaN;
      return least;
    }
  }
}

}  // namespace

bool Measurement::Complete() const { return Missing().empty(); }

std::string Measurement::Missing() const {
  std::string text;
  for (int to = 1; to <= ports; ++to)
    for (int from = 1; from <= ports; ++from)
      if (!Has(to, from)) text += (text.empty() ? "" : ", ") + Entry(to, from);
  return text;
}

std::optional<Measurement> MeasurementOf(std::string_view text, const std::string& name, int ports,
                                         std::string_view form, double z0, std::string& error) {
  const std::string wanted = std::string(form) + " has " + std::to_string(ports) + " ports (.s" +
                             std::to_string(ports) + "p)";
  const std::optional<NetworkData> data =
      ReadTouchstone(text, name, {ports, wanted, "board", 1.05}, error);
  if (!data) return std::nullopt;
  Measurement m;
  m.source = name;
  m.ports = ports;
  // A hybrid's unless the study says which form it measures.
  m.rule.quadrature = m.rule.port4_isolated = ports >= 4;
  m.frequencies_hz = data->frequencies_hz;
  for (size_t i = 0; i < data->frequencies_hz.size(); ++i) {
    const auto s = ReferredTo(*data, i, z0);
    if (!s) {
      error = name + ": its S-parameters cannot be referred to " + SiText(z0, Unit::kOhm) + " at " +
              SiText(data->frequencies_hz[i], Unit::kHertz);
      return std::nullopt;
    }
    SMatrix& matrix = m.s.emplace_back(ports);
    for (int to = 1; to <= ports; ++to)
      for (int from = 1; from <= ports; ++from)
        matrix(to, from) = (*s)[size_t((to - 1) * ports + from - 1)];
  }
  for (int to = 1; to <= ports; ++to)
    for (int from = 1; from <= ports; ++from)
      m.measured[size_t((to - 1) * kMaxPorts + from - 1)] = true;
  return m;
}

std::optional<PairFile> ParsePairOption(std::string_view text, int ports, std::string& error) {
  const size_t equals = text.find('=');
  const size_t comma = text.find(',');
  int a = 0, b = 0;
  const auto number = [](std::string_view word, int& n) {
    const auto [ptr, code] = std::from_chars(word.data(), word.data() + word.size(), n);
    return code == std::errc() && ptr == word.data() + word.size();
  };
  if (equals == std::string_view::npos || comma == std::string_view::npos || comma > equals ||
      !number(text.substr(0, comma), a) || !number(text.substr(comma + 1, equals - comma - 1), b) ||
      equals + 1 == text.size()) {
    error = "a measured pair is PORT,PORT=FILE, as 2,1=p21.s2p";
    return std::nullopt;
  }
  if (a < 1 || b < 1 || a > ports || b > ports || a == b) {
    error = "a measured pair names two different ports from 1 to " + std::to_string(ports);
    return std::nullopt;
  }
  return PairFile{a, b, std::string(text.substr(equals + 1)), {}};
}

std::optional<Measurement> AssembledMeasurement(std::span<const PairFile> pairs, int ports,
                                                double z0, std::string& error) {
  Measurement m;
  m.ports = ports;
  // A hybrid's unless the study says which form it measures.
  m.rule.quadrature = m.rule.port4_isolated = ports >= 4;
  std::array<int, kMaxPorts * kMaxPorts> counts{};
  for (const PairFile& pair : pairs) {
    const std::optional<Measurement> two =
        MeasurementOf(pair.text, pair.name, 2, "a pair of ports measured alone", z0, error);
    if (!two) return std::nullopt;
    if (m.frequencies_hz.empty()) {
      m.frequencies_hz = two->frequencies_hz;
      m.s.assign(m.frequencies_hz.size(), SMatrix(ports));
    } else if (two->frequencies_hz != m.frequencies_hz) {
      error = pair.name + ": its frequencies are not those of " + pairs[0].name +
              "; measure every pair over the same points";
      return std::nullopt;
    }
    m.source += (m.source.empty() ? "" : ", ") + pair.name;
    const int port[2] = {pair.port_a, pair.port_b};
    for (int to = 0; to < 2; ++to) {
      for (int from = 0; from < 2; ++from) {
        const size_t at = size_t((port[to] - 1) * kMaxPorts + port[from] - 1);
        if (to != from && counts[at] > 0) {
          error = pair.name + ": " + Entry(port[to], port[from]) + " is measured twice";
          return std::nullopt;
        }
        ++counts[at];
        for (size_t i = 0; i < m.s.size(); ++i)
          m.s[i](port[to], port[from]) += two->s[i](to + 1, from + 1);
      }
    }
  }
  for (int to = 1; to <= ports; ++to) {
    for (int from = 1; from <= ports; ++from) {
      const size_t at = size_t((to - 1) * kMaxPorts + from - 1);
      m.measured[at] = counts[at] > 0;
      for (SMatrix& s : m.s)
        s(to, from) = counts[at] > 0 ? s(to, from) / double(counts[at]) : Complex(kNaN, kNaN);
    }
  }
  if (m.frequencies_hz.empty()) {
    error = "no measured pairs";
    return std::nullopt;
  }
  return m;
}

void ShiftPlanes(Measurement& m, std::span<const double> delays_s) {
  for (size_t i = 0; i < m.frequencies_hz.size(); ++i) {
    const double omega = 2 * std::numbers::pi * m.frequencies_hz[i];
    for (int to = 1; to <= m.ports; ++to)
      for (int from = 1; from <= m.ports; ++from)
        m.s[i](to, from) *=
            std::polar(1.0, omega * (delays_s[size_t(to - 1)] + delays_s[size_t(from - 1)]));
  }
}

std::optional<std::string> CoverageProblem(const Measurement& m, double f0_hz) {
  const double low = m.frequencies_hz.front(), high = m.frequencies_hz.back();
  if (f0_hz < low || f0_hz > high) {
    return "the measurement " + m.source + " runs from " + SiText(low, Unit::kHertz) + " to " +
           SiText(high, Unit::kHertz) + " and misses the design frequency " +
           SiText(f0_hz, Unit::kHertz);
  }
  if (m.frequencies_hz.size() < 3)
    return "the measurement " + m.source + " has fewer than 3 points";
  return std::nullopt;
}

SMatrix MeasuredAt(const Measurement& m, double frequency_hz) {
  const auto& f = m.frequencies_hz;
  size_t high = size_t(std::lower_bound(f.begin(), f.end(), frequency_hz) - f.begin());
  high = std::clamp<size_t>(high, 1, f.size() - 1);
  const size_t low = high - 1;
  const double t = f.size() == 1 ? 0 : (frequency_hz - f[low]) / (f[high] - f[low]);
  SMatrix s(m.ports);
  for (int to = 1; to <= m.ports; ++to)
    for (int from = 1; from <= m.ports; ++from)
      s(to, from) = m.s[low](to, from) + t * (m.s[high](to, from) - m.s[low](to, from));
  return s;
}

DesignSummary SummarizeMeasurement(const Measurement& m, double f0_hz, const Limits& limits) {
  DesignSummary d;
  d.frequency_hz = f0_hz;
  d.limits = limits;
  const SMatrix s = MeasuredAt(m, f0_hz);
  d.s11 = s(1, 1), d.s21 = s(2, 1), d.s31 = s(3, 1), d.s32 = s(3, 2);
  if (m.ports >= 4) d.s41 = s(4, 1);
  d.figures = Figures(s, m.rule);
  d.phase_difference_degrees =
      std::isnan(d.figures.phase_error_deg) ? kNaN : PhaseDifferenceDegrees(s);
  d.best_match_hz = kNaN;
  double best = std::numeric_limits<double>::infinity();
  for (size_t i = 0; i < m.s.size(); ++i) {
    if (Norm(m.s[i](1, 1)) < best) best = Norm(m.s[i](1, 1)), d.best_match_hz = m.frequencies_hz[i];
  }
  std::vector<PointFigures> figures;
  for (const SMatrix& point : m.s) figures.push_back(Figures(point, m.rule));
  const auto& f = m.frequencies_hz;
  const size_t above = size_t(std::upper_bound(f.begin(), f.end(), f0_hz) - f.begin());
  std::optional<Band>* bands[] = {&d.bands.match, &d.bands.isolation, &d.bands.amplitude_balance,
                                  &d.bands.phase_balance, &d.bands.usable};
  for (int kind = 0; kind < 5; ++kind) {
    const double at_f0 = Margin(d.figures, limits, kind);
    if (!(at_f0 >= 0)) continue;
    Band band;
    // Walks from f0 outward while the limit holds; the edge is where the
    // margin, linear between two points, crosses zero.
    const auto walk = [&](int step, double& edge, bool& open) {
      double last_f = f0_hz, last_margin = at_f0;
      for (long i = step > 0 ? long(above) : long(above) - 1; i >= 0 && i < long(f.size());
           i += step) {
        if (f[size_t(i)] == f0_hz) continue;
        const double margin = Margin(figures[size_t(i)], limits, kind);
        if (!(margin >= 0)) {
          const double t = std::isnan(margin) ? 0 : last_margin / (last_margin - margin);
          edge = last_f + t * (f[size_t(i)] - last_f);
          return;
        }
        last_f = f[size_t(i)], last_margin = margin;
      }
      edge = last_f;
      open = true;
    };
    walk(+1, band.high_hz, band.high_open);
    walk(-1, band.low_hz, band.low_open);
    *bands[kind] = band;
  }
  return d;
}

}  // namespace rfsplitter
