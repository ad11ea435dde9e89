#include "measure/measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/number_text.h"
#include "engine/touchstone_read.h"
#include "study/study.h"

namespace rfsplitter {
namespace {

// The narrow splitter's S at three frequencies, as the analysis gives it.
SweepResponse SplitterResponse() {
  StudyRequest request;
  request.inputs = {915, 50};
  const Netlist n = RunStudy(request).result->ideal;
  SweepResponse r;
  for (const double f : {800e6, 915e6, 1000e6}) {
    SMatrix s(3);
    BoundNetlist(n).Analyze(f, s);
    r.frequencies_hz.push_back(f);
    r.s.push_back(s);
  }
  return r;
}

std::string Pair(Complex v) { return ShortestText(v.real()) + " " + ShortestText(v.imag()) + " "; }

// The response as a Touchstone text: 1.1, or 2.0 in a matrix format.
std::string FileText(const SweepResponse& r, const std::string& matrix) {
  std::string text = matrix.empty() ? "# Hz S RI R 50\n"
                                    : "[Version] 2.0\n# Hz S RI R 50\n[Number of Ports] 3\n"
                                      "[Number of Frequencies] 3\n[Reference] 50 50\n 50\n"
                                      "[Matrix Format] " +
                                          matrix + "\n[Network Data]\n";
  for (size_t i = 0; i < r.s.size(); ++i) {
    text += ShortestText(r.frequencies_hz[i]) + " ";
    for (int row = 1; row <= 3; ++row) {
      for (int column = 1; column <= 3; ++column) {
        if ((matrix == "Lower" && column > row) || (matrix == "Upper" && column < row)) continue;
        text += Pair(r.s[i](row, column));
      }
      text += "\n";
    }
  }
  return text + (matrix.empty() ? "" : "[End]\n");
}

TEST(BoardFile, ReadsVersionOneAndEveryMatrixFormatOfTwoAlike) {
  const SweepResponse r = SplitterResponse();
  for (const std::string matrix : {"", "Full", "Lower", "Upper"}) {
    std::string error;
    const auto m = MeasurementOf(FileText(r, matrix), "b.s3p", 3, "the splitter", 50, error);
    ASSERT_TRUE(m) << matrix << ": " << error;
    ASSERT_EQ(m->frequencies_hz, r.frequencies_hz);
    EXPECT_TRUE(m->Complete());
    for (size_t i = 0; i < 3; ++i)
      for (int to = 1; to <= 3; ++to)
        for (int from = 1; from <= 3; ++from)
          EXPECT_NEAR(std::abs(m->s[i](to, from) - r.s[i](to, from)), 0, 1e-12) << matrix;
  }
}

TEST(BoardFile, RefersOtherImpedancesToTheDesigns) {
  // A 75-ohm load at port 1 and a through between 2 and 3, in a file
  // referred to 75 ohms at port 1 and 50 at the others.
  const std::string text =
      "[Version] 2.0\n# MHz S MA R 50\n[Number of Ports] 3\n[Reference] 75 50 50\n"
      "[Network Data]\n915 0 0 0 0 0 0\n 0 0 0 0 1 0\n 0 0 1 0 0 0\n[End]\n";
  std::string error;
  const auto m = MeasurementOf(text, "b.s3p", 3, "the splitter", 50, error);
  ASSERT_TRUE(m) << error;
  EXPECT_NEAR(m->s[0](1, 1).real(), 0.2, 1e-12);  // (75 - 50) / (75 + 50)
  EXPECT_NEAR(std::abs(m->s[0](3, 2) - 1.0), 0, 1e-12);
  EXPECT_NEAR(std::abs(m->s[0](2, 2)), 0, 1e-12);
}

TEST(BoardFile, TwoPortOrderFollowsTheFile) {
  const std::string head = "[Version] 2.0\n# Hz S RI\n[Number of Ports] 2\n";
  for (const auto& [order, s21] : {std::pair{"12_21", 0.3}, std::pair{"21_12", 0.6}}) {
    std::string error;
    const auto data = ReadTouchstone(head + "[Two-Port Data Order] " + order +
                                         "\n[Network Data]\n1e9 0.1 0 0.6 0 0.3 0 0.1 0\n[End]\n",
                                     "p.s2p", {2, "", "part"}, error);
    ASSERT_TRUE(data) << error;
    EXPECT_EQ(data->S(0, 2, 1).real(), s21) << order;
  }
}

TEST(BoardFile, RefusesWhatIsNoBoardOfTheForm) {
  const std::string v2 = "[Version] 2.0\n# Hz S RI R 50\n[Number of Ports] 3\n";
  const std::string point = "1e9 0 0 .5 0 .5 0\n .5 0 0 0 .5 0\n .5 0 .5 0 0 0\n";
  const struct {
    std::string name, text, error;
  } cases[] = {
      {"b.s4p", point, "b.s4p: a 4-port file; the splitter has 3 ports (.s3p)"},
      {"b.s3p", "[Version] 2.0\n# Hz S RI\n[Number of Ports] 2\n", "a 2-port file"},
      {"b.s3p", v2 + "[Network Data]\n" + point, "ends with [End]"},
      {"b.s3p", v2 + "[Number of Frequencies] 2\n[Network Data]\n" + point + "[End]\n",
       "[Number of Frequencies] says 2, the file has 1"},
      {"b.s3p", v2 + "[Mixed-Mode Order] D2,3\n", "mixed-mode files are not read"},
      {"b.s3p", v2 + "[Reference] 50 50\n[Network Data]\n", "[Reference] gives too few"},
      {"b.s3p", v2 + "[Network Data]\n1e9 0 0 .5 0 .5 0\n[End]\n", "a point is cut short"},
      {"b.s3p", point + "2e9 0 0\n", "line 4: the last point is cut short: 3 of its 19 numbers"},
      {"b.s3p", "# Hz\n1e9 0 0 .9 0 .9 0\n .9 0 0 0 0 0\n .9 0 0 0 0 0\n",
       "not a passive board at 1 GHz"},
      {"b.s3p", "[Number of Ports] 3\n", "line 1: a keyword in a file without [Version] 2.0"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(MeasurementOf(c.text, c.name, 3, "the splitter", 50, error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
}

TEST(MeasuredPairs, AssembleTheBoardAndLeaveOutWhatNobodyMeasured) {
  const std::string p21 = "# Hz S RI\n9e8 .1 0 .7 0 .7 0 .2 0\n1e9 .1 0 .7 0 .7 0 .2 0\n";
  const std::string p31 = "# Hz S RI\n9e8 .3 0 .6 0 .6 0 .4 0\n1e9 .3 0 .6 0 .6 0 .4 0\n";
  std::string error;
  std::vector<PairFile> pairs = {*ParsePairOption("1,2=p21.s2p", 3, error),
                                 *ParsePairOption("1,3=p31.s2p", 3, error)};
  pairs[0].text = p21, pairs[1].text = p31;
  const auto m = AssembledMeasurement(pairs, 3, 50, error);
  ASSERT_TRUE(m) << error;
  EXPECT_DOUBLE_EQ(m->s[1](1, 1).real(), 0.2);  // the mean of both pairs' S11
  EXPECT_DOUBLE_EQ(m->s[1](3, 1).real(), 0.6);
  EXPECT_EQ(m->Missing(), "S23, S32");
  EXPECT_TRUE(std::isnan(m->s[0](3, 2).real()));
  const DesignSummary s = SummarizeMeasurement(*m, 950e6, Limits{});
  EXPECT_TRUE(std::isnan(s.figures.isolation_db));
  EXPECT_FALSE(s.bands.isolation);

  pairs[1].text = "# Hz S RI\n9e8 .3 0 .6 0 .6 0 .4 0\n";
  EXPECT_FALSE(AssembledMeasurement(pairs, 3, 50, error));
  EXPECT_NE(error.find("p31.s2p: its frequencies are not those of p21.s2p"), std::string::npos);
  for (const std::string bad : {"1,1=x.s2p", "4,1=x.s2p", "1-2=x.s2p", "1,2="}) {
    EXPECT_FALSE(ParsePairOption(bad, 3, error)) << bad;
  }
}

TEST(MeasuredSummary, AgreesWithTheAnalysisOnTheDesignsOwnResponse) {
  StudyRequest request;
  request.inputs = {915, 50};
  request.summaries = request.sweeps = true;
  const StudyResult r = *RunStudy(request).result;
  Measurement m;
  m.ports = 3;
  m.measured.fill(true);
  // 2001 points over the simulation file's sweep.
  for (int i = 0; i <= 2000; ++i) {
    const double f = 915e6 * (0.1 + 1.8 * i / 2000.0);
    SMatrix s(3);
    BoundNetlist(r.ideal).Analyze(f, s);
    m.frequencies_hz.push_back(f);
    m.s.push_back(s);
  }
  const DesignSummary s = SummarizeMeasurement(m, 915e6, request.limits);
  const DesignSummary& a = *r.ideal_summary;
  EXPECT_NEAR(MagnitudeDb(s.s21), MagnitudeDb(a.s21), 1e-6);
  for (const auto& [x, y] : {std::pair{&s.bands.match, &a.bands.match},
                             std::pair{&s.bands.isolation, &a.bands.isolation},
                             std::pair{&s.bands.usable, &a.bands.usable}}) {
    ASSERT_TRUE(*x && *y);
    EXPECT_NEAR((*x)->low_hz / (*y)->low_hz, 1, 1e-3);
    EXPECT_NEAR((*x)->high_hz / (*y)->high_hz, 1, 1e-3);
  }
}

}  // namespace
}  // namespace rfsplitter
