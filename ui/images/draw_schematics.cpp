// Draws the three schematic pictures shown in the window, on one grid: rails
// at y = 89 and y = 209, node columns at x = 72, 212 (and 142 for the
// wide-band hybrid), port terminals at x = 32 and x = 252.
//
//   draw_schematics OUTPUT_DIR
//
// writes narrow_splitter.png, narrow_quad.png and wide_quad.png. The pictures
// are kept in the repository; run this after changing the drawing.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace {

constexpr int kSize = 300;
constexpr int kTop = 89;
constexpr int kBottom = 209;
constexpr int kLeft = 72;
constexpr int kMiddle = 142;
constexpr int kRight = 212;
constexpr int kLeftPort = 32;
constexpr int kRightPort = 252;

class Schematic {
 public:
  Schematic() : image_(kSize, kSize, QImage::Format_RGB32), painter_(&image_) {
    image_.fill(QColor(192, 192, 192));
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
    painter_.setPen(QPen(Qt::black, 1));
  }

  void Line(int x1, int y1, int x2, int y2) { painter_.drawLine(x1, y1, x2, y2); }

  // A small square terminal centred on a point.
  void Terminal(int x, int y) { painter_.fillRect(x - 2, y - 2, 5, 5, Qt::black); }

  // A port: a line from its node to the terminal and its number beyond it.
  void Port(int node_x, int y, int number) {
    const int end = node_x < kMiddle ? kLeftPort : kRightPort;
    Line(end, y, node_x, y);
    Terminal(end, y);
    QFont font("DejaVu Sans");
    font.setPixelSize(16);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    painter_.setFont(font);
    const QRect box =
        end == kLeftPort ? QRect(end - 24, y - 10, 16, 20) : QRect(end + 8, y - 10, 16, 20);
    painter_.drawText(box, Qt::AlignCenter, QString::number(number));
  }

  // An inductor along a rail from x1 to x2 (30 pixels), arches upwards.
  void RailInductor(int x1, int x2, int y, const char* name) {
    const int arch = (x2 - x1) / 3;
    for (int i = 0; i < 3; ++i) {
      painter_.drawArc(x1 + i * arch, y - arch / 2, arch, arch, 0, 180 * 16);
    }
    Terminal(x1, y);
    Terminal(x2, y);
    Label(QRect(x1 - 5, y - 24, x2 - x1 + 10, 12), Qt::AlignHCenter | Qt::AlignBottom, name);
  }

  // An inductor in a column from y1 to y2 (30 pixels), arches to the right.
  void ColumnInductor(int x, int y1, int y2, const char* name) {
    const int arch = (y2 - y1) / 3;
    for (int i = 0; i < 3; ++i) {
      painter_.drawArc(x - arch / 2, y1 + i * arch, arch, arch, -90 * 16, 180 * 16);
    }
    Terminal(x, y1);
    Terminal(x, y2);
    LabelLeftOf(x - 4, (y1 + y2) / 2, name);
  }

  // A resistor upright in a column, body from y1 to y2.
  void Resistor(int x, int y1, int y2, const char* name) {
    painter_.drawRect(x - 4, y1, 8, y2 - y1);
    Terminal(x, y1);
    Terminal(x, y2);
    LabelLeftOf(x - 7, (y1 + y2) / 2, name);
  }

  // A capacitor from a rail node to ground: up from the upper rail, down from
  // the lower one. The wider ground bar is the one nearer the capacitor.
  void Capacitor(int x, int rail_y, const char* name) {
    const bool up = rail_y == kTop;
    const int near_plate = up ? 61 : 237;
    const int far_plate = up ? 57 : 241;
    const int near_ground = up ? 38 : 260;
    const int far_ground = up ? 32 : 266;
    Line(x, rail_y, x, near_plate);
    painter_.fillRect(x - 8, near_plate - (up ? 1 : 0), 17, 2, Qt::black);
    painter_.fillRect(x - 8, far_plate - (up ? 0 : 1), 17, 2, Qt::black);
    Line(x, far_plate, x, near_ground);
    Line(x - 7, near_ground, x + 7, near_ground);
    Line(x - 3, far_ground, x + 3, far_ground);
    Terminal(x, rail_y);
    LabelLeftOf(x - 10, (near_plate + far_plate) / 2, name);
  }

  bool Save(const QString& path) { return painter_.end() && image_.save(path, "PNG"); }

  QPainter& painter() { return painter_; }

 private:
  void Label(const QRect& box, int flags, const char* text) {
    QFont font("DejaVu Sans");
    font.setPixelSize(10);
    font.setStyleStrategy(QFont::NoAntialias);
    painter_.setFont(font);
    painter_.drawText(box, flags, text);
  }
  void LabelLeftOf(int right, int y, const char* text) {
    Label(QRect(right - 30, y - 6, 30, 12), Qt::AlignRight | Qt::AlignVCenter, text);
  }

  QImage image_;
  QPainter painter_;
};

bool DrawNarrowSplitter(const QString& path) {
  Schematic s;
  s.Line(kLeft, kTop, kLeft, kBottom);  // node 1 runs the whole column
  s.Port(kLeft, 149, 1);
  s.Line(kLeft, kTop, 127, kTop);
  s.RailInductor(127, 157, kTop, "L2");
  s.Line(157, kTop, kRight, kTop);
  s.Port(kRight, kTop, 2);
  s.Line(kLeft, kBottom, 127, kBottom);
  s.RailInductor(127, 157, kBottom, "L1");
  s.Line(157, kBottom, kRight, kBottom);
  s.Port(kRight, kBottom, 3);
  s.Line(kRight, kTop, kRight, 139);
  s.Resistor(kRight, 139, 159, "R");
  s.Line(kRight, 159, kRight, kBottom);
  s.Capacitor(kRight, kTop, "C3");
  s.Capacitor(kLeft, kBottom, "C1");
  s.Capacitor(kRight, kBottom, "C2");
  return s.Save(path);
}

// The sides of a branch-line hybrid between two columns, with the inductors
// from x = start to start + 30.
void Rails(Schematic& s, int x1, int x2, int start, const char* upper, const char* lower) {
  for (const auto& [y, name] : {std::pair{kTop, upper}, std::pair{kBottom, lower}}) {
    s.Line(x1, y, start, y);
    s.RailInductor(start, start + 30, y, name);
    s.Line(start + 30, y, x2, y);
  }
}

void Column(Schematic& s, int x, const char* name) {
  s.Line(x, kTop, x, 134);
  s.ColumnInductor(x, 134, 164, name);
  s.Line(x, 164, x, kBottom);
}

void QuadPorts(Schematic& s) {
  s.Port(kLeft, kTop, 1);
  s.Port(kRight, kTop, 2);
  s.Port(kRight, kBottom, 3);
  s.Port(kLeft, kBottom, 4);
}

bool DrawNarrowQuad(const QString& path) {
  Schematic s;
  QuadPorts(s);
  Rails(s, kLeft, kRight, 127, "L2", "L1");
  Column(s, kLeft, "L3");
  Column(s, kRight, "L4");
  s.Capacitor(kLeft, kTop, "C3");
  s.Capacitor(kRight, kTop, "C4");
  s.Capacitor(kLeft, kBottom, "C1");
  s.Capacitor(kRight, kBottom, "C2");
  return s.Save(path);
}

bool DrawWideQuad(const QString& path) {
  Schematic s;
  QuadPorts(s);
  Rails(s, kLeft, kMiddle, 97, "L3", "L1");
  Rails(s, kMiddle, kRight, 167, "L4", "L2");
  Column(s, kLeft, "L5");
  Column(s, kMiddle, "L6");
  Column(s, kRight, "L7");
  s.Capacitor(kLeft, kTop, "C4");
  s.Capacitor(kMiddle, kTop, "C5");
  s.Capacitor(kRight, kTop, "C6");
  s.Capacitor(kLeft, kBottom, "C1");
  s.Capacitor(kMiddle, kBottom, "C2");
  s.Capacitor(kRight, kBottom, "C3");
  return s.Save(path);
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_schematics OUTPUT_DIR\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  const bool ok = DrawNarrowSplitter(dir.filePath("narrow_splitter.png")) &&
                  DrawNarrowQuad(dir.filePath("narrow_quad.png")) &&
                  DrawWideQuad(dir.filePath("wide_quad.png"));
  if (!ok) std::fprintf(stderr, "draw_schematics: could not write the pictures\n");
  return ok ? 0 : 1;
}
