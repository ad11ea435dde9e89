#include "ui/caption_frame.h"

#include <QPainter>

namespace rfsplitter {
namespace {

constexpr int kCaptionIndent = 8;
constexpr int kCaptionPadding = 2;

}  // namespace

QRect CaptionFrame::BorderRect() const {
  // A captioned border runs through the middle of the caption's line.
  const int top = title().isEmpty() ? 0 : fontMetrics().height() / 2;
  return rect().adjusted(0, top, 0, 0);
}

void CaptionFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect border = BorderRect();
  // Etched: a shadow line with a light line one pixel inside and below it.
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(border.adjusted(0, 0, -2, -2));
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(border.adjusted(1, 1, -1, -1));
  if (title().isEmpty()) return;

  const QRect caption(kCaptionIndent, 0,
                      fontMetrics().horizontalAdvance(title()) + 2 * kCaptionPadding,
                      fontMetrics().height());
  painter.fillRect(caption, palette().color(backgroundRole()));
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(caption, Qt::AlignCenter, title());
}

}  // namespace rfsplitter
