// Boards made to be measured: a built circuit with some parts off, behind
// an optional fixture (a matched line at each port, a pad at every node),
// solved by the analysis (not the diagnosis's own solve) with the
// analyser's noise added.
#ifndef RFSPLITTER_MEASURE_TESTS_SYNTHETIC_BOARD_H_
#define RFSPLITTER_MEASURE_TESTS_SYNTHETIC_BOARD_H_

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "analysis/s_parameters.h"
#include "measure/measurement.h"
#include "parts/presets.h"
#include "parts/series.h"
#include "study/study.h"

namespace rfsplitter::testing {

// The circuit built from 0402 parts of E12/E24 (or ideal parts).
inline Netlist BuiltBoard(Topology topology, float mhz, bool chip_parts) {
  StudyRequest request;
  request.topology = topology;
  request.inputs = {mhz, 50};
  if (chip_parts) {
    request.parts.inductors = PartSeries::Standard("E12");
    request.parts.capacitors = PartSeries::Standard("E24");
    request.parts.resistors = PartSeries::Standard("E24");
    request.models = *ChipPreset("0402");
  }
  const StudyOutcome outcome = RunStudy(request);
  return outcome.result->Circuit();
}

struct Fault {
  std::string part;
  double factor;
};

struct Fixture {
  std::vector<double> delays_s;  // per port; empty: none
  double pad_f = 0;
};

// The board as an analyser sees it over `points` from 0.5 to 1.5 f0.
inline Measurement Measure(const Netlist& built, const std::vector<Fault>& faults,
                           const Fixture& fixture, double noise_db, std::mt19937_64& random,
                           int points = 401) {
  Netlist board = built;
  for (const Fault& f : faults) {
    for (NetlistElement& e : board.elements) {
      if (e.name != f.part) continue;
      e.value *= f.factor;
      if (e.second) e.second->value *= f.factor;
    }
  }
  if (fixture.pad_f > 0) {
    std::vector<int> nodes;
    for (const NetlistElement& e : built.elements)
      for (const int n : {e.node_a, e.node_b})
        if (n && std::find(nodes.begin(), nodes.end(), n) == nodes.end()) nodes.push_back(n);
    for (const int n : nodes) {
      NetlistElement pad;
      pad.kind = ElementKind::kCapacitor;
      pad.name = PadName(n);
      pad.node_a = n;
      pad.value = fixture.pad_f;
      pad.pad = true;
      board.elements.push_back(pad);
    }
  }
  Measurement m;
  m.source = "synthetic";
  m.ports = board.ports;
  m.measured.fill(true);
  const BoundNetlist bound(board);
  std::normal_distribution<double> gauss(0, std::pow(10, noise_db / 20) / std::sqrt(2));
  for (int i = 0; i < points; ++i) {
    const double f = board.frequency_hz * (0.5 + double(i) / (points - 1));
    SMatrix s(board.ports);
    bound.Analyze(f, s);
    const double omega = 2 * std::numbers::pi * f;
    for (int to = 1; to <= board.ports; ++to)
      for (int from = 1; from <= board.ports; ++from) {
        if (!fixture.delays_s.empty()) {
          s(to, from) *= std::polar(1.0, -omega * (fixture.delays_s[size_t(to - 1)] +
                                                   fixture.delays_s[size_t(from - 1)]));
        }
        s(to, from) += Complex(gauss(random), gauss(random));
      }
    m.frequencies_hz.push_back(f);
    m.s.push_back(s);
  }
  return m;
}

}  // namespace rfsplitter::testing

#endif  // RFSPLITTER_MEASURE_TESTS_SYNTHETIC_BOARD_H_
