// Typical chip parts, for a first look at what parasitics do before a
// vendor's figures or S-parameter files are at hand.
//
//              inductor                      capacitor (C0G)        resistor
//   0402   Q 40 at 1 GHz, sqrt; Cp 0.2 pF   ESL 0.4 nH, ESR 0.2 ohm  Cp 0.03 pF
//   0603   Q 50 at 1 GHz, sqrt; Cp 0.25 pF  ESL 0.6 nH, ESR 0.15 ohm Cp 0.05 pF
//
//   "0402-mounted", "0603-mounted": the same parts as a board has them, each
//   capacitor's ESL with its mounting: 0.7 nH and 0.9 nH.
//
// Where the figures come from: the parts' own are what manufacturers'
// data sheets give, measured in their test fixtures with the fixture
// de-embedded (the middle of the ranges for multilayer and wire-wound chip
// inductors and C0G chip capacitors); on a board, a shunt capacitor's
// current also loops through its pads and a via to the ground plane, about
// 0.3 nH for a 0.3 mm via through 0.25 to 0.5 mm of dielectric (the loop
// inductance of a via, L = 0.2 h (ln(4 h / d) + 1) nH with h and d in mm,
// gives 0.2 to 0.4 nH there).
//
// An inductor's Cp is the same for every value, so its self-resonance falls
// with its inductance: 1 / (2 pi sqrt(L Cp)), 3.9 GHz for an 8.2 nH 0402
// part. The figures are round values in the middle of the ranges that
// manufacturers' data sheets give for multilayer and wire-wound chip
// inductors and C0G chip capacitors of these sizes; a design for a real
// board should take its vendor's figures or measured parts.
#ifndef RFSPLITTER_PARTS_PRESETS_H_
#define RFSPLITTER_PARTS_PRESETS_H_

#include <optional>
#include <string_view>

#include "engine/part_model.h"

namespace rfsplitter {

// "0402", "0603", "0402-mounted" or "0603-mounted"; nothing for another name.
std::optional<PartModels> ChipPreset(std::string_view size);

}  // namespace rfsplitter

#endif  // RFSPLITTER_PARTS_PRESETS_H_
