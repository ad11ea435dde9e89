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

// Which lane solve the sweeps below use on this machine.
const bool kNamed = [] {
  benchmark::AddCustomContext("lane solve", lanes::BestSolveName());
  return true;
}();

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

// The kernel alone: the bound circuit over the 200 sweep frequencies, all
// of S, with each lane-solve variant (0 generic, 1 AVX2, 2 AVX-512) and,
// as 3, the scalar solve point by point.
void BM_KernelSweep(benchmark::State& state) {
  const Netlist design = Of(state);
  const lanes::SolveFunction variants[] = {lanes::SolveGeneric, lanes::SolveAvx2,
                                           lanes::SolveAvx512};
  const char* names[] = {"generic", "avx2", "avx512", "scalar"};
  const int variant = int(state.range(1));
  if ((variant == 1 && !__builtin_cpu_supports("avx2")) ||
      (variant == 2 && !__builtin_cpu_supports("avx512f"))) {
    state.SkipWithError("not on this processor");
    return;
  }
  BoundNetlist bound(design);
  if (variant < 3) bound.UseLaneSolve(variants[variant]);
  const std::vector<double> f = FileSweep(design.frequency_hz).Frequencies();
  std::vector<SMatrix> s(f.size());
  bool analysed[kFileSweepPoints];
  for (auto _ : state) {
    if (variant < 3) {
      bound.AnalyzeMany(f, s, analysed);
    } else {
      for (size_t i = 0; i < f.size(); ++i) bound.Analyze(f[i], s[i]);
    }
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(TextsOf(design.topology).file_stem) + " " + names[variant]);
}
BENCHMARK(BM_KernelSweep)->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3}})->Unit(benchmark::kMicrosecond);

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
