#include <algorithm>
#include <charconv>
#include <cmath>

#include "engine/number_text.h"
#include "exports/board.h"

namespace rfsplitter {
namespace {

// A KiCad string: in quotes, with quotes and backslashes escaped and line
// breaks written as such.
std::string Q(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c == '\n') {
      quoted += "\\n";
    } else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// Millimetres to a tenth of a micrometre, shortest form ("1.27", "-0.485").
std::string Mm(double mm) {
  const double rounded = std::round(mm * 1e4) / 1e4;
  return ShortestText(rounded == 0 ? 0.0 : rounded);
}

// The same identifier for the same item of the same board, so that an
// export is byte for byte the same each time: FNV-1a over the board's name
// and the item's, spread over 128 bits, in the form of a version 4 UUID.
std::string Uuid(const Board& board, std::string_view item) {
  uint64_t h[2] = {0xcbf29ce484222325ULL, 0x84222325cbf29ce4ULL};
  for (int half = 0; half < 2; ++half) {
    for (const std::string_view part :
         {std::string_view(board.name), std::string_view("/"), item}) {
      for (const char c : part) {
        h[half] = (h[half] ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
      }
    }
    h[half] ^= h[half] >> 29;
  }
  h[0] = (h[0] & ~0xf000ULL) | 0x4000ULL;                  // version 4
  h[1] = (h[1] & ~(0xc000ULL << 48)) | (0x8000ULL << 48);  // variant 1
  char hex[33] = {};
  for (int half = 0; half < 2; ++half) {
    char digits[17] = {};
    const auto [end, code] = std::to_chars(digits, digits + 16, h[half], 16);
    const size_t length = size_t(end - digits);
    std::fill(hex + half * 16, hex + half * 16 + 16 - length, '0');
    std::copy(digits, end, hex + half * 16 + 16 - length);
  }
  const std::string s(hex, 32);
  return s.substr(0, 8) + "-" + s.substr(8, 4) + "-" + s.substr(12, 4) + "-" + s.substr(16, 4) +
         "-" + s.substr(20, 12);
}

// Where the board's corner sits on the A4 sheet: inside its frame, off its
// title block.
constexpr double kPageX = 100, kPageY = 60;

std::string Font(double size) {
  return "(effects (font (size " + Mm(size) + " " + Mm(size) + ")))";
}

const char* SymbolOf(ElementKind kind) {
  return kind == ElementKind::kInductor    ? "Device:L"
         : kind == ElementKind::kCapacitor ? "Device:C"
                                           : "Device:R";
}

// The embedded symbols: two pins 7.62 mm apart on the y axis for a part, a
// signal pin on the left and a ground pin below for a port.
std::string LibrarySymbols() {
  const std::string stroke = "(stroke (width 0.254) (type default) (color 0 0 0 0))";
  const auto property = [](const char* name, const char* value, int id, bool hidden) {
    return std::string("      (property ") + Q(name) + " " + Q(value) + " (id " +
           std::to_string(id) + ") (at 0 0 0) (effects (font (size 1.27 1.27))" +
           (hidden ? " hide" : "") + "))\n";
  };
  const auto pin = [](const char* number, const char* at, double length) {
    return std::string("        (pin passive line (at ") + at + ") (length " + Mm(length) +
           ") (name \"~\" (effects (font (size 1.27 1.27)))) (number " + Q(number) +
           " (effects (font (size 1.27 1.27)))))\n";
  };
  const auto part = [&](const char* id, const char* prefix, const std::string& body,
                        double pin_length) {
    const std::string name = std::string(id).substr(std::string(id).find(':') + 1);
    return std::string("    (symbol ") + Q(id) +
           " (pin_numbers hide) (pin_names (offset 0) hide) (in_bom yes) (on_board yes)\n" +
           property("Reference", prefix, 0, false) + property("Value", name.c_str(), 1, false) +
           property("Footprint", "", 2, true) + property("Datasheet", "~", 3, true) +
           "      (symbol " + Q(name + "_0_1") + "\n" + body + "      )\n" + "      (symbol " +
           Q(name + "_1_1") + "\n" + pin("1", "0 3.81 270", pin_length) +
           pin("2", "0 -3.81 90", pin_length) + "      )\n    )\n";
  };
  std::string text = "  (lib_symbols\n";
  text += part("Device:L", "L",
               "        (rectangle (start -1.016 -2.54) (end 1.016 2.54) " + stroke +
                   " (fill (type outline)))\n",
               1.27);
  text += part("Device:C", "C",
               "        (polyline (pts (xy -2.032 -0.762) (xy 2.032 -0.762)) " + stroke +
                   " (fill (type none)))\n        (polyline (pts (xy -2.032 0.762) (xy 2.032 "
                   "0.762)) " +
                   stroke + " (fill (type none)))\n",
               3.048);
  text += part("Device:R", "R",
               "        (rectangle (start -1.016 -2.54) (end 1.016 2.54) " + stroke +
                   " (fill (type none)))\n",
               1.27);
  text +=
      "    (symbol \"rfsplitter:RF_Port\" (pin_names (offset 1.016) hide) (in_bom yes) "
      "(on_board yes)\n" +
      property("Reference", "J", 0, false) + property("Value", "RF_Port", 1, false) +
      property("Footprint", "", 2, true) + property("Datasheet", "~", 3, true) +
      "      (symbol \"RF_Port_0_1\"\n        (circle (center 0 0) (radius 1.778) " + stroke +
      " (fill (type none)))\n        (circle (center 0 0) (radius 0.508) " + stroke +
      " (fill (type outline)))\n      )\n      (symbol \"RF_Port_1_1\"\n" +
      pin("1", "-5.08 0 0", 3.302) + pin("2", "0 -5.08 90", 3.302) + "      )\n    )\n";
  return text + "  )\n";
}

}  // namespace

std::string KicadProjectText(const Board& board) {
  return "{\n  \"meta\": {\n    \"filename\": " + Q(board.name + ".kicad_pro") +
         ",\n    \"version\": 1\n  },\n  \"text_variables\": {}\n}\n";
}

std::string KicadSchematicText(const Board& board, const std::vector<Placement>& placements) {
  // The sheet keeps the board's arrangement but not its distances: each
  // part's column and row are the ranks of its place's x and y among the
  // board's (places within 1.5 mm sharing one), so that crowded spots of
  // the board spread out and the symbols and their labels stay apart.
  const auto ranks = [&](bool vertical) {
    std::vector<double> values;
    for (const Placement& p : placements) values.push_back(vertical ? p.y : p.x);
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> starts;  // each cluster's smallest value
    for (const double v : sorted) {
      if (starts.empty() || v - starts.back() > 1.5) starts.push_back(v);
    }
    std::vector<int> rank;
    for (const double v : values) {
      rank.push_back(int(std::upper_bound(starts.begin(), starts.end(), v) - starts.begin()) - 1);
    }
    return std::pair{rank, int(starts.size())};
  };
  // (Not structured bindings: a lambda below uses them.)
  const std::pair<std::vector<int>, int> by_x = ranks(false), by_y = ranks(true);
  const std::vector<int>& columns = by_x.first;
  const std::vector<int>& rows = by_y.first;
  const int column_count = by_x.second, row_count = by_y.second;
  constexpr double kPitchX = 17.78, kPitchY = 15.24;
  const bool a3 = 25.4 + kPitchX * column_count > 270 || 38.1 + kPitchY * row_count > 190;
  const auto place = [&](size_t i) {
    return std::pair{25.4 + kPitchX * columns[i], 38.1 + kPitchY * rows[i]};
  };
  std::string text =
      "(kicad_sch (version 20211123) (generator rfsplitter)\n\n  (uuid " +
      Uuid(board, "schematic") + ")\n\n  (paper \"" + (a3 ? "A3" : "A4") +
      "\")\n\n  (title_block\n    (title " + Q(board.title) +
      ")\n    (comment 1 \"Not routed: place the connections as the nets say\")\n  )\n\n" +
      LibrarySymbols() + "\n";
  const auto label = [&](const std::string& net, double x, double y, const std::string& item) {
    text += "  (label " + Q(net) + " (at " + Mm(x) + " " + Mm(y) +
            " 0) (effects (font (size 1.27 1.27)) (justify left bottom)) (uuid " +
            Uuid(board, "label " + item) + "))\n";
  };
  std::string symbols, instances;
  const auto symbol = [&](const char* lib_id, const std::string& reference,
                          const std::string& value, const std::string& footprint, double x,
                          double y, std::vector<std::pair<std::string, std::string>> fields) {
    const std::string id = Uuid(board, "symbol " + reference);
    symbols += "  (symbol (lib_id " + Q(lib_id) + ") (at " + Mm(x) + " " + Mm(y) +
               " 0) (unit 1)\n    (in_bom yes) (on_board yes)\n    (uuid " + id + ")\n";
    fields.insert(
        fields.begin(),
        {{"Reference", reference}, {"Value", value}, {"Footprint", footprint}, {"Datasheet", "~"}});
    int field_id = 0;
    for (const auto& [name, field] : fields) {
      const bool shown = field_id < 2;
      symbols += "    (property " + Q(name) + " " + Q(field) + " (id " + std::to_string(field_id) +
                 ") (at " + Mm(x + 2.54) + " " + Mm(y + (field_id == 0 ? -1.27 : 1.27)) +
                 " 0)\n      (effects (font (size 1.27 1.27)) (justify left)" +
                 (shown ? "" : " hide") + "))\n";
      ++field_id;
    }
    symbols += "    (pin \"1\" (uuid " + Uuid(board, "pin 1 " + reference) +
               "))\n    (pin \"2\" (uuid " + Uuid(board, "pin 2 " + reference) + "))\n  )\n\n";
    instances += "    (path \"/" + id + "\"\n      (reference " + Q(reference) +
                 ") (unit 1) (value " + Q(value) + ") (footprint " + Q(footprint) + ")\n    )\n";
  };
  for (size_t i = 0; i < board.parts.size(); ++i) {
    const BoardPart& p = board.parts[i];
    const auto [x, y] = place(i);
    std::vector<std::pair<std::string, std::string>> fields;
    if (!p.mpn.empty()) fields.emplace_back("MPN", p.mpn);
    if (!p.tolerance.empty()) fields.emplace_back("Tolerance", p.tolerance);
    if (!p.rating.empty()) fields.emplace_back("Rating", p.rating);
    symbol(SymbolOf(p.kind), p.reference, p.value, placements[i].footprint, x, y, fields);
    // Pin 1 above, pin 2 below: each on its net by a label.
    label(p.net_a, x, y - 3.81, p.reference + " 1");
    label(p.net_b, x, y + 3.81, p.reference + " 2");
  }
  for (size_t i = 0; i < board.ports.size(); ++i) {
    const Placement& at = placements[board.parts.size() + i];
    const std::string reference = "J" + std::to_string(board.ports[i].port);
    const auto [x, y] = place(board.parts.size() + i);
    symbol("rfsplitter:RF_Port", reference, "Port " + std::to_string(board.ports[i].port),
           at.footprint, x, y, {});
    label(board.ports[i].net, x - 5.08, y, reference + " 1");
    label("GND", x, y + 5.08, reference + " 2");
  }
  text += "\n" + symbols + "  (sheet_instances\n    (path \"/\" (page \"1\"))\n  )\n\n" +
          "  (symbol_instances\n" + instances + "  )\n)\n";
  return text;
}

std::string KicadBoardText(const Board& board, const std::vector<Placement>& placements) {
  std::string text =
      "(kicad_pcb (version 20211014) (generator rfsplitter)\n\n  (general\n    (thickness 1.6)\n  "
      ")\n\n  (paper \"A4\")\n  (title_block\n    (title " +
      Q(board.title) + ")\n  )\n\n  (layers\n";
  for (const char* layer :
       {"(0 \"F.Cu\" signal)", "(31 \"B.Cu\" signal)", "(32 \"B.Adhes\" user \"B.Adhesive\")",
        "(33 \"F.Adhes\" user \"F.Adhesive\")", "(34 \"B.Paste\" user)", "(35 \"F.Paste\" user)",
        "(36 \"B.SilkS\" user \"B.Silkscreen\")", "(37 \"F.SilkS\" user \"F.Silkscreen\")",
        "(38 \"B.Mask\" user)", "(39 \"F.Mask\" user)", "(40 \"Dwgs.User\" user \"User.Drawings\")",
        "(41 \"Cmts.User\" user \"User.Comments\")", "(44 \"Edge.Cuts\" user)",
        "(45 \"Margin\" user)", "(46 \"B.CrtYd\" user \"B.Courtyard\")",
        "(47 \"F.CrtYd\" user \"F.Courtyard\")", "(48 \"B.Fab\" user)", "(49 \"F.Fab\" user)"}) {
    text += "    " + std::string(layer) + "\n";
  }
  text += "  )\n\n  (setup\n    (pad_to_mask_clearance 0)\n  )\n\n";
  // Nets in order of first use, ground first.
  std::vector<std::string> nets = {"GND"};
  const auto use = [&](const std::string& net) {
    if (std::find(nets.begin(), nets.end(), net) == nets.end()) nets.push_back(net);
  };
  for (const BoardPort& p : board.ports) use(p.net);
  for (const BoardPart& p : board.parts) use(p.net_a), use(p.net_b);
  text += "  (net 0 \"\")\n";
  for (size_t i = 0; i < nets.size(); ++i) {
    text += "  (net " + std::to_string(i + 1) + " " + Q(nets[i]) + ")\n";
  }
  const auto net = [&](const std::string& name) {
    const size_t i = size_t(std::find(nets.begin(), nets.end(), name) - nets.begin());
    return "(net " + std::to_string(i + 1) + " " + Q(name) + ")";
  };

  double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;
  const auto footprint = [&](const Placement& at, const FootprintShape& shape,
                             const std::string& reference, const std::string& value,
                             const std::vector<std::string>& pad_nets,
                             const std::vector<std::pair<std::string, std::string>>& fields) {
    const std::string angle = Mm(at.angle);
    text += "\n  (footprint " + Q(at.footprint) + " (layer \"F.Cu\")\n    (tedit 0) (tstamp " +
            Uuid(board, "footprint " + reference) + ")\n    (at " + Mm(kPageX + at.x) + " " +
            Mm(kPageY + at.y) + (at.angle != 0 ? " " + angle : "") + ")\n";
    for (const auto& [name, field] : fields) {
      if (!field.empty()) text += "    (property " + Q(name) + " " + Q(field) + ")\n";
    }
    text += "    (path \"/" + Uuid(board, "symbol " + reference) + "\")\n    (attr smd)\n";
    text += "    (fp_text reference " + Q(reference) + " (at 0 " + Mm(-shape.courtyard_y - 0.45) +
            " " + angle + ") (layer \"F.SilkS\")\n      " + Font(0.5) + " (tstamp " +
            Uuid(board, "reference " + reference) + "))\n";
    text += "    (fp_text value " + Q(value) + " (at 0 " + Mm(shape.courtyard_y + 0.45) + " " +
            angle + ") (layer \"F.Fab\")\n      " + Font(0.5) + " (tstamp " +
            Uuid(board, "value " + reference) + "))\n";
    const double cx = shape.courtyard_x, cy = shape.courtyard_y;
    const double corners[5][2] = {{-cx, -cy}, {cx, -cy}, {cx, cy}, {-cx, cy}, {-cx, -cy}};
    for (int i = 0; i < 4; ++i) {
      text += "    (fp_line (start " + Mm(corners[i][0]) + " " + Mm(corners[i][1]) + ") (end " +
              Mm(corners[i + 1][0]) + " " + Mm(corners[i + 1][1]) +
              ") (layer \"F.CrtYd\") (width 0.05) (tstamp " +
              Uuid(board, "courtyard " + std::to_string(i) + " " + reference) + "))\n";
    }
    for (size_t i = 0; i < shape.pads.size(); ++i) {
      const PadShape& pad = shape.pads[i];
      text += "    (pad " + Q(pad.number) + " smd roundrect (at " + Mm(pad.x) + " " + Mm(pad.y) +
              (at.angle != 0 ? " " + angle : "") + ") (size " + Mm(pad.width) + " " +
              Mm(pad.height) +
              ") (layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25)\n      " +
              net(pad_nets[i]) + " (tstamp " +
              Uuid(board, "pad " + std::to_string(i) + " " + reference) + "))\n";
    }
    text += "  )\n";
    // The board's outline takes in every courtyard.
    for (const auto& [x, y] : CourtyardCorners(at, cx, cy)) {
      left = std::min(left, kPageX + x), right = std::max(right, kPageX + x);
      top = std::min(top, kPageY + y), bottom = std::max(bottom, kPageY + y);
    }
  };
  for (size_t i = 0; i < board.parts.size(); ++i) {
    const BoardPart& p = board.parts[i];
    footprint(placements[i], ShapeOf(p.kind, board.package), p.reference, p.value,
              {p.net_a, p.net_b},
              {{"MPN", p.mpn}, {"Tolerance", p.tolerance}, {"Rating", p.rating}});
  }
  for (size_t i = 0; i < board.ports.size(); ++i) {
    const BoardPort& p = board.ports[i];
    footprint(placements[board.parts.size() + i], PortShape(), "J" + std::to_string(p.port),
              "Port " + std::to_string(p.port), {p.net, "GND", "GND"}, {});
  }
  constexpr double kMargin = 0.35;
  left -= kMargin, top -= kMargin, right += kMargin, bottom += kMargin;
  const double outline[5][2] = {
      {left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
  text += "\n";
  for (int i = 0; i < 4; ++i) {
    text += "  (gr_line (start " + Mm(outline[i][0]) + " " + Mm(outline[i][1]) + ") (end " +
            Mm(outline[i + 1][0]) + " " + Mm(outline[i + 1][1]) +
            ") (layer \"Edge.Cuts\") (width 0.1) (tstamp " +
            Uuid(board, "outline " + std::to_string(i)) + "))\n";
  }
  return text + ")\n";
}

}  // namespace rfsplitter
