// The schematic of a circuit as SVG, drawn from its Netlist: any form's, at
// two to four ways and up to four sections, each part with its name and
// value.
#ifndef RFSPLITTER_EXPORTS_SCHEMATIC_H_
#define RFSPLITTER_EXPORTS_SCHEMATIC_H_

#include <string>

#include "engine/netlist.h"

namespace rfsplitter {

std::string SchematicSvg(const Netlist& netlist);

}  // namespace rfsplitter

#endif  // RFSPLITTER_EXPORTS_SCHEMATIC_H_
