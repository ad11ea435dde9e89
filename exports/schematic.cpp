// The schematic of any circuit, drawn from its Netlist: the nodes placed by
// the form (a splitter's branches left to right from the input, a hybrid's
// ports on the corners of a square), each element between its nodes, each
// part to ground hanging from its node.
#include "exports/schematic.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <queue>

#include "engine/number_text.h"
#include "engine/si_value.h"
#include "exports/exports.h"

namespace rfsplitter {
namespace {

constexpr double kGrid = 80;    // px
constexpr double kBody = 44;    // a part's length along its wire
constexpr double kMargin = 70;  // px around the drawing
constexpr double kTitle = 40;   // px above it

struct Point {
  double x = 0, y = 0;  // grid units
};

// Where every node sits, where its port's terminal is, and which way the
// parts to ground hang from it.
struct Placement {
  std::map<int, Point> nodes;
  std::map<int, Point> terminals;  // port -> terminal
  std::map<int, double> hang;      // +1 down, -1 up
  std::map<int, Point> anchors;    // where a node's parts to ground hang from
  std::map<int, double> step;      // from one part to ground to the next, along x
  int star = -1;                   // a splitter's star node, wired round the outputs
};

bool Series(const NetlistElement& e) { return e.node_a != 0 && e.node_b != 0; }

Placement Place(const Netlist& n) {
  Placement p;
  const auto port = [&](int node) { return node >= 1 && node <= n.ports; };
  if (n.form.family != FormFamily::kSplitter) {
    // A square: the through arm on top, the other below; a ring's order
    // round is 1, 2, 4, 3.
    const bool ring = n.form.family == FormFamily::kRing;
    const int sections = n.form.sections;
    const double width = sections > 1 ? 3.5 * sections : 4;
    const double right = 1.5 + width;
    p.nodes = {
        {1, {1.5, 0}}, {2, {right, 0}}, {ring ? 4 : 3, {right, 4}}, {ring ? 3 : 4, {1.5, 4}}};
    // A hybrid of sections built here: the inner nodes of the top row,
    // then of the bottom row, a section apart.
    if (!FixedTopology(n.form) && sections > 1) {
      for (int k = 1; k < sections; ++k) {
        p.nodes[4 + k] = {1.5 + width * k / sections, 0};
        p.nodes[3 + sections + k] = {1.5 + width * k / sections, 4};
      }
    }
    // An inner node between the ports it joins.
    for (const NetlistElement& e : n.elements) {
      for (const int node : {e.node_a, e.node_b}) {
        if (node == 0 || port(node) || p.nodes.count(node)) continue;
        Point sum;
        int count = 0;
        for (const NetlistElement& f : n.elements) {
          if (!Series(f) || f.pad) continue;
          const int other = f.node_a == node ? f.node_b : f.node_b == node ? f.node_a : 0;
          if (port(other)) sum.x += p.nodes[other].x, sum.y += p.nodes[other].y, ++count;
        }
        if (count > 0) p.nodes[node] = {sum.x / count, sum.y / count};
      }
    }
  } else {
    // Out from the input through the arms: the depth sets the column, the
    // input's arm the row.
    std::map<int, int> depth = {{1, 0}}, row = {{1, -1}};
    std::queue<int> next;
    next.push(1);
    int rows = 0;
    while (!next.empty()) {
      const int at = next.front();
      next.pop();
      for (const NetlistElement& e : n.elements) {
        if (!Series(e) || e.pad || e.kind == ElementKind::kResistor) continue;
        const int other = e.node_a == at ? e.node_b : e.node_b == at ? e.node_a : 0;
        if (other == 0 || depth.count(other)) continue;
        depth[other] = depth[at] + 1;
        row[other] = at == 1 ? rows++ : row[at];
        next.push(other);
      }
    }
    const double spacing = rows == 2 ? 2 : 2.2;
    int deepest = 0;
    for (const auto& [node, d] : depth) deepest = std::max(deepest, d);
    for (const auto& [node, d] : depth) {
      const double y = node == 1 ? 0 : (row[node] - (rows - 1) / 2.0) * spacing;
      p.nodes[node] = {1.5 + 3 * d, y};
    }
    // The star of more ways, beyond the outputs' terminals.
    for (const NetlistElement& e : n.elements) {
      for (const int node : {e.node_a, e.node_b}) {
        if (node == 0 || p.nodes.count(node)) continue;
        p.star = node;
        p.nodes[node] = {1.5 + 3 * deepest + 3, 0};
      }
    }
  }
  const double right = std::max_element(p.nodes.begin(), p.nodes.end(), [](auto& a, auto& b) {
                         return a.second.x < b.second.x;
                       })->second.x;
  std::map<int, int> shunts;
  for (const NetlistElement& e : n.elements) {
    if (!Series(e) && !e.pad) ++shunts[e.node_a + e.node_b];
  }
  for (const auto& [node, at] : p.nodes) {
    p.step[node] = 1.2;
    p.hang[node] = at.y < 0 || (n.form.family != FormFamily::kSplitter && at.y == 0) ? -1 : 1;
    if (p.star >= 0 && port(node) && node != 1) p.hang[node] = -1;  // the star's wires run below
    p.anchors[node] = at;
    if (!port(node)) continue;
    // Room on the port's wire for each of its parts to ground.
    const double stub = 1.5 + 1.2 * std::max(0, shunts[node] - 1);
    const bool left = node == 1 || (n.form.family != FormFamily::kSplitter && at.x < 2);
    const double x = left ? at.x - stub : (p.star >= 0 ? at.x + 1.2 : right + stub);
    p.terminals[node] = {x, at.y};
    p.anchors[node] = {at.x + (left ? -0.75 : 0.75), at.y};
    if (left) p.step[node] = -1.2;
  }
  return p;
}

class Drawing {
 public:
  Drawing(double dx, double dy) : dx_(dx), dy_(dy) {}
  double X(Point p) const { return p.x * kGrid + dx_; }
  double Y(Point p) const { return p.y * kGrid + dy_; }
  void Line(double x1, double y1, double x2, double y2) {
    if (x1 == x2 && y1 == y2) return;
    svg += "<line x1=\"" + FixedText(x1, 1) + "\" y1=\"" + FixedText(y1, 1) + "\" x2=\"" +
           FixedText(x2, 1) + "\" y2=\"" + FixedText(y2, 1) + "\"/>\n";
  }
  void Text(double x, double y, const std::string& text, const char* anchor) {
    svg += "<text x=\"" + FixedText(x, 1) + "\" y=\"" + FixedText(y, 1) +
           "\" stroke=\"none\" text-anchor=\"" + anchor + "\">" + SvgEscaped(text) + "</text>\n";
  }
  // A part along the straight wire from (x1, y1) to (x2, y2), its body at
  // the middle, its name and value beside it.
  void Part(const NetlistElement& e, double x1, double y1, double x2, double y2,
            bool label_left = false) {
    const bool vertical = x1 == x2;
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    const double ux = vertical ? 0 : (x2 > x1 ? 1 : -1), uy = vertical ? (y2 > y1 ? 1 : -1) : 0;
    const double h = kBody / 2;
    Line(x1, y1, cx - ux * h, cy - uy * h);
    Line(cx + ux * h, cy + uy * h, x2, y2);
    // The body in its own frame: along u, across v.
    const double vx = -uy, vy = ux;
    const auto at = [&](double along, double across) {
      return FixedText(cx + ux * along + vx * across, 1) + "," +
             FixedText(cy + uy * along + vy * across, 1);
    };
    switch (e.kind) {
      case ElementKind::kResistor:
        svg += "<polygon fill=\"white\" points=\"" + at(-h, -7) + " " + at(h, -7) + " " + at(h, 7) +
               " " + at(-h, 7) + "\"/>\n";
        break;
      case ElementKind::kInductor: {
        std::string d = "M" + at(-h, 0);
        for (int k = 0; k < 4; ++k) d += " A5.5,5.5 0 0 1 " + at(-h + 11 * (k + 1), 0);
        svg += "<path fill=\"none\" d=\"" + d + "\"/>\n";
        break;
      }
      case ElementKind::kCapacitor:
        svg += "<path fill=\"none\" d=\"M" + at(-h, 0) + " L" + at(-4, 0) + " M" + at(4, 0) + " L" +
               at(h, 0) + " M" + at(-4, -12) + " L" + at(-4, 12) + " M" + at(4, -12) + " L" +
               at(4, 12) + "\"/>\n";
        break;
    }
    const std::string value = ValueWithUnit(e.Combined(), e.kind);
    if (vertical) {
      const double side = label_left ? -16 : 16;
      Text(cx + side, cy - 3, std::string(e.name), label_left ? "end" : "start");
      Text(cx + side, cy + 13, value, label_left ? "end" : "start");
    } else {
      Text(cx, cy - 16, std::string(e.name), "middle");
      Text(cx, cy + 26, value, "middle");
    }
  }
  void Ground(double x, double y, double sign) {
    Line(x - 10, y, x + 10, y);
    Line(x - 6, y + 4 * sign, x + 6, y + 4 * sign);
    Line(x - 2, y + 8 * sign, x + 2, y + 8 * sign);
  }
  std::string svg;

 private:
  double dx_, dy_;
};

}  // namespace

std::string SchematicSvg(const Netlist& netlist) {
  const Placement p = Place(netlist);
  double left = 0, top = -1.4, right = 0, bottom = 1.4;
  for (const auto& [node, at] : p.nodes) {
    right = std::max(right, at.x + 1.5);
    top = std::min(top, at.y - 1.4), bottom = std::max(bottom, at.y + 1.4);
  }
  for (const auto& [node, at] : p.terminals) {
    right = std::max(right, at.x + 0.5), left = std::min(left, at.x - 0.5);
  }
  const double width = (right - left) * kGrid + 2 * kMargin;
  const double height = (bottom - top) * kGrid + 2 * kMargin + kTitle;
  Drawing d(kMargin - left * kGrid, kMargin + kTitle - top * kGrid);
  d.svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + FixedText(width, 0) +
          "\" height=\"" + FixedText(height, 0) + "\" viewBox=\"0 0 " + FixedText(width, 0) + " " +
          FixedText(height, 0) + "\" font-family=\"sans-serif\" font-size=\"13\">\n" +
          "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  d.Text(kMargin, kMargin / 2 + 14, DesignTitle(netlist.form, netlist.inputs), "start");
  d.svg += "<g stroke=\"black\" stroke-width=\"1.6\" fill=\"black\">\n";
  std::map<int, int> shunts_at;
  for (const NetlistElement& e : netlist.elements) {
    if (e.pad) continue;
    if (!Series(e)) {
      const int node = e.node_a != 0 ? e.node_a : e.node_b;
      const Point anchor = p.anchors.at(node);
      const double sign = p.hang.at(node);
      const double step = p.step.at(node);
      const double x = d.X(anchor) + step * kGrid * shunts_at[node]++;
      const double y = d.Y(anchor);
      d.Line(d.X(anchor), y, x, y);
      d.Part(e, x, y, x, y + sign * 1.1 * kGrid, step < 0);
      d.Ground(x, y + sign * 1.1 * kGrid, sign);
      continue;
    }
    Point a = p.nodes.at(e.node_a), b = p.nodes.at(e.node_b);
    if (e.node_b == 1 || e.node_a == p.star) std::swap(a, b);
    if (p.star >= 0 && (e.node_a == p.star || e.node_b == p.star)) {
      // Below the output, out past its terminal, up or down to the star.
      const double drop = 0.6;
      d.Line(d.X(a), d.Y(a), d.X(a), d.Y(a) + drop * kGrid);
      d.Part(e, d.X(a), d.Y(a) + drop * kGrid, d.X(b), d.Y(a) + drop * kGrid);
      d.Line(d.X(b), d.Y(a) + drop * kGrid, d.X(b), d.Y(b) + drop * kGrid);
      continue;
    }
    if (a.x == b.x || a.y == b.y) {
      d.Part(e, d.X(a), d.Y(a), d.X(b), d.Y(b));
    } else {
      // From the input: along its column to the row, then along the row.
      d.Line(d.X(a), d.Y(a), d.X(a), d.Y(b));
      d.Part(e, d.X(a), d.Y(b), d.X(b), d.Y(b));
    }
  }
  for (const auto& [port, at] : p.terminals) {
    const Point node = p.nodes.at(port);
    d.Line(d.X(node), d.Y(node), d.X(at), d.Y(at));
    const bool on_left = at.x < node.x;
    d.svg += "<circle fill=\"white\" cx=\"" + FixedText(d.X(at), 1) + "\" cy=\"" +
             FixedText(d.Y(at), 1) + "\" r=\"5\"/>\n";
    d.Text(d.X(at) + (on_left ? -10 : 10), d.Y(at) + 5, std::to_string(port),
           on_left ? "end" : "start");
  }
  for (const auto& [node, at] : p.nodes) {
    d.svg += "<circle cx=\"" + FixedText(d.X(at), 1) + "\" cy=\"" + FixedText(d.Y(at), 1) +
             "\" r=\"2.5\"/>\n";
  }
  d.svg += "</g>\n</svg>\n";
  return d.svg;
}

}  // namespace rfsplitter
