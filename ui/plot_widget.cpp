#include "ui/plot_widget.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "ui/plot_painter.h"

namespace rfsplitter {
namespace {

// "Magnitude (dB)" -> "dB"
QString UnitOf(const std::string& title) {
  const size_t open = title.rfind('(');
  const size_t close = title.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  return QString::fromStdString(title.substr(open + 1, close - open - 1));
}

// The value of `ys` over `xs` at `x` by linear interpolation between their
// points; empty outside them.
std::optional<double> ValueAt(const std::vector<double>& xs, const std::vector<double>& ys,
                              double x) {
  for (size_t i = 1; i < xs.size() && i < ys.size(); ++i) {
    const double x0 = xs[i - 1], x1 = xs[i];
    if (x < std::min(x0, x1) || x > std::max(x0, x1) || x0 == x1) continue;
    const double t = (x - x0) / (x1 - x0);
    const double y = ys[i - 1] + t * (ys[i] - ys[i - 1]);
    if (std::isfinite(y)) return y;
    return std::nullopt;
  }
  return std::nullopt;
}

// A curve's name without the unit its value is then given in: "phase
// error (deg) (ideal)" -> "phase error (ideal)".
QString NameWithoutUnit(const std::string& name, const QString& unit) {
  QString text = QString::fromStdString(name);
  if (!unit.isEmpty()) text.remove(QStringLiteral(" (") + unit + QLatin1Char(')'));
  return text;
}

}  // namespace

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(320, 300);
  setFocusPolicy(Qt::StrongFocus);
  setToolTip(
      tr("Wheel: zoom the frequency axis; drag: pan; double click: back to the start "
         "view. The values under the pointer are read out."));
}

void PlotWidget::SetPlot(Plot plot) {
  plot_ = std::move(plot);
  update();
}

PlotLayout PlotWidget::Layout() const { return LayoutPlot(plot_, width(), height()); }

std::optional<size_t> PlotWidget::FrequencyPanelAt(QPointF position) const {
  const PlotLayout layout = Layout();
  for (size_t i = 0; i < layout.panels.size(); ++i) {
    const PlotRect& r = layout.panels[i];
    if (plot_.panels[i].smith) continue;
    if (position.x() >= r.left && position.x() <= r.right && position.y() >= r.top &&
        position.y() <= r.bottom) {
      return i;
    }
  }
  return std::nullopt;
}

QStringList PlotWidget::ReadOut(QPointF position) const {
  if (!plot_.reads_frequency) return {};
  const std::optional<size_t> at = FrequencyPanelAt(position);
  if (!at) return {};
  const PlotLayout layout = Layout();
  const PlotPanel& panel = plot_.panels[*at];
  const double mhz = UnmapX(panel.x, layout.panels[*at], position.x());
  const QLocale locale;
  // No "-0.00": a value that rounds to zero reads as zero.
  const auto number = [&](double v) {
    return locale.toString(std::abs(v) < 0.005 ? 0.0 : v, 'f', 2);
  };
  QStringList lines{tr("%1 MHz").arg(locale.toString(mhz, 'g', 7))};
  for (const PlotPanel& p : plot_.panels) {
    if (p.smith) continue;
    const auto unit_of = [&](bool right) {
      return UnitOf(right && p.y_right ? p.y_right->title : p.y.title);
    };
    for (const PlotCurve& curve : p.curves) {
      const std::optional<double> v = ValueAt(curve.x, curve.y, mhz);
      if (!v) continue;
      const QString unit = unit_of(curve.right_axis);
      lines << QStringLiteral("%1: %2 %3").arg(NameWithoutUnit(curve.name, unit), number(*v), unit);
    }
    // The boards' spread, named after the circuit's curve of its colour.
    for (const PlotFill& fill : p.fills) {
      const std::optional<double> low = ValueAt(fill.x, fill.low, mhz);
      const std::optional<double> high = ValueAt(fill.x, fill.high, mhz);
      if (!low || !high) continue;
      QString name;
      for (const PlotCurve& curve : p.curves) {
        if (!curve.dashed && curve.colour == fill.colour && curve.right_axis == fill.right_axis) {
          name = NameWithoutUnit(curve.name, unit_of(fill.right_axis));
        }
      }
      lines << tr("%1, boards 5 to 95 %: %2 to %3 %4")
                   .arg(name, number(*low), number(*high), unit_of(fill.right_axis));
    }
  }
  return lines;
}

bool PlotWidget::event(QEvent* event) {
  // Over a panel the read-out says it all: the help tip would cover it.
  if (event->type() == QEvent::ToolTip &&
      FrequencyPanelAt(static_cast<QHelpEvent*>(event)->pos())) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  return QWidget::event(event);
}

void PlotWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintPlot(painter, plot_, width(), height(), palette());
  if (hasFocus()) {
    // The keys act on the plot: say so.
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(1, 1, width() - 2, height() - 2));
  }
  // The markers: a line through every frequency panel, named at the top.
  const PlotLayout marker_layout = Layout();
  for (size_t m = 0; m < markers_.size(); ++m) {
    QColor colour = palette().color(QPalette::Highlight);
    painter.setPen(QPen(colour, m == chosen_marker_ ? 2 : 1));
    for (size_t i = 0; i < marker_layout.panels.size(); ++i) {
      if (plot_.panels[i].smith) continue;
      const PlotRect& r = marker_layout.panels[i];
      const double x = MapX(plot_.panels[i].x, r, markers_[m]);
      if (x < r.left || x > r.right) continue;
      painter.drawLine(QPointF(x, r.top), QPointF(x, r.bottom));
      if (i == 0) painter.drawText(QPointF(x + 3, r.top + 12), QStringLiteral("M%1").arg(m + 1));
    }
  }
  if (!hover_) return;
  const QStringList lines = ReadOut(*hover_);
  if (lines.isEmpty()) return;
  // The read-out box beside the pointer, kept inside the widget; a line
  // through the plot at the pointer's frequency.
  const PlotLayout layout = Layout();
  painter.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DotLine));
  for (size_t i = 0; i < layout.panels.size(); ++i) {
    if (plot_.panels[i].smith) continue;
    painter.drawLine(QPointF(hover_->x(), layout.panels[i].top),
                     QPointF(hover_->x(), layout.panels[i].bottom));
  }
  const QFontMetrics metrics(painter.font());
  int text_width = 0;
  for (const QString& line : lines)
    text_width = std::max(text_width, metrics.horizontalAdvance(line));
  const int line_height = metrics.height();
  QRectF box(hover_->x() + 14, hover_->y() + 14, text_width + 12, line_height * lines.size() + 8);
  if (box.right() > width()) box.moveRight(hover_->x() - 14);
  if (box.bottom() > height()) box.moveBottom(height() - 2);
  QColor fill = palette().color(QPalette::ToolTipBase);
  fill.setAlphaF(0.93);
  painter.setPen(palette().color(QPalette::Mid));
  painter.setBrush(fill);
  painter.drawRect(box);
  painter.setPen(palette().color(QPalette::ToolTipText));
  for (int i = 0; i < lines.size(); ++i) {
    painter.drawText(QPointF(box.left() + 6, box.top() + 4 + metrics.ascent() + i * line_height),
                     lines[i]);
  }
}

void PlotWidget::Zoom(const PlotAxis& x, double centre, double factor) {
  if (x.logarithmic) {
    emit ViewRequested(centre * std::pow(x.low / centre, factor),
                       centre * std::pow(x.high / centre, factor));
  } else {
    emit ViewRequested(centre + (x.low - centre) * factor, centre + (x.high - centre) * factor);
  }
}

void PlotWidget::wheelEvent(QWheelEvent* event) {
  const std::optional<size_t> at = FrequencyPanelAt(event->position());
  if (!at || event->angleDelta().y() == 0) return QWidget::wheelEvent(event);
  const PlotPanel& panel = plot_.panels[*at];
  const PlotRect rect = Layout().panels[*at];
  // A notch (120) zooms by a fifth, about the frequency under the pointer.
  Zoom(panel.x, UnmapX(panel.x, rect, event->position().x()),
       std::pow(0.8, event->angleDelta().y() / 120.0));
  event->accept();
}

void PlotWidget::keyPressEvent(QKeyEvent* event) {
  // The keys do what the wheel and a drag do, about the middle of the axis:
  // + and - zoom by a fifth, Left and Right pan by a tenth, Home or 0 go
  // back to the start view.
  const PlotPanel* panel = nullptr;
  for (const PlotPanel& p : plot_.panels) {
    if (!p.smith && panel == nullptr) panel = &p;
  }
  if (panel == nullptr) return QWidget::keyPressEvent(event);
  const PlotAxis& x = panel->x;
  const double middle = x.logarithmic ? std::sqrt(x.low * x.high) : (x.low + x.high) / 2;
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      Zoom(x, middle, 0.8);
      break;
    case Qt::Key_Minus:
      Zoom(x, middle, 1.25);
      break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const double sign = event->key() == Qt::Key_Left ? -1 : 1;
      if (x.logarithmic) {
        const double ratio = std::pow(x.high / x.low, 0.1 * sign);
        emit ViewRequested(x.low * ratio, x.high * ratio);
      } else {
        const double step = 0.1 * sign * (x.high - x.low);
        emit ViewRequested(x.low + step, x.high + step);
      }
      break;
    }
    case Qt::Key_Home:
    case Qt::Key_0:
      emit ResetRequested();
      break;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
      if (markers_.empty()) return QWidget::keyPressEvent(event);
      markers_.erase(markers_.begin() + long(std::min(chosen_marker_, markers_.size() - 1)));
      chosen_marker_ = markers_.empty() ? 0 : markers_.size() - 1;
      update();
      emit MarkersChanged();
      break;
    default:
      return QWidget::keyPressEvent(event);
  }
  event->accept();
}

void PlotWidget::SetMarkers(std::vector<double> mhz) {
  if (mhz.size() > kMostMarkers) mhz.resize(kMostMarkers);
  markers_ = std::move(mhz);
  chosen_marker_ = markers_.empty() ? 0 : markers_.size() - 1;
  update();
  emit MarkersChanged();
}

std::vector<PlotWidget::CurveValue> PlotWidget::ValuesAt(double mhz) const {
  std::vector<CurveValue> values;
  for (const PlotPanel& p : plot_.panels) {
    if (p.smith) continue;
    for (const PlotCurve& curve : p.curves) {
      const QString unit = UnitOf(curve.right_axis && p.y_right ? p.y_right->title : p.y.title);
      values.push_back({NameWithoutUnit(curve.name, unit), unit, ValueAt(curve.x, curve.y, mhz)});
    }
  }
  return values;
}

std::optional<size_t> PlotWidget::MarkerNear(double x) const {
  const PlotLayout layout = Layout();
  for (size_t i = 0; i < plot_.panels.size() && !layout.panels.empty(); ++i) {
    if (plot_.panels[i].smith) continue;
    for (size_t m = 0; m < markers_.size(); ++m) {
      if (std::abs(MapX(plot_.panels[i].x, layout.panels[i], markers_[m]) - x) <= 5) return m;
    }
    break;
  }
  return std::nullopt;
}

void PlotWidget::mousePressEvent(QMouseEvent* event) {
  const std::optional<size_t> at = FrequencyPanelAt(event->position());
  if (event->button() != Qt::LeftButton || !at) return QWidget::mousePressEvent(event);
  moved_ = false;
  dragged_marker_ = plot_.reads_frequency ? MarkerNear(event->position().x()) : std::nullopt;
  if (dragged_marker_) chosen_marker_ = *dragged_marker_;
  drag_from_ = event->position();
  drag_axis_ = plot_.panels[*at].x;
  setCursor(dragged_marker_ ? Qt::SizeHorCursor : Qt::ClosedHandCursor);
}

void PlotWidget::mouseMoveEvent(QMouseEvent* event) {
  hover_ = event->position();
  if (drag_from_ && std::abs(event->position().x() - drag_from_->x()) > 3) moved_ = true;
  if (drag_from_ && dragged_marker_) {
    const PlotLayout layout = Layout();
    if (!layout.panels.empty() && moved_) {
      markers_[*dragged_marker_] = UnmapX(drag_axis_, layout.panels.front(), event->position().x());
      emit MarkersChanged();
    }
  } else if (drag_from_ && moved_) {
    const PlotLayout layout = Layout();
    if (!layout.panels.empty()) {
      const PlotRect& rect = layout.panels.front();
      const double from = UnmapX(drag_axis_, rect, drag_from_->x());
      const double to = UnmapX(drag_axis_, rect, event->position().x());
      if (drag_axis_.logarithmic) {
        const double ratio = from / to;
        emit ViewRequested(drag_axis_.low * ratio, drag_axis_.high * ratio);
      } else {
        emit ViewRequested(drag_axis_.low + from - to, drag_axis_.high + from - to);
      }
    }
  }
  update();
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* event) {
  // A click, not a drag, on a frequency plot places a marker there.
  if (drag_from_ && !moved_ && !dragged_marker_ && plot_.reads_frequency &&
      event->button() == Qt::LeftButton) {
    const PlotLayout layout = Layout();
    if (!layout.panels.empty()) {
      const double mhz = UnmapX(drag_axis_, layout.panels.front(), event->position().x());
      if (markers_.size() < kMostMarkers) {
        markers_.push_back(mhz);
        chosen_marker_ = markers_.size() - 1;
      } else {
        markers_[chosen_marker_] = mhz;
      }
      update();
      emit MarkersChanged();
    }
  }
  dragged_marker_.reset();
  drag_from_.reset();
  unsetCursor();
  QWidget::mouseReleaseEvent(event);
}

void PlotWidget::mouseDoubleClickEvent(QMouseEvent*) { emit ResetRequested(); }

void PlotWidget::leaveEvent(QEvent*) {
  hover_.reset();
  update();
}

}  // namespace rfsplitter
