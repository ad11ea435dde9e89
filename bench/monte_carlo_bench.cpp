// The Monte Carlo's cost against its solve: the wide hybrid at 433.92 MHz
// from E12/E24 parts with Q 40 inductors, L +-5 %, C +-2 %.
//
//   BM_SolveEightBoards   one lane solve of eight boards at f0 (two columns
//                         of S): the floor a yield board can reach
//   BM_YieldBoards        a whole yield run on one thread: draws, solves,
//                         limit checks and the figures' percentiles, per
//                         board (items/s), with the parts' solo runs cut to
//                         a token few
//   BM_AnalyzeRun         what --analyze asks for: 10^6 boards with every
//                         solo run, on 1 and on 2 threads
#include <benchmark/benchmark.h>

#include "engine/topologies.h"
#include "parts/fit.h"
#include "tolerance/monte_carlo.h"

namespace rfsplitter {
namespace {

const Netlist& Circuit() {
  static const Netlist built = [] {
    PartsChoice choice;
    choice.inductors = PartSeries::Standard("E12");
    choice.capacitors = PartSeries::Standard("E24");
    return FitParts(ComputeDesign(Topology::kWideQuad, {433.92f, 50}), choice, QualityFactors(40))
        .netlist;
  }();
  return built;
}

MonteCarloSettings Settings(int samples, int threads) {
  MonteCarloSettings s;
  s.samples = samples;
  s.inductor = {0.05, true};
  s.capacitor = {0.02, true};
  s.threads = threads;
  return s;
}

void BM_SolveEightBoards(benchmark::State& state) {
  const BoundNetlist bound(Circuit());
  BoardLanes boards(bound);
  for (int k = 0; k < BoardLanes::kBoards; ++k) {
    for (size_t i = 0; i < Circuit().elements.size(); ++i) {
      const NetlistElement& e = Circuit().elements[i];
      boards.SetElement(k, int(i), e.value * (1 + 0.01 * k), e.loss_ohms);
    }
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        boards.Analyze(Circuit().frequency_hz, BoundNetlist::Columns::kFromPorts1And2));
  }
  state.SetItemsProcessed(state.iterations() * BoardLanes::kBoards);
}
BENCHMARK(BM_SolveEightBoards);

void BM_YieldBoards(benchmark::State& state) {
  MonteCarloSettings settings = Settings(int(state.range(0)), 1);
  settings.sensitivity_samples = 1;
  for (auto _ : state) benchmark::DoNotOptimize(RunMonteCarlo(Circuit(), settings));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_YieldBoards)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_AnalyzeRun(benchmark::State& state) {
  const MonteCarloSettings settings = Settings(1000000, int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(RunMonteCarlo(Circuit(), settings));
}
BENCHMARK(BM_AnalyzeRun)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace rfsplitter
