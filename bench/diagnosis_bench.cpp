// How often the diagnosis names the part that is off, on synthetic boards of
// the three forms at two frequencies: one or two parts 8-25 % off, -50 dB of
// noise, without and behind an unknown fixture (10-40 ps of line at each
// port, 0.1 pF at every node). Prints the figures and the median time.
//
// usage: diagnosis_bench [BOARDS_PER_CASE]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "measure/diagnosis.h"
#include "measure/tests/synthetic_board.h"

using namespace rfsplitter;

int main(int argc, char** argv) {
  const int boards = argc > 1 ? std::stoi(argv[1]) : 20;
  std::mt19937_64 random(20261209);
  for (const bool fixture : {false, true}) {
    for (const bool plain : fixture ? std::vector<bool>{false, true} : std::vector<bool>{false}) {
      int total = 0, first = 0, top3 = 0, close = 0;
      std::vector<double> times;
      for (const Topology topology : kAllTopologies) {
        for (const float mhz : {100.0f, 915.0f}) {
          const Netlist built = testing::BuiltBoard(topology, mhz, mhz > 500);
          std::vector<std::string> names;
          for (const NetlistElement& e : built.elements)
            if (!e.pad) names.emplace_back(e.name);
          for (int b = 0; b < boards; ++b) {
            std::vector<testing::Fault> faults;
            const int count = 1 + int(random() % 2);
            std::vector<std::string> pool = names;
            std::shuffle(pool.begin(), pool.end(), random);
            for (int k = 0; k < count; ++k) {
              const double size = 0.08 + 0.17 * double(random() % 1000) / 999;
              faults.push_back({pool[size_t(k)], random() % 2 ? 1 + size : 1 - size});
            }
            testing::Fixture fix;
            if (fixture) {
              for (int p = 0; p < built.ports; ++p)
                fix.delays_s.push_back(1e-12 * (10 + double(random() % 31)));
              fix.pad_f = 0.1e-12;
            }
            const Measurement m = testing::Measure(built, faults, fix, -50, random);
            DiagnosisSettings settings;
            if (plain)
              settings.port_delays_s.assign(size_t(built.ports), 0), settings.fit_pad = false;
            std::string error;
            const auto start = std::chrono::steady_clock::now();
            const auto d = Diagnose(built, m, settings, error);
            times.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            ++total;
            if (!d) continue;
            const auto off = [&](const std::string& part) {
              return std::any_of(faults.begin(), faults.end(),
                                 [&](const testing::Fault& f) { return f.part == part; });
            };
            first += off(d->suspects[0].part);
            bool all_in_3 = true, all_close = true;
            for (const auto& f : faults) {
              const auto at = std::find_if(d->suspects.begin(), d->suspects.end(),
                                           [&](const Suspect& s) { return s.part == f.part; });
              all_in_3 = all_in_3 && at - d->suspects.begin() < 3;
              all_close = all_close && std::abs(at->change_percent - 100 * (f.factor - 1)) <= 2;
            }
            top3 += all_in_3;
            close += all_close;
          }
        }
      }
      std::sort(times.begin(), times.end());
      std::printf(
          "%-28s boards %4d  first %5.1f %%  all in first three %5.1f %%  change within 2 points "
          "%5.1f %%  median %.1f ms\n",
          !fixture ? "no fixture"
          : plain  ? "fixture, part values only"
                   : "fixture",
          total, 100.0 * first / total, 100.0 * top3 / total, 100.0 * close / total,
          1e3 * times[times.size() / 2]);
    }
  }
}
