#include "ui/bench_window.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "engine/inputs.h"
#include "engine/number_text.h"
#include "engine/si_value.h"
#include "study/report.h"
#include "ui/bench_bands_panel.h"
#include "ui/bench_fields.h"
#include "ui/bench_form_panel.h"
#include "ui/bench_parts_panel.h"
#include "ui/bench_plots_panel.h"
#include "ui/bench_yield_panel.h"
#include "ui/localized.h"
#include "ui/measured_panel.h"
#include "ui/plot_widget.h"

namespace rfsplitter {

BenchWindow::BenchWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(tr("Design bench"));
  setObjectName(QStringLiteral("benchWindow"));
  setAcceptDrops(true);
  BuildControls();
  KeepPlaceholdersReadable();
  LoadSettings();
  plots_->ResetView(1e6 * double(inputs_.frequency_mhz));
  Recompute();
}

BenchWindow::~BenchWindow() { StopYield(); }

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

  plots_ = new BenchPlotsPanel;
  splitter->addWidget(plots_);

  // The controls, in a column that scrolls.
  auto* column = new QWidget;
  auto* controls = new QVBoxLayout(column);
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
  auto* session_row = new QHBoxLayout;
  session_row->addWidget(new QLabel(tr("Session:")));
  session_row->addWidget(open_session);
  session_row->addWidget(save_session);
  session_row->addStretch(1);
  controls->addLayout(session_row);

  form_ = new BenchFormPanel;
  controls->addWidget(form_);
  connect(form_, &BenchFormPanel::Changed, this, &BenchWindow::FormChanged);
  connect(form_, &BenchFormPanel::PickTaken, this, [this](double frequency_mhz) {
    inputs_.frequency_mhz = float(frequency_mhz);
    frequency_text_ = QString::fromStdString(NumberText(inputs_.frequency_mhz));
  });
  form_->SetBase([this] {
    QStringList ignored;
    StudyRequest base = Request(ignored);
    base.measured.reset();
    base.part_values.clear();
    return base;
  });
  parts_ = new BenchPartsPanel;
  bands_ = new BenchBandsPanel;
  yield_panel_ = new BenchYieldPanel;
  measured_ = new MeasuredPanel;
  export_ = new BenchExportPanel;
  for (QWidget* panel :
       std::initializer_list<QWidget*>{parts_, bands_, yield_panel_, measured_, export_}) {
    controls->addWidget(panel);
  }
  controls->addStretch(1);
  connect(parts_, &BenchPartsPanel::Changed, this, &BenchWindow::Recompute);
  connect(parts_, &BenchPartsPanel::SourceChanged, this, [this] {
    KeepOfferedSteps();
    Recompute();
  });
  connect(parts_, &BenchPartsPanel::StepRequested, this, &BenchWindow::Step);
  connect(bands_, &BenchBandsPanel::Changed, this, &BenchWindow::Recompute);
  connect(yield_panel_, &BenchYieldPanel::Changed, this, &BenchWindow::Recompute);
  connect(measured_, &MeasuredPanel::Changed, this, &BenchWindow::Recompute);
  export_->SetContext([this] { return CurrentExport(); });
  const auto say = [this](const QString& text) { status_->setText(text); };
  connect(parts_, &BenchPartsPanel::Said, this, say);
  connect(plots_, &BenchPlotsPanel::Said, this, say);
  connect(export_, &BenchExportPanel::Said, this, say);
  connect(export_, &BenchExportPanel::Finished, this, &BenchWindow::ExportFinished);

  // The keys: sessions, undo and redo, a measured board.
  const auto shortcut = [this](QList<QKeySequence> keys, auto slot) {
    auto* action = new QAction(this);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, slot);
    addAction(action);
    return action;
  };
  shortcut({QKeySequence::Open}, &BenchWindow::ChooseSessionToOpen);
  shortcut({QKeySequence::Save}, &BenchWindow::ChooseSessionToSave);
  shortcut({QKeySequence::Undo}, &BenchWindow::Undo);
  shortcut({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence::Redo},
           &BenchWindow::Redo);
  auto* open_measured = new QAction(tr("Open a measured board..."), this);
  open_measured->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  connect(open_measured, &QAction::triggered, measured_, &MeasuredPanel::Choose);
  addAction(open_measured);
  plots_->AddPlotAction(open_measured);

  history_delay_ = new QTimer(this);
  history_delay_->setSingleShot(true);
  history_delay_->setInterval(700);
  connect(history_delay_, &QTimer::timeout, this, &BenchWindow::SettleHistory);
  progress_delay_ = new QTimer(this);
  progress_delay_->setSingleShot(true);
  progress_delay_->setInterval(150);
  connect(progress_delay_, &QTimer::timeout, this, [this] {
    if (running_ > 0) plots_->Progress()->show();
  });

  auto* scroll = new QScrollArea;
  column_scroll_ = scroll;
  scroll->setWidget(column);
  scroll->setWidgetResizable(true);
  // Narrower than its contents on a small screen, with a scroll bar, so
  // that the plots keep room: at most 40 % of the screen (a 1920 x 1080
  // screen at 200 % is 960 pixels wide to the window).
  const int screen_width = QApplication::primaryScreen()
                               ? QApplication::primaryScreen()->availableGeometry().width()
                               : 1400;
  scroll->setMinimumWidth(std::min(440, screen_width * 2 / 5));
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
  const int column_width = std::min(column->minimumSizeHint().width() + 30,
                                    std::max(scroll->minimumWidth(), width() * 45 / 100));
  splitter->setSizes({std::max(320, width() - column_width), column_width});
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
  parts_->LoadSettings(settings);
  bands_->LoadSettings(settings);
  yield_panel_->LoadSettings(settings);
}

void BenchWindow::SaveSettings() const {
  QSettings settings;
  settings.beginGroup(QStringLiteral("bench"));
  settings.setValue(QStringLiteral("geometry"), saveGeometry());
  parts_->SaveSettings(settings);
  bands_->SaveSettings(settings);
  yield_panel_->SaveSettings(settings);
}

void BenchWindow::closeEvent(QCloseEvent* event) {
  SaveSettings();
  // A closed bench does no work: what runs stops, and what the main window
  // changes meanwhile is computed once when the bench shows again.
  StopYield();
  event->accept();
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
PlotWidget* BenchWindow::ResponsePlotWidget() const { return plots_->Response(); }

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
    plots_->ResetView(1e6 * double(inputs_.frequency_mhz));
  }
  Recompute();
}

void BenchWindow::FormChanged() {
  QString problem;
  const std::optional<Form> held = form_->Held(problem);
  form_note_ = problem;
  if (held != own_form_) {
    own_form_ = held;
    part_values_.clear();
    plots_->ResetView(1e6 * double(inputs_.frequency_mhz));
  }
  Recompute();
}

void BenchWindow::UsePartsFile(int kind, const QString& path) { parts_->UsePartsFile(kind, path); }
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

StudyRequest BenchWindow::Request(QStringList& problems) const {
  StudyRequest request;
  request.topology = topology_;
  request.form = own_form_;
  request.inputs = inputs_;
  parts_->ApplyTo(request, problems);
  yield_panel_->ApplyTo(request, problems);
  bands_->ApplyTo(request, problems);
  for (const auto& [name, value] : part_values_) request.part_values.emplace_back(name, value);
  request.summaries = true;
  request.measured = measured_->Request(problems);
  return request;
}

ExportContext BenchWindow::CurrentExport() const {
  QStringList problems;
  ExportContext context{CurrentForm(), inputs_, Request(problems), plots_->View(),
                        parts_->PartsFiles()};
  context.request.monte_carlo = yield_panel_->Settings(problems);
  return context;
}

std::vector<PlannedOutput> BenchWindow::PlannedExports(const QString& folder) const {
  return export_->Planned(folder, CurrentForm(), inputs_);
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
    if (series && series->Around(it->second).below == it->second) {
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
  parts_->Table()->selectRow(row);
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
  return QWidget::eventFilter(watched, event);
}

}  // namespace rfsplitter
