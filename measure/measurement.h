// A board as measured: the analyser's S-parameters, referred to the design's
// Z0, from one N-port file or assembled from two-port files measured with the
// other ports loaded; what it says at the design frequency and over the band.
#ifndef RFSPLITTER_MEASURE_MEASUREMENT_H_
#define RFSPLITTER_MEASURE_MEASUREMENT_H_

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/limits.h"
#include "analysis/s_parameters.h"
#include "analysis/summary.h"

namespace rfsplitter {

struct Measurement {
  std::string source;  // the file, or the pairs' files
  int ports = 0;
  FigureRule rule;                     // the design's: which ports are outputs, what split
  std::vector<double> frequencies_hz;  // ascending
  std::vector<SMatrix> s;              // referred to the design's Z0
  // Which entries were measured, (to - 1) * kMaxPorts + (from - 1); an entry
  // never measured is left out of every comparison.
  std::array<bool, kMaxPorts * kMaxPorts> measured{};

  bool Has(int to, int from) const { return measured[size_t((to - 1) * kMaxPorts + from - 1)]; }
  bool Complete() const;
  // "S33, S44": the entries nobody measured; empty when none.
  std::string Missing() const;
};

// A board's N-port file. `form` names the circuit in the message for a file
// of another port count ("the narrow splitter has 3 ports (.s3p)").
std::optional<Measurement> MeasurementOf(std::string_view text, const std::string& name, int ports,
                                         std::string_view form, double z0, std::string& error);

// One two-port file of the board: the analyser's port 1 on the board's
// `port_a`, its port 2 on `port_b`, the other ports loaded.
struct PairFile {
  int port_a = 0, port_b = 0;
  std::string name;
  std::string text;
};
// "2,1=p21.s2p": a pair as the command line gives it; nothing, with `error`
// set, for text that is not two port numbers and a file.
std::optional<PairFile> ParsePairOption(std::string_view text, int ports, std::string& error);

// The N-port from its pairs. A reflection measured in several pairs is their
// mean; the pairs must share their frequencies.
std::optional<Measurement> AssembledMeasurement(std::span<const PairFile> pairs, int ports,
                                                double z0, std::string& error);

// Moves each port's reference plane `delays_s[p]` towards the board (a
// matched line of that delay taken out): S_ij exp(+j w (t_i + t_j)).
void ShiftPlanes(Measurement& m, std::span<const double> delays_s);

// Why the measurement cannot be set beside the design at `f0_hz`; nothing
// when it can.
std::optional<std::string> CoverageProblem(const Measurement& m, double f0_hz);

// The measured S at `frequency_hz`, linear between the file's points; the
// entries not measured are NaN.
SMatrix MeasuredAt(const Measurement& m, double frequency_hz);

// What the measurement says at f0 and the bands around it in which each
// limit holds, found on its own points (an edge between two points where the
// figure crosses its limit). Figures that need an entry nobody measured are
// NaN and their bands empty.
DesignSummary SummarizeMeasurement(const Measurement& m, double f0_hz, const Limits& limits);

}  // namespace rfsplitter

#endif  // RFSPLITTER_MEASURE_MEASUREMENT_H_
