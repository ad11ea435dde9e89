#include "study/study.h"

#include <gtest/gtest.h>

#include <atomic>

#include "study/report.h"

namespace rfsplitter {
namespace {

StudyRequest BuiltHybrid() {
  StudyRequest request;
  request.topology = Topology::kNarrowQuad;
  request.inputs = {433.92f, 50};
  request.parts.inductors = PartSeries::Standard("E12");
  request.parts.capacitors = PartSeries::Standard("E24");
  request.models.inductor.q = 40;
  request.summaries = true;
  return request;
}

TEST(RunStudy, TellsWhatTheNominalCircuitMissesBeforeAnyTolerance) {
  StudyRequest request = BuiltHybrid();
  request.monte_carlo = MonteCarloSettings{};
  request.monte_carlo->samples = 2000;
  request.monte_carlo->inductor = {0.05, true};
  request.monte_carlo->capacitor = {0.02, true};
  const StudyOutcome outcome = RunStudy(request);
  ASSERT_EQ(outcome.status, StudyOutcome::Status::kDone) << outcome.error;
  const StudyResult& r = *outcome.result;
  // E12 inductors with Q 40 unbalance the hybrid's outputs by 0.72 dB.
  ASSERT_EQ(r.nominal_misses.size(), 1u);
  EXPECT_EQ(r.nominal_misses[0].kind, LimitKind::kAmplitudeBalance);
  EXPECT_NEAR(r.nominal_misses[0].value, 0.72, 0.01);
  EXPECT_EQ(r.nominal_misses[0].frequency_hz, r.design.frequency_hz);
  EXPECT_FALSE(r.built_summary->bands.amplitude_balance);
  EXPECT_TRUE(r.built_summary->bands.match);
  const std::string text = AnalysisText(r);
  const size_t miss = text.find("imbalance 0.72 dB > 0.5 dB at 433.92 MHz");
  ASSERT_NE(miss, std::string::npos) << text;
  EXPECT_LT(miss, text.find("Most harmful"));
  // The parts table's numbers live in the result, not only in the text.
  ASSERT_EQ(r.parts.size(), 8u);
  EXPECT_EQ(r.parts[0].name, "L1");
  EXPECT_EQ(r.parts[0].series, "E12");
  EXPECT_NEAR(r.parts[0].error_percent, 15.65, 0.01);
}

// With parasitics and pads, a part's error is of what it acts as against
// what the circuit needs of it: a compensated part bought at its needed
// value is off by nothing, whatever its nominal value.
TEST(RunStudy, TheErrorIsOfWhatAPartActsAs) {
  StudyRequest request;
  request.topology = Topology::kWideQuad;
  request.inputs = {2450, 50};
  request.models.capacitor.esl_h = 0.4e-9;
  request.models.inductor.parallel_c_f = 0.2e-12;
  request.models.pad_capacitance_f = 0.1e-12;
  const StudyOutcome outcome = RunStudy(request);
  ASSERT_EQ(outcome.status, StudyOutcome::Status::kDone) << outcome.error;
  for (const PartRow& p : outcome.result->parts) {
    EXPECT_NE(p.chosen, p.ideal) << p.name;
    EXPECT_NEAR(p.error_percent, 0, 1e-6) << p.name;
    const double needed = p.kind == ElementKind::kCapacitor ? p.ideal - 0.1e-12 : p.ideal;
    EXPECT_NEAR(p.effective / needed, 1, 1e-9) << p.name;
  }
}

TEST(RunStudy, RefusesAnAbsoluteToleranceAsLargeAsAPart) {
  StudyRequest request = BuiltHybrid();
  request.monte_carlo = MonteCarloSettings{};
  request.monte_carlo->capacitor = {20e-12, false};  // the capacitors are 15 pF
  const StudyOutcome outcome = RunStudy(request);
  EXPECT_EQ(outcome.status, StudyOutcome::Status::kRefused);
  EXPECT_NE(outcome.error.find("capacitor tolerance +-20 pF is not smaller than C1, 15 pF"),
            std::string::npos)
      << outcome.error;
}

TEST(RunStudy, WarnsOfAPartFarFromItsIdealValue) {
  StudyRequest request = BuiltHybrid();
  request.parts.inductors = PartSeries::FromValues("coils.txt", {18e6}, {4});
  const StudyResult r = *RunStudy(request).result;
  ASSERT_FALSE(r.warnings.empty());
  EXPECT_EQ(r.warnings[0],
            "L1 = 18 MH (coils.txt line 4) is more than a decade from its ideal value, "
            "12.9697 nH");
}

// A window runs the study on a worker thread: it reports its progress and
// gives up soon after it is asked to.
TEST(RunStudy, ReportsProgressAndStopsWhenAsked) {
  StudyRequest request = BuiltHybrid();
  request.monte_carlo = MonteCarloSettings{};
  request.monte_carlo->samples = 1000000;
  request.monte_carlo->inductor = {0.05, true};
  // The stop is asked for as the window would, while the boards are drawn;
  // from the progress report, so that it comes at the same moment on a busy
  // machine too.
  std::stop_source stop;
  std::atomic<double> last = 0;
  std::atomic<int> reports = 0;
  RunControl control{stop.get_token(), [&](std::string_view, double fraction) {
                       EXPECT_GE(fraction, 0);
                       EXPECT_LE(fraction, 1);
                       last = fraction;
                       ++reports;
                       if (fraction >= 0.01) stop.request_stop();
                     }};
  const StudyOutcome outcome = RunStudy(request, &control);
  EXPECT_EQ(outcome.status, StudyOutcome::Status::kStopped);
  EXPECT_FALSE(outcome.result);
  EXPECT_GT(reports.load(), 0);
  EXPECT_LT(last.load(), 1);
}

}  // namespace
}  // namespace rfsplitter
