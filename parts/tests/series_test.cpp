#include "parts/series.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <map>

#include "analysis/s_parameters.h"
#include "engine/sweep.h"
#include "parts/fit.h"

namespace rfsplitter {
namespace {

std::vector<double> Decade(const char* name, double scale) {
  const PartSeries series = *PartSeries::Standard(name);
  std::vector<double> values;
  for (const double m : series.mantissas()) values.push_back(std::round(m * scale * 10) / 10);
  return values;
}

// The tables as IEC 60063 prints them.
TEST(StandardSeries, MatchTheStandardsTables) {
  EXPECT_EQ(Decade("E6", 10), (std::vector<double>{10, 15, 22, 33, 47, 68}));
  EXPECT_EQ(Decade("E12", 10),
            (std::vector<double>{10, 12, 15, 18, 22, 27, 33, 39, 47, 56, 68, 82}));
  EXPECT_EQ(Decade("E24", 10),
            (std::vector<double>{10, 11, 12, 13, 15, 16, 18, 20, 22, 24, 27, 30,
                                 33, 36, 39, 43, 47, 51, 56, 62, 68, 75, 82, 91}));
  const std::vector<double> e48 = {100, 105, 110, 115, 121, 127, 133, 140, 147, 154, 162, 169,
                                   178, 187, 196, 205, 215, 226, 237, 249, 261, 274, 287, 301,
                                   316, 332, 348, 365, 383, 402, 422, 442, 464, 487, 511, 536,
                                   562, 590, 619, 649, 681, 715, 750, 787, 825, 866, 909, 953};
  std::vector<double> rounded;
  for (const double v : Decade("E48", 100)) rounded.push_back(std::round(v));
  EXPECT_EQ(rounded, e48);
  EXPECT_EQ(PartSeries::Standard("E96")->mantissas().size(), 96u);
  EXPECT_EQ(PartSeries::Standard("E192")->mantissas().size(), 192u);
  EXPECT_FALSE(PartSeries::Standard("E7"));
  EXPECT_TRUE(PartSeries::Standard("e24"));
}

// The values no formula gives: E24's 2.7 to 9.1 and E192's 9.20 (the
// formula says 9.19).
TEST(StandardSeries, KeepTheIrregularValues) {
  const PartSeries e24 = *PartSeries::Standard("E24");
  for (const double v : {2.7, 3.0, 3.3, 3.6, 3.9, 4.3, 4.7, 5.1, 5.6, 6.2, 6.8, 7.5, 8.2, 9.1}) {
    EXPECT_DOUBLE_EQ(e24.Nearest(v * 1e-9), v * 1e-9) << v;
  }
  const PartSeries e192 = *PartSeries::Standard("E192");
  EXPECT_DOUBLE_EQ(e192.Nearest(9.19), 9.20);
  EXPECT_DOUBLE_EQ(*e192.Around(9.195).below, 9.09);
}

TEST(StandardSeries, SnapsAtAndBetweenValuesInEveryDecade) {
  const PartSeries e12 = *PartSeries::Standard("E12");
  // At a value: both neighbours are the value itself, exactly.
  const PartSeries::Neighbours at = e12.Around(4.7e-12);
  EXPECT_EQ(*at.below, 4.7e-12);
  EXPECT_EQ(*at.above, 4.7e-12);
  // Between: 930 nH lies between 820 and 1000 nH, nearer 1 uH on a log scale.
  EXPECT_DOUBLE_EQ(*e12.Around(930e-9).below, 820e-9);
  EXPECT_DOUBLE_EQ(*e12.Around(930e-9).above, 1e-6);
  EXPECT_DOUBLE_EQ(e12.Nearest(930e-9), 1e-6);
  // Log scale: the geometric mean of 8.2 and 10 is 9.055; 9.0 goes down.
  EXPECT_DOUBLE_EQ(e12.Nearest(9.0), 8.2);
  EXPECT_DOUBLE_EQ(e12.Nearest(9.1), 10);
  // Decade edges: 9.1 -> 10 in E24, and 0.95 -> 0.91 / 1.0 across the decade.
  const PartSeries e24 = *PartSeries::Standard("E24");
  EXPECT_DOUBLE_EQ(*e24.Around(9.5).above, 10);
  EXPECT_DOUBLE_EQ(*e24.Around(0.95).below, 0.91);
  EXPECT_DOUBLE_EQ(*e24.Around(0.95).above, 1.0);
  // Tiny and huge magnitudes.
  EXPECT_DOUBLE_EQ(e24.Nearest(3.05e-15), 3.0e-15);
  EXPECT_DOUBLE_EQ(e24.Nearest(1.55e6), 1.6e6);
  EXPECT_DOUBLE_EQ(e24.Nearest(1.62e-3), 1.6e-3);
}

TEST(PartsList, SnapsWithinItsRangeAndStopsAtItsEnds) {
  const PartSeries list = PartSeries::FromValues("coils.txt", {22e-9, 18e-9, 33e-9, 18e-9});
  EXPECT_DOUBLE_EQ(list.Nearest(20e-9), 22e-9);
  EXPECT_FALSE(list.Around(10e-9).below);
  EXPECT_DOUBLE_EQ(*list.Around(10e-9).above, 18e-9);
  EXPECT_DOUBLE_EQ(list.Nearest(1e-6), 33e-9);
  EXPECT_EQ(*list.Around(22e-9).below, 22e-9);
  EXPECT_EQ(*list.Around(22e-9).above, 22e-9);
}

TEST(PartsFile, ReadsValuesWithAndWithoutPrefixAndUnit) {
  const ElementKind inductor[] = {ElementKind::kInductor};
  std::string error;
  const auto read = ReadPartsFile(
      "\xef\xbb\xbf# a vendor's range\n18n\n  22 nH  \r\n1.2u\n\n3.3e-8 # a comment\n0.1 uH\n",
      "coils.txt", inductor, error);
  ASSERT_TRUE(read) << error;
  const PartSeries& coils = *(*read)[0];
  EXPECT_DOUBLE_EQ(coils.Nearest(17e-9), 18e-9);
  EXPECT_DOUBLE_EQ(coils.Nearest(21e-9), 22e-9);
  EXPECT_DOUBLE_EQ(coils.Nearest(100e-9), 100e-9);
  EXPECT_DOUBLE_EQ(coils.Nearest(2e-6), 1.2e-6);
  EXPECT_DOUBLE_EQ(coils.Nearest(32e-9), 33e-9);
  // Each value knows its line, for messages about it.
  EXPECT_EQ(coils.LineOf(22e-9), 3u);
  EXPECT_EQ(coils.LineOf(18e-9), 2u);

  // One file for every kind: a unit says which kind a value is for; a plain
  // number serves them all.
  const ElementKind all[] = {ElementKind::kInductor, ElementKind::kCapacitor,
                             ElementKind::kResistor};
  const auto each = ReadPartsFile("18 nH\n8.2 pF\n100 ohm\n1e-1p\n", "all.txt", all, error);
  ASSERT_TRUE(each) << error;
  EXPECT_DOUBLE_EQ((*each)[0]->Nearest(1), 18e-9);
  EXPECT_DOUBLE_EQ((*each)[1]->Nearest(1), 8.2e-12);
  EXPECT_DOUBLE_EQ((*each)[1]->Nearest(1e-13), 1e-13);
  EXPECT_DOUBLE_EQ((*each)[2]->Nearest(1), 100);
  // A kind the file has no value for is left out, not an error.
  const auto some = ReadPartsFile("18 nH\n", "coils.txt", all, error);
  ASSERT_TRUE(some) << error;
  EXPECT_TRUE((*some)[0]);
  EXPECT_FALSE((*some)[1]);
}

TEST(PartsFile, ReportsTheFirstBadLineWithItsNumber) {
  const ElementKind capacitor[] = {ElementKind::kCapacitor};
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"1p\n2x\n", "caps.txt line 2: \"2x\" has an unknown prefix or unit \"x\""},
      {"\n\nten\n", "caps.txt line 3: \"ten\" is not a number"},
      {"-1p\n", "caps.txt line 1: \"-1p\" is not a positive value"},
      {"0\n", "caps.txt line 1: \"0\" is not a positive value"},
      {"1p\n18 nH\n",
       "caps.txt line 2: \"18 nH\" is an inductor value; this file serves capacitors"},
      {"5 dB\n", "caps.txt line 1: \"5 dB\" is not a part value"},
      {"1e308 G\n", "caps.txt line 1: \"1e308 G\" is too large"},
      {"\xe2\x80\xae"
       "1p\n",
       "caps.txt line 1: \"\\u202e1p\" is not a number"},
      {"1p\n" + std::string(200, 'x') + "\n",
       "caps.txt line 2: \"" + std::string(80, 'x') + "\"... (200 bytes) is not a number"},
      {"# nothing but comments\n", "caps.txt: no capacitor values"},
      // A part's own model.
      {"1p ESL=0.4n\n2p ESL=0.4n ESR\n", "caps.txt line 2: \"ESR\" is not NAME=VALUE"},
      {"1p ESR=-1\n", "caps.txt line 1: \"ESR=-1\" is not positive"},
      {"1p Q=200@fast\n",
       "caps.txt line 1: \"Q=200@fast\": \"fast\" is not a frequency from 1 Hz to 1000 GHz"},
      // Each word in the command line's range, once, never empty.
      {"1p Q=1e-300\n", "caps.txt line 1: \"Q=1e-300\" is outside 1 to 1000000"},
      {"1p Q=60@\n", "caps.txt line 1: \"Q=60@\": \"\" is not a frequency from 1 Hz to 1000 GHz"},
      {"1p Q=60 Q=5\n", "caps.txt line 1: \"Q=\" is given twice"},
      {"1p ESL=1u\n", "caps.txt line 1: \"ESL=1u\" is outside 0 to 100 nH"},
      {"1p s2p=\n", "caps.txt line 1: \"s2p=\" has no value"},
      {"1p ESL=0.4n s2p=c.s2p\n",
       "caps.txt line 1: s2p= takes no other words: the measurements are the whole part"},
      {"1p Tmin=1nH\n", "caps.txt line 1: \"Tmin=1nH\" has the wrong unit"},
      {"1p Tmin=20p\n", "caps.txt line 1: \"Tmin=20p\" is outside 0 to 10 pF"},
      // One value, two models.
      {"1p ESL=0.4n\n2p\n1p ESL=0.5n\n",
       "caps.txt line 3: \"1p\" is on line 1 too, with another model"},
      {"1p ESL=0.4pF\n", "caps.txt line 1: \"ESL=0.4pF\" has the wrong unit"},
      {"1p SRF=3G\n", "caps.txt line 1: SRF= is for inductors"},
      {"1p Q=60 Qprofile=cubic\n",
       "caps.txt line 1: \"Qprofile=cubic\" is not constant, sqrt or linear"},
      {"1p Vmax=50\n",
       "caps.txt line 1: \"Vmax=50\" is not Q, Qprofile, SRF, ESL, ESR, Cp, Tmin, V, I, P, MPN or "
       "s2p"},
      {"1p s2p=c.s2p\n", "caps.txt line 1: s2p= is not read here"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ReadPartsFile(c.text, "caps.txt", capacitor, error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}

// Tmin= is the least a capacitor strays by; alone it leaves the part its
// kind's model.
TEST(PartsFile, GivesACapacitorItsToleranceFloor) {
  const ElementKind capacitor[] = {ElementKind::kCapacitor};
  std::string error;
  const auto read =
      ReadPartsFile("0.2p Tmin=0.02p\n1p\n2p Tmin=0.03p ESL=0.4n\n", "caps.txt", capacitor, error);
  ASSERT_TRUE(read) << error;
  const PartSeries& caps = *(*read)[0];
  EXPECT_DOUBLE_EQ(caps.ToleranceFloorOf(0.2e-12), 0.02e-12);
  EXPECT_EQ(caps.ToleranceFloorOf(1e-12), 0);
  EXPECT_EQ(caps.ModelOf(0.2e-12), nullptr);
  ASSERT_NE(caps.ModelOf(2e-12), nullptr);
  const ElementKind inductor[] = {ElementKind::kInductor};
  EXPECT_FALSE(ReadPartsFile("1n Tmin=0.02p\n", "coils.txt", inductor, error));
  EXPECT_EQ(error, "coils.txt line 1: Tmin= is for capacitors");
}

TEST(PartsFile, TakesARepeatedValueOnce) {
  const ElementKind capacitor[] = {ElementKind::kCapacitor};
  std::string text, error;
  for (int i = 0; i < 100000; ++i) text += i % 2 ? "1p ESL=0.4n\n" : "1 pF ESL=400p\n";
  const auto read = ReadPartsFile(text + "2p\n", "caps.txt", capacitor, error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ((*read)[0]->values(), (std::vector<double>{1e-12, 2e-12}));
  EXPECT_EQ((*read)[0]->LineOf(1e-12), 1u);
}

// A measured part's file refused for what it is, naming the file and line
// and quoting none of its text.
TEST(MeasuredPart, RefusesWhatIsNoPassiveTwoPort) {
  const std::string good = "1e9 0.1 0 0.9 0 0.9 0 0.1 0\n";
  const struct {
    std::string name, text, error;
  } cases[] = {
      {"p.s1p", good, "p.s1p: a 1-port file; a part is measured as a two-port (.s2p)"},
      {"p.s2p", "1e9 0.1 0\n1.1e9 0.1 0\n1.2e9 0.1 0\n",
       "p.s2p line 1: a two-port point is 9 numbers on one line (the frequency, then S11, S21, "
       "S12 and S22); this line has 3"},
      {"p.s2p", "# Hz S RI R inf\n" + good,
       "p.s2p line 1: the reference impedance is not a number from 0.001 to 1000000 ohms"},
      {"p.s2p", "# Hz S RI R 1e308\n" + good, "reference impedance is not a number"},
      {"p.s2p", "# Hz S RI R 50\n1e9 0.1 0 1.2 0 1.2 0 0.1 0\n",
       "p.s2p line 2: not a passive part at 1 GHz"},
      {"p.s2p", "# Hz S RI R 50\n1e9 0.1 0 1e-320 0 0.9 0 0.1 0\n",
       "p.s2p line 2: number 4 is not a finite, normal number"},
      {"p.s2p", "# Hz S MA R 50\n1e9 0.1 0 0.9 1e300 0.9 0 0.1 0\n",
       "p.s2p line 2: an angle beyond 3600 degrees"},
      {"p.s2p", "# GHz S RI R 50\n1 0.1 0 0.9 0 0.9 0 0.1 0\n1e300 0.1 0 0.9 0 0.9 0 0.1 0\n",
       "p.s2p line 3: the frequencies must be finite, positive and ascend"},
      {"p.s2p", good + "# MHz S RI R 50\n", "p.s2p line 2: the option line must come before"},
      {"p.s2p", "root:x:0:0:root:/root:/bin/bash\n", "p.s2p line 1: number 1 is not a number"},
      {"p.s2p", "# Hz S RI R 50\n# Hz S MA R 50\n" + good, "p.s2p line 2: a second option line"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ReadTouchstoneTwoPort(c.text, c.name, error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(error.find("root"), std::string::npos) << error;
  }
  std::string error;
  EXPECT_TRUE(ReadTouchstoneTwoPort("# Hz S RI R 50\n" + good, "p.S2P", error)) << error;
}

TEST(PartsFile, GivesEachValueItsOwnModel) {
  const ElementKind all[] = {ElementKind::kInductor, ElementKind::kCapacitor,
                             ElementKind::kResistor};
  std::string error;
  const auto read = ReadPartsFile(
      "15 nH Q=60@900M Qprofile=sqrt SRF=3.1G\n18 nH\n5.6 pF ESL=0.4n ESR=0.2\n"
      "100 Cp=0.05p\n",
      "parts.txt", all, error);
  ASSERT_TRUE(read) << error;
  // Values read with a prefix are found as the series holds them.
  const auto own = [&](size_t kind, double value) {
    return (*read)[kind]->ModelOf((*read)[kind]->Nearest(value));
  };
  const KindModel* l15 = own(0, 15e-9);
  ASSERT_NE(l15, nullptr);
  EXPECT_EQ(l15->q, 60);
  EXPECT_EQ(l15->q_at_hz, 900e6);
  EXPECT_EQ(l15->q_profile, QProfile::kSqrt);
  EXPECT_EQ(l15->srf_hz, 3.1e9);
  EXPECT_EQ(own(0, 18e-9), nullptr);
  ASSERT_NE(own(1, 5.6e-12), nullptr);
  EXPECT_DOUBLE_EQ(own(1, 5.6e-12)->esl_h, 0.4e-9);
  EXPECT_EQ(own(1, 5.6e-12)->esr_ohms, 0.2);
  // The plain 100 serves every kind; Cp= is an inductor's or a resistor's.
  ASSERT_NE(own(2, 100), nullptr);
  EXPECT_DOUBLE_EQ(own(2, 100)->parallel_c_f, 0.05e-12);
}

// Z = 2 Z0 (1 / S21 - 1) undoes S21 = 2 Z0 / (2 Z0 + Z) to the last digits,
// so a part measured exactly as a model predicts is that model.
TEST(MeasuredPart, ATouchstoneFileMadeFromAModelGivesTheModelsResponse) {
  const Design design = ComputeDesign(Topology::kNarrowQuad, {915, 50});
  const std::map<std::string, std::pair<ElementKind, std::string>> parts = {
      {"l.s2p", {ElementKind::kInductor, "8.2n Q=60@900M Qprofile=sqrt SRF=3.1G"}},
      {"c.s2p", {ElementKind::kCapacitor, "5.6p ESL=0.4n ESR=0.2"}}};
  std::map<std::string, std::string> files;
  PartsChoice modelled, measured;
  for (const auto& [file, part] : parts) {
    const auto& [kind, line] = part;
    const ElementKind kinds[] = {kind};
    std::string error;
    const PartSeries model = *(*ReadPartsFile(line, "model.txt", kinds, error))[0];
    const double value = model.values().front();
    const ElementModel m = ResolveModel(kind, value, *model.ModelOf(value), design.frequency_hz);
    std::string text = "# Hz S RI R 50\n";
    const auto write = [&](double x) {
      char buffer[32];
      text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
      text += ' ';
    };
    for (const double f : FileSweep(design.frequency_hz).Frequencies()) {
      const std::complex<double> z =
          *PartImpedance(kind, value, FixedLossOhms(kind, value, m), m, 2 * std::numbers::pi * f);
      const std::complex<double> s11 = z / (100.0 + z), s21 = 100.0 / (100.0 + z);
      for (const double x : {f, s11.real(), s11.imag(), s21.real(), s21.imag(), s21.real(),
                             s21.imag(), s11.real(), s11.imag()}) {
        write(x);
      }
      text += '\n';
    }
    files[file] = text;
    const MeasuredReader reader = [&](const std::string& path, std::string& why) {
      return ReadTouchstoneTwoPort(files.at(path), path, why);
    };
    const std::string by_file = line.substr(0, line.find(' ')) + " s2p=" + file;
    modelled.Slot(kind) = model;
    measured.Slot(kind) = *(*ReadPartsFile(by_file, "measured.txt", kinds, error, reader))[0];
  }
  std::string error;
  const SweepResponse want = AnalyzeSweep(FitParts(design, modelled, {}).netlist, error);
  const SweepResponse got = AnalyzeSweep(FitParts(design, measured, {}).netlist, error);
  ASSERT_EQ(got.s.size(), want.s.size()) << error;
  for (size_t i = 0; i < want.s.size(); ++i) {
    for (int to = 1; to <= 4; ++to) {
      for (int from = 1; from <= 4; ++from) {
        EXPECT_LT(std::abs(got.s[i](to, from) - want.s[i](to, from)), 1e-6)
            << "S" << to << from << " at " << want.frequencies_hz[i];
      }
    }
  }
  // Below the file's lowest frequency there is nothing to analyse.
  Sweep lower = FileSweep(design.frequency_hz);
  lower.low_hz *= 0.99;
  EXPECT_TRUE(AnalyzeSweep(FitParts(design, measured, {}).netlist, lower, error).s.empty());
  EXPECT_EQ(
      error.rfind("L1's measurements l.s2p (91.5 MHz to 1.7385 GHz) do not cover 90.585 MHz", 0),
      0u)
      << error;
}

TEST(ValueWithUnit, ChoosesThePrefixThatKeepsTheMantissaAboveOne) {
  EXPECT_EQ(ValueWithUnit(930.219269659608e-9, ElementKind::kInductor), "930.219 nH");
  EXPECT_EQ(ValueWithUnit(1e-6, ElementKind::kInductor), "1 uH");
  EXPECT_EQ(ValueWithUnit(8.2e-12, ElementKind::kCapacitor), "8.2 pF");
  EXPECT_EQ(ValueWithUnit(100, ElementKind::kResistor), "100 ohm");
  EXPECT_EQ(ValueWithUnit(0.81792, ElementKind::kResistor), "817.92 mohm");
  // 999.9999 nH rounds to 1 uH, not to "1000 nH".
  EXPECT_EQ(ValueWithUnit(999.99999e-9, ElementKind::kInductor), "1 uH");
}

}  // namespace
}  // namespace rfsplitter
