#include "engine/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace rfsplitter {
namespace {

struct Case {
  const char* name;
  Number number;
  const char* text;
};

class NumberTextTest : public testing::TestWithParam<Case> {};

TEST_P(NumberTextTest, Formats) { EXPECT_EQ(NumberText(GetParam().number), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    , NumberTextTest,
    testing::Values(
        Case{"Zero", Number::Double(0), "0"}, Case{"Whole", Number::Double(100), "100"},
        Case{"HalfHasLeadingZero", Number::Double(0.5), "0.5"},
        Case{"Negative", Number::Double(-2.5), "-2.5"},
        Case{"NegativeExponent", Number::Double(-9.30219269659608e-07), "-9.30219269659608E-07"},
        Case{"InductorInExponentForm", Number::Double(9.30219269659608e-07),
             "9.30219269659608E-07"},
        Case{"MicroInductor", Number::Double(1.58760336708951e-06), "1.58760336708951E-06"},
        Case{"FifteenDigitsCut", Number::Double(1210000.0381469727), "1210000.03814697"},
        Case{"RoundsUpAtFifteenth", Number::Double(2.0 / 3.0), "0.666666666666667"},
        Case{"RoundsDownAtFifteenth", Number::Double(1.0 / 3.0), "0.333333333333333"},
        Case{"NoTrailingZeros", Number::Double(0.1 + 0.2), "0.3"},
        Case{"PlainAtLowerBound", Number::Double(0.0001), "0.0001"},
        Case{"ExponentJustBelowLowerBound", Number::Double(0.0000999999), "9.99999E-05"},
        Case{"RoundingIntoPlainRange", Number::Double(0.0000999999999999999995), "0.0001"},
        Case{"PlainJustBelowUpperBound", Number::Double(999999999999999), "999999999999999"},
        Case{"ExponentAtUpperBound", Number::Double(1e15), "1E+15"},
        Case{"CarryIntoUpperBound", Number::Double(9.99999999999999949e14), "1E+15"},
        Case{"CarryInsideMantissa", Number::Double(1.99999999999999999), "2"},
        Case{"ThreeDigitExponent", Number::Double(1.5e100), "1.5E+100"},
        Case{"SmallPlainWithZeros", Number::Double(0.000123), "0.000123"},
        Case{"SingleFrequency", Number::Single(12.1f), "12.1"},
        Case{"SingleSevenDigits", Number::Single(1234567.8f), "1234568"},
        Case{"SingleRoundsAwayBinaryError", Number::Single(66.6f), "66.6"},
        Case{"SingleJustBelowUpperBound", Number::Single(9999999.0f), "9999999"},
        Case{"SingleExponentAtUpperBound", Number::Single(1e7f), "1E+07"},
        Case{"SingleLowerBound", Number::Single(0.001f), "0.001"},
        Case{"SingleBelowPlainRange", Number::Single(0.00001f), "1E-05"},
        Case{"SingleLargestAccepted", Number::Single(50000.001f), "50000"}),
    [](const testing::TestParamInfo<Case>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(NumberText, UsesTheGivenDecimalSeparator) {
  EXPECT_EQ(NumberText(12.1f, ','), "12,1");
  EXPECT_EQ(NumberText(9.30219269659608e-07, ','), "9,30219269659608E-07");
  EXPECT_EQ(NumberText(50.0f, ','), "50");
}

// The fixed and general forms that the analysis table, the plot and the
// netlist use, against the texts printf writes in the C locale.
TEST(NumberText, FixedAndGeneralFormsMatchTheCLocalesPrintf) {
  EXPECT_EQ(FixedText(-3.0103, 3), "-3.010");
  EXPECT_EQ(FixedText(0.005, 2), "0.01");  // 0.005 is a little above, as a double
  EXPECT_EQ(FixedText(-0.0001, 2), "-0.00");
  EXPECT_EQ(GeneralText(10.5126123, 6), "10.5126");
  EXPECT_EQ(GeneralText(0.00001, 6), "1e-05");
  EXPECT_EQ(GeneralText(1210000, 17), "1210000");
  EXPECT_EQ(GeneralText(1.1, 17), "1.1000000000000001");
  EXPECT_EQ(ShortestText(0.1), "0.1");
  EXPECT_EQ(RightAligned("-3.010", 8), "  -3.010");
  EXPECT_EQ(RightAligned("123456789", 8), "123456789");
}

// Qt sets the C library's locale from the user's: under a comma locale the
// texts must not change. The locale comes from the build's own copy
// (LOCPATH); without it the test would prove nothing, so it fails.
TEST(NumberText, IgnoresTheCLibrarysNumericLocale) {
  const std::vector<double> values = {12.1, 9.30219269659608e-07, 1.5e100, -2.5, 1e15, 0.0001};
  std::vector<std::string> in_c;
  for (const double v : values) {
    in_c.push_back(NumberText(v) + "|" + FixedText(v, 3) + "|" + GeneralText(v, 6) + "|" +
                   ShortestText(v));
  }
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr) << "no de_DE.UTF-8 locale";
  ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
  std::vector<std::string> in_german;
  for (const double v : values) {
    in_german.push_back(NumberText(v) + "|" + FixedText(v, 3) + "|" + GeneralText(v, 6) + "|" +
                        ShortestText(v));
  }
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(in_german, in_c);
  EXPECT_EQ(in_c[0], "12.1|12.100|12.1|12.1");
}

}  // namespace
}  // namespace rfsplitter
