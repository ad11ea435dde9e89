#include "ui/plot_painter.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "ui/localized.h"

namespace rfsplitter {
namespace {

QString FromStd(const std::string& text) { return Localized(text); }

bool IsDark(const QPalette& palette) { return palette.color(QPalette::Base).lightness() < 128; }

// Cosmetic pens with bevel joins take the raster engine's fast stroker: a
// plot is redrawn at every keystroke and must stay well inside a frame.
QPen CurvePen(const PlotCurve& curve, const QPalette& palette, double pixel_ratio) {
  // A cosmetic width counts device pixels: scaled, so that a curve keeps its
  // weight on a high-density screen.
  QPen pen(ColourOf(curve.colour, palette), (curve.dashed ? 1.5 : 2) * pixel_ratio);
  if (curve.dashed) pen.setDashPattern({4, 2.7});
  pen.setCapStyle(curve.dotted ? Qt::RoundCap : Qt::FlatCap);
  if (curve.dotted) pen.setDashPattern({0.05, 2});
  pen.setJoinStyle(Qt::BevelJoin);
  pen.setCosmetic(true);
  return pen;
}

void DrawCurve(QPainter& p, const PlotCurve& curve, const PlotAxis& x, const PlotAxis& y,
               const PlotRect& rect, const QPalette& palette) {
  QPainterPath path;
  bool open = false;
  for (size_t i = 0; i < curve.x.size(); ++i) {
    if (std::isnan(curve.y[i]) || std::isnan(curve.x[i])) {
      open = false;
      continue;
    }
    const QPointF point(MapX(x, rect, curve.x[i]), MapY(y, rect, curve.y[i]));
    open ? path.lineTo(point) : path.moveTo(point);
    open = true;
  }
  p.setPen(CurvePen(curve, palette, p.device()->devicePixelRatioF()));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

void DrawFill(QPainter& p, const PlotFill& fill, const PlotAxis& x, const PlotAxis& y,
              const PlotRect& rect, const QPalette& palette) {
  QPolygonF polygon;
  for (size_t i = 0; i < fill.x.size(); ++i) {
    if (std::isnan(fill.high[i]) || std::isnan(fill.low[i])) continue;
    polygon << QPointF(MapX(x, rect, fill.x[i]), MapY(y, rect, fill.high[i]));
  }
  for (size_t i = fill.x.size(); i-- > 0;) {
    if (std::isnan(fill.high[i]) || std::isnan(fill.low[i])) continue;
    polygon << QPointF(MapX(x, rect, fill.x[i]), MapY(y, rect, fill.low[i]));
  }
  QColor colour = ColourOf(fill.colour, palette);
  colour.setAlphaF(0.22);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(polygon);
}

QColor ShadeColour(const QPalette& palette) {
  QColor shade = ColourOf(PlotColour::kS32, palette);
  shade.setAlphaF(IsDark(palette) ? 0.12 : 0.09);
  return shade;
}

// Where a curve misses its limit: red, half seen through, on any palette.
QColor MissedColour() { return QColor(214, 39, 40, 153); }

void DrawLegendEntry(QPainter& p, double x, double y, const PlotLegendEntry& entry,
                     const QPalette& palette) {
  const QColor colour = ColourOf(entry.colour, palette);
  switch (entry.style) {
    case PlotLegendEntry::Style::kLine:
    case PlotLegendEntry::Style::kDashed:
    case PlotLegendEntry::Style::kDotted: {
      PlotCurve sample{{},    entry.colour, entry.style == PlotLegendEntry::Style::kDashed,
                       false, {},           {}};
      sample.dotted = entry.style == PlotLegendEntry::Style::kDotted;
      p.setPen(CurvePen(sample, palette, p.device()->devicePixelRatioF()));
      p.drawLine(QPointF(x, y), QPointF(x + 24, y));
      break;
    }
    case PlotLegendEntry::Style::kFill: {
      QColor fill = colour;
      fill.setAlphaF(0.22);
      p.fillRect(QRectF(x, y - 6, 24, 12), fill);
      break;
    }
    case PlotLegendEntry::Style::kShade:
      p.fillRect(QRectF(x, y - 6, 24, 12), ShadeColour(palette));
      p.setPen(QPen(palette.color(QPalette::Mid), 1));
      p.drawRect(QRectF(x, y - 6, 24, 12));
      break;
    case PlotLegendEntry::Style::kLimit: {
      QPen line(palette.color(QPalette::Text), 1);
      line.setDashPattern({2, 3});
      p.setPen(line);
      p.drawLine(QPointF(x, y), QPointF(x + 24, y));
      QPen missed(MissedColour(), 4);
      missed.setCapStyle(Qt::FlatCap);
      p.setPen(missed);
      p.drawLine(QPointF(x + 8, y), QPointF(x + 16, y));
      break;
    }
  }
  p.setPen(palette.color(QPalette::Text));
  p.drawText(QPointF(x + 30, y + 4), FromStd(entry.text));
}

void DrawSmith(QPainter& p, const PlotPanel& panel, const PlotRect& rect, const QPalette& palette) {
  const SmithCircle c = SmithCircleIn(rect);
  const QPointF centre(c.x, c.y);
  QPainterPath unit;
  unit.addEllipse(centre, c.radius, c.radius);
  p.save();
  p.setClipPath(unit);
  p.setPen(QPen(palette.color(QPalette::Mid), 1));
  p.setBrush(Qt::NoBrush);
  // Constant resistance r: centre r / (r + 1), radius 1 / (r + 1); constant
  // reactance x: centre (1, 1 / x), radius 1 / |x|.
  for (const double r : {0.2, 0.5, 1.0, 2.0, 5.0}) {
    p.drawEllipse(QPointF(c.x + c.radius * r / (r + 1), c.y), c.radius / (r + 1),
                  c.radius / (r + 1));
  }
  for (const double x : {0.2, 0.5, 1.0, 2.0, 5.0}) {
    p.drawEllipse(QPointF(c.x + c.radius, c.y - c.radius / x), c.radius / x, c.radius / x);
    p.drawEllipse(QPointF(c.x + c.radius, c.y + c.radius / x), c.radius / x, c.radius / x);
  }
  p.drawLine(QPointF(c.x - c.radius, c.y), QPointF(c.x + c.radius, c.y));
  const PlotAxis unit_axis{-1, 1, false, "", {}};
  const PlotRect square{c.x - c.radius, c.y - c.radius, c.x + c.radius, c.y + c.radius};
  for (const PlotCurve& curve : panel.curves) {
    DrawCurve(p, curve, unit_axis, unit_axis, square, palette);
  }
  p.restore();
  p.setRenderHint(QPainter::Antialiasing, true);
  for (const PlotPanel::Dot& dot : panel.dots) {
    const QPointF at(MapX(unit_axis, square, dot.x), MapY(unit_axis, square, dot.y));
    p.setPen(Qt::NoPen);
    p.setBrush(ColourOf(dot.colour, palette));
    p.drawEllipse(at, 4, 4);
    if (!dot.label.empty()) {
      p.setPen(palette.color(QPalette::Text));
      p.drawText(at + QPointF(7, -7), FromStd(dot.label));
    }
  }
  // The outline only: the dots' brush would fill the chart.
  p.setPen(QPen(palette.color(QPalette::Text), 1));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(centre, c.radius, c.radius);
}

void DrawPanel(QPainter& p, const PlotPanel& panel, const PlotRect& rect, bool frequency_labels,
               const QPalette& palette) {
  if (panel.smith) {
    DrawSmith(p, panel, rect, palette);
    return;
  }
  const QRectF frame(QPointF(rect.left, rect.top), QPointF(rect.right, rect.bottom));
  const QColor text = palette.color(QPalette::Text);
  for (const auto& [low, high] : panel.shades) {
    const double x1 = std::clamp(MapX(panel.x, rect, low), rect.left, rect.right);
    const double x2 = std::clamp(MapX(panel.x, rect, high), rect.left, rect.right);
    p.fillRect(QRectF(QPointF(x1, rect.top), QPointF(x2, rect.bottom)), ShadeColour(palette));
  }
  QPen grid(palette.color(QPalette::Mid), 1);
  grid.setCosmetic(true);
  for (const PlotTick& tick : panel.x.ticks) {
    const double x = MapX(panel.x, rect, tick.value);
    p.setPen(grid);
    p.drawLine(QPointF(x, rect.top), QPointF(x, rect.bottom));
    if (frequency_labels && !tick.label.empty()) {
      p.setPen(text);
      p.drawText(QRectF(x - 40, rect.bottom + 5, 80, 16), Qt::AlignHCenter | Qt::AlignTop,
                 FromStd(tick.label));
    }
  }
  // A short panel (a small window, a large scale) labels every second or
  // third line, never two labels on one another.
  const double spacing = panel.y.ticks.size() > 1
                             ? std::abs(MapY(panel.y, rect, panel.y.ticks[0].value) -
                                        MapY(panel.y, rect, panel.y.ticks[1].value))
                             : 100;
  const size_t every = spacing >= 15 ? 1 : size_t(std::ceil(15 / std::max(spacing, 1.0)));
  for (size_t i = 0; i < panel.y.ticks.size(); ++i) {
    const PlotTick& tick = panel.y.ticks[i];
    const double y = MapY(panel.y, rect, tick.value);
    p.setPen(grid);
    p.drawLine(QPointF(rect.left, y), QPointF(rect.right, y));
    p.setPen(text);
    if (i % every != 0) continue;
    if (!tick.label.empty()) {
      p.drawText(QRectF(rect.left - 68, y - 8, 60, 16), Qt::AlignRight | Qt::AlignVCenter,
                 FromStd(tick.label));
    }
    if (panel.y_right && i < panel.y_right->ticks.size()) {
      p.drawText(QRectF(rect.right + 6, y - 8, 40, 16), Qt::AlignLeft | Qt::AlignVCenter,
                 FromStd(panel.y_right->ticks[i].label));
    }
  }
  p.setPen(text);
  p.save();
  p.translate(20, (rect.top + rect.bottom) / 2);
  p.rotate(-90);
  // No longer than its panel is tall: short panels' titles never overlap.
  const double tall = std::max(rect.bottom - rect.top + 20, 40.0);
  const QFontMetricsF metrics(p.font());
  p.drawText(QRectF(-150, -10, 300, 16), Qt::AlignCenter,
             metrics.elidedText(FromStd(panel.y.title), Qt::ElideRight, tall));
  p.restore();
  if (panel.y_right) {
    p.save();
    p.translate(rect.right + 48, (rect.top + rect.bottom) / 2);
    p.rotate(90);
    p.drawText(QRectF(-150, -8, 300, 16), Qt::AlignCenter,
               metrics.elidedText(FromStd(panel.y_right->title), Qt::ElideRight, tall));
    p.restore();
  }
  p.save();
  p.setClipRect(frame);
  for (const PlotFill& fill : panel.fills) {
    DrawFill(p, fill, panel.x, fill.right_axis ? *panel.y_right : panel.y, rect, palette);
  }
  p.restore();
  QPen marker(palette.color(QPalette::Dark), 1);
  marker.setDashPattern({5, 4});
  for (const auto& [x, label] : panel.markers) {
    const double px = MapX(panel.x, rect, x);
    if (px < rect.left || px > rect.right) continue;
    p.setPen(marker);
    p.drawLine(QPointF(px, rect.top), QPointF(px, rect.bottom));
    if (!label.empty()) {
      p.setPen(text);
      p.drawText(QRectF(px - 100, rect.top - 20, 200, 16), Qt::AlignHCenter | Qt::AlignBottom,
                 FromStd(label));
    }
  }
  p.save();
  p.setClipRect(frame);
  p.setRenderHint(QPainter::Antialiasing, true);
  for (const PlotCurve& curve : panel.curves) {
    DrawCurve(p, curve, panel.x, curve.right_axis ? *panel.y_right : panel.y, rect, palette);
  }
  for (const PlotLimit& limit : panel.limits) {
    const PlotAxis& axis = limit.right_axis ? *panel.y_right : panel.y;
    if (limit.y < axis.low || limit.y > axis.high) continue;  // off the scale
    const double y = MapY(axis, rect, limit.y);
    QPen line(ColourOf(limit.colour, palette), 1);
    line.setDashPattern({2, 3});
    line.setCosmetic(true);
    p.setPen(line);
    p.drawLine(QPointF(rect.left, y), QPointF(rect.right, y));
    QPen missed(MissedColour(), 4);
    missed.setCapStyle(Qt::FlatCap);
    p.setPen(missed);
    for (const auto& [low, high] : limit.failing) {
      p.drawLine(QPointF(MapX(panel.x, rect, low), y), QPointF(MapX(panel.x, rect, high), y));
    }
  }
  p.restore();
  p.setPen(QPen(text, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(frame);
  // Within its panel: a narrow one cuts the words rather than lay them over
  // the axis beside.
  p.save();
  p.setClipRect(frame);
  double legend_y = rect.top + 14;
  for (const PlotLegendEntry& entry : panel.legend) {
    DrawLegendEntry(p, rect.left + 10, legend_y, entry, palette);
    legend_y += 18;
  }
  p.restore();
}

}  // namespace

QColor ColourOf(PlotColour colour, const QPalette& palette) {
  QColor c;
  switch (colour) {
    case PlotColour::kS21:
      c = QColor(0x1f, 0x77, 0xb4);
      break;
    case PlotColour::kS31:
      c = QColor(0xd6, 0x27, 0x28);
      break;
    case PlotColour::kS32:
      c = QColor(0x2c, 0xa0, 0x2c);
      break;
    case PlotColour::kS41:
      c = QColor(0x8c, 0x56, 0x4b);
      break;
    case PlotColour::kS11:
      c = QColor(0x94, 0x67, 0xbd);
      break;
    case PlotColour::kPhase:
      c = QColor(0xff, 0x7f, 0x0e);
      break;
    case PlotColour::kImbalance:
      c = QColor(0x17, 0xbe, 0xcf);
      break;
    case PlotColour::kNeutral:
      return palette.color(QPalette::Dark);
  }
  if (IsDark(palette)) c = c.lighter(150);
  return c;
}

void PaintPlot(QPainter& painter, const Plot& plot, double width, double height,
               const QPalette& palette) {
  const PlotLayout layout = LayoutPlot(plot, width, height);
  painter.fillRect(QRectF(0, 0, width, height), palette.color(QPalette::Base));
  QFont font = painter.font();
  font.setPixelSize(int(kPlotFontPx));
  painter.setFont(font);
  if (!layout.panels.empty()) {
    QFont title = font;
    title.setPixelSize(15);
    painter.setFont(title);
    painter.setPen(palette.color(QPalette::Text));
    // Over the panel where it fits, else over the whole width, cut short
    // with an ellipsis where even that is too narrow: never clipped at
    // both ends.
    const PlotRect& first = layout.panels.front();
    const QFontMetricsF metrics(title);
    const QString text = metrics.elidedText(FromStd(plot.title), Qt::ElideRight, width - 8);
    QRectF box(first.left, layout.title_y - 18, first.right - first.left, 22);
    if (metrics.horizontalAdvance(text) > box.width()) box = QRectF(4, box.top(), width - 8, 22);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignBottom, text);
    painter.setFont(font);
  }
  for (size_t i = 0; i < plot.panels.size(); ++i) {
    DrawPanel(painter, plot.panels[i], layout.panels[i], i + 1 == plot.panels.size(), palette);
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (size_t i = 0; i < plot.legend.size(); ++i) {
    const PlotPoint at = LegendPosition(layout, i, plot.legend.size());
    DrawLegendEntry(painter, at.x, at.y, plot.legend[i], palette);
  }
  if (!plot.x_title.empty() && !layout.panels.empty()) {
    const PlotRect& last = layout.panels.back();
    painter.setPen(palette.color(QPalette::Text));
    painter.drawText(QRectF(last.left, layout.x_title_y - 14, last.right - last.left, 18),
                     Qt::AlignHCenter | Qt::AlignBottom, FromStd(plot.x_title));
  }
}

QByteArray PlotPng(const Plot& plot, double width) {
  const double height = NaturalPlotHeight(plot);
  QImage image(int(2 * width), int(2 * height), QImage::Format_RGB32);
  image.setDevicePixelRatio(2);
  QPalette light;
  light.setColor(QPalette::Base, Qt::white);
  light.setColor(QPalette::Text, Qt::black);
  light.setColor(QPalette::Mid, QColor(0xd0, 0xd0, 0xd0));
  light.setColor(QPalette::Dark, QColor(0x55, 0x55, 0x55));
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PaintPlot(painter, plot, width, height, light);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

}  // namespace rfsplitter
