// Two order statistics of many floats at once, for the spread's 5 % and
// 95 % bands: the values std::nth_element would put at two ranks, found
// with a histogram instead of its branchy passes over every value.
#ifndef RFSPLITTER_TOLERANCE_RANK_SELECT_H_
#define RFSPLITTER_TOLERANCE_RANK_SELECT_H_

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace rfsplitter {

// Keeps its buffers between calls, so that one selector per thread serves
// every row of a spread without allocating again.
class RankSelector {
 public:
  // The values of ranks `low` <= `high` < n (counting from 0) among
  // `values[0..n)`, which must not be NaN; `values` is left as it is.
  std::pair<float, float> Select(const float* values, size_t n, size_t low, size_t high);

 private:
  std::vector<uint32_t> keys_, counts_, in_bucket_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_TOLERANCE_RANK_SELECT_H_
