// The lane solve for any processor, and the choice among the variants.
#include "analysis/lane_kernel.h"

#define RFSPLITTER_LANE_WIDTH 2
#define RFSPLITTER_LANE_SOLVE SolveGeneric
#include "analysis/lane_kernel.inc"

namespace rfsplitter::lanes {

#ifdef RFSPLITTER_X86_LANES
namespace {

// What the processor and the operating system support, from cpuid and
// xgetbv directly: the compiler's __builtin_cpu_supports would link a
// start-up routine that asks cpuid a dozen times on every run, costly under
// a hypervisor, where each question traps.
struct Features {
  bool avx2 = false, avx512 = false;
};

Features ReadFeatures() {
  Features f;
  unsigned a, b, c, d;
  __asm__("cpuid" : "=a"(a), "=b"(b), "=c"(c), "=d"(d) : "a"(0), "c"(0));
  const unsigned max_leaf = a;
  if (max_leaf < 7) return f;
  __asm__("cpuid" : "=a"(a), "=b"(b), "=c"(c), "=d"(d) : "a"(1), "c"(0));
  const bool osxsave = c & (1u << 27), avx = c & (1u << 28), fma = c & (1u << 12);
  if (!osxsave || !avx) return f;
  unsigned xcr0_low, xcr0_high;
  __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  const bool ymm_state = (xcr0_low & 0x6) == 0x6;
  const bool zmm_state = (xcr0_low & 0xe6) == 0xe6;
  __asm__("cpuid" : "=a"(a), "=b"(b), "=c"(c), "=d"(d) : "a"(7), "c"(0));
  f.avx2 = ymm_state && fma && (b & (1u << 5));
  f.avx512 = f.avx2 && zmm_state && (b & (1u << 16)) && (b & (1u << 17));  // F and DQ
  return f;
}

}  // namespace
#endif

SolveFunction BestSolve() {
#ifdef RFSPLITTER_X86_LANES
  static const Features features = ReadFeatures();
  if (features.avx512) return SolveAvx512;
  if (features.avx2) return SolveAvx2;
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
