// The three parts fits on each circuit: E12 inductors, E24 capacitors and
// resistors, Q 40 inductors, at 433.92 MHz and 50 ohms.
#include <benchmark/benchmark.h>

#include "engine/topologies.h"
#include "parts/fit.h"

namespace rfsplitter {
namespace {

void BM_Fit(benchmark::State& state) {
  const Topology topology = static_cast<Topology>(state.range(0));
  const Design design = ComputeDesign(topology, {433.92f, 50});
  PartsChoice choice;
  choice.inductors = PartSeries::Standard("E12");
  choice.capacitors = PartSeries::Standard("E24");
  choice.resistors = PartSeries::Standard("E24");
  choice.method = static_cast<FitMethod>(state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(FitParts(design, choice, QualityFactors(40)));
  state.SetLabel(std::string(TextsOf(topology).file_stem) + " " +
                 std::string(FitName(choice.method)));
}
BENCHMARK(BM_Fit)->ArgsProduct({{0, 1, 2}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace rfsplitter
