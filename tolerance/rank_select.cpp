#include "tolerance/rank_select.h"

#include <algorithm>
#include <bit>

namespace rfsplitter {
namespace {

// Floats as unsigned integers in the same order: negative numbers have
// their bits inverted, the others their sign bit set.
uint32_t OrderedBits(float v) {
  const auto bits = std::bit_cast<uint32_t>(v);
  return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
}

float FromOrderedBits(uint32_t u) {
  return std::bit_cast<float>(u & 0x80000000u ? u & 0x7fffffffu : ~u);
}

// Buckets over the range of the keys: few enough to count in cache, many
// enough that a rank's bucket holds a small share of the values.
constexpr uint32_t kBuckets = 2048;

}  // namespace

std::pair<float, float> RankSelector::Select(const float* values, size_t n, size_t low,
                                             size_t high) {
  keys_.resize(n);
  uint32_t min = UINT32_MAX, max = 0;
  for (size_t i = 0; i < n; ++i) {
    keys_[i] = OrderedBits(values[i]);
    min = std::min(min, keys_[i]);
    max = std::max(max, keys_[i]);
  }
  int shift = 0;
  while (((max - min) >> shift) >= kBuckets) ++shift;
  counts_.assign(size_t(((max - min) >> shift) + 1), 0);
  for (size_t i = 0; i < n; ++i) ++counts_[(keys_[i] - min) >> shift];
  // The bucket each rank lies in, and its rank within the bucket.
  size_t bucket_low = 0, bucket_high = 0, rank_low = 0, rank_high = 0;
  for (size_t b = 0, seen = 0; b < counts_.size(); ++b) {
    if (low >= seen && low < seen + counts_[b]) bucket_low = b, rank_low = low - seen;
    if (high >= seen && high < seen + counts_[b]) bucket_high = b, rank_high = high - seen;
    seen += counts_[b];
  }
  const auto pick = [&](size_t bucket, size_t rank) {
    in_bucket_.clear();
    for (size_t i = 0; i < n; ++i) {
      if (((keys_[i] - min) >> shift) == bucket) in_bucket_.push_back(keys_[i]);
    }
    std::nth_element(in_bucket_.begin(), in_bucket_.begin() + std::ptrdiff_t(rank),
                     in_bucket_.end());
    return FromOrderedBits(in_bucket_[rank]);
  };
  const float at_low = pick(bucket_low, rank_low);
  if (bucket_high == bucket_low && rank_high == rank_low) return {at_low, at_low};
  return {at_low, pick(bucket_high, rank_high)};
}

}  // namespace rfsplitter
