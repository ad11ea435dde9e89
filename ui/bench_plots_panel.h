// The bench's plots: the response with its view tools and markers, the
// Smith chart, the boards' histogram and the parts' costs, and above them
// the yield line with its progress.
#ifndef RFSPLITTER_UI_BENCH_PLOTS_PANEL_H_
#define RFSPLITTER_UI_BENCH_PLOTS_PANEL_H_

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "exports/plot.h"
#include "study/study.h"

class QAction;
class QProgressBar;

namespace Ui {
class BenchPlotsPanel;
}

namespace rfsplitter {

class PlotWidget;

class SchematicView;

class BenchPlotsPanel : public QWidget {
  Q_OBJECT

 public:
  explicit BenchPlotsPanel(QWidget* parent = nullptr);
  ~BenchPlotsPanel() override;

  PlotWidget* Response() const;
  QProgressBar* Progress() const;
  // The yield line above the plots, with its explanation as a tooltip.
  void SetYieldText(const QString& text, const QString& tip = {});

  // A new design frequency: the view goes back to the one chosen for it.
  void ResetView(double design_frequency_hz);
  const PlotView& View() const { return view_; }

  // What the plots show: `nominal` and the boards' `yield`, either none;
  // both must live until the next call. `title` heads the histogram.
  void Show(const StudyResult* nominal, const MonteCarloResult* yield, const std::string& title);
  // An action of every plot's own menu.
  void AddPlotAction(QAction* action);
  // `plot` as on screen into `path`, an SVG or a PNG; says how it went.
  bool SavePlot(PlotWidget* plot, const QString& path, bool png);

 signals:
  void Said(const QString& text);

 private:
  void SetView(PlotView view);
  void Rebuild();
  void ShowBoards();
  // The markers' table: each curve at each marker, and from M1 to the last.
  void ShowMarkers();
  void SaveView(PlotWidget* plot);

  std::unique_ptr<Ui::BenchPlotsPanel> ui_;
  SchematicView* schematic_ = nullptr;
  const StudyResult* nominal_ = nullptr;
  const MonteCarloResult* yield_ = nullptr;
  std::string title_;
  double f0_hz_ = 12.1e6;
  PlotView view_;
  bool whole_sweep_ = false;
  // The sweeps of the view, kept while the plot shows them.
  std::optional<SweepResponse> ideal_view_, built_view_;
  SweepResponse measured_view_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_BENCH_PLOTS_PANEL_H_
