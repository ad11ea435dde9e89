#include "exports/board.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>

#include "engine/si_value.h"

namespace rfsplitter {
namespace {

std::string NetOf(int node, int ports) {
  if (node == 0) return "GND";
  return (node <= ports ? "PORT" : "N") + std::to_string(node);
}

std::string FieldOf(const std::vector<std::pair<std::string, std::string>>& fields,
                    const std::string& reference) {
  for (const auto& [name, text] : fields) {
    if (name == reference) return text;
  }
  return {};
}

struct Point {
  double x = 0, y = 0;
};

// An oriented rectangle: its centre, its axis and its half sizes.
struct Box {
  Point centre;
  double angle;  // radians, counter-clockwise as seen (y down)
  double half_x, half_y;
  std::array<Point, 4> Corners() const {
    const std::array<std::pair<double, double>, 4> at =
        CourtyardCorners({"", centre.x, centre.y, angle * 180 / std::numbers::pi}, half_x, half_y);
    std::array<Point, 4> corners;
    for (size_t i = 0; i < 4; ++i) corners[i] = {at[i].first, at[i].second};
    return corners;
  }
};

// Whether two rectangles come closer than `gap`: no axis of either parts
// them (the separating axis theorem).
bool Overlap(const Box& a, const Box& b, double gap) {
  const std::array<Point, 4> ca = a.Corners(), cb = b.Corners();
  for (const Box* box : {&a, &b}) {
    for (const double angle : {box->angle, box->angle + std::numbers::pi / 2}) {
      const Point axis{std::cos(angle), -std::sin(angle)};
      const auto extent = [&](const std::array<Point, 4>& corners) {
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (const Point& p : corners) {
          const double d = p.x * axis.x + p.y * axis.y;
          low = std::min(low, d), high = std::max(high, d);
        }
        return std::pair{low, high};
      };
      const auto [a_low, a_high] = extent(ca);
      const auto [b_low, b_high] = extent(cb);
      if (a_high + gap <= b_low || b_high + gap <= a_low) return false;
    }
  }
  return true;
}

std::string Footprint(ElementKind kind, ChipPackage package) {
  const std::string size = package == ChipPackage::k0402 ? "0402_1005Metric" : "0603_1608Metric";
  switch (kind) {
    case ElementKind::kInductor:
      return "Inductor_SMD:L_" + size;
    case ElementKind::kCapacitor:
      return "Capacitor_SMD:C_" + size;
    case ElementKind::kResistor:
      return "Resistor_SMD:R_" + size;
  }
  return {};
}

}  // namespace

std::array<std::pair<double, double>, 4> CourtyardCorners(const Placement& at, double half_x,
                                                          double half_y) {
  // The footprint's frame turned by its angle, counter-clockwise as seen
  // with y down: (x, y) -> (x cos a + y sin a, -x sin a + y cos a).
  const double a = at.angle * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
  std::array<std::pair<double, double>, 4> corners;
  size_t i = 0;
  for (const double x : {-half_x, half_x}) {
    for (const double y : {-half_y, half_y}) {
      corners[i++] = {at.x + x * c + y * s, at.y - x * s + y * c};
    }
  }
  return corners;
}

Board BoardOf(const Netlist& circuit, const std::string& name, ChipPackage package,
              const BoardFields& fields) {
  Board board;
  board.name = name;
  board.title = DesignTitle(circuit.form, circuit.inputs);
  board.package = package;
  const auto add = [&](std::string reference, ElementKind kind, double value, std::string a,
                       std::string b) {
    BoardPart part{reference,
                   kind,
                   FieldOf(fields.values, reference),
                   FieldOf(fields.mpns, reference),
                   FieldOf(fields.tolerances, reference),
                   FieldOf(fields.ratings, reference),
                   std::move(a),
                   std::move(b)};
    if (part.value.empty()) part.value = ValueWithUnit(value, kind);
    board.parts.push_back(std::move(part));
  };
  for (const NetlistElement& e : circuit.elements) {
    if (e.pad) continue;
    // A shunt part's first pad is on its node, its second on ground.
    int a = e.node_a, b = e.node_b;
    if (a == 0) std::swap(a, b);
    const std::string net_a = NetOf(a, circuit.ports), net_b = NetOf(b, circuit.ports);
    if (!e.second) {
      add(std::string(e.name), e.kind, e.value, net_a, net_b);
    } else if (e.kind == ElementKind::kInductor) {
      const std::string middle = std::string(e.name) + "_MID";
      add(PairPartName(e.name, 0), e.kind, e.value, net_a, middle);
      add(PairPartName(e.name, 1), e.kind, e.second->value, middle, net_b);
    } else {
      add(PairPartName(e.name, 0), e.kind, e.value, net_a, net_b);
      add(PairPartName(e.name, 1), e.kind, e.second->value, net_a, net_b);
    }
  }
  for (int port = 1; port <= circuit.ports; ++port) {
    board.ports.push_back({port, NetOf(port, circuit.ports)});
    std::pair<double, double> at;
    if (circuit.form.family == FormFamily::kSplitter) {
      const int outputs = circuit.ports - 1;
      at = port == 1 ? std::pair{0.0, 0.5} : std::pair{1.0, double(port - 2) / (outputs - 1)};
    } else {
      // Round the square: 1, 2, then the quad's 3 and 4 (the ring's 4 and 3).
      const bool ring = circuit.form.family == FormFamily::kRing;
      const int corner = port <= 2 ? port - 1 : (port == 3) != ring ? 2 : 3;
      at = {corner == 0 || corner == 3 ? 0.0 : 1.0, corner < 2 ? 0.0 : 1.0};
    }
    board.port_places.push_back(at);
  }
  return board;
}

FootprintShape ShapeOf(ElementKind kind, ChipPackage package) {
  // The IPC-7351 nominal land patterns of chip parts, as KiCad's library
  // has them: pad centre, pad size, courtyard half sizes.
  struct Land {
    double at, width, height, courtyard_x, courtyard_y;
  };
  Land land;
  if (package == ChipPackage::k0402) {
    land = kind == ElementKind::kResistor    ? Land{0.51, 0.54, 0.64, 0.93, 0.47}
           : kind == ElementKind::kCapacitor ? Land{0.48, 0.56, 0.62, 0.91, 0.46}
                                             : Land{0.485, 0.59, 0.64, 0.93, 0.47};
  } else {
    land = kind == ElementKind::kResistor    ? Land{0.825, 0.8, 0.95, 1.48, 0.73}
           : kind == ElementKind::kCapacitor ? Land{0.775, 0.9, 0.95, 1.48, 0.73}
                                             : Land{0.7875, 0.875, 0.95, 1.48, 0.73};
  }
  return {Footprint(kind, package),
          {{"1", -land.at, 0, land.width, land.height}, {"2", land.at, 0, land.width, land.height}},
          land.courtyard_x,
          land.courtyard_y};
}

FootprintShape PortShape() {
  // An edge launch: the signal pad between two ground pads.
  return {"rfsplitter:RF_Port_Edge",
          {{"1", 0, 0, 1.2, 1.0}, {"2", 0, -1.6, 1.2, 1.0}, {"2", 0, 1.6, 1.2, 1.0}},
          0.85,
          2.35};
}

std::vector<Placement> PlaceBoard(const Board& board) {
  // The ports' places on a unit square: a splitter's input on the left
  // between its outputs, a hybrid's ports at the corners in turn.
  std::map<std::string, Point> fixed, place;
  const size_t ports = board.ports.size();
  for (size_t i = 0; i < ports; ++i) {
    Point p;
    if (i < board.port_places.size()) {
      p = {board.port_places[i].first, board.port_places[i].second};
    } else if (ports == 3) {
      p = i == 0 ? Point{0, 0.5} : Point{1, i == 1 ? 0.0 : 1.0};
    } else {
      p = Point{i == 0 || i == 3 ? 0.0 : 1.0, i < 2 ? 0.0 : 1.0};
    }
    fixed[board.ports[i].net] = place[board.ports[i].net] = p;
  }
  // Every other node at the mean of its neighbours through series parts.
  std::map<std::string, std::vector<std::string>> neighbours;
  for (const BoardPart& part : board.parts) {
    if (part.net_b == "GND") continue;
    neighbours[part.net_a].push_back(part.net_b);
    neighbours[part.net_b].push_back(part.net_a);
    for (const std::string& net : {part.net_a, part.net_b}) place.try_emplace(net, Point{0.5, 0.5});
  }
  for (const BoardPart& part : board.parts) place.try_emplace(part.net_a, Point{0.5, 0.5});
  for (int round = 0; round < 500; ++round) {
    for (auto& [net, p] : place) {
      if (fixed.count(net) || neighbours[net].empty()) continue;
      Point sum;
      for (const std::string& n : neighbours[net]) sum.x += place[n].x, sum.y += place[n].y;
      p = {sum.x / double(neighbours[net].size()), sum.y / double(neighbours[net].size())};
    }
  }

  const FootprintShape port = PortShape();
  const auto layout = [&](double scale, bool overlap_allowed) {
    std::vector<Placement> placements;
    std::vector<Box> boxes;
    // Parts between the same two nets side by side.
    std::map<std::pair<std::string, std::string>, std::vector<size_t>> groups;
    for (size_t i = 0; i < board.parts.size(); ++i) {
      groups[{board.parts[i].net_a, board.parts[i].net_b}].push_back(i);
    }
    placements.resize(board.parts.size());
    for (const auto& [nets, members] : groups) {
      const FootprintShape shape = ShapeOf(board.parts[members.front()].kind, board.package);
      const Point a{place[nets.first].x * scale, place[nets.first].y * scale};
      Point centre, direction;
      if (nets.second == "GND") {
        // Beside its node, away from the board's middle: up or down at a
        // port (whose connector takes the side), else straight out.
        const Point from_middle{a.x / scale - 0.5, a.y / scale - 0.5};
        if (fixed.count(nets.first)) {
          direction = {0, from_middle.y > 0 ? 1.0 : -1.0};
        } else {
          const double length = std::hypot(from_middle.x, from_middle.y);
          direction =
              length > 1e-9 ? Point{from_middle.x / length, from_middle.y / length} : Point{0, -1};
        }
        const double out = shape.courtyard_x + 0.6;
        centre = {a.x + direction.x * out, a.y + direction.y * out};
      } else {
        const Point b{place[nets.second].x * scale, place[nets.second].y * scale};
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        direction = {(b.x - a.x) / length, (b.y - a.y) / length};
        centre = {(a.x + b.x) / 2, (a.y + b.y) / 2};
      }
      const double angle = std::atan2(-direction.y, direction.x);
      // Parts of two kinds to ground at a port (a ring's, whose arms of
      // both kinds meet there) stand beside each other away from its
      // connector, which takes the side.
      const double spacing = 2 * shape.courtyard_y + 0.25;
      double shift = 0;
      bool mixed = false;
      for (const size_t m : members) mixed |= board.parts[m].kind != board.parts[members[0]].kind;
      if (mixed && nets.second == "GND" && fixed.count(nets.first)) {
        const double toward = place[nets.first].x < 0.5 ? -1 : 1;
        shift = (direction.y * toward > 0 ? -1 : 1) * double(members.size() - 1) / 2 * spacing;
      }
      for (size_t k = 0; k < members.size(); ++k) {
        const double side = (double(k) - double(members.size() - 1) / 2) * spacing + shift;
        // Across the part's axis: (-dy, dx) turned into the board's y down.
        const Point at{centre.x + side * direction.y, centre.y - side * direction.x};
        placements[members[k]] = {shape.name, at.x, at.y, angle * 180 / std::numbers::pi};
        boxes.push_back({at, angle, shape.courtyard_x, shape.courtyard_y});
      }
    }
    for (const BoardPort& p : board.ports) {
      const Point node{place[p.net].x * scale, place[p.net].y * scale};
      const double side = place[p.net].x < 0.5 ? -1 : 1;
      const Point at{node.x + side * 2.4, node.y};
      placements.push_back({port.name, at.x, at.y, 0});
      boxes.push_back({at, 0, port.courtyard_x, port.courtyard_y});
    }
    for (size_t i = 0; i < boxes.size(); ++i) {
      for (size_t j = i + 1; j < boxes.size(); ++j) {
        if (!overlap_allowed && Overlap(boxes[i], boxes[j], 0.15)) return std::vector<Placement>{};
      }
    }
    return placements;
  };
  // The smallest spacing, in steps of a tenth, at which no courtyards meet.
  double scale = 3;
  for (int step = 0; step <= 60; ++step, scale *= 1.1) {
    // Courtyards that never part (parts of a circuit whose nodes meet) are
    // left for the designer to move rather than the board left empty.
    std::vector<Placement> placements = layout(scale, step == 60);
    if (!placements.empty()) {
      // The board's corner at the origin, on a 0.05 mm grid.
      double left = HUGE_VAL, top = HUGE_VAL;
      for (const Placement& p : placements) left = std::min(left, p.x), top = std::min(top, p.y);
      for (Placement& p : placements) {
        p.x = std::round((p.x - left + 5) * 20) / 20;
        p.y = std::round((p.y - top + 5) * 20) / 20;
      }
      return placements;
    }
  }
  return {};
}

}  // namespace rfsplitter
