// The lane solve built for processors with AVX2.
#include "analysis/lane_kernel.h"

#define RFSPLITTER_LANE_WIDTH 4
#define RFSPLITTER_LANE_SOLVE SolveAvx2
#include "analysis/lane_kernel.inc"
