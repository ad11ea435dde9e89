#include "simfile/simulation_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/tests/memory_window.h"
#include "engine/tests/scratch_directory.h"
#include "engine/topologies.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string Golden(const std::string& name) {
  return ReadBytes(fs::path(RFSPLITTER_GOLDEN_DIR) / name);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "the last line must end in CR LF too";
  return lines;
}

std::string FileOf(Topology topology, DesignInputs inputs) {
  return SimulationFileText(ComputeDesign(topology, inputs));
}

// A fresh directory per test, removed afterwards.
class FileTest : public testing::Test {
 protected:
  void Run(MemoryWindow& window) {
    SimulationFileWriter writer(dir_.string());
    RunDesign(window, writer);
  }
  std::vector<std::string> Entries() const { return scratch_.Entries(); }

  ScratchDirectory scratch_;
  const fs::path& dir_ = scratch_.path();
};

struct GoldenCase {
  Topology topology;
  const char* name;
  size_t lines;
};

class GoldenFileTest : public FileTest, public testing::WithParamInterface<GoldenCase> {};

TEST_P(GoldenFileTest, RunWritesTheGoldenFileByteForByte) {
  MemoryWindow window("12.1", "50", GetParam().topology);
  Run(window);
  const std::string written = ReadBytes(dir_ / GetParam().name);
  EXPECT_EQ(written, Golden(GetParam().name));
  EXPECT_EQ(Lines(written).size(), GetParam().lines);
  EXPECT_EQ(Entries(), std::vector<std::string>{GetParam().name});
}

TEST_P(GoldenFileTest, ASecondRunWritesTheSameBytes) {
  MemoryWindow window("12.1", "50", GetParam().topology);
  Run(window);
  const std::string first = ReadBytes(dir_ / GetParam().name);
  Run(window);
  EXPECT_EQ(ReadBytes(dir_ / GetParam().name), first);
}

INSTANTIATE_TEST_SUITE_P(, GoldenFileTest,
                         testing::Values(GoldenCase{Topology::kNarrowSplitter,
                                                    "NarrowSplitter12.1.i", 40},
                                         GoldenCase{Topology::kNarrowQuad, "NarrowQuad12.1.i", 44},
                                         GoldenCase{Topology::kWideQuad, "WideQuad12.1.i", 50}),
                         [](const testing::TestParamInfo<GoldenCase>& param_info) {
                           return std::string(TextsOf(param_info.param.topology).file_stem);
                         });

TEST(SimulationFileText, NamesCarryTheSingleFrequencyText) {
  EXPECT_EQ(SimulationFileName(Topology::kNarrowSplitter, 12.1f), "NarrowSplitter12.1.i");
  EXPECT_EQ(SimulationFileName(Topology::kNarrowQuad, 100.0f), "NarrowQuad100.i");
  EXPECT_EQ(SimulationFileName(Topology::kWideQuad, 0.001f), "WideQuad0.001.i");
  EXPECT_EQ(SimulationFileName(Topology::kWideQuad, 50000.001f), "WideQuad50000.i");
}

TEST(SimulationFileText, SweepLimitsOfAnExactFrequency) {
  const std::vector<std::string> lines = Lines(FileOf(Topology::kWideQuad, {10.0f, 50.0f}));
  EXPECT_EQ(lines[50 - 21 + 2], "+ LOOP 200 FREQ LOG  1000000  19000000 ");
  EXPECT_EQ(lines[50 - 21 + 4], "+   X Hz \"\" 1000000  19000000 ");
}

TEST(SimulationFileText, LowFrequencyHighImpedanceSplitter) {
  const std::vector<std::string> lines = Lines(FileOf(Topology::kNarrowSplitter, {0.001f, 500.0f}));
  EXPECT_EQ(lines[1], "$ Freq of circuit is  0.001  MHz.");
  EXPECT_EQ(lines[2], "$ Impedance of circuit is  500  Ohms.");
  EXPECT_EQ(lines[7], "AplacVar L1 = 0.112556529831169");
  EXPECT_EQ(lines[8].rfind("AplacVar C1 = 4.50226119324676E-07", 0), 0u);
  EXPECT_EQ(lines[16], "Res R1 2 3 1000 ");
  EXPECT_EQ(lines[18], "Defnport Filter 3 1 0 500  2 0 500  3 0 500 ");
  EXPECT_EQ(lines[21], "+ LOOP 200 FREQ LOG  100.000004749745  1900.00009024516 ");
}

TEST_F(FileTest, NumbersUseAPointWhateverTheListingUses) {
  MemoryWindow window("12,1", "50", Topology::kNarrowSplitter, ',');
  Run(window);
  EXPECT_EQ(ReadBytes(dir_ / "NarrowSplitter12.1.i"), Golden("NarrowSplitter12.1.i"));
  EXPECT_NE(window.listing.find("930, n"), std::string::npos);
}

TEST_F(FileTest, AnotherTopologyLeavesTheFirstFileInPlace) {
  MemoryWindow window("12.1", "50", Topology::kNarrowSplitter);
  Run(window);
  window.topology = Topology::kWideQuad;
  Run(window);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"NarrowSplitter12.1.i", "WideQuad12.1.i"}));
  EXPECT_EQ(ReadBytes(dir_ / "NarrowSplitter12.1.i"), Golden("NarrowSplitter12.1.i"));
}

TEST_F(FileTest, OutOfRangeInputsWriteTheDefaultDesign) {
  MemoryWindow window("60000", "0.5", Topology::kNarrowQuad);
  Run(window);
  EXPECT_EQ(window.warnings.size(), 2u);
  EXPECT_EQ(ReadBytes(dir_ / "NarrowQuad12.1.i"), Golden("NarrowQuad12.1.i"));
}

TEST_F(FileTest, MissingDirectoryIsReported) {
  MemoryWindow window("12.1", "50");
  SimulationFileWriter writer((dir_ / "missing").string());
  RunDesign(window, writer);
  ASSERT_EQ(window.failures.size(), 1u);
  EXPECT_NE(window.failures[0].find("NarrowSplitter12.1.i: cannot create the file: No such file"),
            std::string::npos);
  EXPECT_EQ(window.listing, "");
  EXPECT_TRUE(Entries().empty());
}

TEST_F(FileTest, TargetThatCannotBeReplacedIsReportedAndNoTemporaryFileStays) {
  fs::create_directories(dir_ / "WideQuad12.1.i" / "occupied");
  MemoryWindow window("12.1", "50", Topology::kWideQuad);
  Run(window);
  ASSERT_EQ(window.failures.size(), 1u);
  EXPECT_NE(window.failures[0].find("the name is not a regular file"), std::string::npos);
  EXPECT_EQ(Entries(), std::vector<std::string>{"WideQuad12.1.i"});
  EXPECT_TRUE(fs::is_directory(dir_ / "WideQuad12.1.i" / "occupied"));
}

// A device that fills up mid-run, made with the file-size limit: the earlier
// good file must survive and the next run, with room again, must work.
TEST_F(FileTest, FullDeviceKeepsTheEarlierFileAndTheNextRunWorks) {
  MemoryWindow window("12.1", "50", Topology::kNarrowQuad);
  Run(window);
  const std::string good = ReadBytes(dir_ / "NarrowQuad12.1.i");

  window.impedance = "75";
  window.frequency = "12.1";
  {
    const FileSizeLimit full_after(300);
    Run(window);
  }

  ASSERT_EQ(window.failures.size(), 1u);
  EXPECT_NE(window.failures[0].find("cannot write the file: File too large"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir_ / "NarrowQuad12.1.i"), good);
  EXPECT_EQ(Entries(), std::vector<std::string>{"NarrowQuad12.1.i"});
  EXPECT_EQ(window.listing.size(), 8 * std::string("L1 =  310. n  \r\n").size());

  window.failures.clear();
  Run(window);
  EXPECT_TRUE(window.failures.empty());
  EXPECT_NE(ReadBytes(dir_ / "NarrowQuad12.1.i"), good);
  EXPECT_EQ(Entries(), std::vector<std::string>{"NarrowQuad12.1.i"});
}

TEST_F(FileTest, DevFullAsDirectoryIsReported) {
  MemoryWindow window("12.1", "50");
  SimulationFileWriter writer("/dev/full");
  RunDesign(window, writer);
  EXPECT_EQ(window.failures.size(), 1u);
}

}  // namespace
}  // namespace rfsplitter
