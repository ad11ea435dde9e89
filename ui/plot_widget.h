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

  // Markers (a frequency plot only): a click places one (up to four; a
  // fifth takes the place of the one chosen last), a drag moves it, Delete
  // removes the one chosen last. Their frequencies in MHz, M1 first.
  const std::vector<double>& Markers() const { return markers_; }
  void SetMarkers(std::vector<double> mhz);
  static constexpr size_t kMostMarkers = 4;
  // Each curve's value at `mhz`, its name and unit: what a marker reads.
  struct CurveValue {
    QString name, unit;
    std::optional<double> value;
  };
  std::vector<CurveValue> ValuesAt(double mhz) const;

 signals:
  // The user zoomed or panned the frequency axis to this range (MHz).
  void ViewRequested(double low_mhz, double high_mhz);
  // A double click: back to the view the bench started with.
  void ResetRequested();
  void MarkersChanged();

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

  // The marker within a few pixels of `x`, if any.
  std::optional<size_t> MarkerNear(double x) const;

  Plot plot_;
  std::vector<double> markers_;
  size_t chosen_marker_ = 0;
  std::optional<size_t> dragged_marker_;
  bool moved_ = false;  // since the press: a drag, not a click
  std::optional<QPointF> hover_;
  std::optional<QPointF> drag_from_;
  PlotAxis drag_axis_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_PLOT_WIDGET_H_
