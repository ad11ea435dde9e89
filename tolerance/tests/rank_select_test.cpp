#include "tolerance/rank_select.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace rfsplitter {
namespace {

float Ranked(std::vector<float> values, size_t rank) {
  std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(rank), values.end());
  return values[rank];
}

// The ranks the spread asks for, and the ends, on data shaped as a sweep's
// keys can be: narrow clusters, a cluster with far outliers, both signs
// around zero, many equal values, a handful of values.
TEST(RankSelector, FindsWhatASortWouldPutAtBothRanks) {
  std::mt19937 random(3);
  std::vector<std::pair<std::string, std::vector<float>>> cases;
  std::normal_distribution<float> narrow(0.5f, 1e-4f);
  std::vector<float> v(10000);
  for (float& x : v) x = narrow(random);
  cases.emplace_back("narrow cluster", v);
  for (size_t i = 0; i < v.size(); i += 997) v[i] = 1e30f;
  v[5] = 1e-38f;
  cases.emplace_back("cluster with outliers", v);
  std::uniform_real_distribution<float> angle(-2, 2);
  for (float& x : v) x = angle(random);
  v[0] = -0.0f, v[1] = 0.0f, v[2] = -2, v[3] = 2;
  cases.emplace_back("both signs", v);
  std::uniform_int_distribution<int> few(0, 3);
  for (float& x : v) x = float(few(random)) * 0.25f;
  cases.emplace_back("many equal", v);
  cases.emplace_back("few", std::vector<float>{3, -1, 2});
  cases.emplace_back("one", std::vector<float>{7});

  RankSelector selector;
  for (const auto& [name, values] : cases) {
    const size_t n = values.size();
    const std::vector<float> before = values;
    for (const auto& [low, high] : {std::pair{size_t(std::lround(0.05 * double(n - 1))),
                                              size_t(std::lround(0.95 * double(n - 1)))},
                                    std::pair{size_t{0}, n - 1}, std::pair{n / 2, n / 2}}) {
      const auto [a, b] = selector.Select(values.data(), n, low, high);
      EXPECT_EQ(a, Ranked(values, low)) << name << " rank " << low;
      EXPECT_EQ(b, Ranked(values, high)) << name << " rank " << high;
    }
    EXPECT_EQ(values, before) << name;
  }
}

}  // namespace
}  // namespace rfsplitter
