// The schematic drawn from a circuit: every part once, with its value, and
// no two parts' labels on top of one another, at two to four ways and with
// sections.
#include "exports/schematic.h"

#include <gtest/gtest.h>

#include <regex>
#include <vector>

#include "engine/form_netlist.h"

namespace rfsplitter {
namespace {

struct Label {
  double x, y;
  std::string text;
};

std::vector<Label> Labels(const std::string& svg) {
  static const std::regex text(R"re(<text x="([0-9.-]+)" y="([0-9.-]+)"[^>]*>([^<]*)</text>)re");
  std::vector<Label> labels;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text); it != std::sregex_iterator();
       ++it) {
    labels.push_back({std::stod((*it)[1]), std::stod((*it)[2]), (*it)[3]});
  }
  return labels;
}

TEST(Schematic, EveryPartOnceAndNoLabelOnAnother) {
  const Form forms[] = {{FormFamily::kSplitter, 2, 0, 1, ArmForm::kLowPass},
                        {FormFamily::kSplitter, 3, 0, 1, ArmForm::kHighPass},
                        {FormFamily::kSplitter, 4, 0, 1, ArmForm::kLowPass},
                        {FormFamily::kSplitter, 2, -6, 1, ArmForm::kLowPass},
                        {FormFamily::kSplitter, 2, 0, 3, ArmForm::kHighPass},
                        {FormFamily::kQuad, 2, 0, 2, ArmForm::kLowPass},
                        {FormFamily::kQuad, 2, 0, 3, ArmForm::kHighPass},
                        {FormFamily::kRing, 2, 0, 1, ArmForm::kHighPass}};
  for (const Form& form : forms) {
    const Netlist n = IdealNetlist(FormDesign(form, {915, 50}));
    const std::vector<Label> labels = Labels(SchematicSvg(n));
    for (const NetlistElement& e : n.elements) {
      const auto count = std::count_if(labels.begin(), labels.end(),
                                       [&](const Label& l) { return l.text == e.name; });
      EXPECT_EQ(count, 1) << FormText(form) << " " << e.name;
    }
    // A label is about 13 px high and a name or value under 80 px wide:
    // two closer than that in both directions overlap.
    for (size_t i = 0; i < labels.size(); ++i) {
      for (size_t j = i + 1; j < labels.size(); ++j) {
        const bool apart =
            std::abs(labels[i].y - labels[j].y) >= 13 || std::abs(labels[i].x - labels[j].x) >= 80;
        EXPECT_TRUE(apart) << FormText(form) << ": " << labels[i].text << " on " << labels[j].text;
      }
    }
  }
}

}  // namespace
}  // namespace rfsplitter
