// The response analysis: one design-frequency point, the 200-point sweep,
// and the sweep turned into the Touchstone text.
#include <benchmark/benchmark.h>

#include "engine/topologies.h"
#include "exports/exports.h"

namespace rfsplitter {
namespace {

Netlist Of(const benchmark::State& state) {
  return IdealNetlist(ComputeDesign(static_cast<Topology>(state.range(0)), {12.1f, 50}));
}

void BM_AnalyzeOnePoint(benchmark::State& state) {
  const Netlist design = Of(state);
  for (auto _ : state) benchmark::DoNotOptimize(AnalyzeNetlist(design, design.frequency_hz));
  state.SetLabel(std::string(TextsOf(design.topology).file_stem));
}
BENCHMARK(BM_AnalyzeOnePoint)->DenseRange(0, 2);

void BM_AnalyzeSweep(benchmark::State& state) {
  const Netlist design = Of(state);
  std::string error;
  for (auto _ : state) benchmark::DoNotOptimize(AnalyzeSweep(design, error));
  state.SetLabel(std::string(TextsOf(design.topology).file_stem));
}
BENCHMARK(BM_AnalyzeSweep)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_SweepToTouchstone(benchmark::State& state) {
  const Netlist design = Of(state);
  std::string error;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TouchstoneText(design, AnalyzeSweep(design, error)));
  }
  state.SetLabel(std::string(TextsOf(design.topology).file_stem));
}
BENCHMARK(BM_SweepToTouchstone)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace rfsplitter
