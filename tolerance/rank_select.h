// Two order statistics of many values at once, for the Monte Carlo's
// percentiles and spread: the values std::nth_element would put at two
// ranks, found with a histogram instead of its branchy passes over every
// value.
//
// The values are kept as order-preserving keys: a float's bits made into an
// unsigned integer that sorts as the float does (OrderedKey). NaN's key lies
// above every number's, so boards without a value sort last and the ranks
// below their count never see them.
#ifndef RFSPLITTER_TOLERANCE_RANK_SELECT_H_
#define RFSPLITTER_TOLERANCE_RANK_SELECT_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace rfsplitter {

// Floats as unsigned integers in the same order: negative numbers have
// their bits inverted, the others their sign bit set.
inline uint32_t OrderedKey(float v) {
  const auto bits = std::bit_cast<uint32_t>(v);
  return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
}
inline float FloatOfKey(uint32_t key) {
  return std::bit_cast<float>(key & 0x80000000u ? key & 0x7fffffffu : ~key);
}
// Above every number's key: a board without a value.
inline constexpr uint32_t kMissingKey = 0xffffffffu;

// Keeps its buffers between calls, so that one selector per thread serves
// every row of a spread without allocating again.
class RankSelector {
 public:
  // The keys of `count` ranks (each < n, counting from 0) among
  // `keys[0..n)`, which is left as it is, into `found`: three passes over
  // the keys however many ranks are asked for.
  void SelectKeys(const uint32_t* keys, size_t n, const size_t* ranks, size_t count,
                  uint32_t* found);
  std::pair<uint32_t, uint32_t> SelectKeys(const uint32_t* keys, size_t n, size_t low,
                                           size_t high) {
    const size_t ranks[] = {low, high};
    uint32_t found[2];
    SelectKeys(keys, n, ranks, 2, found);
    return {found[0], found[1]};
  }
  // The same for floats, which must not be NaN.
  std::pair<float, float> Select(const float* values, size_t n, size_t low, size_t high);

 private:
  std::vector<uint32_t> keys_, counts_;
  std::vector<uint32_t> in_bucket_[4];
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_TOLERANCE_RANK_SELECT_H_
