#include "engine/si_value.h"

#include <gtest/gtest.h>

#include "engine/quoted.h"

namespace rfsplitter {
namespace {

TEST(SiValue, ReadsPrefixesAndUnitsWithOneRounding) {
  const struct {
    const char* text;
    double value;
    Unit unit;
  } cases[] = {
      {"18n", 18e-9, Unit::kNone},       {"18 nH", 18e-9, Unit::kHenry},
      {" 0.1 pF ", 0.1e-12, Unit::kFarad}, {"1e-1p", 1e-13, Unit::kNone},
      {"100 ohm", 100, Unit::kOhm},      {"4.7\xce\xa9", 4.7, Unit::kOhm},
      {"2.2\xc2\xb5H", 2.2e-6, Unit::kHenry}, {"900MHz", 900e6, Unit::kHertz},
      {"3.1G", 3.1e9, Unit::kNone},      {"-15 dB", -15, Unit::kDecibel},
      {"1e2%", 100, Unit::kPercent},     {"+.5", 0.5, Unit::kNone},
      {"5.", 5, Unit::kNone},            {"1e-400", 0, Unit::kNone},
      {"10 fF", 10e-15, Unit::kFarad},   {"2 mH", 2e-3, Unit::kHenry},
  };
  for (const auto& c : cases) {
    std::string error;
    const std::optional<SiValue> v = ParseSiValue(c.text, error);
    ASSERT_TRUE(v) << c.text << ": " << error;
    EXPECT_EQ(v->value, c.value) << c.text;
    EXPECT_EQ(v->unit, c.unit) << c.text;
  }
}

TEST(SiValue, RefusesWithAReason) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {{"", "is not a number"},
               {"NaN", "is not a number"},
               {"inf", "is not a number"},
               {"-infinity", "is not a number"},
               {"0x10", "has an unknown prefix or unit \"x10\""},
               {"1e400", "is too large"},
               {"1e308 G", "is too large"},
               {"5 %p", "has an unknown prefix or unit \"%p\""},
               {"2 k%", "has an unknown prefix or unit \"k%\""},
               {"1.2.3", "has an unknown prefix or unit \".3\""},
               {"12 MHz x", "has an unknown prefix or unit \"MHz x\""}};
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseSiValue(c.text, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(SiText, ChoosesThePrefixThatKeepsTheMantissaAboveOne) {
  EXPECT_EQ(SiText(3.1e9, Unit::kHertz), "3.1 GHz");
  EXPECT_EQ(SiText(0.4e-9, Unit::kHenry), "400 pH");
  EXPECT_EQ(SiText(0.2, Unit::kOhm), "200 mohm");
}

TEST(Quoted, EscapesWhatCouldForgeOrReorderALine) {
  EXPECT_EQ(Quoted("a\nb\x1b[2J"), "\"a\\nb\\x1b[2J\"");
  EXPECT_EQ(Quoted("\xc2\x9b" "31m"), "\"\\xc2\\x9b31m\"");            // C1 control
  EXPECT_EQ(Quoted("\x9b" "31m"), "\"\\x9b31m\"");                     // no UTF-8
  EXPECT_EQ(Quoted("\xe2\x80\xae" "txt.exe"), "\"\\u202etxt.exe\"");  // right-to-left
  EXPECT_EQ(Quoted("\xed\xa0\x80"), "\"\\xed\\xa0\\x80\"");            // a surrogate
  EXPECT_EQ(Quoted("18 \xc2\xb5H, \xce\xa9"), "\"18 \xc2\xb5H, \xce\xa9\"");
  EXPECT_EQ(QuotedShort(std::string(100, 'x'), 4), "\"xxxx\"... (100 bytes)");
  EXPECT_EQ(QuotedShort("\xce\xa9\xce\xa9\xce\xa9", 2), "\"\xce\xa9\xce\xa9\"... (6 bytes)");
}

}  // namespace
}  // namespace rfsplitter
