#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "engine/topologies.h"
#include "exports/exports.h"

namespace rfsplitter {
namespace {

// Reads a Touchstone 1.1 file back the way a simulator does: comments after
// '!', one option line, then for each frequency one number and N x N
// magnitude/angle pairs, row by row.
struct ParsedTouchstone {
  std::string options;
  std::vector<double> frequencies;
  std::vector<std::vector<Complex>> matrices;
  size_t longest_line_pairs = 0;
};

ParsedTouchstone Parse(const std::string& text, int ports) {
  ParsedTouchstone parsed;
  std::istringstream lines(text);
  std::vector<double> numbers;
  for (std::string line; std::getline(lines, line);) {
    line = line.substr(0, line.find('!'));
    if (line.empty()) continue;
    if (line[0] == '#') {
      EXPECT_TRUE(parsed.options.empty()) << "a second option line";
      parsed.options = line;
      continue;
    }
    std::istringstream fields(line);
    size_t count = 0;
    for (double v; fields >> v;) {
      numbers.push_back(v);
      ++count;
    }
    EXPECT_TRUE(fields.eof()) << "not a number in: " << line;
    parsed.longest_line_pairs = std::max(parsed.longest_line_pairs, count / 2);
  }
  const size_t per_point = 1 + 2 * size_t(ports * ports);
  EXPECT_EQ(numbers.size() % per_point, 0u);
  for (size_t i = 0; i + per_point <= numbers.size(); i += per_point) {
    parsed.frequencies.push_back(numbers[i]);
    std::vector<Complex> s;
    for (size_t k = i + 1; k < i + per_point; k += 2) {
      s.push_back(std::polar(numbers[k], numbers[k + 1] * std::numbers::pi / 180));
    }
    parsed.matrices.push_back(s);
  }
  return parsed;
}

class TouchstoneTest : public testing::TestWithParam<Topology> {};

TEST_P(TouchstoneTest, ParsesBackToTheAnalysis) {
  const Netlist d = IdealNetlist(ComputeDesign(GetParam(), {12.1f, 75}));
  std::string error;
  const SweepResponse response = AnalyzeSweep(d, error);
  ASSERT_EQ(response.frequencies_hz.size(), 200u) << error;
  const int ports = CircuitOf(GetParam()).device_ports;
  const ParsedTouchstone parsed = Parse(TouchstoneText(d, response), ports);

  EXPECT_EQ(parsed.options, "# Hz S MA R 75");
  EXPECT_LE(parsed.longest_line_pairs, 4u);
  ASSERT_EQ(parsed.frequencies.size(), 200u);
  for (size_t i = 0; i < 200; ++i) {
    EXPECT_EQ(parsed.frequencies[i], response.frequencies_hz[i]);
    for (int to = 1; to <= ports; ++to) {
      for (int from = 1; from <= ports; ++from) {
        const Complex expected = response.s[i](to, from);
        EXPECT_NEAR(std::abs(parsed.matrices[i][size_t((to - 1) * ports + from - 1)] - expected), 0,
                    1e-12);
      }
    }
  }
}

TEST_P(TouchstoneTest, EachMatrixRowStartsANewLine) {
  const Netlist d = IdealNetlist(ComputeDesign(GetParam(), {12.1f, 50}));
  std::string error;
  const std::string text = TouchstoneText(d, AnalyzeSweep(d, error));
  const int ports = CircuitOf(GetParam()).device_ports;
  size_t data_lines = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line[0] != '!' && line[0] != '#') ++data_lines;
  }
  EXPECT_EQ(data_lines, 200u * size_t(ports));
}

INSTANTIATE_TEST_SUITE_P(, TouchstoneTest, testing::ValuesIn(kAllTopologies),
                         [](const testing::TestParamInfo<Topology>& param_info) {
                           return std::string(TextsOf(param_info.param).file_stem);
                         });

TEST(TouchstoneFileName, FollowsThePortCount) {
  EXPECT_EQ(TouchstoneFileName(IdealNetlist(ComputeDesign(Topology::kNarrowSplitter, {12.1f, 50}))),
            "NarrowSplitter12.1.s3p");
  EXPECT_EQ(TouchstoneFileName(IdealNetlist(ComputeDesign(Topology::kWideQuad, {100, 50}))),
            "WideQuad100.s4p");
}

}  // namespace
}  // namespace rfsplitter
