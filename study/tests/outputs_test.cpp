#include "study/outputs.h"

#include <gtest/gtest.h>

#include <map>

namespace rfsplitter {
namespace {

// A small RFC 4180 reader: fields split at commas outside quotes, "" inside
// quotes is one quote, rows end in CR LF.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false;
  bool any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"', ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true, any = true;
    } else if (c == ',') {
      rows.back().push_back(field), field.clear(), any = true;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      if (any || !field.empty()) rows.back().push_back(field);
      field.clear(), any = false, ++i;
      rows.emplace_back();
    } else {
      field += c;
    }
  }
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

TEST(PartsList, PartsThenDistinctValuesThatSumToTheParts) {
  StudyRequest request;
  request.topology = Topology::kWideQuad;
  request.inputs = {433.92f, 50};
  request.parts.inductors = PartSeries::Standard("E12");
  request.parts.capacitors = PartSeries::Standard("E24");
  request.models.inductor.q = 40;
  const StudyResult result = *RunStudy(request).result;
  const BuiltCircuit& built = *result.built;
  const auto rows = ReadCsv(PartsListCsv(result));

  ASSERT_EQ(rows[0].size(), 10u);
  EXPECT_EQ(rows[0][7], "Value (H, F, ohm)");
  size_t i = 1;
  std::map<std::string, int> parts_per_value;
  for (; i < rows.size() && !rows[i].empty(); ++i) {
    ASSERT_EQ(rows[i].size(), 10u) << i;
    const NetlistElement* e = built.netlist.Find(rows[i][0]);
    ASSERT_NE(e, nullptr) << rows[i][0];
    EXPECT_EQ(std::stod(rows[i][7]), e->value);
    EXPECT_EQ(std::stod(rows[i][9]), e->loss_ohms);
    EXPECT_EQ(rows[i][3], e->kind == ElementKind::kInductor ? "E12" : "E24");
    ++parts_per_value[rows[i][7]];
  }
  EXPECT_EQ(i - 1, built.netlist.elements.size());
  ASSERT_LT(i + 1, rows.size());
  EXPECT_EQ(rows[i + 1][3], "Count");
  int counted = 0;
  for (size_t j = i + 2; j < rows.size(); ++j) {
    EXPECT_EQ(std::stoi(rows[j][3]), parts_per_value[rows[j][4]]) << rows[j][0];
    counted += std::stoi(rows[j][3]);
  }
  EXPECT_EQ(counted, int(built.netlist.elements.size()));
}

TEST(PartsList, QuotesFieldsAsRfc4180Says) {
  EXPECT_EQ(CsvField("E12"), "E12");
  EXPECT_EQ(CsvField("my, parts.txt"), "\"my, parts.txt\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
}

}  // namespace
}  // namespace rfsplitter
