#include "engine/inputs.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/tests/memory_window.h"

namespace rfsplitter {
namespace {

struct ParseCase {
  const char* name;
  std::string text;
  bool is_number;
  float value;
};

class ParseNumberTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTest, AcceptsOnlyPlainNumbers) {
  const std::optional<ParsedNumber> parsed = ParseNumber(GetParam().text);
  ASSERT_EQ(parsed.has_value(), GetParam().is_number);
  if (parsed) {
    EXPECT_TRUE(parsed->representable);
    EXPECT_EQ(parsed->value, GetParam().value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    , ParseNumberTest,
    testing::Values(
        ParseCase{"Plain", "12.1", true, 12.1f},
        ParseCase{"TrailingZeroTyped", "12.10", true, 12.1f},
        ParseCase{"Blanks", " \t 50 \t", true, 50.0f}, ParseCase{"PlusSign", "+7", true, 7.0f},
        ParseCase{"MinusSign", "-7", true, -7.0f}, ParseCase{"LeadingPoint", ".5", true, 0.5f},
        ParseCase{"TrailingPoint", "5.", true, 5.0f}, ParseCase{"Exponent", "1e3", true, 1000.0f},
        ParseCase{"SignedExponent", "2.5E-1", true, 0.25f},
        ParseCase{"RoundsToNearestSingle", "50000.001", true, 50000.0f},
        ParseCase{"Empty", "", false, 0}, ParseCase{"OnlyBlanks", "   ", false, 0},
        ParseCase{"Letters", "abc", false, 0}, ParseCase{"LoneSign", "-", false, 0},
        ParseCase{"LonePoint", ".", false, 0}, ParseCase{"ExponentWithoutDigits", "1e", false, 0},
        ParseCase{"ExponentSignWithoutDigits", "1e+", false, 0},
        ParseCase{"TwoPoints", "1.2.3", false, 0}, ParseCase{"TwoSigns", "+-1", false, 0},
        ParseCase{"BlankInside", "1 2", false, 0}, ParseCase{"Infinity", "inf", false, 0},
        ParseCase{"NotANumber", "nan", false, 0}, ParseCase{"Hexadecimal", "0x10", false, 0},
        ParseCase{"ThousandsSeparator", "1,000", false, 0}, ParseCase{"Currency", "$5", false, 0},
        ParseCase{"Unit", "12MHz", false, 0},
        ParseCase{"EmbeddedNul",
                  std::string("12\0"
                              "5",
                              4),
                  false, 0},
        ParseCase{"ArabicIndicDigits", "\xD9\xA1\xD9\xA2", false, 0},
        ParseCase{"FullwidthDigit", "\xEF\xBC\x95", false, 0}),
    [](const testing::TestParamInfo<ParseCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(ParseNumber, MarksValuesBeyondSinglePrecision) {
  EXPECT_FALSE(ParseNumber("1e39")->representable);
  EXPECT_FALSE(ParseNumber("-1e39")->representable);
  EXPECT_FALSE(ParseNumber("1e-50")->representable);
  EXPECT_FALSE(ParseNumber("1e99999999999999999999")->representable);
  EXPECT_TRUE(ParseNumber("0")->representable);
  EXPECT_TRUE(ParseNumber("0e-50")->representable);
}

TEST(ParseNumber, FollowsTheDecimalSeparator) {
  EXPECT_EQ(ParseNumber("12,1", ',')->value, 12.1f);
  EXPECT_FALSE(ParseNumber("12.1", ','));
}

TEST(ParseNumber, CopesWithHugeTexts) {
  EXPECT_FALSE(ParseNumber(std::string(100000, '9'))->representable);
  EXPECT_FALSE(ParseNumber("0." + std::string(100000, '0') + "1")->representable);
  EXPECT_EQ(ParseNumber(std::string(100000, '0') + "12.5")->value, 12.5f);
  EXPECT_FALSE(ParseNumber(std::string(100000, 'x')));
}

TEST(ReadInputs, RepairsEmptyAndNonNumericTextSilently) {
  MemoryWindow window("", "abc");
  EXPECT_EQ(ReadFrequency(window), 12.1f);
  EXPECT_EQ(ReadImpedance(window), 50.0f);
  EXPECT_EQ(window.frequency, "12.1");
  EXPECT_EQ(window.impedance, "50");
  EXPECT_TRUE(window.warnings.empty());
}

TEST(ReadInputs, WarnsAboutOutOfRangeNumbersAndPutsTheDefaultBack) {
  MemoryWindow window("60000", "0.5");
  EXPECT_EQ(ReadFrequency(window), 12.1f);
  EXPECT_EQ(ReadImpedance(window), 50.0f);
  EXPECT_EQ(window.events,
            (std::vector<std::string>{
                "warn frequency range outside recommended range.  ", "set frequency 12.1",
                "warn Impedance range outside recommended limits.  ", "set impedance 50"}));
}

TEST(ReadInputs, BoundsAreInclusive) {
  for (const auto& [frequency, impedance] :
       {std::pair{"0.001", "1"}, {"50000", "500"}, {"50000.001", "500"}}) {
    MemoryWindow window(frequency, impedance);
    ReadFrequency(window);
    ReadImpedance(window);
    EXPECT_TRUE(window.warnings.empty()) << frequency << " " << impedance;
    EXPECT_EQ(window.frequency, frequency);
  }
}

TEST(ReadInputs, ZeroNegativeAndUnrepresentableNumbersAreOutOfRange) {
  for (const char* text : {"0", "-12.1", "1e39", "1e-50", "50000.01"}) {
    MemoryWindow window(text, text);
    EXPECT_EQ(ReadFrequency(window), 12.1f) << text;
    EXPECT_EQ(ReadImpedance(window), 50.0f) << text;
    EXPECT_EQ(window.warnings.size(), 2u) << text;
  }
}

TEST(ReadInputs, KeepsTheTypedTextOfAnAcceptedNumber) {
  MemoryWindow window("12.10", " 75 ");
  EXPECT_EQ(ReadFrequency(window), 12.1f);
  EXPECT_EQ(ReadImpedance(window), 75.0f);
  EXPECT_EQ(window.frequency, "12.10");
  EXPECT_EQ(window.impedance, " 75 ");
}

TEST(ReadInputs, DefaultFollowsTheLocale) {
  MemoryWindow window("", "", Topology::kNarrowSplitter, ',');
  EXPECT_EQ(ReadFrequency(window), 12.1f);
  EXPECT_EQ(window.frequency, "12,1");
}

// Random texts over the characters that matter to the grammar: whatever is
// typed, the run gets a value inside the accepted range, the box ends up with
// a text that reads as that value, and a warning is shown only for numbers.
TEST(ReadInputs, AnyTextYieldsAnAcceptedValue) {
  static const char kAlphabet[] = "0123456789.,+-eE \tx\0\xff";
  const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
  std::mt19937 random(20261208);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = std::uniform_int_distribution<int>(0, 24)(random);
    for (int i = 0; i < length; ++i) {
      text += alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)];
    }
    MemoryWindow window(text, text);
    const float f = ReadFrequency(window);
    const float z = ReadImpedance(window);
    ASSERT_GE(f, kLowestFrequencyMhz) << text;
    ASSERT_LE(f, kHighestFrequencyMhz) << text;
    ASSERT_GE(z, kLowestImpedanceOhms) << text;
    ASSERT_LE(z, kHighestImpedanceOhms) << text;
    ASSERT_EQ(ParseNumber(window.frequency)->value, f) << text;
    ASSERT_EQ(ParseNumber(window.impedance)->value, z) << text;
    if (!window.warnings.empty()) {
      ASSERT_TRUE(ParseNumber(text).has_value()) << text;
    }
  }
}

}  // namespace
}  // namespace rfsplitter
