#include "engine/run.h"

#include <gtest/gtest.h>

#include "engine/tests/memory_window.h"

namespace rfsplitter {
namespace {

// Records the steps the run drives and can fail at any of them.
class RecordingSink : public DesignFileSink {
 public:
  bool Create(Topology, float frequency_mhz) override {
    return Step("create " + std::to_string(frequency_mhz));
  }
  bool WriteHeader(Topology, float, float impedance_ohms) override {
    return Step("header " + std::to_string(impedance_ohms));
  }
  bool WriteCircuit(const Design& design, float) override {
    last_design = design;
    return Step("circuit");
  }
  bool WriteSweepAndClose(double) override { return Step("sweep"); }
  std::string FileName() const override { return "the file"; }
  std::string FailureReason() const override { return "disk on fire"; }

  bool Step(const std::string& step) {
    steps.push_back(step);
    return step.rfind(fail_at, 0) != 0 || fail_at.empty();
  }

  std::string fail_at;
  std::vector<std::string> steps;
  Design last_design;
};

const char kSplitterListing[] =
    "L1 =  930. n  \r\nL2 =  930. n  \r\nC1 =  372. p  \r\n"
    "C2 =  186. p  \r\nC3 =  186. p  \r\nR =  100    \r\n";

TEST(RunDesign, WarnsForBothInputsBeforeAnythingChanges) {
  MemoryWindow window("60000", "5000");
  window.listing = "typed by the user";
  RecordingSink file;
  RunDesign(window, file);
  ASSERT_EQ(window.events.size(), 5u);
  EXPECT_EQ(window.events[0], "warn frequency range outside recommended range.  ");
  EXPECT_EQ(window.events[2], "warn Impedance range outside recommended limits.  ");
  EXPECT_EQ(window.events[4], "clear listing");
  EXPECT_EQ(window.frequency, "12.1");
  EXPECT_EQ(window.impedance, "50");
  EXPECT_EQ(window.listing, kSplitterListing);
  EXPECT_EQ(file.last_design.inputs.frequency_mhz, 12.1f);
}

TEST(RunDesign, DrivesTheFileInOrder) {
  MemoryWindow window("100", "75", Topology::kNarrowQuad);
  RecordingSink file;
  RunDesign(window, file);
  EXPECT_EQ(file.steps, (std::vector<std::string>{"create 100.000000", "header 75.000000",
                                                  "circuit", "sweep"}));
  EXPECT_EQ(file.last_design.topology, Topology::kNarrowQuad);
  EXPECT_TRUE(window.failures.empty());
}

TEST(RunDesign, ASecondRunReplacesTheListing) {
  MemoryWindow window("12.1", "50");
  RecordingSink file;
  RunDesign(window, file);
  RunDesign(window, file);
  EXPECT_EQ(window.listing, kSplitterListing);
}

TEST(RunDesign, StopsAndReportsWhenTheFileCannotBeCreated) {
  MemoryWindow window("12.1", "50");
  RecordingSink file;
  file.fail_at = "create";
  RunDesign(window, file);
  EXPECT_EQ(file.steps.size(), 1u);
  EXPECT_EQ(window.listing, "");
  EXPECT_EQ(window.failures, std::vector<std::string>{"the file: disk on fire"});
}

TEST(RunDesign, KeepsTheListingWhenTheFileFailsLate) {
  MemoryWindow window("12.1", "50");
  RecordingSink file;
  file.fail_at = "circuit";
  RunDesign(window, file);
  EXPECT_EQ(file.steps.back(), "circuit");
  EXPECT_EQ(window.listing, kSplitterListing);
  EXPECT_EQ(window.failures.size(), 1u);
}

}  // namespace
}  // namespace rfsplitter
