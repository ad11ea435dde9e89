#include "tolerance/rank_select.h"

#include <algorithm>

namespace rfsplitter {
namespace {

// Buckets over the range of the keys: few enough to count in cache, many
// enough that a rank's bucket holds a small share of the values.
constexpr uint32_t kBuckets = 2048;

}  // namespace

void RankSelector::SelectKeys(const uint32_t* keys, size_t n, const size_t* ranks, size_t count,
                              uint32_t* found) {
  uint32_t min = UINT32_MAX, max = 0;
  for (size_t i = 0; i < n; ++i) {
    min = std::min(min, keys[i]);
    max = std::max(max, keys[i]);
  }
  int shift = 0;
  while (((max - min) >> shift) >= kBuckets) ++shift;
  counts_.assign(size_t(((max - min) >> shift) + 1), 0);
  for (size_t i = 0; i < n; ++i) ++counts_[(keys[i] - min) >> shift];
  // The bucket each rank lies in, and its rank within the bucket; ranks in
  // one bucket share its collection.
  constexpr size_t kMost = std::size(decltype(in_bucket_){});
  size_t bucket_of[kMost], rank_in[kMost], slot_of[kMost];
  size_t buckets[kMost];
  size_t slots = 0;
  for (size_t r = 0; r < count && r < kMost; ++r) {
    for (size_t b = 0, seen = 0; b < counts_.size(); seen += counts_[b], ++b) {
      if (ranks[r] < seen + counts_[b]) {
        bucket_of[r] = b, rank_in[r] = ranks[r] - seen;
        break;
      }
    }
    slot_of[r] = std::find(buckets, buckets + slots, bucket_of[r]) - buckets;
    if (slot_of[r] == slots) buckets[slots++] = bucket_of[r];
  }
  for (size_t k = 0; k < slots; ++k) in_bucket_[k].clear();
  const size_t lowest = slots > 0 ? *std::min_element(buckets, buckets + slots) : 0;
  const size_t highest = slots > 0 ? *std::max_element(buckets, buckets + slots) : 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t b = (keys[i] - min) >> shift;
    // Most keys lie in none of the few buckets wanted.
    if (b < lowest || b > highest) continue;
    for (size_t k = 0; k < slots; ++k) {
      if (b == buckets[k]) in_bucket_[k].push_back(keys[i]);
    }
  }
  for (size_t r = 0; r < count && r < kMost; ++r) {
    std::vector<uint32_t>& bucket = in_bucket_[slot_of[r]];
    std::nth_element(bucket.begin(), bucket.begin() + std::ptrdiff_t(rank_in[r]), bucket.end());
    found[r] = bucket[rank_in[r]];
  }
}

std::pair<float, float> RankSelector::Select(const float* values, size_t n, size_t low,
                                             size_t high) {
  keys_.resize(n);
  for (size_t i = 0; i < n; ++i) keys_[i] = OrderedKey(values[i]);
  // SelectKeys works in counts_ and in_bucket_ only.
  const auto [a, b] = SelectKeys(keys_.data(), n, low, high);
  return {FloatOfKey(a), FloatOfKey(b)};
}

}  // namespace rfsplitter
