#include "engine/listing.h"

#include <gtest/gtest.h>

#include "engine/tests/memory_window.h"

namespace rfsplitter {
namespace {

struct Case {
  const char* name;
  double value;
  const char* mantissa;
  const char* prefix;
};

class PrefixTest : public testing::TestWithParam<Case> {};

TEST_P(PrefixTest, ChoosesPrefixAndCutsMantissa) {
  const EngineeringValue e = ToEngineering(GetParam().value);
  EXPECT_EQ(e.mantissa, GetParam().mantissa);
  EXPECT_EQ(e.prefix, GetParam().prefix);
}

INSTANTIATE_TEST_SUITE_P(
    , PrefixTest,
    testing::Values(
        Case{"MillionHasNoPrefix", 1000000, "", ""}, Case{"AboveMillion", 3e9, "", ""},
        Case{"JustBelowMillion", 999999, "999.", "k"}, Case{"ThousandIsKilo", 1000, "1", "k"},
        Case{"JustBelowThousand", 999.999, "999.", " "}, Case{"OneIsPlain", 1, "1", " "},
        Case{"HundredOhms", 100, "100", " "}, Case{"JustBelowOne", 0.9999, "999.", "m"},
        Case{"MilliBoundary", 0.001, "1", "m"}, Case{"MicroBoundary", 0.000001, "1", "u"},
        Case{"NanoBoundary", 0.000000001, "1", "n"}, Case{"JustBelowNano", 9.99e-10, "999", "p"},
        Case{"CutNotRounded", 1.58760336708951e-06, "1.58", "u"},
        Case{"CutKeepsPoint", 9.30219269659608e-07, "930.", "n"},
        Case{"Femtofarads", 4.5e-15, "0.00", "p"}, Case{"ZeroIsPico", 0, "0", "p"},
        Case{"NegativeIsPico", -1e-12, "-1", "p"}),
    [](const testing::TestParamInfo<Case>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(ComponentLine, HasLabelBlanksPrefixAndCrLf) {
  EXPECT_EQ(ComponentLine("L1", 9.30219269659608e-07), "L1 =  930. n  \r\n");
  EXPECT_EQ(ComponentLine("R", 100), "R =  100    \r\n");
  EXPECT_EQ(ComponentLine("R", 1000), "R =  1 k  \r\n");
  EXPECT_EQ(ComponentLine("X", 2e6), "X =     \r\n");
}

TEST(ComponentLine, FollowsTheWindowsDecimalSeparator) {
  MemoryWindow window("12,1", "50", Topology::kNarrowSplitter, ',');
  AddComponentLine(window, "C2", Number::Double(1.11626312359153e-09));
  AddComponentLine(window, "L1", Number::Double(9.30219269659608e-07));
  EXPECT_EQ(window.listing, "C2 =  1,11 n  \r\nL1 =  930, n  \r\n");
}

}  // namespace
}  // namespace rfsplitter
