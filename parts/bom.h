// The bill of materials of a circuit built from parts, as CSV (RFC 4180): a
// row per part, then a row per distinct value with its count. Quantities in
// plain units (H, F, ohm) stand in columns of their own, so that a
// spreadsheet can compute with them.
#ifndef RFSPLITTER_PARTS_BOM_H_
#define RFSPLITTER_PARTS_BOM_H_

#include <string>

#include "parts/fit.h"

namespace rfsplitter {

std::string BomCsv(const Netlist& ideal, const Netlist& built, const PartsChoice& choice);

// The parts table of the command line's analysis: each part's ideal value,
// chosen value with its series, and the error.
std::string PartsTableText(const Netlist& ideal, const Netlist& built, const PartsChoice& choice);

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

}  // namespace rfsplitter

#endif  // RFSPLITTER_PARTS_BOM_H_
