#include "analysis/summary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace rfsplitter {
namespace {

// The band search steps out from the design frequency by this factor until
// every limit has failed, then halves each limit's last step: 24 halvings of
// a 0.25 % step leave about 1.5e-10 of the frequency, well below the six
// printed digits.
constexpr double kStep = 1.0025;
constexpr int kBisections = 24;
constexpr size_t kLimitCount = std::size(kAllLimits);

// The searches need the columns the checks read only.
constexpr auto kColumns = BoundNetlist::Columns::kFromPorts1And2;

double S11At(const BoundNetlist& circuit, double frequency_hz) {
  SMatrix s;
  return circuit.AnalyzeFromPorts1And2(frequency_hz, s) ? std::abs(s(1, 1)) : HUGE_VAL;
}

unsigned HoldingAt(const BoundNetlist& circuit, const LimitCheck& check, double frequency_hz) {
  SMatrix s;
  return circuit.AnalyzeFromPorts1And2(frequency_hz, s) ? check.Holding(s) : 0;
}

// The frequency of least |S11| in the sweep's range: the best sweep point,
// then a golden-section search between its neighbours (on a log scale).
double BestMatch(const BoundNetlist& circuit, double f0) {
  const std::vector<double> sweep = FileSweep(f0).Frequencies();
  std::vector<SMatrix> s(sweep.size());
  const std::unique_ptr<bool[]> analysed(new bool[sweep.size()]);
  circuit.AnalyzeMany(sweep, s, {analysed.get(), sweep.size()}, kColumns);
  size_t best = 0;
  double least = HUGE_VAL;
  for (size_t i = 0; i < sweep.size(); ++i) {
    const double v = analysed[i] ? std::abs(s[i](1, 1)) : HUGE_VAL;
    if (v < least) least = v, best = i;
  }
  double lo = std::log(sweep[best == 0 ? 0 : best - 1]);
  double hi = std::log(sweep[std::min(best + 1, sweep.size() - 1)]);
  const double ratio = (std::sqrt(5.0) - 1) / 2;
  double a = hi - ratio * (hi - lo);
  double b = lo + ratio * (hi - lo);
  double fa = S11At(circuit, std::exp(a));
  double fb = S11At(circuit, std::exp(b));
  for (int i = 0; i < 40; ++i) {
    if (fa < fb) {
      hi = b, b = a, fb = fa;
      a = hi - ratio * (hi - lo);
      fa = S11At(circuit, std::exp(a));
    } else {
      lo = a, a = b, fa = fb;
      b = lo + ratio * (hi - lo);
      fb = S11At(circuit, std::exp(b));
    }
  }
  const double found = std::exp((lo + hi) / 2);
  return S11At(circuit, found) <= least ? found : sweep[best];
}

// For each limit, the last frequency from `start` towards `limit` at which
// it still holds (it holds at `start`); `open` tells that it still held at
// `limit` itself. Limits that do not hold at `start` are left alone.
struct Edges {
  std::array<double, kLimitCount> edge{};
  std::array<bool, kLimitCount> open{};
};

Edges FindEdges(const BoundNetlist& circuit, const LimitCheck& check, double start, double limit,
                unsigned holding_at_start) {
  const double factor = limit > start ? kStep : 1 / kStep;
  Edges edges;
  std::array<double, kLimitCount> bad{};
  edges.edge.fill(start);
  unsigned alive = holding_at_start;
  // The steps go eight at a time through the lane solve; every limit is
  // followed on the same points.
  constexpr size_t kBatch = lanes::kLanes;
  for (double f = start; alive != 0;) {
    double batch[kBatch];
    size_t count = 0;
    bool at_limit = false;
    while (count < kBatch) {
      f *= factor;
      if ((factor > 1) ? f >= limit : f <= limit) {
        at_limit = true;
        break;
      }
      batch[count++] = f;
    }
    SMatrix s[kBatch];
    bool analysed[kBatch];
    circuit.AnalyzeMany({batch, count}, {s, count}, {analysed, count}, kColumns);
    for (size_t k = 0; k < count && alive != 0; ++k) {
      const unsigned holding = analysed[k] ? check.Holding(s[k]) : 0;
      for (size_t i = 0; i < kLimitCount; ++i) {
        const unsigned bit = 1u << i;
        if (!(alive & bit)) continue;
        if (holding & bit) {
          edges.edge[i] = batch[k];
        } else {
          bad[i] = batch[k];
          alive &= ~bit;
        }
      }
    }
    if (alive != 0 && at_limit) {
      const unsigned holding = HoldingAt(circuit, check, limit);
      for (size_t i = 0; i < kLimitCount; ++i) {
        const unsigned bit = 1u << i;
        if (!(alive & bit)) continue;
        if (holding & bit) {
          edges.edge[i] = limit;
          edges.open[i] = true;
        } else {
          bad[i] = limit;
        }
      }
      alive = 0;
    }
  }
  for (size_t i = 0; i < kLimitCount; ++i) {
    const unsigned bit = 1u << i;
    if (!(holding_at_start & bit) || edges.open[i]) continue;
    double good = edges.edge[i];
    for (int step = 0; step < kBisections; ++step) {
      const double middle = std::sqrt(good * bad[i]);
      ((HoldingAt(circuit, check, middle) & bit) ? good : bad[i]) = middle;
    }
    edges.edge[i] = good;
  }
  return edges;
}

}  // namespace

const std::optional<Band>& Bands::Of(LimitKind kind) const {
  switch (kind) {
    case LimitKind::kMatch:
      return match;
    case LimitKind::kIsolation:
      return isolation;
    case LimitKind::kAmplitudeBalance:
      return amplitude_balance;
    case LimitKind::kPhaseBalance:
      return phase_balance;
  }
  return usable;
}

std::optional<DesignSummary> Summarize(const Netlist& netlist, const Limits& limits,
                                       std::string& error) {
  const double f0 = netlist.frequency_hz;
  const SResult result = AnalyzeNetlist(netlist, f0);
  if (!result.s) {
    error = result.error;
    return std::nullopt;
  }
  const BoundNetlist circuit(netlist);
  const SMatrix& s = *result.s;
  DesignSummary summary;
  summary.frequency_hz = f0;
  summary.s21 = s(2, 1);
  summary.s31 = s(3, 1);
  summary.s11 = s(1, 1);
  summary.s32 = s(3, 2);
  const FigureRule rule = RuleOf(netlist.form);
  if (rule.port4_isolated) summary.s41 = s(4, 1);
  for (int j = 4; j <= rule.outputs + 1; ++j) summary.more_outputs.push_back(s(j, 1));
  summary.phase_difference_degrees = PhaseDifferenceDegrees(s);
  summary.figures = FiguresOf(s, rule);
  summary.best_match_hz = BestMatch(circuit, f0);
  summary.limits = limits;

  const LimitCheck check(limits, rule);
  const unsigned holding = check.Holding(s);
  const Sweep range = FileSweep(f0);
  const Edges low = FindEdges(circuit, check, f0, range.low_hz, holding);
  const Edges high = FindEdges(circuit, check, f0, range.high_hz, holding);
  std::optional<Band>* bands[kLimitCount] = {&summary.bands.match, &summary.bands.isolation,
                                             &summary.bands.amplitude_balance,
                                             &summary.bands.phase_balance};
  for (size_t i = 0; i < kLimitCount; ++i) {
    if (!(holding & (1u << i))) continue;
    *bands[i] = Band{low.edge[i], high.edge[i], low.open[i], high.open[i]};
  }
  if (holding == LimitCheck::kAll) {
    // The usable band ends where the first limit fails on either side.
    Band usable = **bands[0];
    for (size_t i = 1; i < kLimitCount; ++i) {
      const Band& b = **bands[i];
      if (b.low_hz > usable.low_hz || (b.low_hz == usable.low_hz && !b.low_open)) {
        usable.low_hz = b.low_hz, usable.low_open = b.low_open;
      }
      if (b.high_hz < usable.high_hz || (b.high_hz == usable.high_hz && !b.high_open)) {
        usable.high_hz = b.high_hz, usable.high_open = b.high_open;
      }
    }
    summary.bands.usable = usable;
  }
  return summary;
}

}  // namespace rfsplitter
