// What a part may take, for the stress report: the parts file's V=, I= and
// P= words, else the typical ratings of its package's chip parts, each
// counted against a derated share of it.
//
//            inductor (RMS)   capacitor (C0G, peak)   resistor (thick film)
//   0402     0.3 A            50 V                     0.063 W, 50 V
//   0603     0.5 A            50 V                     0.1 W, 75 V
//
// The figures are the low end of what makers' data sheets give for
// multilayer and wire-wound chip inductors, C0G capacitors and thick-film
// resistors of these sizes (a wire-wound inductor takes more). A part's
// voltage and current count against 80 % of its rating, its dissipation
// against 50 % (the usual derating for a part that must last at the
// board's temperature). Without a preset the board has 0603 parts.
#ifndef RFSPLITTER_PARTS_RATINGS_H_
#define RFSPLITTER_PARTS_RATINGS_H_

#include <string>

#include "engine/netlist.h"
#include "engine/part_model.h"
#include "parts/fit.h"

namespace rfsplitter {

inline constexpr double kVoltageDerating = 0.8;
inline constexpr double kCurrentDerating = 0.8;
inline constexpr double kPowerDerating = 0.5;

// The package a board's parts come in: the preset's, else 0603.
ChipPackage BoardPackage(const PartModels& models);

PartRating PackageRating(ElementKind kind, ChipPackage package);

struct RatedElement {
  PartRating rating;
  std::string source;  // "parts file" or "0402 typical"
};

// An element's rating: each figure the parts file gives its value (the
// lower of a pair's two parts), else its package's.
RatedElement RatingOf(const NetlistElement& element, const PartsChoice& choice,
                      const PartModels& models);

// The largest of the figures over their derated ratings (1: at the
// derated limit); 0 when nothing is rated.
double RatingUsage(double v_peak, double i_rms, double p_diss_w, const PartRating& rating);

}  // namespace rfsplitter

#endif  // RFSPLITTER_PARTS_RATINGS_H_
