#include "tolerance/monte_carlo.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <numbers>
#include <thread>

#include "analysis/s_parameters.h"
#include "analysis/summary.h"
#include "engine/number_text.h"
#include "parts/series.h"
#include "tolerance/rank_select.h"

namespace rfsplitter {
namespace {

// SplitMix64 (Steele, Lea and Flood, 2014): a tiny generator whose output
// for each board depends only on the seed and the board's number.
class BoardRandom {
 public:
  BoardRandom(uint64_t seed, uint64_t board)
      : state_(seed * kGamma ^ (board + 1) * 0xd1b54a32d192ed03ULL) {
    Next();
  }
  // A uniform number in [0, 1) with 53 random bits.
  double Uniform() { return double(Next() >> 11) * 0x1.0p-53; }
  // Moves on as `count` calls of Uniform would: the stream is a counter.
  void Skip(uint64_t count) { state_ += count * kGamma; }

 private:
  static constexpr uint64_t kGamma = 0x9e3779b97f4a7c15ULL;
  uint64_t Next() {
    uint64_t z = (state_ += kGamma);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  uint64_t state_;
};

// Where a part lands within its tolerance, as a fraction in [-1, 1]. Two
// uniforms a part whatever the distribution, so every part keeps its place
// in the board's stream.
constexpr int kUniformsAPart = 2;
double Offset(BoardRandom& random, Distribution distribution) {
  const double u1 = random.Uniform();
  const double u2 = random.Uniform();
  if (distribution == Distribution::kUniform) return 2 * u1 - 1;
  // Box-Muller; sigma = T / 3, clipped at +-T.
  const double z = std::sqrt(-2 * std::log(1 - u1)) * std::cos(2 * std::numbers::pi * u2);
  return std::clamp(z / 3, -1.0, 1.0);
}

double PhaseError(const SMatrix& s) {
  const double difference = PhaseDifferenceDegrees(s);
  return s.ports() == 4 ? std::abs(difference) - 90 : difference;
}

double ImbalanceDb(const SMatrix& s) {
  return std::abs(MagnitudeDb(s(2, 1)) - MagnitudeDb(s(3, 1)));
}

// The pass limits as powers, so that a board's check needs no logarithm:
// 10 log10 |S|^2 <= L exactly when |S|^2 <= 10^(L / 10), and the imbalance
// limit bounds the ratio of the outputs' powers. Only a board that meets
// them all has its phase difference measured.
class LimitCheck {
 public:
  explicit LimitCheck(const YieldLimits& limits)
      : match_(Power(limits.match_db)),
        isolation_(Power(limits.isolation_db)),
        imbalance_(Power(limits.imbalance_db)),
        phase_deg_(limits.phase_deg) {}

  bool Passes(Complex s11, Complex s21, Complex s31, Complex s32,
              std::optional<Complex> s41) const {
    if (Norm(s11) > match_ || Norm(s32) > isolation_) return false;
    if (s41 && Norm(*s41) > isolation_) return false;
    const double p21 = Norm(s21), p31 = Norm(s31);
    if (!(p21 > 0 && p31 > 0 && p21 <= imbalance_ * p31 && p31 <= imbalance_ * p21)) {
      return false;
    }
    SMatrix s(s41 ? 4 : 3);
    s(2, 1) = s21, s(3, 1) = s31;
    return std::abs(PhaseError(s)) <= phase_deg_;
  }

 private:
  static double Power(double db) { return std::pow(10.0, db / 10); }
  static double Norm(Complex z) { return z.real() * z.real() + z.imag() * z.imag(); }
  double match_, isolation_, imbalance_, phase_deg_;
};

constexpr int kMetrics = 6;  // s11, s32, s41, imbalance, phase error, insertion loss
constexpr const char* kMetricNames[kMetrics] = {
    "s11_db", "s32_db", "s41_db", "imbalance_db", "phase_error_deg", "insertion_loss_db"};
constexpr int kSpreadMetrics = 5;  // s21, s31, s32, s11, phase difference

// The spread's percentiles come from ranks, and ranks survive any strictly
// increasing map; so a board's sweep is stored as cheap keys in the same
// order as the values plotted, and only the few chosen keys are turned into
// dB and degrees. This leaves out two logarithms and two arc tangents a
// point and board (most of the spread's cost).
//
// The magnitudes' key is |S|^2. The phase difference's is the "diamond
// angle" of S31 conj(S21): the point's position along the square
// |x| + |y| = 1, which grows with the angle, here over (-2, 2] for (-180,
// 180] degrees.
float DiamondAngle(double x, double y) {
  if (x == 0 && y == 0) return 0;
  double q;
  if (y >= 0) {
    q = x >= 0 ? y / (x + y) : 1 - x / (y - x);
  } else {
    q = x < 0 ? 2 - y / (-x - y) : 3 + x / (x - y);
  }
  return float(q > 2 ? q - 4 : q);
}

// The angle in degrees back from a diamond angle: the point on the square,
// then its arc tangent.
double DegreesOfDiamondAngle(double p) {
  const double q = p < 0 ? p + 4 : p;
  double x, y;
  if (q < 1) {
    x = 1 - q, y = q;
  } else if (q < 2) {
    x = 1 - q, y = 2 - q;
  } else if (q < 3) {
    x = q - 3, y = 2 - q;
  } else {
    x = q - 3, y = q - 4;
  }
  return std::atan2(y, x) * 180 / std::numbers::pi;
}

void SpreadKeys(bool analysed, const BoardLanes& boards, int k, float* keys) {
  if (!analysed) {
    std::fill(keys, keys + kSpreadMetrics, NAN);
    return;
  }
  const auto norm = [](Complex z) { return float(z.real() * z.real() + z.imag() * z.imag()); };
  keys[0] = norm(boards.S(k, 2, 1));
  keys[1] = norm(boards.S(k, 3, 1));
  keys[2] = norm(boards.S(k, 3, 2));
  keys[3] = norm(boards.S(k, 1, 1));
  const Complex a = boards.S(k, 3, 1), b = boards.S(k, 2, 1);
  keys[4] = DiamondAngle(a.real() * b.real() + a.imag() * b.imag(),
                         a.imag() * b.real() - a.real() * b.imag());
}

double SpreadValue(int metric, float key) {
  if (std::isnan(key)) return NAN;
  return metric < 4 ? 10 * std::log10(double(key)) : DegreesOfDiamondAngle(key);
}

// One Monte Carlo pass over `samples` boards.
class Sampler {
 public:
  Sampler(const Netlist& nominal, const MonteCarloSettings& settings)
      : nominal_(nominal),
        bound_(nominal),
        settings_(settings),
        w0_(2 * std::numbers::pi * nominal.frequency_hz) {
    for (const NetlistElement& e : nominal.elements) {
      amounts_.push_back(settings.ToleranceOf(e.kind).For(e.value));
    }
    const double f0 = nominal.frequency_hz;
    check_frequencies_.push_back(f0);
    if (settings.limits.band_percent > 0) {
      const double half = settings.limits.band_percent / 200;
      for (int i = 0; i < 21; ++i) {
        if (i != 10) check_frequencies_.push_back(f0 * (1 - half + 2 * half * i / 20));
      }
    }
    threads_ = settings.threads > 0 ? settings.threads
                                    : std::max(1, int(std::thread::hardware_concurrency()));
  }

  const std::vector<double>& amounts() const { return amounts_; }

  // Runs `samples` boards in which only the parts with a non-zero amount in
  // `amounts` vary; fills pass flags and, when asked, metrics and the
  // spread's keys (see SpreadKeys), metric by metric and point by point,
  // `spread_samples` boards to a row.
  int Run(int samples, const std::vector<double>& amounts, std::vector<double>* metrics,
          int spread_samples, float* spread, int threads_at_most = 0) const {
    std::vector<char> passed(size_t(samples), 0);
    if (metrics) metrics->assign(size_t(samples) * kMetrics, 0);
    const std::vector<double> sweep =
        spread_samples > 0 ? SweepFrequencies(nominal_.frequency_hz) : std::vector<double>{};
    // Eight boards at a time, one to a vector lane; each board's numbers do
    // not depend on its lane, its group or its thread.
    const auto work = [&](int first, int last) {
      BoardLanes boards(bound_);
      SetCentres(boards);
      const LimitCheck check(settings_.limits);
      const bool four = nominal_.ports == 4;
      SMatrix s;
      for (int group = first; group < last; group += BoardLanes::kBoards) {
        const int count = std::min(BoardLanes::kBoards, last - group);
        for (int k = 0; k < BoardLanes::kBoards; ++k) {
          // Spare lanes repeat the group's last board.
          Draw(boards, k, amounts, uint64_t(group + std::min(k, count - 1)));
        }
        unsigned passing = (1u << count) - 1;
        for (size_t i = 0; i < check_frequencies_.size() && passing; ++i) {
          const unsigned analysed =
              boards.Analyze(check_frequencies_[i], BoundNetlist::Columns::kFromPorts1And2);
          for (int k = 0; k < count; ++k) {
            const unsigned bit = 1u << k;
            if (!(passing & bit)) continue;
            if (!(analysed & bit) ||
                !check.Passes(boards.S(k, 1, 1), boards.S(k, 2, 1), boards.S(k, 3, 1),
                              boards.S(k, 3, 2),
                              four ? std::optional(boards.S(k, 4, 1)) : std::nullopt)) {
              passing &= ~bit;
            }
            // The metrics are those of the design frequency, the first checked.
            if (i == 0 && metrics) {
              boards.Get(k, s);
              Measure(analysed & bit, s, metrics->data() + size_t(group + k) * kMetrics);
            }
          }
        }
        for (int k = 0; k < count; ++k) passed[size_t(group + k)] = (passing >> k) & 1;
        if (!spread || group >= spread_samples) continue;
        const int spread_count = std::min(count, spread_samples - group);
        for (size_t p = 0; p < sweep.size(); ++p) {
          const unsigned analysed =
              boards.Analyze(sweep[p], BoundNetlist::Columns::kFromPorts1And2);
          for (int k = 0; k < spread_count; ++k) {
            float keys[kSpreadMetrics];
            SpreadKeys(analysed & (1u << k), boards, k, keys);
            for (int m = 0; m < kSpreadMetrics; ++m) {
              spread[(size_t(m) * kSweepPoints + p) * size_t(spread_samples) + size_t(group + k)] =
                  keys[m];
            }
          }
        }
      }
    };
    const int threads =
        std::min(threads_at_most > 0 ? threads_at_most : threads_, std::max(1, samples / 64));
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) {
      pool.emplace_back(work, int(int64_t(samples) * t / threads),
                        int(int64_t(samples) * (t + 1) / threads));
    }
    work(0, int(int64_t(samples) / threads));
    for (std::thread& thread : pool) thread.join();
    return int(std::count(passed.begin(), passed.end(), 1));
  }

  int threads() const { return threads_; }

 private:
  // A part's series loss at a value: from the Q given, or the built one.
  double LossOf(const NetlistElement& e, double value) const {
    if (e.kind == ElementKind::kInductor && settings_.q_inductor > 0) {
      return w0_ * value / settings_.q_inductor;
    }
    if (e.kind == ElementKind::kCapacitor && settings_.q_capacitor > 0) {
      return 1 / (w0_ * value * settings_.q_capacitor);
    }
    return e.loss_ohms;
  }

  // Every part of every lane at its centre: where the parts that do not
  // vary stay.
  void SetCentres(BoardLanes& boards) const {
    for (int lane = 0; lane < BoardLanes::kBoards; ++lane) {
      for (size_t i = 0; i < nominal_.elements.size(); ++i) {
        const NetlistElement& e = nominal_.elements[i];
        boards.SetElement(lane, int(i), e.value, LossOf(e, e.value));
      }
    }
  }

  // Board `number`'s parts that vary, into `lane`. A part that does not
  // vary still takes its place in the board's stream (skipped, not drawn),
  // so that a part's value on a board is the same in every run.
  void Draw(BoardLanes& boards, int lane, const std::vector<double>& amounts,
            uint64_t number) const {
    BoardRandom random(settings_.seed, number);
    for (size_t i = 0; i < nominal_.elements.size(); ++i) {
      if (amounts[i] == 0) {
        random.Skip(kUniformsAPart);
        continue;
      }
      const NetlistElement& e = nominal_.elements[i];
      const double offset = Offset(random, settings_.distribution);
      // A part never reaches zero, even at a tolerance of 100 %.
      const double value = std::max(e.value + offset * amounts[i], e.value * 1e-9);
      boards.SetElement(lane, int(i), value, LossOf(e, value));
    }
  }

  static void Measure(bool analysed, const SMatrix& s, double* out) {
    if (!analysed) {
      std::fill(out, out + kMetrics, NAN);
      return;
    }
    out[0] = MagnitudeDb(s(1, 1));
    out[1] = MagnitudeDb(s(3, 2));
    out[2] = s.ports() == 4 ? MagnitudeDb(s(4, 1)) : NAN;
    out[3] = ImbalanceDb(s);
    out[4] = PhaseError(s);
    out[5] = InsertionLossDb(s);
  }

  const Netlist& nominal_;
  const BoundNetlist bound_;
  const MonteCarloSettings& settings_;
  double w0_;
  std::vector<double> amounts_;
  std::vector<double> check_frequencies_;
  int threads_ = 1;
};

// The 5 %, 50 % and 95 % points of `values` (NaNs, from boards that could
// not be analysed, left out), by the nearest rank. Each rank is looked for
// in the part below the one above it.
Percentiles PercentilesOf(std::vector<double> values) {
  values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }),
               values.end());
  if (values.empty()) return {NAN, NAN, NAN};
  const auto at = [&](double q) {
    return values.begin() + std::lround(q * double(values.size() - 1));
  };
  const auto p95 = at(0.95), p50 = at(0.5), p5 = at(0.05);
  std::nth_element(values.begin(), p95, values.end());
  std::nth_element(values.begin(), p50, p95);
  std::nth_element(values.begin(), p5, p50);
  return {*p5, *p50, *p95};
}

// The spread's keys: 40 MB for 10,000 boards. Not cleared (every key is
// written before it is read) and, where the system offers it, in 2 MB pages:
// the first touch of each 4 kB page is otherwise a fault of its own, some
// 10,000 of them, a noticeable share of the run.
class SpreadBuffer {
 public:
  explicit SpreadBuffer(size_t count) {
    if (count == 0) return;
    size_t bytes = count * sizeof(float);
#ifdef __linux__
    constexpr size_t kHugePage = size_t{2} << 20;
    bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    data_ = static_cast<float*>(std::aligned_alloc(kHugePage, bytes));
    if (data_) madvise(data_, bytes, MADV_HUGEPAGE);
#else
    data_ = static_cast<float*>(std::malloc(bytes));
#endif
    if (!data_) throw std::bad_alloc();
  }
  ~SpreadBuffer() { std::free(data_); }
  SpreadBuffer(const SpreadBuffer&) = delete;
  SpreadBuffer& operator=(const SpreadBuffer&) = delete;
  float* get() const { return data_; }

 private:
  float* data_ = nullptr;
};

// The 5 % and 95 % bands over the sweep from the boards' keys, the rows
// shared among `threads`. NaNs are moved to the rows' ends.
SweepSpread Spread(float* keys, int samples, int threads) {
  constexpr int kRows = kSpreadMetrics * kSweepPoints;
  std::vector<double> low(kRows), high(kRows);
  const auto work = [&](int first, int last) {
    RankSelector selector;
    for (int row = first; row < last; ++row) {
      float* begin = keys + size_t(row) * size_t(samples);
      // Boards that could not be analysed have no rank.
      float* end = std::remove_if(begin, begin + samples, [](float v) { return std::isnan(v); });
      const size_t n = size_t(end - begin);
      if (n == 0) {
        low[size_t(row)] = high[size_t(row)] = NAN;
        continue;
      }
      const auto [at_low, at_high] =
          selector.Select(begin, n, size_t(std::lround(0.05 * double(n - 1))),
                          size_t(std::lround(0.95 * double(n - 1))));
      const int metric = row / kSweepPoints;
      low[size_t(row)] = SpreadValue(metric, at_low);
      high[size_t(row)] = SpreadValue(metric, at_high);
    }
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t)
    pool.emplace_back(work, kRows * t / threads, kRows * (t + 1) / threads);
  work(0, kRows / threads);
  for (std::thread& thread : pool) thread.join();

  SweepSpread spread;
  SweepSpread::Band* bands[kSpreadMetrics] = {&spread.s21_db, &spread.s31_db, &spread.s32_db,
                                              &spread.s11_db, &spread.phase_difference_deg};
  for (int m = 0; m < kSpreadMetrics; ++m) {
    const auto from = size_t(m) * kSweepPoints;
    bands[m]->low.assign(low.begin() + std::ptrdiff_t(from),
                         low.begin() + std::ptrdiff_t(from + kSweepPoints));
    bands[m]->high.assign(high.begin() + std::ptrdiff_t(from),
                          high.begin() + std::ptrdiff_t(from + kSweepPoints));
  }
  return spread;
}

// The grades tolerances are sold in, tightest last.
std::optional<Tolerance> OneGradeTighter(const Tolerance& t, ElementKind kind) {
  std::vector<double> grades;
  if (t.relative) {
    grades = {0.2, 0.1, 0.05, 0.02, 0.01, 0.005, 0.0025, 0.001};
  } else if (kind == ElementKind::kCapacitor) {
    grades = {1e-12, 0.5e-12, 0.25e-12, 0.1e-12, 0.05e-12, 0.02e-12};
  } else {
    grades = {10e-9, 5e-9, 2e-9, 1e-9, 0.5e-9, 0.2e-9, 0.1e-9};
  }
  for (const double g : grades) {
    if (g < t.value * (1 - 1e-9)) return Tolerance{g, t.relative};
  }
  return std::nullopt;
}

}  // namespace

const Tolerance& MonteCarloSettings::ToleranceOf(ElementKind kind) const {
  return kind == ElementKind::kInductor    ? inductor
         : kind == ElementKind::kCapacitor ? capacitor
                                           : resistor;
}

std::optional<Tolerance> ParseTolerance(std::string_view text, ElementKind kind,
                                        std::string& error) {
  double number = 0;
  const auto [end, code] =
      std::from_chars(text.data(), text.data() + text.size(), number, std::chars_format::fixed);
  std::string_view rest(end, size_t(text.data() + text.size() - end));
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (code != std::errc() || !std::isfinite(number)) {
    error = "is not a tolerance (5%, or for inductors and capacitors 0.1p, 0.2n)";
    return std::nullopt;
  }
  if (number < 0) {
    error = "is negative";
    return std::nullopt;
  }
  if (rest == "%") {
    if (number > 100) {
      error = "is more than 100 %";
      return std::nullopt;
    }
    return Tolerance{number / 100, true};
  }
  if (rest.empty() && number == 0) return Tolerance{0, true};
  if (kind == ElementKind::kResistor) {
    error = "must be a percentage for resistors";
    return std::nullopt;
  }
  const std::string unit(UnitOf(kind));
  const struct {
    const char* text;
    double scale;
  } prefixes[] = {{"f", 1e-15}, {"p", 1e-12}, {"n", 1e-9}, {"u", 1e-6}};
  for (const auto& p : prefixes) {
    if (rest == p.text || rest == std::string(p.text) + unit)
      return Tolerance{number * p.scale, false};
  }
  error = "is not a tolerance (5%, or for inductors and capacitors 0.1p, 0.2n)";
  return std::nullopt;
}

std::string ToleranceText(const Tolerance& t, ElementKind kind) {
  if (t.relative) return GeneralText(100 * t.value, 6) + " %";
  return ValueWithUnit(t.value, kind);
}

std::string_view DistributionName(Distribution distribution) {
  return distribution == Distribution::kUniform ? "uniform" : "normal";
}

bool MeetsLimits(const SMatrix& s, const YieldLimits& limits) {
  return LimitCheck(limits).Passes(s(1, 1), s(2, 1), s(3, 1), s(3, 2),
                                   s.ports() == 4 ? std::optional(s(4, 1)) : std::nullopt);
}

std::pair<double, double> WilsonInterval(int passed, int samples) {
  // Wilson (1927): the score interval, sound near 0 % and 100 % too.
  const double z = 1.959963984540054;
  const double n = samples;
  const double p = passed / n;
  const double denominator = 1 + z * z / n;
  const double centre = (p + z * z / (2 * n)) / denominator;
  const double half = z / denominator * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n));
  return {100 * std::max(0.0, centre - half), 100 * std::min(1.0, centre + half)};
}

MonteCarloResult RunMonteCarlo(const Netlist& nominal, const MonteCarloSettings& settings) {
  const Sampler sampler(nominal, settings);
  MonteCarloResult result;
  result.samples = settings.samples;
  result.seed = settings.seed;
  result.distribution = settings.distribution;

  result.nominal_passes =
      sampler.Run(1, std::vector<double>(nominal.elements.size(), 0), nullptr, 0, nullptr) == 1;
  std::vector<double> metrics;
  const int spread_samples = std::min(settings.spread_samples, settings.samples);
  SpreadBuffer spread(size_t(spread_samples) * kSweepPoints * kSpreadMetrics);
  result.passed =
      sampler.Run(settings.samples, sampler.amounts(), &metrics, spread_samples, spread.get());
  result.yield_percent = 100.0 * result.passed / settings.samples;
  std::tie(result.ci95_low, result.ci95_high) = WilsonInterval(result.passed, settings.samples);

  for (int m = 0; m < kMetrics; ++m) {
    if (m == 2 && nominal.ports != 4) continue;
    std::vector<double> values(size_t(settings.samples));
    for (size_t b = 0; b < values.size(); ++b) values[b] = metrics[b * kMetrics + size_t(m)];
    result.percentiles.emplace_back(kMetricNames[m], PercentilesOf(std::move(values)));
  }

  // Each part alone: the others sit at their nominal values.
  const int alone_samples = std::min(settings.samples, settings.sensitivity_samples);
  const std::vector<double>& amounts = sampler.amounts();
  // The parts go to the cores one at a time, each part's boards on one core.
  // A part without a tolerance leaves every board at the nominal circuit.
  std::vector<int> alone_passed(nominal.elements.size());
  std::atomic<size_t> next_part = 0;
  const auto alone = [&] {
    for (size_t i; (i = next_part++) < alone_passed.size();) {
      if (amounts[i] == 0) {
        alone_passed[i] = result.nominal_passes ? alone_samples : 0;
        continue;
      }
      std::vector<double> only(amounts.size(), 0);
      only[i] = amounts[i];
      alone_passed[i] = sampler.Run(alone_samples, only, nullptr, 0, nullptr, 1);
    }
  };
  {
    std::vector<std::jthread> pool;
    for (int t = 1; t < sampler.threads(); ++t) pool.emplace_back(alone);
    alone();
  }
  for (size_t i = 0; i < nominal.elements.size(); ++i) {
    result.sensitivity.push_back(
        {std::string(nominal.elements[i].name), 100.0 * alone_passed[i] / alone_samples});
  }
  std::stable_sort(
      result.sensitivity.begin(), result.sensitivity.end(),
      [](const auto& a, const auto& b) { return a.yield_percent_alone < b.yield_percent_alone; });

  // The most harmful part that has a tolerance, one grade tighter.
  for (const auto& part : result.sensitivity) {
    const NetlistElement* e = nominal.Find(part.part);
    const size_t index = size_t(e - nominal.elements.data());
    if (amounts[index] == 0) continue;
    result.harmful_part = part.part;
    result.harmful_kind = e->kind;
    result.tighter = OneGradeTighter(settings.ToleranceOf(e->kind), e->kind);
    if (result.tighter) {
      std::vector<double> tighter = amounts;
      tighter[index] = result.tighter->For(e->value);
      const int passed = sampler.Run(alone_samples, tighter, nullptr, 0, nullptr);
      result.tighter_yield_percent = 100.0 * passed / alone_samples;
    }
    break;
  }

  if (spread_samples > 0) result.spread = Spread(spread.get(), spread_samples, sampler.threads());
  return result;
}

std::string MonteCarloText(const Netlist& nominal, const MonteCarloSettings& settings,
                           const MonteCarloResult& r) {
  const auto percent = [](double v) { return FixedText(v, 2) + " %"; };
  std::string text = "Monte Carlo: " + std::to_string(r.samples) + " boards, seed " +
                     std::to_string(r.seed) + ", " + std::string(DistributionName(r.distribution)) +
                     "; tolerances L +-" +
                     ToleranceText(settings.inductor, ElementKind::kInductor) + ", C +-" +
                     ToleranceText(settings.capacitor, ElementKind::kCapacitor) + ", R +-" +
                     ToleranceText(settings.resistor, ElementKind::kResistor) + "\n";
  const YieldLimits& l = settings.limits;
  text += "  Pass: |S11| <= " + GeneralText(l.match_db, 6) +
          " dB, isolation <= " + GeneralText(l.isolation_db, 6) +
          " dB, imbalance <= " + GeneralText(l.imbalance_db, 6) + " dB, phase within " +
          GeneralText(l.phase_deg, 6) + " deg of " + (nominal.ports == 4 ? "90" : "0") + ", at " +
          NumberText(nominal.inputs.frequency_mhz) + " MHz";
  if (l.band_percent > 0) text += " and across a " + GeneralText(l.band_percent, 6) + " % band";
  text += "\n";
  text += "  Yield " + percent(r.yield_percent) + " (" + std::to_string(r.passed) + " of " +
          std::to_string(r.samples) + "; 95 % interval " + FixedText(r.ci95_low, 2) + " to " +
          percent(r.ci95_high) + ")\n";
  text += "  At f0                            p5         p50         p95\n";
  for (const auto& [name, p] : r.percentiles) {
    std::string label = "  " + name;
    label.resize(28, ' ');
    text += label + RightAligned(FixedText(p.p5, 3), 12) + RightAligned(FixedText(p.p50, 3), 12) +
            RightAligned(FixedText(p.p95, 3), 12) + "\n";
  }
  if (!r.nominal_passes) {
    text +=
        "  The circuit at its nominal values misses these limits: the boards that pass\n"
        "  do so by their parts' deviations, and a part's yield alone shows which\n"
        "  deviations help.\n";
  }
  text += "  Yield with only one part varying, most harmful first:\n";
  for (const auto& part : r.sensitivity) {
    std::string label = "    " + part.part;
    label.resize(10, ' ');
    text += label + RightAligned(percent(part.yield_percent_alone), 9) + "\n";
  }
  if (r.harmful_part && r.tighter) {
    text += "  Most harmful: " + *r.harmful_part + " (+-" +
            ToleranceText(settings.ToleranceOf(r.harmful_kind), r.harmful_kind) + "); at +-" +
            ToleranceText(*r.tighter, r.harmful_kind) + " the yield would be " +
            percent(r.tighter_yield_percent) + "\n";
  } else if (r.harmful_part) {
    text += "  Most harmful: " + *r.harmful_part + "\n";
  }
  return text;
}

}  // namespace rfsplitter
