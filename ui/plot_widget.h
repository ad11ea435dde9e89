// A plot on screen: paints a Plot (exports/plot.h) with the window's
// palette, zooms its frequency axis with the wheel, pans it by dragging and,
// under the pointer, reads every curve's value at that frequency.
#ifndef RFSPLITTER_UI_PLOT_WIDGET_H_
#define RFSPLITTER_UI_PLOT_WIDGET_H_

#include <QWidget>
#include <optional>

#include "exports/plot.h"

namespace rfsplitter {

class PlotWidget : public QWidget {
  Q_OBJECT

 public:
  explicit PlotWidget(QWidget* parent = nullptr);

  void SetPlot(Plot plot);
  const Plot& plot() const { return plot_; }

  // The read-out under a pointer at `position`: the frequency, each curve's
  // value there (the built circuit's and the ideal one's) and the boards'
  // 5 to 95 % spread, a line each; empty outside the panels.
  QStringList ReadOut(QPointF position) const;

  QSize sizeHint() const override { return {760, 640}; }

 signals:
  // The user zoomed or panned the frequency axis to this range (MHz).
  void ViewRequested(double low_mhz, double high_mhz);
  // A double click: back to the view the bench started with.
  void ResetRequested();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent*) override { update(); }
  void focusOutEvent(QFocusEvent*) override { update(); }
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // The panel under `position` that has a frequency axis, if any.
  std::optional<size_t> FrequencyPanelAt(QPointF position) const;
  PlotLayout Layout() const;
  // Asks for the axis `x` zoomed by `factor` about `centre` (MHz).
  void Zoom(const PlotAxis& x, double centre, double factor);

  Plot plot_;
  std::optional<QPointF> hover_;
  std::optional<QPointF> drag_from_;
  PlotAxis drag_axis_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_PLOT_WIDGET_H_
