// The lane solve for any processor, and the choice among the variants.
#include "analysis/lane_kernel.h"

#define RFSPLITTER_LANE_WIDTH 2
#define RFSPLITTER_LANE_SOLVE SolveGeneric
#include "analysis/lane_kernel.inc"

namespace rfsplitter::lanes {

SolveFunction BestSolve() {
#ifdef RFSPLITTER_X86_LANES
  if (__builtin_cpu_supports("avx512f")) return SolveAvx512;
  if (__builtin_cpu_supports("avx2")) return SolveAvx2;
#endif
  return SolveGeneric;
}

const char* BestSolveName() {
  const SolveFunction best = BestSolve();
#ifdef RFSPLITTER_X86_LANES
  if (best == SolveAvx512) return "avx512";
  if (best == SolveAvx2) return "avx2";
#endif
  return best == SolveGeneric ? "generic" : "?";
}

}  // namespace rfsplitter::lanes
