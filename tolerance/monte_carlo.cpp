#include "tolerance/monte_carlo.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>
#include <numbers>
#include <system_error>
#include <thread>

#include "engine/number_text.h"
#include "engine/si_value.h"
#include "tolerance/rank_select.h"

namespace rfsplitter {
namespace {

// SplitMix64 (Steele, Lea and Flood, 2014): a tiny generator whose output
// for each board depends only on the seed and the board's number.
class BoardRandom {
 public:
  BoardRandom() = default;
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
  uint64_t state_ = 0;
};

// Where a part lands within its tolerance, as a fraction in [-1, 1]. Two
// uniforms a part whatever the distribution, so every part keeps its place
// in the board's stream.
constexpr int kUniformsAPart = 2;
[[gnu::noinline]] double NormalOffset(double u1, BoardRandom& random) {
  const double u2 = random.Uniform();
  // Box-Muller; sigma = T / 3, clipped at +-T.
  const double z = std::sqrt(-2 * std::log(1 - u1)) * std::cos(2 * std::numbers::pi * u2);
  return std::clamp(z / 3, -1.0, 1.0);
}
// The uniform case stays inline in the board loop, the normal one apart.
inline double Offset(BoardRandom& random, Distribution distribution) {
  const double u1 = random.Uniform();
  if (distribution == Distribution::kUniform) {
    random.Skip(1);
    return 2 * u1 - 1;
  }
  return NormalOffset(u1, random);
}

// Percentiles and spreads come from ranks, and ranks survive any strictly
// increasing map; so a board keeps each figure as a cheap key in the same
// order as the figure (a float made into an ordered integer, see
// rank_select.h), and only the few chosen keys are turned into dB and
// degrees. This leaves out every logarithm and arc tangent of a board.
//
// A magnitude's key is |S|^2. A phase difference's is the "diamond angle" of
// S31 conj(S21): the point's position along the square |x| + |y| = 1, which
// grows with the angle, here over (-2, 2] for (-180, 180] degrees.
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

// |S|^2 as a key, kept above the smallest float so that no board's key
// becomes -infinity dB.
uint32_t PowerKey(Complex z) { return OrderedKey(std::max(float(Norm(z)), 1e-38f)); }
double DbOfPowerKey(uint32_t key) { return 10 * std::log10(double(FloatOfKey(key))); }

float PhaseKeyOf(Complex s21, Complex s31) {
  return DiamondAngle(s31.real() * s21.real() + s31.imag() * s21.imag(),
                      s31.imag() * s21.real() - s31.real() * s21.imag());
}

// The figures at the design frequency, as in FiguresOf (analysis/limits.h).
constexpr int kMetrics = 6;
constexpr const char* kMetricNames[kMetrics] = {
    "s11_db", "s32_db", "s41_db", "imbalance_db", "phase_error_deg", "insertion_loss_db"};

// The figures of a splitter of more than two ways, from the board's whole
// S: the worst isolation between outputs, the ratio of the most to the
// least output power, the phase key of the output farthest from port 2's.
struct WideKeys {
  float isolation, ratio, phase, power;
};
WideKeys WideKeysOf(const BoardLanes& boards, int k, const FigureRule& rule) {
  SMatrix s;
  boards.Get(k, s);
  WideKeys w{0, 0, 0, 0};
  double most = 0, least = HUGE_VAL, power = 0;
  for (int j = 2; j <= rule.outputs + 1; ++j) {
    const double p = Norm(s(j, 1));
    most = std::max(most, p), least = std::min(least, p), power += p;
    const float phase = PhaseKeyOf(s(2, 1), s(j, 1));
    if (std::abs(phase) > std::abs(w.phase)) w.phase = phase;
    for (int i = 2; i < j; ++i) w.isolation = std::max(w.isolation, float(Norm(s(j, i))));
  }
  w.ratio = float(most / least);
  w.power = float(power);
  return w;
}

void MetricKeys(const BoardLanes& boards, int k, const FigureRule& rule, uint32_t* keys,
                size_t stride) {
  keys[0] = PowerKey(boards.S(k, 1, 1));
  keys[2 * stride] = rule.port4_isolated ? PowerKey(boards.S(k, 4, 1)) : kMissingKey;
  if (rule.outputs > 2) {
    const WideKeys w = WideKeysOf(boards, k, rule);
    keys[stride] = OrderedKey(std::max(w.isolation, 1e-38f));
    keys[3 * stride] = OrderedKey(w.ratio);
    keys[4 * stride] = OrderedKey(w.phase);
    keys[5 * stride] = OrderedKey(-w.power);
    return;
  }
  const Complex s21 = boards.S(k, 2, 1), s31 = boards.S(k, 3, 1);
  keys[stride] = PowerKey(boards.S(k, 3, 2));
  // The imbalance grows with the ratio of the larger output power to the
  // smaller, port 3's as if the split were even.
  const double p21 = Norm(s21), p31 = Norm(s31) * std::pow(10.0, rule.split_db / 10);
  keys[3 * stride] = OrderedKey(float(std::max(p21, p31) / std::min(p21, p31)));
  // A hybrid's phase error |t| - 90 grows with |t|.
  const float phase = PhaseKeyOf(s21, s31);
  keys[4 * stride] = OrderedKey(rule.quadrature ? std::abs(phase) : phase);
  // The loss falls as the outputs' power grows.
  keys[5 * stride] = OrderedKey(float(-(Norm(s21) + Norm(s31))));
}

double MetricValue(int metric, uint32_t key, const FigureRule& rule) {
  if (key == kMissingKey) return NAN;
  const double v = FloatOfKey(key);
  switch (metric) {
    case 0:
    case 1:
    case 2:
      return DbOfPowerKey(key);
    case 3:
      return 10 * std::log10(v);
    case 4:
      return rule.quadrature ? DegreesOfDiamondAngle(v) - 90 : DegreesOfDiamondAngle(v);
    default:
      return -10 * std::log10(-v);
  }
}

// s21, s31, s32, s41, s11, phase error, imbalance: the curves of the plot.
constexpr int kSpreadMetrics = 7;

void SpreadKeys(const BoardLanes& boards, int k, const FigureRule& rule, uint32_t* keys,
                size_t stride) {
  const Complex s21 = boards.S(k, 2, 1), s31 = boards.S(k, 3, 1);
  keys[0] = PowerKey(s21);
  keys[stride] = PowerKey(s31);
  keys[3 * stride] = rule.port4_isolated ? PowerKey(boards.S(k, 4, 1)) : kMissingKey;
  keys[4 * stride] = PowerKey(boards.S(k, 1, 1));
  if (rule.outputs > 2) {
    const WideKeys w = WideKeysOf(boards, k, rule);
    keys[2 * stride] = OrderedKey(std::max(w.isolation, 1e-38f));
    keys[5 * stride] = OrderedKey(w.phase);
    keys[6 * stride] = OrderedKey(w.ratio);
    return;
  }
  keys[2 * stride] = PowerKey(boards.S(k, 3, 2));
  const float phase = PhaseKeyOf(s21, s31);
  keys[5 * stride] = OrderedKey(rule.quadrature ? std::abs(phase) : phase);
  // Signed about the asked split.
  keys[6 * stride] =
      OrderedKey(float(Norm(s21) / (Norm(s31) * std::pow(10.0, rule.split_db / 10))));
}

double SpreadValue(int metric, uint32_t key, const FigureRule& rule) {
  if (key == kMissingKey) return NAN;
  if (metric < 5) return DbOfPowerKey(key);
  const double v = FloatOfKey(key);
  if (metric == 6) return 10 * std::log10(v);
  return rule.quadrature ? DegreesOfDiamondAngle(v) - 90 : DegreesOfDiamondAngle(v);
}

// Keys for many boards: not cleared (every key is written before it is
// read) and, where the system offers it, in 2 MB pages: the first touch of
// each 4 kB page is otherwise a fault of its own, thousands of them for a
// large run. A program that runs one Monte Carlo after another (the bench,
// at every change) gets its last buffers back, whose pages the system has
// already handed over and cleared.
class KeyBuffer {
 public:
  explicit KeyBuffer(size_t count) {
    if (count == 0) return;
    bytes_ = count * sizeof(uint32_t);
#ifdef __linux__
    constexpr size_t kHugePage = size_t{2} << 20;
    bytes_ = (bytes_ + kHugePage - 1) / kHugePage * kHugePage;
#endif
    {
      const std::lock_guard lock(CacheMutex());
      for (Spare& spare : Cache()) {
        if (spare.data && spare.bytes >= bytes_) {
          data_ = spare.data, bytes_ = spare.bytes;
          spare = {};
          return;
        }
      }
    }
#ifdef __linux__
    data_ = static_cast<uint32_t*>(std::aligned_alloc(kHugePage, bytes_));
    if (data_) madvise(data_, bytes_, MADV_HUGEPAGE);
#else
    data_ = static_cast<uint32_t*>(std::malloc(bytes_));
#endif
    if (!data_) throw std::bad_alloc();
  }
  ~KeyBuffer() {
    if (!data_) return;
    const std::lock_guard lock(CacheMutex());
    for (Spare& spare : Cache()) {
      if (!spare.data) {
        spare = {data_, bytes_};
        return;
      }
    }
    // The smallest spare makes room.
    Spare* smallest = &Cache().front();
    for (Spare& spare : Cache()) {
      if (spare.bytes < smallest->bytes) smallest = &spare;
    }
    if (smallest->bytes < bytes_)
      std::swap(smallest->data, data_), std::swap(smallest->bytes, bytes_);
    std::free(data_);
  }
  KeyBuffer(const KeyBuffer&) = delete;
  KeyBuffer& operator=(const KeyBuffer&) = delete;
  uint32_t* get() const { return data_; }

 private:
  struct Spare {
    uint32_t* data = nullptr;
    size_t bytes = 0;
  };
  // A run holds two buffers (the figures and the spread) at a time.
  static std::array<Spare, 2>& Cache() {
    static std::array<Spare, 2> cache;
    return cache;
  }
  static std::mutex& CacheMutex() {
    static std::mutex mutex;
    return mutex;
  }

  uint32_t* data_ = nullptr;
  size_t bytes_ = 0;
};

// Runs `task(i)` for i in [0, count) on `threads` threads, the calling one
// among them, each taking the next i as it finishes the last.
// Catches what a helper thread throws (out of memory, mostly), so that it
// is thrown again on the thread that waits for the helpers, not ended with
// the program.
class ThreadFailure {
 public:
  template <typename Body>
  void Guard(const Body& body) {
    try {
      body();
    } catch (...) {
      const std::lock_guard guard(mutex_);
      if (!failure_) failure_ = std::current_exception();
    }
  }
  void Rethrow() const {
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  std::mutex mutex_;
  std::exception_ptr failure_;
};

template <typename Task>
void ForEachShared(int count, int threads, const RunControl* control, const Task& task) {
  std::atomic<int> next = 0;
  const auto work = [&] {
    for (int i; (i = next++) < count;) task(i);
  };
  ThreadFailure failure;
  {
    std::vector<std::jthread> pool;
    for (int t = 1; t < std::min(threads, count); ++t) {
      // A system that refuses another thread (a process limit) gets the
      // work done on the threads it gave.
      try {
        pool.emplace_back([&] {
          if (control) control->EnterThread();
          failure.Guard(work);
        });
      } catch (const std::system_error&) {
        break;
      }
    }
    work();
  }
  failure.Rethrow();
}

// Where a run puts what it measures besides the pass count.
struct RunOutputs {
  // The figures' keys at the design frequency, figure by figure, `samples`
  // to a row; and how many boards had none.
  uint32_t* metrics = nullptr;
  std::atomic<int>* missing = nullptr;
  // The spread's keys over the sweep, figure by figure and point by point,
  // `spread_samples` boards to a row.
  uint32_t* spread = nullptr;
  int spread_samples = 0;
  bool reports_progress = false;  // the main run tells how far it has come
};

// Monte Carlo passes over a circuit.
class Sampler {
 public:
  Sampler(const Netlist& nominal, const MonteCarloSettings& settings, const RunControl* control)
      : nominal_(nominal),
        bound_(nominal),
        settings_(settings),
        control_(control),
        check_(settings.limits, RuleOf(nominal.form)) {
    // An inductor's fixed loss 2 pi fQ L / Q0 as L times a factor worked
    // out once: a board's inductors then need no division (the last bit
    // may differ from the exports' figure; nothing a yield can tell).
    const auto loss_factor = [](ElementKind kind, const ElementModel& m) {
      return kind == ElementKind::kInductor && m.q > 0 && m.q_exponent == 1 && !m.measured
                 ? 2 * std::numbers::pi * m.q_at_hz / m.q
                 : 0;
    };
    for (const NetlistElement& e : nominal.elements) {
      const Tolerance& t = settings.ToleranceOf(e.kind);
      amounts_.push_back(e.pad ? 0 : t.Amount(e.kind, e.value, e.model.tolerance_floor_f));
      amounts_.push_back(
          e.second ? t.Amount(e.kind, e.second->value, e.second->model.tolerance_floor_f) : 0);
      loss_factors_.push_back(loss_factor(e.kind, e.model));
      loss_factors_.push_back(e.second ? loss_factor(e.kind, e.second->model) : 0);
    }
    check_frequencies_ = CheckFrequencies(nominal.frequency_hz, settings.band_percent);
    threads_ = settings.threads > 0 ? settings.threads
                                    : std::max(1, int(std::thread::hardware_concurrency()));
  }

  // Each element's tolerance as an amount, two to an element (its part
  // and a pair's second; 0 for a part that does not vary).
  const std::vector<double>& amounts() const { return amounts_; }
  int threads() const { return threads_; }
  bool stopped() const { return stopped_; }

  // Runs `samples` boards in which only the parts with a non-zero amount in
  // `amounts` vary, on at most `threads` threads; returns how many pass.
  // `alike`: the parts of a pair drawn alike.
  // `first_board`: the number of the run's first board (its random stream).
  int Run(int samples, const std::vector<double>& amounts, const RunOutputs& out, int threads,
          bool alike = false, int first_board = 0) const {
    const std::vector<double> sweep = out.spread_samples > 0
                                          ? FileSweep(nominal_.frequency_hz).Frequencies()
                                          : std::vector<double>{};
    const std::vector<PartDraw> draws = DrawsOf(amounts, alike);
    std::atomic<int> passed = 0, done = 0, next_chunk = 0;
    threads = std::min(threads, std::max(1, samples / 64));
    // The boards go out in chunks, a whole number of lane groups each, to
    // whichever thread is free: on a machine shared with other work one
    // thread may get less of its core, and fixed halves would wait for it.
    // Small enough for about sixteen to a thread, large enough that taking
    // one costs nothing against its boards.
    const int chunk =
        std::clamp(samples / (16 * threads) / BoardLanes::kBoards, 1, 1024) * BoardLanes::kBoards;
    const int chunks = (samples + chunk - 1) / chunk;
    // Eight boards at a time, one to a vector lane; each board's numbers do
    // not depend on its lane, its group, its chunk or its thread.
    const auto work = [&](bool reporting) {
      BoardLanes boards(bound_);
      SetCentres(boards);
      const FigureRule& rule = check_.rule();
      const bool hybrid = rule.port4_isolated;
      SMatrix whole;
      int passing_here = 0, missing_here = 0;
      for (int c; !stopped_ && (c = next_chunk++) < chunks;) {
        const int last = std::min(samples, (c + 1) * chunk);
        for (int group = c * chunk; group < last; group += BoardLanes::kBoards) {
          if (control_ && control_->StopRequested()) {
            stopped_ = true;
            break;
          }
          const int count = std::min(BoardLanes::kBoards, last - group);
          Draw(boards, draws, uint64_t(first_board + group), count, alike);
          if (settings_.parasitic_tolerance > 0) {
            DrawParasitics(boards, uint64_t(first_board + group), count);
          }
          unsigned passing = (1u << count) - 1;
          for (size_t i = 0; i < check_frequencies_.size() && passing; ++i) {
            const unsigned analysed =
                boards.Analyze(check_frequencies_[i], BoundNetlist::Columns::kFromPorts1And2);
            for (int k = 0; k < count; ++k) {
              const unsigned bit = 1u << k;
              const bool answered = analysed & bit;
              // The figures are those of the design frequency, the first checked.
              if (i == 0 && out.metrics) {
                uint32_t* keys = out.metrics + size_t(group + k);
                if (answered) {
                  MetricKeys(boards, k, rule, keys, size_t(samples));
                } else {
                  for (int m = 0; m < kMetrics; ++m)
                    keys[size_t(m) * size_t(samples)] = kMissingKey;
                  ++missing_here;
                }
              }
              if (!(passing & bit)) continue;
              if (answered && rule.outputs > 2) boards.Get(k, whole);
              if (!answered ||
                  (rule.outputs > 2 ? check_.Holding(whole)
                                    : check_.Holding(boards.S(k, 1, 1), boards.S(k, 2, 1),
                                                     boards.S(k, 3, 1), boards.S(k, 3, 2),
                                                     hybrid ? boards.S(k, 4, 1) : Complex())) !=
                      LimitCheck::kAll) {
                passing &= ~bit;
              }
            }
          }
          for (int k = 0; k < count; ++k) passing_here += (passing >> k) & 1;
          if (out.spread && group < out.spread_samples) {
            const int spread_count = std::min(count, out.spread_samples - group);
            const size_t stride = sweep.size() * size_t(out.spread_samples);
            for (size_t p = 0; p < sweep.size(); ++p) {
              const unsigned analysed =
                  boards.Analyze(sweep[p], BoundNetlist::Columns::kFromPorts1And2);
              for (int k = 0; k < spread_count; ++k) {
                uint32_t* keys = out.spread + p * size_t(out.spread_samples) + size_t(group + k);
                if (analysed & (1u << k)) {
                  SpreadKeys(boards, k, rule, keys, stride);
                } else {
                  for (int m = 0; m < kSpreadMetrics; ++m) keys[size_t(m) * stride] = kMissingKey;
                }
              }
            }
          }
          const int so_far = done += count;
          if (reporting && out.reports_progress && control_ &&
              (group / BoardLanes::kBoards) % 64 == 0) {
            control_->Report("Monte Carlo", double(so_far) / samples);
          }
        }
      }
      passed += passing_here;
      if (out.missing) *out.missing += missing_here;
    };
    ThreadFailure failure;
    {
      std::vector<std::jthread> pool;
      for (int t = 1; t < threads; ++t) {
        try {
          pool.emplace_back([&] {
            if (control_) control_->EnterThread();
            failure.Guard([&] { work(false); });
          });
        } catch (const std::system_error&) {
          break;  // the chunks go to the threads there are
        }
      }
      work(true);
    }
    failure.Rethrow();
    return passed;
  }

 private:
  // The fixed loss of element `i`'s part (`second`: a pair's second) at a
  // value: from its model's Q when it has one, else the nominal part's own.
  double LossOf(size_t i, bool second, double value) const {
    if (const double factor = loss_factors_[2 * i + second]; factor > 0) return value * factor;
    const NetlistElement& e = nominal_.elements[i];
    const ElementModel& m = second ? e.second->model : e.model;
    if (m.q > 0) return FixedLossOhms(e.kind, value, m);
    return second ? e.second->loss_ohms : e.loss_ohms;
  }

  // Element `i` with its part (and a pair's second) at these values.
  void Set(BoardLanes& boards, int lane, size_t i, double value, double second_value) const {
    if (nominal_.elements[i].second) {
      boards.SetPair(lane, int(i), value, LossOf(i, false, value), second_value,
                     LossOf(i, true, second_value));
    } else {
      boards.SetElement(lane, int(i), value, LossOf(i, false, value));
    }
  }

  // Every part of every lane at its centre: where the parts that do not
  // vary stay.
  void SetCentres(BoardLanes& boards) const {
    for (int lane = 0; lane < BoardLanes::kBoards; ++lane) {
      for (size_t i = 0; i < nominal_.elements.size(); ++i) {
        const NetlistElement& e = nominal_.elements[i];
        Set(boards, lane, i, e.value, e.second ? e.second->value : 0);
      }
    }
  }

  // The elements a run varies, each with the uniforms of the parts before
  // it that do not: a part that does not vary still takes its place in the
  // board's stream (skipped, not drawn), so that a part's value on a board
  // is the same in every run. An element takes one part's room, or a pair's
  // (its second part's two uniforms after its first's) when it is a pair or
  // the settings ask for the room.
  struct PartDraw {
    int index;
    int skip;  // uniforms to pass over first
    double nominal, amount;
    double second_nominal, second_amount;  // a pair's second part
    // Its loss as value * loss_factor + fixed_loss (one of them 0, so the
    // sum is LossOf's figure to the bit), where its model allows.
    bool linear_loss = false;
    double loss_factor = 0, fixed_loss = 0;
  };
  std::vector<PartDraw> DrawsOf(const std::vector<double>& amounts, bool alike) const {
    std::vector<PartDraw> draws;
    int skip = 0;
    for (size_t i = 0; i < nominal_.elements.size(); ++i) {
      const NetlistElement& e = nominal_.elements[i];
      const bool room = e.second || settings_.pair_room;
      if (amounts[2 * i] == 0 && amounts[2 * i + 1] == 0) {
        skip += kUniformsAPart * (room ? 2 : 1);
        continue;
      }
      PartDraw d{int(i), skip, e.value, amounts[2 * i], 0, 0};
      skip = 0;
      if (loss_factors_[2 * i] > 0) {
        d.linear_loss = true, d.loss_factor = loss_factors_[2 * i];
      } else if (!(e.model.q > 0)) {
        d.linear_loss = true, d.fixed_loss = e.loss_ohms;
      }
      if (e.second) {
        d.second_nominal = e.second->value;
        d.second_amount = amounts[2 * i + 1];
        // Drawn alike, the second part reuses the first's offset.
        if (alike) skip = kUniformsAPart;
      } else if (room) {
        skip = kUniformsAPart;
      }
      draws.push_back(d);
    }
    return draws;
  }

  // The parts that vary of `count` boards numbered from `first`, one to a
  // lane; spare lanes repeat the last board. Part by part across the lanes,
  // whose streams are independent, so that the processor has eight draws
  // to overlap rather than one board's chain.
  // Each part's parasitics of `count` boards numbered from `first`: its
  // capacitance across or its ESL, a capacitor's constant ESR, and every
  // pad, each within +-P of its model's figure. From a stream of their own
  // beside the parts' values, which stay what they are without it.
  void DrawParasitics(BoardLanes& boards, uint64_t first, int count) const {
    constexpr uint64_t kParasiticStream = 0xa4093822299f31d0ULL;
    const double p = settings_.parasitic_tolerance;
    for (int k = 0; k < BoardLanes::kBoards; ++k) {
      BoardRandom random(settings_.seed ^ kParasiticStream,
                         first + uint64_t(std::min(k, count - 1)));
      for (size_t i = 0; i < nominal_.elements.size(); ++i) {
        const NetlistElement& e = nominal_.elements[i];
        const double reactive = 1 + p * Offset(random, settings_.distribution);
        const double resistive = 1 + p * Offset(random, settings_.distribution);
        const int index = int(i);
        if (e.pad) {
          boards.SetElement(k, index, e.value * reactive, 0);
          continue;
        }
        if (e.model.measured) continue;
        if (boards.IsModelled(index)) boards.SetParasiticScale(k, index, reactive);
        if (e.kind == ElementKind::kCapacitor && !e.second && e.model.esr_ohms > 0 &&
            !(e.model.q > 0)) {
          boards.SetElement(k, index, boards.Value(k, index), e.model.esr_ohms * resistive);
        }
      }
    }
  }

  void Draw(BoardLanes& boards, const std::vector<PartDraw>& draws, uint64_t first, int count,
            bool alike) const {
    constexpr int kLanes = BoardLanes::kBoards;
    BoardRandom random[kLanes];
    for (int k = 0; k < kLanes; ++k) {
      random[k] = BoardRandom(settings_.seed, first + uint64_t(std::min(k, count - 1)));
    }
    // A part never reaches zero, even at a tolerance of 100 %.
    const auto drawn = [](double nominal, double offset, double amount) {
      return std::max(nominal + offset * amount, nominal * 1e-9);
    };
    for (const PartDraw& d : draws) {
      const size_t i = size_t(d.index);
      if (d.second_nominal > 0) {
        for (int k = 0; k < kLanes; ++k) {
          random[k].Skip(uint64_t(d.skip));
          const double offset = Offset(random[k], settings_.distribution);
          const double second_offset = alike ? offset : Offset(random[k], settings_.distribution);
          Set(boards, k, i, drawn(d.nominal, offset, d.amount),
              drawn(d.second_nominal, second_offset, d.second_amount));
        }
        continue;
      }
      if (d.linear_loss && settings_.distribution == Distribution::kUniform) {
        // The common case without a branch: Offset's uniform path inline.
        for (int k = 0; k < kLanes; ++k) {
          random[k].Skip(uint64_t(d.skip));
          const double offset = 2 * random[k].Uniform() - 1;
          random[k].Skip(1);
          const double value = drawn(d.nominal, offset, d.amount);
          boards.SetElement(k, d.index, value, value * d.loss_factor + d.fixed_loss);
        }
        continue;
      }
      for (int k = 0; k < kLanes; ++k) {
        random[k].Skip(uint64_t(d.skip));
        const double value = drawn(d.nominal, Offset(random[k], settings_.distribution), d.amount);
        boards.SetElement(k, d.index, value, LossOf(i, false, value));
      }
    }
  }

  const Netlist& nominal_;
  const BoundNetlist bound_;
  const MonteCarloSettings& settings_;
  const RunControl* control_;
  const LimitCheck check_;
  std::vector<double> amounts_;
  std::vector<double> loss_factors_;
  std::vector<double> check_frequencies_;
  int threads_ = 1;
  mutable std::atomic<bool> stopped_ = false;
};

// The 5 % and 95 % bands over the sweep from the boards' keys, the rows
// shared among `threads`.
SweepSpread Spread(const uint32_t* keys, int samples, const std::vector<double>& sweep,
                   const FigureRule& rule, int threads, const RunControl* control) {
  const int points = int(sweep.size());
  const int rows = kSpreadMetrics * points;
  std::vector<double> low(static_cast<size_t>(rows)), high(static_cast<size_t>(rows));
  ForEachShared(threads, threads, control, [&](int t) {
    RankSelector selector;
    for (int row = rows * t / threads; row < rows * (t + 1) / threads; ++row) {
      const uint32_t* begin = keys + size_t(row) * size_t(samples);
      // Boards that could not be analysed sort last and take no rank.
      const size_t n = size_t(
          std::count_if(begin, begin + samples, [](uint32_t k) { return k != kMissingKey; }));
      if (n == 0) {
        low[size_t(row)] = high[size_t(row)] = NAN;
        continue;
      }
      const auto [at_low, at_high] =
          selector.SelectKeys(begin, size_t(samples), size_t(std::lround(0.05 * double(n - 1))),
                              size_t(std::lround(0.95 * double(n - 1))));
      const int metric = row / points;
      low[size_t(row)] = SpreadValue(metric, at_low, rule);
      high[size_t(row)] = SpreadValue(metric, at_high, rule);
    }
  });

  SweepSpread spread;
  spread.frequencies_hz = sweep;
  SweepSpread::Band* bands[kSpreadMetrics] = {
      &spread.s21_db, &spread.s31_db,          &spread.s32_db,      &spread.s41_db,
      &spread.s11_db, &spread.phase_error_deg, &spread.imbalance_db};
  for (int m = 0; m < kSpreadMetrics; ++m) {
    const auto from = std::ptrdiff_t(m) * points;
    bands[m]->low.assign(low.begin() + from, low.begin() + from + points);
    bands[m]->high.assign(high.begin() + from, high.begin() + from + points);
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
  const std::optional<SiValue> value = ParseSiValue(text, error);
  if (!value) return std::nullopt;
  if (value->value < 0) {
    error = "is negative";
    return std::nullopt;
  }
  if (value->unit == Unit::kPercent) {
    if (value->value > 100) {
      error = "is more than 100 %";
      return std::nullopt;
    }
    return Tolerance{value->value / 100, true};
  }
  if (value->value == 0 && !value->prefixed && value->unit == Unit::kNone) {
    return Tolerance{0, true};
  }
  const bool absolute =
      value->unit == UnitOf(kind) || (value->prefixed && value->unit == Unit::kNone);
  if (kind == ElementKind::kResistor || !absolute) {
    error = kind == ElementKind::kResistor
                ? "must be a percentage for resistors (1%)"
                : std::string("is not a tolerance (5%, or an absolute ") +
                      (kind == ElementKind::kInductor ? "0.2n" : "0.1p") + ")";
    return std::nullopt;
  }
  return Tolerance{value->value, false};
}

std::string ToleranceText(const Tolerance& t, ElementKind kind) {
  if (t.relative) return GeneralText(100 * t.value, 6) + " %";
  return ValueWithUnit(t.value, kind);
}

std::string_view DistributionName(Distribution distribution) {
  return distribution == Distribution::kUniform ? "uniform" : "normal";
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

MonteCarloResult RunMonteCarlo(const Netlist& nominal, const MonteCarloSettings& settings,
                               const RunControl* control) {
  const Sampler sampler(nominal, settings, control);
  const FigureRule rule = RuleOf(nominal.form);
  const bool hybrid = rule.port4_isolated;
  const int threads = sampler.threads();
  MonteCarloResult result;
  result.samples = settings.samples;
  result.seed = settings.seed;
  result.distribution = settings.distribution;
  const std::vector<double>& amounts = sampler.amounts();

  result.nominal_passes = sampler.Run(1, std::vector<double>(amounts.size(), 0), {}, 1) == 1;

  // The main run, with the figures at f0 and the spread's keys.
  const int n = settings.samples;
  const int spread_samples = std::min(settings.spread_samples, n);
  const std::vector<double> sweep =
      spread_samples > 0 ? FileSweep(nominal.frequency_hz).Frequencies() : std::vector<double>{};
  KeyBuffer metrics(size_t(n) * kMetrics);
  KeyBuffer spread(size_t(spread_samples) * sweep.size() * kSpreadMetrics);
  std::atomic<int> missing = 0;
  result.passed =
      sampler.Run(n, amounts, {metrics.get(), &missing, spread.get(), spread_samples, true},
                  threads, settings.pairs_alike);
  if (sampler.stopped()) {
    result.stopped = true;
    return result;
  }
  result.yield_percent = 100.0 * result.passed / n;
  std::tie(result.ci95_low, result.ci95_high) = WilsonInterval(result.passed, n);

  // The percentiles by nearest rank among the boards with figures, one
  // figure to a thread at a time.
  std::vector<int> figures;
  for (int m = 0; m < kMetrics; ++m) {
    if (m != 2 || hybrid) figures.push_back(m);
  }
  result.percentiles.resize(figures.size());
  const size_t answered = size_t(n - missing);
  ForEachShared(int(figures.size()), threads, control, [&](int i) {
    const int m = figures[size_t(i)];
    Percentiles p{NAN, NAN, NAN};
    if (answered > 0) {
      RankSelector selector;
      const uint32_t* keys = metrics.get() + size_t(m) * size_t(n);
      size_t ranks[3];
      for (const size_t q : {0, 1, 2}) {
        ranks[q] = size_t(std::lround((q == 0   ? 0.05
                                       : q == 1 ? 0.5
                                                : 0.95) *
                                      double(answered - 1)));
      }
      uint32_t found[3];
      selector.SelectKeys(keys, size_t(n), ranks, 3, found);
      p = {MetricValue(m, found[0], rule), MetricValue(m, found[1], rule),
           MetricValue(m, found[2], rule)};
    }
    result.percentiles[size_t(i)] = {kMetricNames[m], p};
  });
  // The histograms, from the same figures.
  constexpr int kBins = 40;
  result.histograms.resize(figures.size());
  ForEachShared(int(figures.size()), threads, control, [&](int i) {
    const int m = figures[size_t(i)];
    const uint32_t* keys = metrics.get() + size_t(m) * size_t(n);
    MonteCarloResult::Histogram& h = result.histograms[size_t(i)];
    h.low = INFINITY, h.high = -INFINITY;
    for (size_t b = 0; b < size_t(n); ++b) {
      const double v = MetricValue(m, keys[b], rule);
      if (std::isfinite(v)) h.low = std::min(h.low, v), h.high = std::max(h.high, v);
    }
    if (!(h.low <= h.high)) {
      h = {};
      return;
    }
    if (h.high == h.low) h.high = h.low + 1e-9;
    h.counts.assign(kBins, 0);
    const double width = (h.high - h.low) / kBins;
    for (size_t b = 0; b < size_t(n); ++b) {
      const double v = MetricValue(m, keys[b], rule);
      if (std::isfinite(v)) ++h.counts[size_t(std::clamp(int((v - h.low) / width), 0, kBins - 1))];
    }
  });

  // Each part alone: the others sit at their nominal values. The solo runs
  // and the tighter-grade run share out at most as many boards as the main
  // run had.
  const size_t elements = nominal.elements.size();
  const auto varies = [&](size_t i) { return amounts[2 * i] != 0 || amounts[2 * i + 1] != 0; };
  int varying = 0;
  for (size_t i = 0; i < elements; ++i) varying += varies(i);
  const int alone_samples =
      std::clamp(n / (varying + 1), 1, std::max(1, settings.sensitivity_samples));
  result.sensitivity_samples = alone_samples;
  std::vector<int> alone_passed(elements);
  ForEachShared(int(elements), threads, control, [&](int i) {
    const size_t at = size_t(i);
    if (!varies(at)) {
      alone_passed[at] = result.nominal_passes ? alone_samples : 0;
      return;
    }
    std::vector<double> only(amounts.size(), 0);
    only[2 * at] = amounts[2 * at];
    only[2 * at + 1] = amounts[2 * at + 1];
    alone_passed[at] = sampler.Run(alone_samples, only, {}, 1);
  });
  if (sampler.stopped()) {
    result.stopped = true;
    return result;
  }
  for (size_t i = 0; i < nominal.elements.size(); ++i) {
    if (nominal.elements[i].pad) continue;
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
    if (!varies(index)) continue;
    result.harmful_part = part.part;
    result.harmful_kind = e->kind;
    result.tighter = OneGradeTighter(settings.ToleranceOf(e->kind), e->kind);
    if (result.tighter) {
      std::vector<double> tighter = amounts;
      tighter[2 * index] = result.tighter->For(e->value);
      if (e->second) tighter[2 * index + 1] = result.tighter->For(e->second->value);
      const int passed = sampler.Run(alone_samples, tighter, {}, threads);
      result.tighter_yield_percent = 100.0 * passed / alone_samples;
    }
    break;
  }

  if (spread_samples > 0)
    result.spread = Spread(spread.get(), spread_samples, sweep, rule, threads, control);
  const bool pairs = std::any_of(nominal.elements.begin(), nominal.elements.end(),
                                 [](const NetlistElement& e) { return e.second.has_value(); });
  if (pairs && !settings.pairs_alike) {
    const int passed = sampler.Run(n, amounts, {}, threads, true);
    result.yield_percent_pairs_alike = 100.0 * passed / n;
  }
  result.stopped = sampler.stopped();
  return result;
}

std::optional<int> BoardsPassing(const Netlist& nominal, const MonteCarloSettings& settings,
                                 int samples, const std::function<bool(int, int)>& go_on) {
  const Sampler sampler(nominal, settings, nullptr);
  int passed = 0;
  for (int first = 0; first < samples; first += kPassBatch) {
    const int count = std::min(kPassBatch, samples - first);
    passed +=
        sampler.Run(count, sampler.amounts(), {}, sampler.threads(), settings.pairs_alike, first);
    if (first + count < samples && go_on && !go_on(first + count, passed)) return std::nullopt;
  }
  return passed;
}

int BoardsPassing(const Netlist& nominal, const MonteCarloSettings& settings, int samples) {
  return *BoardsPassing(nominal, settings, samples, {});
}

}  // namespace rfsplitter
