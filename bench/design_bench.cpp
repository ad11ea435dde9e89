// One design run of each topology without the disk: the equations, the
// listing lines and the simulation file's text.
#include <benchmark/benchmark.h>

#include "engine/listing.h"
#include "engine/topologies.h"
#include "simfile/simulation_file.h"

namespace rfsplitter {
namespace {

void BM_DesignRun(benchmark::State& state) {
  const Topology topology = static_cast<Topology>(state.range(0));
  for (auto _ : state) {
    const Design design = ComputeDesign(topology, {12.1f, 50.0f});
    std::string listing;
    for (const NamedValue& entry : design.listing) {
      listing += ComponentLine(entry.name, entry.value.value);
    }
    std::string file = SimulationFileText(design);
    benchmark::DoNotOptimize(listing);
    benchmark::DoNotOptimize(file);
  }
  state.SetLabel(std::string(TextsOf(topology).file_stem));
}
BENCHMARK(BM_DesignRun)->DenseRange(0, 2);

}  // namespace
}  // namespace rfsplitter

BENCHMARK_MAIN();
