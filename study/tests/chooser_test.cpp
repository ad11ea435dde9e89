// The chooser weighs only forms that meet the designer's constraints, and
// ranks those that cover the band first and the fewest parts among them.
#include "study/chooser.h"

#include <gtest/gtest.h>

#include <clocale>

namespace rfsplitter {
namespace {

TEST(Chooser, WeighsOnlyTheFormsThatMeetTheConstraints) {
  ChoiceRequest r;
  r.phase_deg = 90;
  for (const Form& f : CandidateForms(r)) EXPECT_EQ(f.family, FormFamily::kQuad);
  r.phase_deg = 180;
  for (const Form& f : CandidateForms(r)) EXPECT_EQ(f.family, FormFamily::kRing);
  r.phase_deg.reset();
  r.ways = 3;
  for (const Form& f : CandidateForms(r)) {
    EXPECT_EQ(f.family, FormFamily::kSplitter);
    EXPECT_EQ(f.ways, 3);
  }
  // An unequal split: no ring, one section each, the split kept.
  r.ways.reset();
  r.split_db = 3;
  const std::vector<Form> unequal = CandidateForms(r);
  EXPECT_EQ(unequal.size(), 4u);  // splitter and quad, each arm form
  for (const Form& f : unequal) {
    EXPECT_NE(f.family, FormFamily::kRing);
    EXPECT_EQ(f.sections, 1);
    EXPECT_EQ(f.split_db, 3);
  }
  r.split_db.reset();
  r.ways = 4;
  r.phase_deg = 90;
  std::string error;
  EXPECT_FALSE(Choose(r, error));
  EXPECT_FALSE(error.empty());
}

TEST(Chooser, CoveringFormsFirstByParts) {
  ChoiceRequest r;
  r.low_mhz = 850, r.high_mhz = 980;
  std::string error;
  const std::optional<Choice> c = Choose(r, error);
  ASSERT_TRUE(c) << error;
  ASSERT_TRUE(c->chosen);
  bool covering = true;
  int parts = 0;
  for (const ChoiceCandidate& k : c->candidates) {
    EXPECT_FALSE(k.covers && !covering) << "a covering form after one that does not";
    if (k.covers) {
      EXPECT_GE(k.parts, parts);
      parts = k.parts;
      // Designed where it covers the band: inside its usable band.
      EXPECT_LE(k.usable_mhz->first, 850);
      EXPECT_GE(k.usable_mhz->second, 980);
    }
    covering = k.covers;
  }
  r.low_mhz = 980, r.high_mhz = 850;
  EXPECT_FALSE(Choose(r, error));
}

// The window sets the C library's locale from the user's; the design
// frequencies are the same under a comma-decimal one.
TEST(Chooser, DesignFrequenciesAlikeUnderACommaLocale) {
  ChoiceRequest r;
  r.low_mhz = 850, r.high_mhz = 980;
  std::string error;
  const std::optional<Choice> c = Choose(r, error);
  ASSERT_TRUE(c) << error;
  const std::string was = std::setlocale(LC_NUMERIC, nullptr);
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr) << "no de_DE.UTF-8 locale";
  const std::optional<Choice> german = Choose(r, error);
  std::setlocale(LC_NUMERIC, was.c_str());
  ASSERT_TRUE(german) << error;
  ASSERT_EQ(german->candidates.size(), c->candidates.size());
  for (size_t i = 0; i < c->candidates.size(); ++i) {
    EXPECT_EQ(german->candidates[i].frequency_mhz, c->candidates[i].frequency_mhz);
  }
}

}  // namespace
}  // namespace rfsplitter
