#include "ui/bench_window.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "engine/inputs.h"
#include "engine/netlist.h"
#include "engine/number_text.h"
#include "engine/quoted.h"
#include "engine/si_value.h"
#include "files/atomic_file.h"
#include "files/read_file.h"
#include "parts/presets.h"
#include "study/boards_plot.h"
#include "study/report.h"
#include "ui/localized.h"
#include "ui/measured_panel.h"
#include "ui/plot_painter.h"
#include "ui/plot_widget.h"

namespace rfsplitter {

// One yield run on a worker thread: its stop switch and whether it is still
// the one the bench waits for.
struct BenchWindow::Job {
  std::stop_source stop;
  std::atomic<double> fraction = 0;
  std::atomic<bool> finished = false;  // the worker has handed its result over
};

namespace {

// What the user typed, as a message quotes it: at most 24 characters, so
// that a long text never widens the window.
QString Typed(const QString& text) {
  constexpr int kLongest = 24;
  return text.size() <= kLongest ? text : text.left(kLongest - 1) + QChar(0x2026);
}

constexpr ElementKind kKinds[] = {ElementKind::kInductor, ElementKind::kCapacitor,
                                  ElementKind::kResistor};
constexpr const char* kSeriesNames[] = {"E6", "E12", "E24", "E48", "E96", "E192"};
constexpr int kViewPoints = 401;
// The share of a searched fit's work its first answer takes: within half a
// second for the wide hybrid's yield fit.
constexpr double kQuickEffort = 0.1;

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

QLabel* BuddyLabel(const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text);
  label->setBuddy(buddy);
  return label;
}

// "403.07 - 465.60", an open end marked "<" or ">" (the band reaches the
// sweep's end there).
QString BandCell(const std::optional<Band>& band) {
  if (!band) return QObject::tr("missed at f0");
  const auto mhz = [](double hz) { return Localized(GeneralText(hz / 1e6, 6)); };
  return (band->low_open ? QStringLiteral("< ") : QString()) + mhz(band->low_hz) +
         QStringLiteral(" \u2013 ") + (band->high_open ? QStringLiteral("> ") : QString()) +
         mhz(band->high_hz);
}

void MarkValid(QLineEdit* edit, bool valid) {
  edit->setStyleSheet(valid ? QString()
                            : QStringLiteral("QLineEdit { border: 2px solid #d62728; }"));
}

}  // namespace

BenchWindow::BenchWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(tr("Design bench"));
  setObjectName(QStringLiteral("benchWindow"));
  setAcceptDrops(true);
  BuildControls();
  KeepPlaceholdersReadable();
  SetTabOrder();
  LoadSettings();
  view_ = AroundDesignFrequency(1e6 * double(inputs_.frequency_mhz));
  Recompute();
}

BenchWindow::~BenchWindow() {
  // The workers stop within a batch of boards; the lists join them.
  for (Worker& w : workers_) w.job->stop.request_stop();
}

void BenchWindow::JoinFinished(std::list<Worker>& workers) {
  workers.remove_if([](Worker& w) {
    if (!w.job->finished) return false;
    w.thread.join();
    return true;
  });
}

void BenchWindow::BuildControls() {
  auto* top = new QVBoxLayout(this);
  title_ = new QLabel;
  QFont title_font = title_->font();
  title_font.setPointSizeF(title_font.pointSizeF() * 1.2);
  title_font.setBold(true);
  title_->setFont(title_font);
  title_->setWordWrap(true);
  note_ = new QLabel;
  note_->setObjectName(QStringLiteral("benchNote"));
  note_->setWordWrap(true);
  note_->setStyleSheet(QStringLiteral("QLabel { color: #c0392b; }"));
  top->addWidget(title_);
  top->addWidget(note_);

  auto* splitter = new QSplitter(Qt::Horizontal);
  top->addWidget(splitter, 1);

  // The plots, with their tools.
  auto* left = new QWidget;
  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(0, 0, 0, 0);
  auto* tools = new QHBoxLayout;
  around_ = new QPushButton(tr("Ar&ound f0"));
  around_->setToolTip(tr("A linear frequency axis 30 % either side of the design frequency"));
  whole_ = new QPushButton(tr("Whol&e sweep"));
  whole_->setToolTip(
      tr("The simulation file's sweep, 0.1 to 1.9 times the design frequency, "
         "on a log axis"));
  reset_ = new QPushButton(tr("Reset &view"));
  reset_->setToolTip(tr("Back to the view chosen last (also a double click on the plot)"));
  for (QPushButton* b : {around_, whole_, reset_}) tools->addWidget(b);
  // Sessions: the bench's settings, the design and the steps in a file.
  auto* open_session = new QToolButton;
  open_session->setText(tr("Open session..."));
  open_session->setToolTip(tr("Open a saved session (Ctrl+O); the arrow lists the recent ones"));
  open_session->setPopupMode(QToolButton::MenuButtonPopup);
  auto* recent = new QMenu(open_session);
  connect(recent, &QMenu::aboutToShow, this, [this, recent] { FillRecentMenu(recent); });
  open_session->setMenu(recent);
  connect(open_session, &QToolButton::clicked, this, &BenchWindow::ChooseSessionToOpen);
  auto* save_session = new QToolButton;
  save_session->setText(tr("Save session..."));
  save_session->setToolTip(
      tr("Save the design, the parts, their models, the fit, the steps, the limits and the "
         "tolerances as a .rfsplitter file (Ctrl+S), which rfsplitter-cli --session runs"));
  connect(save_session, &QToolButton::clicked, this, &BenchWindow::ChooseSessionToSave);
  auto* open_shortcut = new QAction(this);
  open_shortcut->setShortcut(QKeySequence::Open);
  connect(open_shortcut, &QAction::triggered, this, &BenchWindow::ChooseSessionToOpen);
  auto* save_shortcut = new QAction(this);
  save_shortcut->setShortcut(QKeySequence::Save);
  connect(save_shortcut, &QAction::triggered, this, &BenchWindow::ChooseSessionToSave);
  addAction(open_shortcut);
  addAction(save_shortcut);
  // The yield stays in sight above the plot; its details are in the column.
  yield_label_ = new QLabel;
  yield_label_->setObjectName(QStringLiteral("yieldLabel"));
  QFont yield_font = yield_label_->font();
  yield_font.setBold(true);
  yield_label_->setFont(yield_font);
  // On a row of its own below the tools, wrapped: a long yield line never
  // widens the window.
  yield_label_->setWordWrap(true);
  yield_label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  tools->addStretch(1);
  progress_ = new QProgressBar;
  progress_->setRange(0, 100);
  progress_->setMaximumWidth(160);
  progress_->setAccessibleName(tr("Yield progress"));
  // Its room kept while hidden: showing it must not widen the window.
  QSizePolicy keep_room = progress_->sizePolicy();
  keep_room.setRetainSizeWhenHidden(true);
  progress_->setSizePolicy(keep_room);
  progress_->hide();
  tools->addWidget(progress_);
  left_layout->addLayout(tools);
  left_layout->addWidget(yield_label_);
  plots_ = new QTabWidget;
  response_plot_ = new PlotWidget;
  response_plot_->setObjectName(QStringLiteral("responsePlot"));
  response_plot_->setAccessibleName(tr("Response plot"));
  smith_plot_ = new PlotWidget;
  smith_plot_->setObjectName(QStringLiteral("smithPlot"));
  smith_plot_->setAccessibleName(tr("Smith chart of the port reflections"));
  plots_->addTab(response_plot_, tr("&Response"));
  plots_->addTab(smith_plot_, tr("Smit&h chart"));
  // The boards: how they spread in a figure at f0, and each part's cost.
  auto* boards = new QWidget;
  auto* boards_layout = new QVBoxLayout(boards);
  auto* figure_row = new QHBoxLayout;
  figure_ = new QComboBox;
  figure_->setAccessibleName(tr("Figure of the boards"));
  auto* figure_label = new QLabel(tr("Figure:"));
  figure_label->setBuddy(figure_);
  figure_row->addWidget(figure_label);
  figure_row->addWidget(figure_);
  figure_row->addStretch(1);
  boards_layout->addLayout(figure_row);
  histogram_plot_ = new PlotWidget;
  histogram_plot_->setObjectName(QStringLiteral("histogramPlot"));
  histogram_plot_->setAccessibleName(tr("Histogram of the boards"));
  sensitivity_plot_ = new PlotWidget;
  sensitivity_plot_->setObjectName(QStringLiteral("sensitivityPlot"));
  sensitivity_plot_->setAccessibleName(tr("The yield with one part straying"));
  // Two plots share the tab: each may be half as tall as the others.
  for (PlotWidget* w : {histogram_plot_, sensitivity_plot_}) w->setMinimumSize(320, 130);
  boards_layout->addWidget(histogram_plot_, 3);
  boards_layout->addWidget(sensitivity_plot_, 2);
  plots_->addTab(boards, tr("Boards"));
  connect(figure_, &QComboBox::currentIndexChanged, this, &BenchWindow::ShowBoards);
  left_layout->addWidget(plots_, 1);
  // The markers placed on the response plot, each curve's value at each and
  // the change from M1 to the last.
  markers_table_ = new QTableWidget;
  markers_table_->setObjectName(QStringLiteral("markersTable"));
  markers_table_->setAccessibleName(tr("Markers"));
  markers_table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  markers_table_->setTabKeyNavigation(false);
  markers_table_->setMinimumHeight(60);
  markers_table_->setMaximumHeight(150);
  markers_table_->setToolTip(
      tr("Click the response plot to place a marker (up to four), drag one to move it, Delete "
         "removes the one chosen last"));
  markers_table_->hide();
  left_layout->addWidget(markers_table_);
  connect(response_plot_, &PlotWidget::MarkersChanged, this, [this] {
    ShowMarkers();
    RebuildPlots();  // the Smith chart's markers
  });
  splitter->addWidget(left);
  connect(around_, &QPushButton::clicked, this, [this] {
    whole_sweep_ = false;
    SetView(AroundDesignFrequency(1e6 * double(inputs_.frequency_mhz)));
  });
  connect(whole_, &QPushButton::clicked, this, [this] {
    whole_sweep_ = true;
    SetView(WholeSweepView(1e6 * double(inputs_.frequency_mhz)));
  });
  const auto reset = [this] {
    const double f0 = 1e6 * double(inputs_.frequency_mhz);
    SetView(whole_sweep_ ? WholeSweepView(f0) : AroundDesignFrequency(f0));
  };
  connect(reset_, &QPushButton::clicked, this, reset);
  connect(response_plot_, &PlotWidget::ResetRequested, this, reset);
  connect(response_plot_, &PlotWidget::ViewRequested, this, [this](double low, double high) {
    if (!(low > 0 && high > low)) return;
    SetView({low * 1e6, high * 1e6, view_.logarithmic});
  });

  // The controls, in a column that scrolls.
  auto* column = new QWidget;
  auto* controls = new QVBoxLayout(column);

  auto* session_row = new QHBoxLayout;
  session_row->addWidget(new QLabel(tr("Session:")));
  session_row->addWidget(open_session);
  session_row->addWidget(save_session);
  session_row->addStretch(1);
  controls->addLayout(session_row);

  auto* parts_box = new QGroupBox(tr("Parts"));
  auto* parts_layout = new QVBoxLayout(parts_box);
  auto* parts_form = new QFormLayout;
  const QString kind_labels[] = {tr("&Inductors:"), tr("C&apacitors:"), tr("Re&sistors:")};
  const QString kind_names[] = {tr("Inductors"), tr("Capacitors"), tr("Resistors")};
  for (int k = 0; k < 3; ++k) {
    series_[k] = new QComboBox;
    series_[k]->addItem(tr("Ideal"));
    for (const char* name : kSeriesNames) series_[k]->addItem(QString::fromLatin1(name));
    series_[k]->addItem(tr("Parts file..."));
    series_[k]->setAccessibleName(kind_names[k] + tr(" from"));
    file_buttons_[k] = new QToolButton;
    file_buttons_[k]->setText(QStringLiteral("..."));
    file_buttons_[k]->setToolTip(tr("Choose a parts file for the %1").arg(kind_names[k].toLower()));
    file_buttons_[k]->setAccessibleName(
        tr("Choose a parts file for the %1").arg(kind_names[k].toLower()));
    auto* row = new QHBoxLayout;
    row->addWidget(series_[k], 1);
    row->addWidget(file_buttons_[k]);
    parts_form->addRow(BuddyLabel(kind_labels[k], series_[k]), row);
    connect(series_[k], &QComboBox::activated, this, [this, k](int index) {
      if (index == kFileItem) ReadPartsSource(k);
      KeepOfferedSteps();
      Recompute();
    });
    connect(file_buttons_[k], &QToolButton::clicked, this, [this, k] {
      series_[k]->setCurrentIndex(kFileItem);
      ReadPartsSource(k);
      KeepOfferedSteps();
      Recompute();
    });
  }
  fit_ = new QComboBox;
  fit_->addItems({tr("nearest"), tr("retune"), tr("best"), tr("margin"), tr("yield")});
  // Best at first: its yield is there within a blink; margin and yield
  // search for a second or so.
  fit_->setCurrentIndex(static_cast<int>(FitMethod::kBest));
  fit_->setAccessibleName(tr("Fit"));
  fit_->setToolTip(
      tr("nearest: each value to its nearest standard value; retune: inductors "
         "nearest, capacitors recomputed for them; best: the combination closest "
         "to the ideal response; margin: the largest worst margin to the limits; "
         "yield: the most boards within the limits (margin and yield search on a "
         "worker thread, best shows meanwhile)"));
  parts_form->addRow(BuddyLabel(tr("Fi&t:"), fit_), fit_);
  pairs_ = new QCheckBox(tr("Allo&w pairs: two inductors in series, two capacitors in parallel"));
  pairs_->setToolTip(tr("For the margin and yield fits"));
  tie_ = new QCheckBox(tr("Tie eq&ual values: parts of one ideal value get one part"));
  tie_->setToolTip(tr("For the margin and yield fits"));
  parts_form->addRow(QString(), pairs_);
  parts_form->addRow(QString(), tie_);
  // A part stepped by hand is a part bought: it stays whatever the fit
  // does with the others.
  connect(fit_, &QComboBox::activated, this, &BenchWindow::Recompute);
  for (QCheckBox* box : {pairs_, tie_}) {
    connect(box, &QCheckBox::toggled, this, &BenchWindow::Recompute);
  }
  q_inductor_ = new QLineEdit;
  q_inductor_->setPlaceholderText(tr("lossless"));
  q_inductor_->setAccessibleName(tr("Inductor Q"));
  q_inductor_->setToolTip(
      tr("The inductors' quality factor, 1 to 1000000, at the design "
         "frequency or at one given after @ (60@900M)"));
  q_capacitor_ = new QLineEdit;
  q_capacitor_->setPlaceholderText(tr("lossless"));
  q_capacitor_->setAccessibleName(tr("Capacitor Q"));
  q_capacitor_->setToolTip(
      tr("The capacitors' quality factor, at the design frequency or at "
         "one given after @"));
  preset_ = new QComboBox;
  preset_->addItems({tr("none"), QStringLiteral("0402"), QStringLiteral("0603"),
                     QStringLiteral("0402-mounted"), QStringLiteral("0603-mounted")});
  preset_->setAccessibleName(tr("Part model"));
  preset_->setToolTip(
      tr("Typical chip parts of a size: their Q, self-resonance, ESL and ESR; "
         "the fields below change single figures of it"));
  q_profile_ = new QComboBox;
  q_profile_->addItems(
      {tr("as the part model (linear)"), tr("linear"), tr("sqrt"), tr("constant")});
  q_profile_->setAccessibleName(tr("Q profile"));
  q_profile_->setToolTip(
      tr("How the inductors' Q follows frequency: linear (a fixed "
         "resistance), sqrt (skin effect) or constant"));
  srf_ = new QLineEdit;
  srf_->setAccessibleName(tr("Inductor self-resonance"));
  esl_ = new QLineEdit;
  esl_->setAccessibleName(tr("Capacitor ESL"));
  esr_ = new QLineEdit;
  esr_->setAccessibleName(tr("Capacitor ESR"));
  pads_ = new QLineEdit;
  pads_->setAccessibleName(tr("Pad capacitance"));
  pads_->setToolTip(tr("A pad's capacitance to ground at every node, ports included"));
  for (QLineEdit* e : {srf_, esl_, esr_, pads_}) e->setPlaceholderText(tr("none"));
  stress_power_ = new QLineEdit;
  stress_power_->setObjectName(QStringLiteral("stressPower"));
  stress_power_->setAccessibleName(tr("Stress at power"));
  stress_power_->setPlaceholderText(tr("none (1 W, 30 dBm)"));
  stress_power_->setToolTip(
      tr("Each part's voltage, current and dissipation with this power at each driven port: "
         "into matched outputs, into outputs at VSWR 2, and as a combiner; the Rating column "
         "shows the share of its derated rating the part takes"));
  compensate_ = new QCheckBox(tr("Com&pensate the parasitics"));
  compensate_->setChecked(true);
  compensate_->setToolTip(
      tr("Choose each nominal value so that the part acts as the ideal "
         "element at f0 (off: buy the ideal values as they are)"));
  parts_form->addRow(BuddyLabel(tr("Inductor &Q:"), q_inductor_), q_inductor_);
  parts_form->addRow(BuddyLabel(tr("Capacitor Q:"), q_capacitor_), q_capacitor_);
  parts_form->addRow(BuddyLabel(tr("Part &model:"), preset_), preset_);
  parts_form->addRow(BuddyLabel(tr("Q pro&file:"), q_profile_), q_profile_);
  parts_form->addRow(BuddyLabel(tr("Inductor SRF:"), srf_), srf_);
  parts_form->addRow(BuddyLabel(tr("Capacitor ES&L:"), esl_), esl_);
  parts_form->addRow(BuddyLabel(tr("Capacitor ESR:"), esr_), esr_);
  parts_form->addRow(BuddyLabel(tr("Pa&ds:"), pads_), pads_);
  parts_form->addRow(BuddyLabel(tr("Stress at:"), stress_power_), stress_power_);
  parts_form->addRow(QString(), compensate_);
  for (QLineEdit* e : {q_inductor_, q_capacitor_, srf_, esl_, esr_, pads_, stress_power_}) {
    connect(e, &QLineEdit::textChanged, this, &BenchWindow::Recompute);
  }
  for (QComboBox* c : {preset_, q_profile_}) {
    connect(c, &QComboBox::activated, this, [this] {
      ShowModelDefaults();
      Recompute();
    });
  }
  connect(compensate_, &QCheckBox::toggled, this, &BenchWindow::Recompute);
  parts_layout->addLayout(parts_form);

  parts_ = new QTableWidget(0, 9);
  parts_->setObjectName(QStringLiteral("partsTable"));
  parts_->setAccessibleName(tr("Parts table"));
  parts_->setHorizontalHeaderLabels({tr("Part"), tr("Ideal"), tr("Chosen"), tr("Step"),
                                     tr("Acts as"), tr("Series"), tr("Error"), tr("Loss"),
                                     tr("Rating")});
  parts_->verticalHeader()->hide();
  parts_->setWordWrap(false);
  // One stop in the tab chain; the arrow keys move within.
  parts_->setTabKeyNavigation(false);
  parts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  parts_->setSelectionBehavior(QAbstractItemView::SelectRows);
  parts_->setSelectionMode(QAbstractItemView::SingleSelection);
  parts_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  parts_->horizontalHeader()->setStretchLastSection(true);
  parts_->setToolTip(tr("Alt+Up and Alt+Down step the selected part through its series"));
  parts_->installEventFilter(this);
  parts_layout->addWidget(parts_);
  copy_ = new QPushButton(tr("&Copy parts"));
  copy_->setToolTip(tr("The parts table as tab-separated text, for a spreadsheet"));
  connect(copy_, &QPushButton::clicked, this, &BenchWindow::CopyParts);
  parts_layout->addWidget(copy_, 0, Qt::AlignLeft);
  controls->addWidget(parts_box);

  auto* bands_box = new QGroupBox(tr("Bands"));
  auto* bands_layout = new QVBoxLayout(bands_box);
  bands_ = new QTableWidget(5, 2);
  bands_->setObjectName(QStringLiteral("bandsTable"));
  bands_->setAccessibleName(tr("Bands table"));
  bands_->setVerticalHeaderLabels(
      {tr("Match"), tr("Isolation"), tr("Amplitude balance"), tr("Phase balance"), tr("Usable")});
  bands_->setTabKeyNavigation(false);
  bands_->setHorizontalHeaderLabels({tr("Ideal (MHz)"), tr("Built (MHz)")});
  bands_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  bands_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  bands_->setFocusPolicy(Qt::NoFocus);
  bands_->setFixedHeight(bands_->verticalHeader()->length() + bands_->horizontalHeader()->height() +
                         4);
  bands_layout->addWidget(bands_);
  auto* limits_form = new QFormLayout;
  const QString limit_labels[] = {tr("Match at least (dB down):"),
                                  tr("Isolation at least (dB down):"),
                                  tr("Imbalance at most (dB):"), tr("Phase within (deg):")};
  const char* limit_defaults[] = {"15", "15", "0.5", "5"};
  for (int i = 0; i < 4; ++i) {
    limits_[i] = new QLineEdit(Localized(limit_defaults[i]));
    limits_[i]->setAccessibleName(QString(limit_labels[i]).remove(QLatin1Char('&')));
    limits_form->addRow(BuddyLabel(limit_labels[i], limits_[i]), limits_[i]);
    connect(limits_[i], &QLineEdit::textChanged, this, &BenchWindow::Recompute);
  }
  bands_layout->addLayout(limits_form);
  controls->addWidget(bands_box);

  auto* yield_box = new QGroupBox(tr("Yield"));
  auto* yield_layout = new QVBoxLayout(yield_box);
  auto* yield_form = new QFormLayout;
  const QString tolerance_labels[] = {tr("Inductor tolera&nce:"), tr("Capacitor tolerance:"),
                                      tr("Resistor tolerance:")};
  const char* tolerance_defaults[] = {"5%", "2%", "1%"};
  for (int k = 0; k < 3; ++k) {
    tolerances_[k] = new QLineEdit(Localized(tolerance_defaults[k]));
    tolerances_[k]->setAccessibleName(QString(tolerance_labels[k]).remove(QLatin1Char('&')));
    tolerances_[k]->setToolTip(
        tr("A percentage (5%) or, for inductors and capacitors, an "
           "absolute value (0.2n, 0.1p)"));
    yield_form->addRow(BuddyLabel(tolerance_labels[k], tolerances_[k]), tolerances_[k]);
    connect(tolerances_[k], &QLineEdit::textChanged, this, &BenchWindow::Recompute);
  }
  parasitics_ = new QLineEdit(Localized("0%"));
  parasitics_->setAccessibleName(tr("Parasitics tolerance"));
  parasitics_->setToolTip(
      tr("Every part's ESL, capacitance across and ESR, and every pad, drawn "
         "within this percentage of its figure on each board"));
  yield_form->addRow(BuddyLabel(tr("Parasitics tolerance:"), parasitics_), parasitics_);
  connect(parasitics_, &QLineEdit::textChanged, this, &BenchWindow::Recompute);
  boards_ = new QSpinBox;
  boards_->setRange(0, 1000000);
  boards_->setSingleStep(1000);
  boards_->setValue(10000);
  boards_->setSpecialValueText(tr("none"));
  boards_->setAccessibleName(tr("Boards"));
  yield_form->addRow(BuddyLabel(tr("&Boards:"), boards_), boards_);
  seed_ = new QLineEdit(QStringLiteral("1"));
  seed_->setAccessibleName(tr("Seed"));
  yield_form->addRow(BuddyLabel(tr("Seed:"), seed_), seed_);
  distribution_ = new QComboBox;
  distribution_->addItems({tr("uniform"), tr("normal")});
  distribution_->setAccessibleName(tr("Distribution"));
  yield_form->addRow(BuddyLabel(tr("Distribution:"), distribution_), distribution_);
  yield_band_ = new QLineEdit(QStringLiteral("0"));
  yield_band_->setAccessibleName(tr("Yield band in percent"));
  yield_band_->setToolTip(tr("Boards must pass at 21 points across f0 (1 -+ PERCENT/200) too"));
  yield_form->addRow(BuddyLabel(tr("&Yield band (%):"), yield_band_), yield_band_);
  target_yield_ = new QLineEdit;
  target_yield_->setPlaceholderText(tr("none"));
  target_yield_->setAccessibleName(tr("Target yield in percent"));
  target_yield_->setToolTip(
      tr("The cheapest tolerance grades that give this yield, 1 to 99.99 %, in place of the "
         "tolerances above"));
  yield_form->addRow(BuddyLabel(tr("Tar&get yield (%):"), target_yield_), target_yield_);
  connect(target_yield_, &QLineEdit::textChanged, this, &BenchWindow::Recompute);
  connect(boards_, &QSpinBox::valueChanged, this, &BenchWindow::Recompute);
  connect(seed_, &QLineEdit::textChanged, this, &BenchWindow::Recompute);
  connect(yield_band_, &QLineEdit::textChanged, this, &BenchWindow::Recompute);
  connect(distribution_, &QComboBox::activated, this, &BenchWindow::Recompute);
  yield_layout->addLayout(yield_form);
  history_delay_ = new QTimer(this);
  history_delay_->setSingleShot(true);
  history_delay_->setInterval(700);
  connect(history_delay_, &QTimer::timeout, this, &BenchWindow::SettleHistory);
  auto* undo = new QAction(this);
  undo->setShortcut(QKeySequence::Undo);
  connect(undo, &QAction::triggered, this, &BenchWindow::Undo);
  auto* redo = new QAction(this);
  redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence::Redo});
  connect(redo, &QAction::triggered, this, &BenchWindow::Redo);
  addAction(undo);
  addAction(redo);
  progress_delay_ = new QTimer(this);
  progress_delay_->setSingleShot(true);
  progress_delay_->setInterval(150);
  connect(progress_delay_, &QTimer::timeout, this, [this] {
    if (running_ > 0) progress_->show();
  });
  percentiles_ = new QTableWidget(0, 3);
  percentiles_->setAccessibleName(tr("Percentiles at the design frequency"));
  percentiles_->setTabKeyNavigation(false);
  percentiles_->setHorizontalHeaderLabels({tr("5 %"), tr("50 %"), tr("95 %")});
  percentiles_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  percentiles_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  percentiles_->setFocusPolicy(Qt::NoFocus);
  yield_layout->addWidget(percentiles_);
  advice_ = new QLabel;
  advice_->setObjectName(QStringLiteral("adviceLabel"));
  advice_->setWordWrap(true);
  advice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  yield_layout->addWidget(advice_);
  controls->addWidget(yield_box);

  measured_ = new MeasuredPanel;
  connect(measured_, &MeasuredPanel::Changed, this, &BenchWindow::Recompute);
  auto* open_measured = new QAction(tr("Open a measured board..."), this);
  open_measured->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  connect(open_measured, &QAction::triggered, measured_, &MeasuredPanel::Choose);
  addAction(open_measured);
  controls->addWidget(measured_);
  // The plots' own menu: the plot as a picture for a report, and the
  // measurement to set beside it.
  for (PlotWidget* plot : {response_plot_, smith_plot_}) {
    auto* copy = new QAction(tr("Copy the plot as an image"), plot);
    connect(copy, &QAction::triggered, plot,
            [plot] { QApplication::clipboard()->setImage(plot->grab().toImage()); });
    plot->addAction(copy);
    plot->addAction(open_measured);
    plot->setContextMenuPolicy(Qt::ActionsContextMenu);
  }

  auto* export_box = new QGroupBox(tr("Export"));
  auto* export_layout = new QVBoxLayout(export_box);
  auto* folder_row = new QHBoxLayout;
  folder_ = new QLineEdit(QDir::currentPath());
  folder_->setAccessibleName(tr("Export folder"));
  choose_folder_ = new QPushButton(tr("Choose..."));
  choose_folder_->setToolTip(tr("Choose the folder the exports go to"));
  folder_row->addWidget(BuddyLabel(tr("Folder:"), folder_));
  folder_row->addWidget(folder_, 1);
  folder_row->addWidget(choose_folder_);
  export_layout->addLayout(folder_row);
  connect(choose_folder_, &QPushButton::clicked, this, &BenchWindow::ChooseFolder);
  const QString export_names[] = {tr("Touchstone"),   tr("ngspice netlist"),  tr("Plot (SVG)"),
                                  tr("Plot (PNG)"),   tr("Parts list (CSV)"), tr("JSON"),
                                  tr("KiCad project")};
  auto* checks = new QGridLayout;
  for (int i = 0; i < 7; ++i) {
    exports_[i] = new QCheckBox(export_names[i]);
    exports_[i]->setChecked(i < 6);
    checks->addWidget(exports_[i], i / 3, i % 3);
  }
  exports_[6]->setToolTip(
      tr("A KiCad project in a folder of its own, named as the design: the schematic and the "
         "board with the parts placed, not routed"));
  export_layout->addLayout(checks);
  export_ = new QPushButton(tr("E&xport"));
  export_->setToolTip(
      tr("Write the chosen files into the folder, as the command line writes "
         "them for the same settings"));
  connect(export_, &QPushButton::clicked, this, &BenchWindow::Export);
  export_layout->addWidget(export_, 0, Qt::AlignLeft);
  controls->addWidget(export_box);
  controls->addStretch(1);

  auto* scroll = new QScrollArea;
  column_scroll_ = scroll;
  scroll->setWidget(column);
  scroll->setWidgetResizable(true);
  // Narrower than its contents on a small screen, with a scroll bar, so
  // that the plots keep room.
  scroll->setMinimumWidth(440);
  splitter->addWidget(scroll);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 2);

  for (QWidget* w : column->findChildren<QWidget*>()) {
    if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w)) {
      w->setFocusPolicy(Qt::StrongFocus);
      w->installEventFilter(this);
    }
  }

  status_ = new QLabel;
  status_->setObjectName(QStringLiteral("benchStatus"));
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(status_);
  // As large as the plot wants, within the screen.
  const QRect screen = QApplication::primaryScreen()
                           ? QApplication::primaryScreen()->availableGeometry()
                           : QRect(0, 0, 1400, 900);
  // Never below its least size, which would make it grow by itself once
  // its layout is first applied.
  resize(QSize(std::min(1400, screen.width() * 9 / 10), std::min(900, screen.height() * 9 / 10))
             .expandedTo(minimumSizeHint()));
  // The column as wide as its contents where the window has room (at most
  // 45 % of it); the plots take the rest.
  const int column_width =
      std::min(column->minimumSizeHint().width() + 30, std::max(440, width() * 45 / 100));
  splitter->setSizes({std::max(320, width() - column_width), column_width});
}

void BenchWindow::SetTabOrder() {
  // Down the plot's tools and the plot, then down the column.
  QWidget* order[] = {around_,        whole_,
                      reset_,         plots_,
                      series_[0],     file_buttons_[0],
                      series_[1],     file_buttons_[1],
                      series_[2],     file_buttons_[2],
                      fit_,           pairs_,
                      tie_,           q_inductor_,
                      q_capacitor_,   preset_,
                      q_profile_,     srf_,
                      esl_,           esr_,
                      pads_,          stress_power_,
                      compensate_,    parts_,
                      copy_,          limits_[0],
                      limits_[1],     limits_[2],
                      limits_[3],     tolerances_[0],
                      tolerances_[1], tolerances_[2],
                      parasitics_,    boards_,
                      seed_,          distribution_,
                      yield_band_,    target_yield_,
                      folder_,        choose_folder_,
                      exports_[0],    exports_[1],
                      exports_[2],    exports_[3],
                      exports_[4],    exports_[5],
                      exports_[6],    export_};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void BenchWindow::LoadSettings() {
  QSettings settings;
  settings.beginGroup(QStringLiteral("bench"));
  if (settings.contains(QStringLiteral("geometry"))) {
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    // Never larger than the screen it opens on, whatever was saved.
    if (const QScreen* screen = QApplication::primaryScreen()) {
      const QRect room = screen->availableGeometry();
      resize(QSize(std::min(width(), room.width()), std::min(height(), room.height()))
                 .expandedTo(minimumSizeHint()));
    }
  }
  for (int k = 0; k < 3; ++k) {
    const int index = settings.value(QStringLiteral("series%1").arg(k), 0).toInt();
    // A parts file is chosen again each time, not read behind the user's back.
    series_[k]->setCurrentIndex(index >= 0 && index < kFileItem ? index : 0);
    tolerances_[k]->setText(
        settings.value(QStringLiteral("tolerance%1").arg(k), tolerances_[k]->text()).toString());
  }
  parasitics_->setText(
      settings.value(QStringLiteral("toleranceParasitics"), parasitics_->text()).toString());
  fit_->setCurrentIndex(
      settings.value(QStringLiteral("fit"), static_cast<int>(FitMethod::kBest)).toInt());
  pairs_->setChecked(settings.value(QStringLiteral("pairs"), false).toBool());
  tie_->setChecked(settings.value(QStringLiteral("tieEqualValues"), false).toBool());
  target_yield_->setText(settings.value(QStringLiteral("targetYield")).toString());
  q_inductor_->setText(settings.value(QStringLiteral("qInductor")).toString());
  q_capacitor_->setText(settings.value(QStringLiteral("qCapacitor")).toString());
  preset_->setCurrentIndex(settings.value(QStringLiteral("partModel"), 0).toInt());
  q_profile_->setCurrentIndex(settings.value(QStringLiteral("qProfile"), 0).toInt());
  srf_->setText(settings.value(QStringLiteral("srf")).toString());
  esl_->setText(settings.value(QStringLiteral("esl")).toString());
  esr_->setText(settings.value(QStringLiteral("esr")).toString());
  pads_->setText(settings.value(QStringLiteral("pads")).toString());
  stress_power_->setText(settings.value(QStringLiteral("stressPower")).toString());
  compensate_->setChecked(settings.value(QStringLiteral("compensate"), true).toBool());
  ShowModelDefaults();
  for (int i = 0; i < 4; ++i) {
    limits_[i]->setText(
        settings.value(QStringLiteral("limit%1").arg(i), limits_[i]->text()).toString());
  }
  boards_->setValue(settings.value(QStringLiteral("boards"), boards_->value()).toInt());
  seed_->setText(settings.value(QStringLiteral("seed"), seed_->text()).toString());
  distribution_->setCurrentIndex(settings.value(QStringLiteral("distribution"), 0).toInt());
  yield_band_->setText(settings.value(QStringLiteral("yieldBand"), yield_band_->text()).toString());
}

void BenchWindow::ShowModelDefaults() {
  const std::optional<PartModels> preset =
      preset_->currentIndex() > 0 ? ChipPreset(preset_->currentText().toStdString()) : std::nullopt;
  const auto value = [](double v, ElementKind kind) { return Localized(ValueWithUnit(v, kind)); };
  if (!preset) {
    q_inductor_->setPlaceholderText(tr("lossless"));
    q_profile_->setItemText(0, tr("as the part model (linear)"));
    for (QLineEdit* e : {srf_, esl_, esr_}) e->setPlaceholderText(tr("none"));
    return;
  }
  const KindModel& l = preset->inductor;
  q_inductor_->setPlaceholderText(
      tr("%1 at %2 (part model)")
          .arg(Localized(GeneralText(l.q, 6)), Localized(SiText(l.q_at_hz, Unit::kHertz))));
  q_profile_->setItemText(
      0, tr("as the part model (%1)").arg(FromStd(std::string(QProfileName(l.q_profile)))));
  srf_->setPlaceholderText(
      tr("%1 across (part model)").arg(value(l.parallel_c_f, ElementKind::kCapacitor)));
  esl_->setPlaceholderText(
      tr("%1 (part model)").arg(value(preset->capacitor.esl_h, ElementKind::kInductor)));
  esr_->setPlaceholderText(
      tr("%1 (part model)").arg(value(preset->capacitor.esr_ohms, ElementKind::kResistor)));
}

void BenchWindow::SaveSettings() const {
  QSettings settings;
  settings.beginGroup(QStringLiteral("bench"));
  settings.setValue(QStringLiteral("geometry"), saveGeometry());
  for (int k = 0; k < 3; ++k) {
    settings.setValue(QStringLiteral("series%1").arg(k), series_[k]->currentIndex());
    settings.setValue(QStringLiteral("tolerance%1").arg(k), tolerances_[k]->text());
  }
  settings.setValue(QStringLiteral("toleranceParasitics"), parasitics_->text());
  settings.setValue(QStringLiteral("fit"), fit_->currentIndex());
  settings.setValue(QStringLiteral("pairs"), pairs_->isChecked());
  settings.setValue(QStringLiteral("tieEqualValues"), tie_->isChecked());
  settings.setValue(QStringLiteral("targetYield"), target_yield_->text());
  settings.setValue(QStringLiteral("qInductor"), q_inductor_->text());
  settings.setValue(QStringLiteral("qCapacitor"), q_capacitor_->text());
  settings.setValue(QStringLiteral("partModel"), preset_->currentIndex());
  settings.setValue(QStringLiteral("qProfile"), q_profile_->currentIndex());
  settings.setValue(QStringLiteral("srf"), srf_->text());
  settings.setValue(QStringLiteral("esl"), esl_->text());
  settings.setValue(QStringLiteral("esr"), esr_->text());
  settings.setValue(QStringLiteral("pads"), pads_->text());
  settings.setValue(QStringLiteral("stressPower"), stress_power_->text());
  settings.setValue(QStringLiteral("compensate"), compensate_->isChecked());
  for (int i = 0; i < 4; ++i)
    settings.setValue(QStringLiteral("limit%1").arg(i), limits_[i]->text());
  settings.setValue(QStringLiteral("boards"), boards_->value());
  settings.setValue(QStringLiteral("seed"), seed_->text());
  settings.setValue(QStringLiteral("distribution"), distribution_->currentIndex());
  settings.setValue(QStringLiteral("yieldBand"), yield_band_->text());
}

void BenchWindow::closeEvent(QCloseEvent* event) {
  SaveSettings();
  // A closed bench does no work: what runs stops, and what the main window
  // changes meanwhile is computed once when the bench shows again.
  if (current_) current_->stop.request_stop();
  event->accept();
}

void BenchWindow::ShowMarkers() {
  const std::vector<double>& markers = response_plot_->Markers();
  markers_table_->setVisible(!markers.empty());
  if (markers.empty()) return;
  const bool delta = markers.size() > 1;
  const QLocale locale;
  std::vector<std::vector<PlotWidget::CurveValue>> values;
  for (const double mhz : markers) values.push_back(response_plot_->ValuesAt(mhz));
  // And the input's reflection at each, as the Smith chart reads it.
  const int rows = 1 + int(values.front().size()) + 2;
  const int columns = int(markers.size()) + (delta ? 1 : 0);
  markers_table_->setRowCount(rows);
  markers_table_->setColumnCount(columns);
  QStringList headings, names{tr("Frequency (MHz)")};
  for (size_t m = 0; m < markers.size(); ++m) headings << QStringLiteral("M%1").arg(m + 1);
  if (delta) headings << QStringLiteral("M%1 \u2212 M1").arg(markers.size());
  for (const PlotWidget::CurveValue& v : values.front())
    names << (v.unit.isEmpty() ? v.name : QStringLiteral("%1 (%2)").arg(v.name, v.unit));
  names << tr("S11 Gamma (magnitude, deg)") << tr("S11 Z (ohms)");
  markers_table_->setHorizontalHeaderLabels(headings);
  markers_table_->setVerticalHeaderLabels(names);
  const auto cell = [&](int row, int column, std::optional<double> v, int digits) {
    QTableWidgetItem* item = markers_table_->item(row, column);
    if (!item) markers_table_->setItem(row, column, item = new QTableWidgetItem);
    item->setText(v ? locale.toString(*v, 'f', digits) : QStringLiteral("\u2013"));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  };
  for (size_t m = 0; m < markers.size(); ++m) {
    cell(0, int(m), markers[m], 3);
    for (size_t r = 0; r < values[m].size(); ++r) cell(int(r) + 1, int(m), values[m][r].value, 2);
  }
  const auto text_cell = [&](int row, int column, const QString& text) {
    QTableWidgetItem* item = markers_table_->item(row, column);
    if (!item) markers_table_->setItem(row, column, item = new QTableWidgetItem);
    item->setText(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  };
  const Netlist* circuit = nominal_ ? &nominal_->Circuit() : nullptr;
  for (size_t m = 0; m < markers.size(); ++m) {
    const SResult s = circuit ? AnalyzeNetlist(*circuit, markers[m] * 1e6) : SResult{};
    QString gamma = QStringLiteral("\u2013"), z = gamma;
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
    text_cell(rows - 2, columns - 1, QStringLiteral("\u2013"));
    text_cell(rows - 1, columns - 1, QStringLiteral("\u2013"));
  }
  if (delta) {
    const size_t last = markers.size() - 1;
    cell(0, columns - 1, markers[last] - markers[0], 3);
    for (size_t r = 0; r < values[0].size(); ++r) {
      const auto a = values[0][r].value, b = values[last][r].value;
      cell(int(r) + 1, columns - 1, a && b ? std::optional(*b - *a) : std::nullopt, 2);
    }
  }
}

void BenchWindow::ShowBoards() {
  if (!yield_ || yield_->histograms.empty()) return;
  // The figures' names, kept when only the numbers change.
  if (figure_->count() != int(yield_->percentiles.size())) {
    const QSignalBlocker quiet(figure_);
    const int chosen = std::max(figure_->currentIndex(), 0);
    figure_->clear();
    for (const auto& [key, p] : yield_->percentiles) figure_->addItem(FromStd(FigureTitle(key)));
    figure_->setCurrentIndex(std::min(chosen, figure_->count() - 1));
  }
  const Limits limits = nominal_ ? nominal_->request.limits : Limits{};
  histogram_plot_->SetPlot(HistogramPlot(*yield_, size_t(std::max(figure_->currentIndex(), 0)),
                                         limits, DesignTitle(topology_, inputs_)));
  sensitivity_plot_->SetPlot(SensitivityPlot(*yield_, "The yield with one part straying"));
}

void BenchWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) KeepPlaceholdersReadable();
}

void BenchWindow::KeepPlaceholdersReadable() {
  const QPalette& p = palette();
  const auto lightness = [](const QColor& c) { return c.toHsl().lightnessF(); };
  const QColor base = p.color(QPalette::Base), text = p.color(QPalette::Text);
  QColor placeholder = p.color(QPalette::PlaceholderText);
  // The placeholder as seen: its colour over the base by its alpha.
  const double seen =
      lightness(placeholder) * placeholder.alphaF() + lightness(base) * (1 - placeholder.alphaF());
  const double wanted = 0.45 * std::abs(lightness(text) - lightness(base));
  if (std::abs(seen - lightness(base)) >= wanted) return;
  placeholder = text;
  placeholder.setAlphaF(0.6);
  QPalette readable = p;
  readable.setColor(QPalette::PlaceholderText, placeholder);
  setPalette(readable);  // the next PaletteChange finds it readable
}

void BenchWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (recompute_when_shown_) {
    recompute_when_shown_ = false;
    Recompute();
  }
  // The size settled now, with what the bench shows: a layout applied
  // later would make the window grow by itself.
  if (layout()) layout()->activate();
  const QSize least = minimumSizeHint();
  if (width() < least.width() || height() < least.height()) resize(size().expandedTo(least));
}

QString BenchWindow::Note() const { return note_->text(); }
QString BenchWindow::Status() const { return status_->text(); }

void BenchWindow::FollowInputs(Topology topology, const QString& frequency,
                               const QString& impedance, char decimal_separator) {
  const DesignInputs before = inputs_;
  const Topology topology_before = topology_;
  topology_ = topology;
  // As typed, with a point, for a session.
  frequency_text_ = QString(frequency).replace(QLatin1Char(decimal_separator), QLatin1Char('.'));
  impedance_text_ = QString(impedance).replace(QLatin1Char(decimal_separator), QLatin1Char('.'));
  QStringList notes;
  // A text the main window would repair leaves the last good value.
  const auto follow = [&](const QString& text, bool is_frequency, float& value) {
    const std::string typed = text.toStdString();
    const SettledInput settled = is_frequency ? SettleFrequency(typed, decimal_separator)
                                              : SettleImpedance(typed, decimal_separator);
    if (!settled.repair) {
      value = settled.value;
      return;
    }
    const QString unit = is_frequency ? tr("MHz") : tr("ohms");
    QString why;
    switch (settled.repair->kind) {
      case RepairKind::kEmpty:
        why = tr("empty");
        break;
      case RepairKind::kNotANumber:
        why = tr("not a number");
        break;
      case RepairKind::kOutOfRange:
        why = is_frequency ? tr("outside 0.001 to 50000 MHz") : tr("outside 1 to 500 ohms");
        break;
    }
    notes << tr("%1 %2: the design keeps %3 %4")
                 .arg(is_frequency ? tr("Frequency") : tr("Impedance"), why,
                      Localized(NumberText(value)), unit);
  };
  follow(frequency, true, inputs_.frequency_mhz);
  follow(impedance, false, inputs_.impedance_ohms);
  input_note_ = notes.join(QStringLiteral("\n"));
  const bool changed = before.frequency_mhz != inputs_.frequency_mhz ||
                       before.impedance_ohms != inputs_.impedance_ohms ||
                       topology_before != topology_;
  if (changed) {
    part_values_.clear();
    const double f0 = 1e6 * double(inputs_.frequency_mhz);
    view_ = whole_sweep_ ? WholeSweepView(f0) : AroundDesignFrequency(f0);
  }
  Recompute();
}

void BenchWindow::ReadPartsSource(int kind) {
  const QString path = QFileDialog::getOpenFileName(
      this, tr("Parts file for the %1s").arg(FromStd(std::string(KindName(kKinds[kind])))),
      file_paths_[kind].isEmpty() ? folder_->text() : file_paths_[kind]);
  if (path.isEmpty()) {
    if (!file_series_[kind]) series_[kind]->setCurrentIndex(0);
    return;
  }
  UsePartsFile(kind, path);
}

void BenchWindow::UseMeasurement(const QString& path) { measured_->Open(path); }

void BenchWindow::dragEnterEvent(QDragEnterEvent* event) {
  // A network analyser's file: .s2p to .s4p, or version 2.0's .ts.
  static const QRegularExpression touchstone(QStringLiteral("\\.(s\\dp|ts)$"),
                                             QRegularExpression::CaseInsensitiveOption);
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() == 1 && urls[0].isLocalFile() &&
      touchstone.match(urls[0].toLocalFile()).hasMatch()) {
    event->acceptProposedAction();
  }
}

void BenchWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls[0].isLocalFile()) return;
  event->acceptProposedAction();
  UseMeasurement(urls[0].toLocalFile());
}

void BenchWindow::UsePartsFile(int kind, const QString& path) {
  std::string reason;
  const std::optional<std::string> text = ReadSmallFile(path.toStdString(), reason);
  std::string error;
  std::optional<std::vector<std::optional<PartSeries>>> series;
  if (text) {
    const ElementKind kinds[] = {kKinds[kind]};
    series = ReadPartsFile(*text, QFileInfo(path).fileName().toStdString(), kinds, error);
  } else {
    error = Quoted(path.toStdString()) + ": " + reason;
  }
  if (!series) {
    status_->setText(tr("The parts file was not read: %1").arg(FromStd(error)));
    if (!file_series_[kind]) series_[kind]->setCurrentIndex(0);
    return;
  }
  file_series_[kind] = *(*series)[0];
  file_paths_[kind] = path;
  series_[kind]->setItemText(kFileItem, QFileInfo(path).fileName());
  series_[kind]->setCurrentIndex(kFileItem);
  status_->setText(tr("Read the parts file %1").arg(path));
}

StudyRequest BenchWindow::Request(QStringList& problems) const {
  StudyRequest request;
  request.topology = topology_;
  request.inputs = inputs_;
  for (int k = 0; k < 3; ++k) {
    const int index = series_[k]->currentIndex();
    if (index >= 1 && index <= 6) {
      request.parts.Slot(kKinds[k]) = PartSeries::Standard(kSeriesNames[index - 1]);
    } else if (index == kFileItem && file_series_[k]) {
      request.parts.Slot(kKinds[k]) = file_series_[k];
    }
  }
  request.parts.method = static_cast<FitMethod>(fit_->currentIndex());
  const bool searched =
      request.parts.method == FitMethod::kMargin || request.parts.method == FitMethod::kYield;
  request.parts.pairs = searched && pairs_->isChecked();
  request.parts.tie_equal_values = searched && tie_->isChecked();
  if (const QString text = target_yield_->text().trimmed(); !text.isEmpty()) {
    std::string error;
    const std::optional<SiValue> v = ParseSiValue(Unlocalized(text), error);
    const bool ok = v && (v->unit == Unit::kNone || v->unit == Unit::kPercent) && v->value >= 1 &&
                    v->value <= 99.99;
    MarkValid(target_yield_, ok);
    if (ok) {
      request.target_yield_percent = v->value;
    } else {
      problems << tr("The target yield \"%1\" is not a number from 1 to 99.99").arg(Typed(text));
    }
  } else {
    MarkValid(target_yield_, true);
  }
  const auto number = [&](QLineEdit* edit, double low, double high, const QString& what,
                          double fallback) {
    const std::string text = Unlocalized(edit->text());
    std::string error;
    const std::optional<SiValue> v = ParseSiValue(text, error);
    const bool ok = v && v->value >= low && v->value <= high;
    MarkValid(edit, ok || text.empty());
    if (!ok && !text.empty()) {
      problems << tr("%1 \"%2\" is not a number from %3 to %4")
                      .arg(what, Typed(edit->text()), QLocale().toString(low),
                           QLocale().toString(high));
    }
    return ok ? v->value : fallback;
  };
  if (preset_->currentIndex() > 0) {
    request.models = ChipPreset(preset_->currentText().toStdString()).value_or(PartModels{});
  }
  // "60" or "60@900M": the Q and where it holds.
  const auto quality = [&](QLineEdit* edit, KindModel& model, const QString& what) {
    const QStringList parts = edit->text().split(QLatin1Char('@'));
    QLineEdit q_part(parts.value(0));
    const double q = number(&q_part, 1, 1e6, what, 0);
    bool ok = q > 0 || parts.value(0).trimmed().isEmpty();
    double at = 0;
    if (ok && parts.size() == 2) {
      QLineEdit f_part(parts.value(1));
      at = number(&f_part, 1, 1e12, what + tr(" frequency"), 0);
      ok = at > 0;
    }
    MarkValid(edit, ok && parts.size() <= 2);
    if (q > 0 && ok) model.q = q, model.q_at_hz = at;
  };
  quality(q_inductor_, request.models.inductor, tr("Inductor Q"));
  quality(q_capacitor_, request.models.capacitor, tr("Capacitor Q"));
  if (q_profile_->currentIndex() > 0) {
    const QProfile profiles[] = {QProfile::kLinear, QProfile::kSqrt, QProfile::kConstant};
    request.models.inductor.q_profile = profiles[q_profile_->currentIndex() - 1];
  }
  if (!srf_->text().trimmed().isEmpty()) {
    request.models.inductor.srf_hz = number(srf_, 1e6, 1e12, tr("SRF"), 0);
    request.models.inductor.parallel_c_f = 0;
  }
  if (!esl_->text().trimmed().isEmpty()) {
    request.models.capacitor.esl_h = number(esl_, 0, 100e-9, tr("ESL"), 0);
  }
  if (!esr_->text().trimmed().isEmpty()) {
    request.models.capacitor.esr_ohms = number(esr_, 0, 100, tr("ESR"), 0);
  }
  if (!pads_->text().trimmed().isEmpty()) {
    request.models.pad_capacitance_f = number(pads_, 0, 100e-12, tr("Pad capacitance"), 0);
  }
  request.models.compensate = compensate_->isChecked();
  if (const QString text = stress_power_->text().trimmed(); !text.isEmpty()) {
    std::string why;
    const std::optional<double> watts = PowerWatts(Unlocalized(text), why);
    MarkValid(stress_power_, watts.has_value());
    if (watts) {
      request.stress = StressSettings{*watts, 2};
    } else {
      problems << tr("The stress power \"%1\" %2").arg(Typed(text), FromStd(why));
    }
  } else {
    MarkValid(stress_power_, true);
  }
  request.limits.match_db = -std::abs(number(limits_[0], -200, 200, tr("Match"), 15));
  request.limits.isolation_db = -std::abs(number(limits_[1], -200, 200, tr("Isolation"), 15));
  request.limits.imbalance_db = number(limits_[2], 0, 20, tr("Imbalance"), 0.5);
  request.limits.phase_deg = number(limits_[3], 0, 180, tr("Phase"), 5);
  for (const auto& [name, value] : part_values_) request.part_values.emplace_back(name, value);
  request.summaries = true;
  request.measured = measured_->Request(problems);
  return request;
}

std::optional<MonteCarloSettings> BenchWindow::YieldSettings(QStringList& problems) const {
  if (boards_->value() == 0) return std::nullopt;
  MonteCarloSettings settings;
  settings.samples = boards_->value();
  bool ok = true;
  for (int k = 0; k < 3; ++k) {
    std::string why;
    const std::optional<Tolerance> t =
        ParseTolerance(Unlocalized(tolerances_[k]->text()), kKinds[k], why);
    MarkValid(tolerances_[k], t.has_value());
    if (!t) {
      problems << tr("The %1 tolerance \"%2\" %3")
                      .arg(FromStd(std::string(KindName(kKinds[k]))), Typed(tolerances_[k]->text()),
                           FromStd(why));
      ok = false;
      continue;
    }
    (k == 0 ? settings.inductor : k == 1 ? settings.capacitor : settings.resistor) = *t;
  }
  {
    std::string why;
    const std::optional<SiValue> p = ParseSiValue(Unlocalized(parasitics_->text()), why);
    const bool p_ok = p && (p->unit == Unit::kNone || p->unit == Unit::kPercent) && p->value >= 0 &&
                      p->value <= 100;
    MarkValid(parasitics_, p_ok);
    if (p_ok) {
      settings.parasitic_tolerance = p->value / 100;
    } else {
      problems << tr("The parasitics tolerance \"%1\" is not a percentage from 0 to 100")
                      .arg(Typed(parasitics_->text()));
      ok = false;
    }
  }
  bool seed_ok = false;
  settings.seed = seed_->text().trimmed().toULongLong(&seed_ok);
  MarkValid(seed_, seed_ok);
  if (!seed_ok) {
    problems << tr("The seed \"%1\" is not a whole number from 0 to 18446744073709551615")
                    .arg(Typed(seed_->text()));
    ok = false;
  }
  settings.distribution =
      distribution_->currentIndex() == 1 ? Distribution::kNormal : Distribution::kUniform;
  std::string error;
  const std::optional<SiValue> band = ParseSiValue(Unlocalized(yield_band_->text()), error);
  const bool band_ok = band && band->value >= 0 && band->value <= 190;
  MarkValid(yield_band_, band_ok);
  if (!band_ok) {
    problems << tr("The yield band \"%1\" is not a number from 0 to 190")
                    .arg(Typed(yield_band_->text()));
    ok = false;
  } else {
    settings.band_percent = band->value;
  }
  if (!ok) return std::nullopt;
  return settings;
}

void BenchWindow::Recompute() {
  if (applying_session_) return;  // once, when the whole session is in
  if (!isVisible()) {
    recompute_when_shown_ = true;
    return;
  }
  QStringList problems;
  StudyRequest request = Request(problems);
  const std::optional<MonteCarloSettings> yield = YieldSettings(problems);
  title_->setText(Localized(DesignTitle(topology_, inputs_)));
  // The searching fits take their time: best shows at once, and the
  // worker's circuit replaces it when the search is done.
  const bool searched =
      request.Built() && request.parts.AnyParts() &&
      (request.parts.method == FitMethod::kMargin || request.parts.method == FitMethod::kYield);
  StudyRequest preview = request;
  if (searched) {
    preview.parts.method = FitMethod::kBest;
    preview.parts.pairs = preview.parts.tie_equal_values = false;
    // A step under a searched fit: the other parts stay where the search
    // put them until it has searched again (a pair, which best cannot
    // show, is best's meanwhile).
    const bool shown_searched = nominal_ && (nominal_->request.parts.method == FitMethod::kMargin ||
                                             nominal_->request.parts.method == FitMethod::kYield);
    if (stepping_ && shown_searched) {
      for (const PartRow& p : nominal_->parts) {
        if (!p.pair && !part_values_.contains(p.name)) {
          preview.part_values.emplace_back(p.name, p.chosen);
        }
      }
    }
  }
  StudyOutcome outcome = RunStudy(preview);
  if (outcome.status == StudyOutcome::Status::kRefused && preview.measured) {
    // A measurement that does not fit the design is said; the design stays.
    problems << FromStd(outcome.error);
    preview.measured.reset();
    request.measured.reset();
    outcome = RunStudy(preview);
  }
  if (outcome.status == StudyOutcome::Status::kDone) {
    nominal_ = *outcome.result;
  } else {
    problems << FromStd(outcome.error);
  }
  searching_ = searched && outcome.status == StudyOutcome::Status::kDone;
  problems_note_ = problems.join(QStringLiteral("\n"));
  QStringList notes;
  if (!input_note_.isEmpty()) notes << input_note_;
  if (!session_note_.isEmpty()) notes << session_note_;
  if (!problems_note_.isEmpty()) notes << problems_note_;
  note_->setText(notes.join(QStringLiteral("\n")));
  note_->setVisible(!notes.isEmpty());
  ShowParts();
  ShowBands();
  RebuildPlots();
  measured_->Show(nominal_ ? &*nominal_ : nullptr);
  if (request.parts.method == FitMethod::kYield && !yield) searching_ = false;
  if ((yield || searching_) && nominal_) {
    request.monte_carlo = yield;
    StartYield(request);
  } else {
    if (current_) current_->stop.request_stop();
    current_.reset();
    // The stopped run's progress goes with it.
    progress_delay_->stop();
    progress_->hide();
    yield_.reset();
    yield_label_->setText(boards_->value() == 0 ? tr("No boards: the yield is off.")
                                                : tr("No yield: see the note above."));
    percentiles_->setRowCount(0);
    ShowAdvice();
  }
  if (!restoring_) history_delay_->start();
  emit NominalShown();
}

void BenchWindow::ShowParts() {
  if (!nominal_) return;
  const std::vector<PartRow>& rows = nominal_->parts;
  if (int(rows.size()) != parts_->rowCount()) {
    parts_->setRowCount(int(rows.size()));
    steppers_.clear();
  }
  const StudyRequest& request = nominal_->request;
  bool refit = false;  // a text longer than its column was fitted to
  for (int i = 0; i < int(rows.size()); ++i) {
    const PartRow& p = rows[size_t(i)];
    const QString cells[] = {
        FromStd(p.name),
        Localized(ValueWithUnit(p.ideal, p.kind)),
        Localized(ChosenText(p)),
        QString(),
        p.effective > 0 ? Localized(ValueWithUnit(p.effective, p.kind)) : tr("resonant"),
        FromStd(p.series) + (part_values_.contains(p.name) ? tr(" (stepped)") : QString()),
        Localized(std::string(p.error_percent >= 0 ? "+" : "")
                      .append(FixedText(p.error_percent, 2))
                      .append(" %")),
        p.loss_ohms > 0 ? Localized(ValueWithUnit(p.loss_ohms, ElementKind::kResistor)) : QString(),
        RatingCell(p.name)};
    for (int c = 0; c < 9; ++c) {
      if (c == 3) continue;
      // Items are made once and their texts changed after: each keystroke
      // must stay well inside a frame.
      QTableWidgetItem* item = parts_->item(i, c);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        if (c != 0 && c != 5) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        parts_->setItem(i, c, item);
      }
      if (item->text() != cells[c]) item->setText(cells[c]);
      // By the text's width in the table's font: the same count of
      // characters can be wider ("3.3 nH" after "1.2 nH" fits, "10 pF" after
      // "2.2 pF" may not).
      refit =
          refit || parts_->fontMetrics().horizontalAdvance(cells[c]) + 14 > parts_->columnWidth(c);
    }
    const bool steps = request.parts.SeriesFor(p.kind) != nullptr;
    if (i >= int(steppers_.size()) || steppers_[size_t(i)].name != p.name) {
      // A new row: its two stepper buttons.
      if (i >= int(steppers_.size())) steppers_.resize(size_t(i) + 1);
      Stepper& stepper = steppers_[size_t(i)];
      stepper.name = p.name;
      auto* cell = new QWidget;
      auto* layout = new QHBoxLayout(cell);
      layout->setContentsMargins(2, 0, 2, 0);
      layout->setSpacing(1);
      for (const int direction : {-1, 1}) {
        auto* button = new QToolButton;
        button->setArrowType(direction < 0 ? Qt::DownArrow : Qt::UpArrow);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        const QString what = direction < 0 ? tr("%1: the next smaller value of its series")
                                           : tr("%1: the next larger value of its series");
        button->setToolTip(what.arg(FromStd(p.name)));
        button->setAccessibleName(what.arg(FromStd(p.name)));
        button->setObjectName(QStringLiteral("step%1%2")
                                  .arg(FromStd(p.name), direction < 0 ? QStringLiteral("Down")
                                                                      : QStringLiteral("Up")));
        connect(button, &QToolButton::clicked, this, [this, i, direction] { Step(i, direction); });
        layout->addWidget(button);
        (direction < 0 ? stepper.down : stepper.up) = button;
      }
      parts_->setCellWidget(i, 3, cell);
    }
    steppers_[size_t(i)].down->setEnabled(steps);
    steppers_[size_t(i)].up->setEnabled(steps);
  }
  steppers_.resize(rows.size());
  if (refit) parts_->resizeColumnsToContents();
  if (rows_shown_ != int(rows.size())) {
    rows_shown_ = int(rows.size());
    parts_->resizeColumnsToContents();
    parts_->setMinimumHeight(std::min(
        parts_->verticalHeader()->length() + parts_->horizontalHeader()->height() + 4, 420));
  }
}

void BenchWindow::KeepOfferedSteps() {
  QStringList problems;
  const StudyRequest request = Request(problems);
  QStringList dropped;
  for (auto it = part_values_.begin(); it != part_values_.end();) {
    const char letter = it->first.empty() ? '\0' : it->first.front();
    const ElementKind kind = letter == 'L'   ? ElementKind::kInductor
                             : letter == 'C' ? ElementKind::kCapacitor
                                             : ElementKind::kResistor;
    const PartSeries* series = request.parts.SeriesFor(kind);
    const bool offered = series && series->Around(it->second).below == it->second;
    if (offered) {
      ++it;
      continue;
    }
    dropped << tr("%1 (%2)").arg(FromStd(it->first), Localized(ValueWithUnit(it->second, kind)));
    it = part_values_.erase(it);
  }
  if (!dropped.isEmpty()) {
    status_->setText(tr("The new series does not offer the stepped %1: back to the fit's parts")
                         .arg(dropped.join(QStringLiteral(", "))));
  }
}

QString BenchWindow::RatingCell(const std::string& part) const {
  if (!nominal_ || !nominal_->stress) return {};
  for (const PartStressRow& row : nominal_->stress->parts) {
    if (row.worst.name != part) continue;
    const QString share = QLocale().toString(100 * row.usage, 'f', 0) + QStringLiteral(" %");
    return row.ok ? share : tr("%1 OVER").arg(share);
  }
  return {};
}

void BenchWindow::Step(int row, int direction) {
  if (!nominal_ || row < 0 || row >= int(nominal_->parts.size())) return;
  const PartRow& p = nominal_->parts[size_t(row)];
  const PartSeries* series = nominal_->request.parts.SeriesFor(p.kind);
  if (series == nullptr) return;
  const PartSeries::Neighbours n =
      series->Around(direction > 0 ? p.chosen * (1 + 1e-9) : p.chosen * (1 - 1e-9));
  const std::optional<double> next = direction > 0 ? n.above : n.below;
  if (!next) return;
  part_values_[p.name] = *next;
  stepping_ = true;
  Recompute();
  stepping_ = false;
  parts_->selectRow(row);
}

void BenchWindow::ShowBands() {
  if (!nominal_) return;
  const auto fill = [&](int column, const std::optional<DesignSummary>& s) {
    for (int r = 0; r < 5; ++r) {
      QString text;
      if (s) {
        const std::optional<Band>* bands[] = {&s->bands.match, &s->bands.isolation,
                                              &s->bands.amplitude_balance, &s->bands.phase_balance,
                                              &s->bands.usable};
        text = BandCell(*bands[r]);
      } else if (column == 1) {
        // Nothing built: the parts are ideal, the circuit the ideal one.
        text = tr("as ideal: no parts chosen");
      }
      QTableWidgetItem* item = bands_->item(r, column);
      if (item == nullptr) bands_->setItem(r, column, item = new QTableWidgetItem);
      if (item->text() != text) item->setText(text);
    }
  };
  const bool measured = nominal_->measured.has_value();
  if (bands_->columnCount() != (measured ? 3 : 2)) {
    bands_->setColumnCount(measured ? 3 : 2);
    QStringList headings = {tr("Ideal (MHz)"), tr("Built (MHz)")};
    if (measured) headings << tr("Measured (MHz)");
    bands_->setHorizontalHeaderLabels(headings);
  }
  fill(0, nominal_->ideal_summary);
  fill(1, nominal_->built_summary);
  if (measured) fill(2, nominal_->measured->summary);
}

void BenchWindow::ShowAdvice() {
  QStringList lines;
  if (nominal_) {
    if (!nominal_->nominal_misses.empty()) {
      lines << tr("With the parts at their nominal values the circuit misses:");
      for (const LimitMiss& miss : nominal_->nominal_misses) lines << Localized(MissText(miss));
    }
    for (const std::string& warning : nominal_->warnings) lines << Localized(warning);
  }
  if (yield_ && yield_->harmful_part) {
    const ElementKind kind = yield_->harmful_kind;
    // Where every part alone keeps the boards passing, the failures come
    // from parts straying together; the most harmful is the one whose
    // tighter grade helps most then.
    const bool each_alone_passes =
        std::all_of(yield_->sensitivity.begin(), yield_->sensitivity.end(),
                    [](const auto& part) { return part.yield_percent_alone >= 99.995; });
    QString line = each_alone_passes
                       ? tr("No part alone fails a board: the failures come from parts straying "
                            "together. Most harmful among them: %1")
                             .arg(FromStd(*yield_->harmful_part))
                       : tr("Most harmful: %1").arg(FromStd(*yield_->harmful_part));
    if (yield_->tighter) {
      line +=
          tr(" (+-%1); at +-%2 the yield would be %3 %")
              .arg(Localized(ToleranceText(nominal_->request.monte_carlo
                                               ? nominal_->request.monte_carlo->ToleranceOf(kind)
                                               : Tolerance{},
                                           kind)),
                   Localized(ToleranceText(*yield_->tighter, kind)),
                   QLocale().toString(yield_->tighter_yield_percent, 'f', 2));
    }
    lines << line;
    QStringList alone;
    for (const auto& part : yield_->sensitivity) {
      alone << QStringLiteral("%1 %2 %").arg(FromStd(part.part),
                                             QLocale().toString(part.yield_percent_alone, 'f', 1));
    }
    lines << tr("Yield with one part varying: %1").arg(alone.join(QStringLiteral(", ")));
  }
  advice_->setText(lines.join(QStringLiteral("\n")));
}

void BenchWindow::SetView(PlotView view) {
  const double f0 = 1e6 * double(inputs_.frequency_mhz);
  // Keep the view to a sane stretch around the design: no wider than a
  // decade and more either side, no narrower than a thousandth of f0.
  view.low_hz = std::max(view.low_hz, f0 * 0.01);
  view.high_hz = std::min(view.high_hz, f0 * 10);
  if (view.high_hz - view.low_hz < f0 * 1e-3) return;
  view_ = view;
  RebuildPlots();
}

void BenchWindow::RebuildPlots() {
  if (!nominal_) return;
  const Sweep sweep{view_.low_hz, view_.high_hz, kViewPoints, view_.logarithmic};
  std::string error;
  ideal_view_ = AnalyzeSweep(nominal_->ideal, sweep, error);
  built_view_.reset();
  if (nominal_->built) built_view_ = AnalyzeSweep(nominal_->built->netlist, sweep, error);
  ResponsePlotData plot_data;
  plot_data.netlist = &nominal_->Circuit();
  const bool built = nominal_->built.has_value() && built_view_ && !built_view_->s.empty();
  plot_data.response = built ? &*built_view_ : &*ideal_view_;
  measured_view_ = {};
  if (const std::optional<MeasuredResult>& m = nominal_->measured) {
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
  if (nominal_->CircuitSummary()) plot_data.usable = nominal_->CircuitSummary()->bands.usable;
  plot_data.limits = nominal_->request.limits;
  if (plot_data.response->s.empty()) return;
  response_plot_->SetPlot(ResponsePlot(plot_data, view_));
  ShowMarkers();
  // The Smith chart over the file's whole sweep.
  std::optional<SweepResponse> ideal_file, built_file;
  ideal_file = AnalyzeSweep(nominal_->ideal, error);
  if (built) built_file = AnalyzeSweep(nominal_->built->netlist, error);
  ResponsePlotData smith;
  smith.netlist = plot_data.netlist;
  smith.response = built ? &*built_file : &*ideal_file;
  smith.ideal = built ? &*ideal_file : nullptr;
  smith.measured = plot_data.measured;
  smith.markers_mhz = response_plot_->Markers();
  if (!smith.response->s.empty()) smith_plot_->SetPlot(SmithPlot(smith));
}

void BenchWindow::StartYield(const StudyRequest& nominal_request) {
  if (current_) {
    current_->stop.request_stop();
    ++cancelled_;
  }
  JoinFinished(workers_);
  auto job = std::make_shared<Job>();
  current_ = job;
  StudyRequest request = nominal_request;
  // A searched fit's circuit replaces the preview: with its response, and
  // with the measurement set beside it again.
  request.summaries = searching_;
  if (!searching_) request.measured.reset();
  request.spread = request.monte_carlo.has_value();
  ++running_;
  progress_->setValue(0);
  progress_delay_->start();
  if (searching_) {
    yield_label_->setText(tr("Searching for the parts (fit %1)...")
                              .arg(FromStd(std::string(FitName(request.parts.method)))));
  } else if (!yield_) {
    yield_label_->setText(tr("Counting the yield..."));
  }
  // A searched fit answers twice: a tenth of the search at once, then the
  // whole search, whose parts and yield are the command line's.
  const bool quick_first = searching_;
  workers_.push_back({job, std::jthread([this, job, request, quick_first] {
                        double from = 0, share = 1;  // the phase's part of the bar
                        RunControl control{job->stop.get_token(),
                                           [&, this, job](std::string_view, double part) {
                                             const double fraction = from + share * part;
                                             // At most a hundred updates a run reach the window.
                                             if (fraction - job->fraction < 0.01 && fraction < 1)
                                               return;
                                             job->fraction = fraction;
                                             QMetaObject::invokeMethod(
                                                 this,
                                                 [this, job, fraction] {
                                                   if (job == current_)
                                                     progress_->setValue(int(100 * fraction));
                                                 },
                                                 Qt::QueuedConnection);
                                           }};
                        // The boards give way to the window's thread, so that
                        // typing never waits for them.
                        control.background = true;
                        control.EnterThread();
                        const auto hand_over = [this, job](StudyOutcome outcome, bool last) {
                          QMetaObject::invokeMethod(
                              this,
                              [this, job, outcome = std::move(outcome), last]() mutable {
                                ShowYield(job, std::move(outcome), last);
                              },
                              Qt::QueuedConnection);
                        };
                        if (quick_first) {
                          control.effort = kQuickEffort;
                          share = 0.1;
                          StudyOutcome first = RunStudy(request, &control);
                          if (first.status != StudyOutcome::Status::kDone) {
                            hand_over(std::move(first), true);
                            job->finished = true;
                            return;
                          }
                          hand_over(std::move(first), false);
                          control.effort = 1;
                          from = 0.1, share = 0.9;
                        }
                        hand_over(RunStudy(request, &control), true);
                        job->finished = true;
                      })});
}

void BenchWindow::ShowYield(std::shared_ptr<Job> job, StudyOutcome outcome, bool last) {
  if (last) --running_;
  JoinFinished(workers_);
  if (job != current_) return;  // an older run, overtaken by a change
  if (last) {
    progress_delay_->stop();
    progress_->hide();
  }
  if (outcome.status == StudyOutcome::Status::kDone && searching_) {
    // The searched circuit in place of the preview.
    searching_ = !last;
    nominal_ = *outcome.result;
    ShowParts();
    ShowBands();
    RebuildPlots();
    measured_->Show(&*nominal_);
  }
  if (outcome.status != StudyOutcome::Status::kDone || !outcome.result->monte_carlo) {
    if (outcome.status != StudyOutcome::Status::kStopped) {
      yield_.reset();
      yield_label_->setText(outcome.status == StudyOutcome::Status::kDone
                                ? tr("No boards: the yield is off.")
                                : tr("No yield: %1").arg(FromStd(outcome.error)));
      percentiles_->setRowCount(0);
      ShowAdvice();
    }
    return;
  }
  yield_ = *outcome.result->monte_carlo;
  if (nominal_) {
    nominal_->request.monte_carlo = outcome.result->request.monte_carlo;
    nominal_->monte_carlo_settings = outcome.result->monte_carlo_settings;
    nominal_->grades = outcome.result->grades;
  }
  const MonteCarloResult& r = *yield_;
  const QLocale locale;
  QString text =
      tr("Yield %1 % (%2 of %3 boards; 95 % interval %4 to %5 %)")
          .arg(locale.toString(r.yield_percent, 'f', 2))
          .arg(r.passed)
          .arg(r.samples)
          .arg(locale.toString(r.ci95_low, 'f', 2), locale.toString(r.ci95_high, 'f', 2));
  // What a board must hold to count.
  const StudyRequest& asked = outcome.result->request;
  const double band = asked.monte_carlo ? asked.monte_carlo->band_percent : 0;
  text +=
      tr(", passing at |S11| <= %1 dB, isolation <= %2 dB, imbalance <= %3 dB, phase within "
         "%4 deg%5")
          .arg(locale.toString(asked.limits.match_db), locale.toString(asked.limits.isolation_db),
               locale.toString(asked.limits.imbalance_db), locale.toString(asked.limits.phase_deg),
               band > 0 ? tr(" across %1 % about f0").arg(locale.toString(band)) : tr(" at f0"));
  QString tip;
  if (r.yield_percent_pairs_alike) {
    text += QStringLiteral("\n") + tr("%1 % with each pair's parts drawn alike")
                                       .arg(locale.toString(*r.yield_percent_pairs_alike, 'f', 2));
    tip =
        tr("A pair's two parts from one reel stray alike; from two reels, each on its own. The "
           "first yield draws them each on its own, the second alike: the truth lies between.");
  }
  yield_label_->setToolTip(tip);
  if (const std::optional<GradeChoice>& g = outcome.result->grades) {
    const QString grades = Localized(TolerancesText(*outcome.result->monte_carlo_settings));
    text += QStringLiteral("\n") +
            (g->reached ? tr("Grades for %1 %: %2").arg(locale.toString(g->target_percent), grades)
                        : tr("No grades give %1 %; the best, %2")
                              .arg(locale.toString(g->target_percent), grades));
  }
  if (!last) text += QStringLiteral("\n") + tr("A first search's parts: the whole search goes on.");
  yield_label_->setText(text);
  ShowBoards();
  percentiles_->setRowCount(int(r.percentiles.size()));
  const std::map<std::string, QString> labels = {{"s11_db", tr("|S11| (dB)")},
                                                 {"s32_db", tr("|S32| (dB)")},
                                                 {"s41_db", tr("|S41| (dB)")},
                                                 {"imbalance_db", tr("Imbalance (dB)")},
                                                 {"phase_error_deg", tr("Phase error (deg)")},
                                                 {"insertion_loss_db", tr("Excess loss (dB)")}};
  QStringList names;
  for (int i = 0; i < int(r.percentiles.size()); ++i) {
    const auto& [name, p] = r.percentiles[size_t(i)];
    names << (labels.contains(name) ? labels.at(name) : FromStd(name));
    const double values[] = {p.p5, p.p50, p.p95};
    for (int c = 0; c < 3; ++c) {
      auto* item = new QTableWidgetItem(locale.toString(values[c], 'f', 3));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      percentiles_->setItem(i, c, item);
    }
  }
  percentiles_->setVerticalHeaderLabels(names);
  percentiles_->setFixedHeight(percentiles_->verticalHeader()->length() +
                               percentiles_->horizontalHeader()->height() + 4);
  ShowAdvice();
  RebuildPlots();
  if (last) {
    emit YieldShown();
  } else {
    emit FirstYieldShown();
  }
}

bool BenchWindow::eventFilter(QObject* watched, QEvent* event) {
  // A wheel over a combo box or a spin box the user has not chosen scrolls
  // the column; it never changes the setting unseen.
  if (event->type() == QEvent::Wheel &&
      (qobject_cast<QComboBox*>(watched) || qobject_cast<QAbstractSpinBox*>(watched)) &&
      !static_cast<QWidget*>(watched)->hasFocus()) {
    if (column_scroll_ && column_scroll_->isAncestorOf(static_cast<QWidget*>(watched))) {
      QCoreApplication::sendEvent(column_scroll_->viewport(), event);
    }
    return true;
  }
  if (watched == parts_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & Qt::AltModifier &&
        (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
      Step(parts_->currentRow(), key->key() == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void BenchWindow::CopyParts() const {
  QStringList lines;
  QStringList header;
  for (int c = 0; c < parts_->columnCount(); ++c) {
    if (c == 3) continue;
    header << parts_->horizontalHeaderItem(c)->text();
  }
  lines << header.join(QLatin1Char('\t'));
  for (int r = 0; r < parts_->rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < parts_->columnCount(); ++c) {
      if (c == 3) continue;
      const QTableWidgetItem* item = parts_->item(r, c);
      cells << (item ? item->text() : QString());
    }
    lines << cells.join(QLatin1Char('\t'));
  }
  QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void BenchWindow::ChooseFolder() {
  const QString folder =
      QFileDialog::getExistingDirectory(this, tr("Export folder"), folder_->text());
  if (!folder.isEmpty()) folder_->setText(folder);
}

std::vector<PlannedOutput> BenchWindow::PlannedExports(const QString& folder) const {
  const std::string stem = FileStem(topology_, inputs_.frequency_mhz);
  OutputChoice choice;
  choice.directory = folder.toStdString();
  choice.simulation_file = false;
  choice.touchstone = exports_[0]->isChecked();
  choice.spice = exports_[1]->isChecked();
  if (exports_[2]->isChecked()) choice.plot = stem + ".svg";
  if (exports_[4]->isChecked()) choice.parts_list = stem + ".csv";
  if (exports_[5]->isChecked()) choice.json = stem + ".json";
  if (exports_[6]->isChecked()) choice.kicad = stem;
  return PlanOutputs(topology_, inputs_, choice);
}

std::vector<PlannedOutput> BenchWindow::WithPicture(std::vector<PlannedOutput> outputs) const {
  if (exports_[3]->isChecked()) {
    outputs.push_back({OutputKind::kPlot, "PNG",
                       std::filesystem::path(folder_->text().toStdString()) /
                           (FileStem(topology_, inputs_.frequency_mhz) + ".png")});
  }
  return outputs;
}

std::optional<QString> BenchWindow::RefusedExport(const std::vector<PlannedOutput>& all) const {
  // A parts file the design reads is never an export's target.
  std::vector<InputFile> inputs;
  for (int k = 0; k < 3; ++k) {
    if (series_[k]->currentIndex() == kFileItem && !file_paths_[k].isEmpty()) {
      inputs.push_back({"parts file", file_paths_[k].toStdString()});
    }
  }
  const OutputCheck check = CheckOutputs(all, inputs);
  if (!check.clash && !check.unresolved) return std::nullopt;
  return FromStd(check.clash
                     ? *check.clash
                     : Quoted(check.unresolved->first.string()) + ": " + check.unresolved->second);
}

void BenchWindow::Export() {
  // An empty folder field names no folder (it is not the current one).
  if (folder_->text().trimmed().isEmpty()) {
    status_->setText(tr("Nothing was exported: the folder is empty; choose one"));
    emit ExportFinished(false);
    return;
  }
  const std::vector<PlannedOutput> planned = WithPicture(PlannedExports(folder_->text()));
  if (const std::optional<QString> why = RefusedExport(planned)) {
    status_->setText(tr("Nothing was exported: %1").arg(*why));
    emit ExportFinished(false);
    return;
  }
  // Files that exist are replaced only when the user says so.
  QStringList existing;
  for (const PlannedOutput& o : planned) {
    std::error_code error;
    if (std::filesystem::exists(o.path, error)) {
      existing << FromStd(o.path.filename().string());
    }
  }
  if (!existing.isEmpty() &&
      QMessageBox::question(this, tr("Replace files"),
                            tr("%1 already has %2. Replace them?")
                                .arg(folder_->text(), existing.join(QStringLiteral(", "))),
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No) != QMessageBox::Yes) {
    status_->setText(tr("Nothing was exported: the files there were kept"));
    emit ExportFinished(false);
    return;
  }
  QStringList problems;
  StudyRequest request = Request(problems);
  request.monte_carlo = YieldSettings(problems);
  request.summaries = false;
  std::vector<PlannedOutput> outputs = PlannedExports(folder_->text());
  AskForOutputs(outputs, request);
  if (exports_[3]->isChecked()) {
    // The PNG shows the same plot as the SVG.
    request.sweeps = request.summaries = true;
    request.spread = request.monte_carlo.has_value();
  }
  export_->setEnabled(false);
  status_->setText(tr("Exporting..."));
  JoinFinished(export_workers_);
  auto job = std::make_shared<Job>();
  export_workers_.push_back(
      {job, std::jthread([this, job, request, outputs]() mutable {
         StudyOutcome outcome = RunStudy(request);
         QMetaObject::invokeMethod(
             this,
             [this, outputs = std::move(outputs), outcome = std::move(outcome)]() mutable {
               WriteExports(std::move(outputs), std::move(outcome));
             },
             Qt::QueuedConnection);
         job->finished = true;
       })});
}

void BenchWindow::WriteExports(std::vector<PlannedOutput> outputs, StudyOutcome outcome) {
  JoinFinished(export_workers_);
  export_->setEnabled(true);
  if (outcome.status != StudyOutcome::Status::kDone) {
    status_->setText(tr("Nothing was exported: %1").arg(FromStd(outcome.error)));
    emit ExportFinished(false);
    return;
  }
  const StudyResult& result = *outcome.result;
  const std::vector<PlannedOutput> all = WithPicture(outputs);
  if (const std::optional<QString> why = RefusedExport(all)) {
    status_->setText(tr("Nothing was exported: %1").arg(*why));
    emit ExportFinished(false);
    return;
  }
  for (const PlannedOutput& o : all) {
    // The KiCad project's folder is made for it.
    std::error_code error;
    if (o.kind == OutputKind::kKicadProject) {
      std::filesystem::create_directories(o.path.parent_path(), error);
    }
    if (const std::string why = CheckWritable(o.path); !why.empty()) {
      status_->setText(tr("Nothing was exported: %1 could not be written: %2")
                           .arg(FromStd(o.path.string()), FromStd(why)));
      emit ExportFinished(false);
      return;
    }
  }
  FileSet files;
  std::vector<std::filesystem::path> targets;
  for (const PlannedOutput& o : all) targets.push_back(o.path);
  files.Lock(targets);
  bool staged = true;
  for (const PlannedOutput& o : outputs) {
    staged = staged && files.Stage(o.path, OutputText(o.kind, result));
  }
  if (staged && exports_[3]->isChecked()) {
    // The plot as a picture at twice the SVG's size, on white like the SVG.
    const std::string stem = FileStem(topology_, inputs_.frequency_mhz);
    const std::filesystem::path png =
        std::filesystem::path(folder_->text().toStdString()) / (stem + ".png");
    ResponsePlotData plot_data;
    plot_data.netlist = &result.Circuit();
    plot_data.response = &*result.CircuitSweep();
    plot_data.ideal = result.built ? &*result.ideal_sweep : nullptr;
    plot_data.spread =
        result.monte_carlo && result.monte_carlo->spread ? &*result.monte_carlo->spread : nullptr;
    if (result.CircuitSummary()) plot_data.usable = result.CircuitSummary()->bands.usable;
    // The view on screen, as the user zoomed it.
    const Plot plot = ResponsePlot(plot_data, view_);
    const double width = 820, height = NaturalPlotHeight(plot);
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
    staged = files.Stage(png, std::string_view(bytes.constData(), size_t(bytes.size())));
  }
  if (!staged) {
    status_->setText(
        tr("Nothing was exported: %1 could not be written: %2")
            .arg(FromStd(files.FailedPath().string()), FromStd(files.FailureReason())));
    emit ExportFinished(false);
    return;
  }
  const bool committed = files.Commit();
  QStringList written;
  for (const std::filesystem::path& path : files.Replaced()) {
    written << QDir(QString::fromStdString(path.string())).absolutePath();
  }
  QString text = written.isEmpty() ? tr("Nothing was chosen to export.")
                                   : tr("Wrote %1").arg(written.join(QStringLiteral(", ")));
  if (!committed) {
    text += tr(". %1 could not be written: %2")
                .arg(FromStd(files.FailedPath().string()), FromStd(files.FailureReason()));
  }
  status_->setText(text);
  emit ExportFinished(committed);
}

}  // namespace rfsplitter
