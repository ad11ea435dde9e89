// The lane solve built for processors with AVX512.
#include "analysis/lane_kernel.h"

#define RFSPLITTER_LANE_WIDTH 8
#define RFSPLITTER_LANE_SOLVE SolveAvx512
#include "analysis/lane_kernel.inc"
