// The board as a KiCad project: its parts with their nets and fields, their
// footprints placed, and the three files of a KiCad 6 project (schematic
// version 20211123, board 20211014) that KiCad 6 to 9 open.
//
// Every part sits where the circuit puts it: the ports on fixed places at
// the board's left and right edges (a splitter's input on the left, its
// outputs on the right; a hybrid's ports at the corners, as it is drawn),
// every other node at the mean of its neighbours' places (a barycentric
// embedding, which keeps the circuit's symmetry), a series part midway on
// the line between its nodes and turned along it, a shunt part beside its
// node pointing away from the board's middle. The spacing leaves the parts'
// courtyards apart. Nothing is routed.
#ifndef RFSPLITTER_EXPORTS_BOARD_H_
#define RFSPLITTER_EXPORTS_BOARD_H_

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "engine/netlist.h"
#include "engine/part_model.h"

namespace rfsplitter {

struct BoardPart {
  std::string reference;  // "L1", or "L1A" and "L1B" for a pair
  ElementKind kind = ElementKind::kInductor;
  std::string value;                   // as the parts list writes it
  std::string mpn, tolerance, rating;  // empty: not known
  std::string net_a, net_b;            // net_b is "GND" for a shunt part
};

struct BoardPort {
  int port = 1;
  std::string net;  // "PORT1"
};

struct Board {
  std::string name;   // the project's files' name
  std::string title;  // the design's title line
  ChipPackage package = ChipPackage::k0603;
  std::vector<BoardPart> parts;
  std::vector<BoardPort> ports;
  // Each port's place on a unit square, as the form wants them: a
  // splitter's input on the left and its outputs down the right, a hybrid's
  // ports at the corners in their order round the circuit.
  std::vector<std::pair<double, double>> port_places;
};

// The board of a circuit: a part for every element (two for a pair, "L1A"
// and "L1B", joined by the net "L1_MID" when in series), the nets named
// after the ports ("PORT1"), the ground ("GND") and the other nodes ("N5").
// `values`, `tolerances`, `ratings` and `mpns` give each part's fields, by
// reference; a part without an entry keeps its value's own text.
struct BoardFields {
  std::vector<std::pair<std::string, std::string>> values, tolerances, ratings, mpns;
};
Board BoardOf(const Netlist& circuit, const std::string& name, ChipPackage package,
              const BoardFields& fields);

// One footprint placed: its library name, where its centre is (mm, y down)
// and its angle (degrees, counter-clockwise as the board is seen).
struct Placement {
  std::string footprint;  // "Inductor_SMD:L_0402_1005Metric"
  double x = 0, y = 0, angle = 0;
};

// A footprint's pads and courtyard, in its own frame (mm).
struct PadShape {
  std::string number;
  double x, y, width, height;
};
struct FootprintShape {
  std::string name;
  std::vector<PadShape> pads;
  double courtyard_x, courtyard_y;  // half sizes
};
FootprintShape ShapeOf(ElementKind kind, ChipPackage package);
FootprintShape PortShape();

// The corners of a courtyard of these half sizes, placed `at` (mm, y down).
std::array<std::pair<double, double>, 4> CourtyardCorners(const Placement& at, double half_x,
                                                          double half_y);

// The placements of `board.parts`, then of its ports, in that order.
std::vector<Placement> PlaceBoard(const Board& board);

// The three files; `placements` as PlaceBoard gives them.
std::string KicadProjectText(const Board& board);
std::string KicadSchematicText(const Board& board, const std::vector<Placement>& placements);
std::string KicadBoardText(const Board& board, const std::vector<Placement>& placements);

}  // namespace rfsplitter

#endif  // RFSPLITTER_EXPORTS_BOARD_H_
