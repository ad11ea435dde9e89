// Typical chip parts, for a first look at what parasitics do before a
// vendor's figures or S-parameter files are at hand.
//
//              inductor                      capacitor (C0G)        resistor
//   0402   Q 40 at 1 GHz, sqrt; Cp 0.2 pF   ESL 0.4 nH, ESR 0.2 ohm  Cp 0.03 pF
//   0603   Q 50 at 1 GHz, sqrt; Cp 0.25 pF  ESL 0.6 nH, ESR 0.15 ohm Cp 0.05 pF
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

// "0402" or "0603"; nothing for another name.
std::optional<PartModels> ChipPreset(std::string_view size);

}  // namespace rfsplitter

#endif  // RFSPLITTER_PARTS_PRESETS_H_
