#include "ui/bench_plots_panel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTableWidget>

#include "analysis/s_parameters.h"
#include "exports/schematic.h"
#include "files/atomic_file.h"
#include "study/boards_plot.h"
#include "ui/bench_fields.h"
#include "ui/plot_painter.h"
#include "ui/plot_widget.h"
#include "ui/schematic_view.h"
#include "ui_bench_plots_panel.h"

namespace rfsplitter {
namespace {

constexpr int kViewPoints = 401;

}  // namespace

BenchPlotsPanel::BenchPlotsPanel(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::BenchPlotsPanel>()) {
  ui_->setupUi(this);
  schematic_ = new SchematicView;
  ui_->plots->addTab(schematic_, tr("Schematic"));
  QFont bold = ui_->yieldLabel->font();
  bold.setBold(true);
  ui_->yieldLabel->setFont(bold);
  // Wrapped on a row of its own: a long yield line never widens the window.
  ui_->yieldLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  // The bar's room kept while hidden: showing it must not widen the window.
  QSizePolicy keep_room = ui_->progress->sizePolicy();
  keep_room.setRetainSizeWhenHidden(true);
  ui_->progress->setSizePolicy(keep_room);
  ui_->progress->hide();
  // Two plots share the Boards tab: each may be half as tall as the others.
  for (PlotWidget* w : {ui_->histogramPlot, ui_->sensitivityPlot}) w->setMinimumSize(320, 130);
  ui_->markersTable->hide();

  connect(ui_->around, &QPushButton::clicked, this, [this] {
    whole_sweep_ = false;
    SetView(AroundDesignFrequency(f0_hz_));
  });
  connect(ui_->whole, &QPushButton::clicked, this, [this] {
    whole_sweep_ = true;
    SetView(WholeSweepView(f0_hz_));
  });
  const auto reset = [this] {
    SetView(whole_sweep_ ? WholeSweepView(f0_hz_) : AroundDesignFrequency(f0_hz_));
  };
  connect(ui_->resetView, &QPushButton::clicked, this, reset);
  connect(ui_->responsePlot, &PlotWidget::ResetRequested, this, reset);
  connect(ui_->responsePlot, &PlotWidget::ViewRequested, this, [this](double low, double high) {
    if (low > 0 && high > low) SetView({low * 1e6, high * 1e6, view_.logarithmic});
  });
  connect(ui_->responsePlot, &PlotWidget::MarkersChanged, this, [this] {
    ShowMarkers();
    Rebuild();  // the Smith chart's markers
  });
  connect(ui_->figure, &QComboBox::currentIndexChanged, this, &BenchPlotsPanel::ShowBoards);
  // Each plot's own menu: the plot as a picture for a report, or as a file
  // of the view on screen.
  for (PlotWidget* plot :
       {ui_->responsePlot, ui_->smithPlot, ui_->histogramPlot, ui_->sensitivityPlot}) {
    auto* copy = new QAction(tr("Copy the plot as an image"), plot);
    connect(copy, &QAction::triggered, plot,
            [plot] { QApplication::clipboard()->setImage(plot->grab().toImage()); });
    auto* save = new QAction(tr("Save the plot as SVG or PNG..."), plot);
    connect(save, &QAction::triggered, this, [this, plot] { SaveView(plot); });
    plot->addAction(copy);
    plot->addAction(save);
    plot->setContextMenuPolicy(Qt::ActionsContextMenu);
  }
  view_ = AroundDesignFrequency(f0_hz_);
}

BenchPlotsPanel::~BenchPlotsPanel() = default;

PlotWidget* BenchPlotsPanel::Response() const { return ui_->responsePlot; }
QProgressBar* BenchPlotsPanel::Progress() const { return ui_->progress; }

void BenchPlotsPanel::SetYieldText(const QString& text, const QString& tip) {
  ui_->yieldLabel->setText(text);
  ui_->yieldLabel->setToolTip(tip);
}

void BenchPlotsPanel::AddPlotAction(QAction* action) {
  for (PlotWidget* plot : {ui_->responsePlot, ui_->smithPlot}) plot->addAction(action);
}

void BenchPlotsPanel::ResetView(double design_frequency_hz) {
  f0_hz_ = design_frequency_hz;
  view_ = whole_sweep_ ? WholeSweepView(f0_hz_) : AroundDesignFrequency(f0_hz_);
}

void BenchPlotsPanel::SetView(PlotView view) {
  // Keep the view to a sane stretch around the design: no wider than a
  // decade and more either side, no narrower than a thousandth of f0.
  view.low_hz = std::max(view.low_hz, f0_hz_ * 0.01);
  view.high_hz = std::min(view.high_hz, f0_hz_ * 10);
  if (view.high_hz - view.low_hz < f0_hz_ * 1e-3) return;
  view_ = view;
  Rebuild();
}

void BenchPlotsPanel::Show(const StudyResult* nominal, const MonteCarloResult* yield,
                           const std::string& title) {
  nominal_ = nominal;
  yield_ = yield;
  title_ = title;
  if (nominal_) schematic_->Show(SchematicSvg(nominal_->Circuit()));
  Rebuild();
  ShowBoards();
}

void BenchPlotsPanel::Rebuild() {
  if (!nominal_) return;
  const StudyResult& n = *nominal_;
  const Sweep sweep{view_.low_hz, view_.high_hz, kViewPoints, view_.logarithmic};
  std::string error;
  ideal_view_ = AnalyzeSweep(n.ideal, sweep, error);
  built_view_.reset();
  if (n.built) built_view_ = AnalyzeSweep(n.built->netlist, sweep, error);
  ResponsePlotData plot_data;
  plot_data.netlist = &n.Circuit();
  const bool built = n.built.has_value() && built_view_ && !built_view_->s.empty();
  plot_data.response = built ? &*built_view_ : &*ideal_view_;
  measured_view_ = {};
  if (const std::optional<MeasuredResult>& m = n.measured) {
    measured_view_ = {m->measurement.frequencies_hz, m->measurement.s};
    plot_data.measured = &measured_view_;
    // Diagnosed: the board as fitted in place of the built one.
    if (m->diagnosis && !m->fitted_sweep.s.empty()) {
      plot_data.response = &m->fitted_sweep;
      plot_data.fitted = true;
    }
  }
  plot_data.ideal = built ? &*ideal_view_ : nullptr;
  plot_data.spread = yield_ && yield_->spread ? &*yield_->spread : nullptr;
  if (n.CircuitSummary()) plot_data.usable = n.CircuitSummary()->bands.usable;
  plot_data.limits = n.request.limits;
  if (plot_data.response->s.empty()) return;
  ui_->responsePlot->SetPlot(ResponsePlot(plot_data, view_));
  ShowMarkers();
  // The Smith chart over the file's whole sweep.
  std::optional<SweepResponse> ideal_file, built_file;
  ideal_file = AnalyzeSweep(n.ideal, error);
  if (built) built_file = AnalyzeSweep(n.built->netlist, error);
  ResponsePlotData smith;
  smith.netlist = plot_data.netlist;
  smith.response = built ? &*built_file : &*ideal_file;
  smith.ideal = built ? &*ideal_file : nullptr;
  smith.measured = plot_data.measured;
  smith.markers_mhz = ui_->responsePlot->Markers();
  if (!smith.response->s.empty()) ui_->smithPlot->SetPlot(SmithPlot(smith));
}

void BenchPlotsPanel::ShowBoards() {
  if (!yield_ || yield_->histograms.empty()) return;
  QComboBox* figure = ui_->figure;
  // The figures' names, kept when only the numbers change.
  if (figure->count() != int(yield_->percentiles.size())) {
    const QSignalBlocker quiet(figure);
    const int chosen = std::max(figure->currentIndex(), 0);
    figure->clear();
    for (const auto& [key, p] : yield_->percentiles) figure->addItem(FromStd(FigureTitle(key)));
    figure->setCurrentIndex(std::min(chosen, figure->count() - 1));
  }
  const Limits limits = nominal_ ? nominal_->request.limits : Limits{};
  ui_->histogramPlot->SetPlot(
      HistogramPlot(*yield_, size_t(std::max(figure->currentIndex(), 0)), limits, title_));
  ui_->sensitivityPlot->SetPlot(SensitivityPlot(*yield_, "The yield with one part straying"));
}

void BenchPlotsPanel::SaveView(PlotWidget* plot) {
  QString filter;
  const QString path =
      QFileDialog::getSaveFileName(this, tr("Save the plot"), QString(),
                                   tr("SVG picture (*.svg);;PNG picture (*.png)"), &filter);
  if (path.isEmpty()) return;
  const bool png = path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive) ||
                   (!path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive) &&
                    filter.contains(QStringLiteral("png")));
  SavePlot(plot, path, png);
}

bool BenchPlotsPanel::SavePlot(PlotWidget* plot, const QString& path, bool png) {
  // As on screen: the same view, zoomed and panned as it is.
  std::string bytes;
  if (png) {
    const QByteArray picture = PlotPng(plot->plot());
    bytes.assign(picture.constData(), size_t(picture.size()));
  } else {
    bytes = SvgText(plot->plot());
  }
  const std::string failure = WriteFileAtomically(path.toStdString(), bytes);
  emit Said(failure.empty() ? tr("Wrote %1").arg(path)
                            : tr("The plot was not saved: %1").arg(FromStd(failure)));
  return failure.empty();
}

void BenchPlotsPanel::ShowMarkers() {
  QTableWidget* table = ui_->markersTable;
  const std::vector<double>& markers = ui_->responsePlot->Markers();
  table->setVisible(!markers.empty());
  if (markers.empty()) return;
  const bool delta = markers.size() > 1;
  const QLocale locale;
  std::vector<std::vector<PlotWidget::CurveValue>> values;
  for (const double mhz : markers) values.push_back(ui_->responsePlot->ValuesAt(mhz));
  // And the input's reflection at each, as the Smith chart reads it.
  const int rows = 1 + int(values.front().size()) + 2;
  const int columns = int(markers.size()) + (delta ? 1 : 0);
  table->setRowCount(rows);
  table->setColumnCount(columns);
  QStringList headings, names{tr("Frequency (MHz)")};
  for (size_t m = 0; m < markers.size(); ++m) headings << QStringLiteral("M%1").arg(m + 1);
  if (delta) headings << QStringLiteral("M%1 \u2212 M1").arg(markers.size());
  for (const PlotWidget::CurveValue& v : values.front()) {
    names << (v.unit.isEmpty() ? v.name : QStringLiteral("%1 (%2)").arg(v.name, v.unit));
  }
  names << tr("S11 Gamma (magnitude, deg)") << tr("S11 Z (ohms)");
  table->setHorizontalHeaderLabels(headings);
  table->setVerticalHeaderLabels(names);
  const auto text_cell = [&](int row, int column, const QString& text) {
    QTableWidgetItem* item = table->item(row, column);
    if (!item) table->setItem(row, column, item = new QTableWidgetItem);
    item->setText(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  };
  const QString none = QStringLiteral("\u2013");
  const auto cell = [&](int row, int column, std::optional<double> v, int digits) {
    text_cell(row, column, v ? locale.toString(*v, 'f', digits) : none);
  };
  for (size_t m = 0; m < markers.size(); ++m) {
    cell(0, int(m), markers[m], 3);
    for (size_t r = 0; r < values[m].size(); ++r) cell(int(r) + 1, int(m), values[m][r].value, 2);
  }
  const Netlist* circuit = nominal_ ? &nominal_->Circuit() : nullptr;
  for (size_t m = 0; m < markers.size(); ++m) {
    const SResult s = circuit ? AnalyzeNetlist(*circuit, markers[m] * 1e6) : SResult{};
    QString gamma = none, z = none;
    if (s.s) {
      // Z = Z0 (1 + G) / (1 - G), seen into port 1 with the others matched.
      const Complex g = (*s.s)(1, 1);
      const Complex zin = circuit->z0 * (1.0 + g) / (1.0 - g);
      gamma =
          QStringLiteral("%1 \u2220 %2")
              .arg(locale.toString(std::abs(g), 'f', 3), locale.toString(PhaseDegrees(g), 'f', 1));
      z = QStringLiteral("%1 %2 j%3")
              .arg(locale.toString(zin.real(), 'f', 2),
                   zin.imag() < 0 ? QStringLiteral("\u2212") : QStringLiteral("+"),
                   locale.toString(std::abs(zin.imag()), 'f', 2));
    }
    text_cell(rows - 2, int(m), gamma);
    text_cell(rows - 1, int(m), z);
  }
  if (delta) {
    const size_t last = markers.size() - 1;
    text_cell(rows - 2, columns - 1, none);
    text_cell(rows - 1, columns - 1, none);
    cell(0, columns - 1, markers[last] - markers[0], 3);
    for (size_t r = 0; r < values[0].size(); ++r) {
      const auto a = values[0][r].value, b = values[last][r].value;
      cell(int(r) + 1, columns - 1, a && b ? std::optional(*b - *a) : std::nullopt, 2);
    }
  }
}

}  // namespace rfsplitter
