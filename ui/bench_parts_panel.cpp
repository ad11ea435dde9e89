#include "ui/bench_parts_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableWidget>
#include <QToolButton>

#include "engine/number_text.h"
#include "engine/quoted.h"
#include "engine/si_value.h"
#include "files/read_file.h"
#include "parts/presets.h"
#include "study/report.h"
#include "ui/bench_fields.h"
#include "ui/localized.h"
#include "ui_bench_parts_panel.h"

namespace rfsplitter {
namespace {

constexpr const char* kSeriesNames[] = {"E6", "E12", "E24", "E48", "E96", "E192"};

}  // namespace

BenchPartsPanel::BenchPartsPanel(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::BenchPartsPanel>()) {
  ui_->setupUi(this);
  series_[0] = ui_->inductorSeries, series_[1] = ui_->capacitorSeries;
  series_[2] = ui_->resistorSeries;
  file_buttons_[0] = ui_->inductorFile, file_buttons_[1] = ui_->capacitorFile;
  file_buttons_[2] = ui_->resistorFile;
  for (int k = 0; k < 3; ++k) {
    connect(series_[k], &QComboBox::activated, this, [this, k](int index) {
      if (index == kFileItem) ChoosePartsFile(k);
      emit SourceChanged();
    });
    connect(file_buttons_[k], &QToolButton::clicked, this, [this, k] {
      series_[k]->setCurrentIndex(kFileItem);
      ChoosePartsFile(k);
      emit SourceChanged();
    });
  }
  // Best at first: its yield is there within a blink; margin and yield
  // search for a second or so.
  ui_->fit->setCurrentIndex(static_cast<int>(FitMethod::kBest));
  connect(ui_->fit, &QComboBox::activated, this, &BenchPartsPanel::Changed);
  for (QCheckBox* box : {ui_->pairs, ui_->tie, ui_->compensate}) {
    connect(box, &QCheckBox::toggled, this, &BenchPartsPanel::Changed);
  }
  for (QLineEdit* e : {ui_->qInductor, ui_->qCapacitor, ui_->srf, ui_->esl, ui_->esr, ui_->pads,
                       ui_->stressPower}) {
    connect(e, &QLineEdit::textChanged, this, &BenchPartsPanel::Changed);
  }
  for (QComboBox* c : {ui_->preset, ui_->qProfile}) {
    connect(c, &QComboBox::activated, this, [this] {
      ShowModelDefaults();
      emit Changed();
    });
  }
  connect(ui_->copy, &QPushButton::clicked, this, &BenchPartsPanel::CopyParts);
  ui_->partsTable->installEventFilter(this);
}

BenchPartsPanel::~BenchPartsPanel() = default;

QTableWidget* BenchPartsPanel::Table() const { return ui_->partsTable; }

void BenchPartsPanel::ApplyTo(StudyRequest& request, QStringList& problems) const {
  for (int k = 0; k < 3; ++k) {
    const int index = series_[k]->currentIndex();
    if (index >= 1 && index <= 6) {
      request.parts.Slot(kBenchKinds[k]) = PartSeries::Standard(kSeriesNames[index - 1]);
    } else if (index == kFileItem && file_series_[k]) {
      request.parts.Slot(kBenchKinds[k]) = file_series_[k];
    }
  }
  request.parts.method = static_cast<FitMethod>(ui_->fit->currentIndex());
  const bool searched =
      request.parts.method == FitMethod::kMargin || request.parts.method == FitMethod::kYield;
  request.parts.pairs = searched && ui_->pairs->isChecked();
  request.parts.tie_equal_values = searched && ui_->tie->isChecked();
  if (ui_->preset->currentIndex() > 0) {
    request.models = ChipPreset(ui_->preset->currentText().toStdString()).value_or(PartModels{});
  }
  // "60" or "60@900M": the Q and where it holds.
  const auto quality = [&](QLineEdit* edit, KindModel& model, const QString& what) {
    const QStringList parts = edit->text().split(QLatin1Char('@'));
    QLineEdit q_part(parts.value(0));
    const double q = FieldNumber(&q_part, 1, 1e6, what, 0, problems);
    bool ok = q > 0 || parts.value(0).trimmed().isEmpty();
    double at = 0;
    if (ok && parts.size() == 2) {
      QLineEdit f_part(parts.value(1));
      at = FieldNumber(&f_part, 1, 1e12, what + tr(" frequency"), 0, problems);
      ok = at > 0;
    }
    MarkValid(edit, ok && parts.size() <= 2);
    if (q > 0 && ok) model.q = q, model.q_at_hz = at;
  };
  quality(ui_->qInductor, request.models.inductor, tr("Inductor Q"));
  quality(ui_->qCapacitor, request.models.capacitor, tr("Capacitor Q"));
  if (ui_->qProfile->currentIndex() > 0) {
    const QProfile profiles[] = {QProfile::kLinear, QProfile::kSqrt, QProfile::kConstant};
    request.models.inductor.q_profile = profiles[ui_->qProfile->currentIndex() - 1];
  }
  const auto filled = [](QLineEdit* e) { return !e->text().trimmed().isEmpty(); };
  if (filled(ui_->srf)) {
    request.models.inductor.srf_hz = FieldNumber(ui_->srf, 1e6, 1e12, tr("SRF"), 0, problems);
    request.models.inductor.parallel_c_f = 0;
  }
  if (filled(ui_->esl)) {
    request.models.capacitor.esl_h = FieldNumber(ui_->esl, 0, 100e-9, tr("ESL"), 0, problems);
  }
  if (filled(ui_->esr)) {
    request.models.capacitor.esr_ohms = FieldNumber(ui_->esr, 0, 100, tr("ESR"), 0, problems);
  }
  if (filled(ui_->pads)) {
    request.models.pad_capacitance_f =
        FieldNumber(ui_->pads, 0, 100e-12, tr("Pad capacitance"), 0, problems);
  }
  request.models.compensate = ui_->compensate->isChecked();
  if (const QString text = ui_->stressPower->text().trimmed(); !text.isEmpty()) {
    std::string why;
    const std::optional<double> watts = PowerWatts(Unlocalized(text), why);
    MarkValid(ui_->stressPower, watts.has_value());
    if (watts) {
      request.stress = StressSettings{*watts, 2};
    } else {
      problems << tr("The stress power \"%1\" %2").arg(Typed(text), FromStd(why));
    }
  } else {
    MarkValid(ui_->stressPower, true);
  }
}

void BenchPartsPanel::ShowModelDefaults() {
  const std::optional<PartModels> preset =
      ui_->preset->currentIndex() > 0 ? ChipPreset(ui_->preset->currentText().toStdString())
                                      : std::nullopt;
  const auto value = [](double v, ElementKind kind) { return Localized(ValueWithUnit(v, kind)); };
  if (!preset) {
    ui_->qInductor->setPlaceholderText(tr("lossless"));
    ui_->qProfile->setItemText(0, tr("as the part model (linear)"));
    for (QLineEdit* e : {ui_->srf, ui_->esl, ui_->esr}) e->setPlaceholderText(tr("none"));
    return;
  }
  const KindModel& l = preset->inductor;
  ui_->qInductor->setPlaceholderText(
      tr("%1 at %2 (part model)")
          .arg(Localized(GeneralText(l.q, 6)), Localized(SiText(l.q_at_hz, Unit::kHertz))));
  ui_->qProfile->setItemText(
      0, tr("as the part model (%1)").arg(FromStd(std::string(QProfileName(l.q_profile)))));
  ui_->srf->setPlaceholderText(
      tr("%1 across (part model)").arg(value(l.parallel_c_f, ElementKind::kCapacitor)));
  ui_->esl->setPlaceholderText(
      tr("%1 (part model)").arg(value(preset->capacitor.esl_h, ElementKind::kInductor)));
  ui_->esr->setPlaceholderText(
      tr("%1 (part model)").arg(value(preset->capacitor.esr_ohms, ElementKind::kResistor)));
}

void BenchPartsPanel::ChoosePartsFile(int kind) {
  const QString path = QFileDialog::getOpenFileName(
      this, tr("Parts file for the %1s").arg(FromStd(std::string(KindName(kBenchKinds[kind])))),
      file_paths_[kind]);
  if (path.isEmpty()) {
    if (!file_series_[kind]) series_[kind]->setCurrentIndex(0);
    return;
  }
  UsePartsFile(kind, path);
}

void BenchPartsPanel::UsePartsFile(int kind, const QString& path) {
  std::string reason;
  const std::optional<std::string> text = ReadSmallFile(path.toStdString(), reason);
  std::string error;
  std::optional<std::vector<std::optional<PartSeries>>> series;
  if (text) {
    const ElementKind kinds[] = {kBenchKinds[kind]};
    series = ReadPartsFile(*text, QFileInfo(path).fileName().toStdString(), kinds, error);
  } else {
    error = Quoted(path.toStdString()) + ": " + reason;
  }
  if (!series) {
    emit Said(tr("The parts file was not read: %1").arg(FromStd(error)));
    if (!file_series_[kind]) series_[kind]->setCurrentIndex(0);
    return;
  }
  file_series_[kind] = *(*series)[0];
  file_paths_[kind] = path;
  series_[kind]->setItemText(kFileItem, QFileInfo(path).fileName());
  series_[kind]->setCurrentIndex(kFileItem);
  emit Said(tr("Read the parts file %1").arg(path));
}

std::vector<InputFile> BenchPartsPanel::PartsFiles() const {
  std::vector<InputFile> files;
  for (int k = 0; k < 3; ++k) {
    if (series_[k]->currentIndex() == kFileItem && !file_paths_[k].isEmpty()) {
      files.push_back({"parts file", file_paths_[k].toStdString()});
    }
  }
  return files;
}

void BenchPartsPanel::Show(const StudyResult& nominal,
                           const std::map<std::string, double>& stepped) {
  QTableWidget* table = ui_->partsTable;
  const std::vector<PartRow>& rows = nominal.parts;
  if (int(rows.size()) != table->rowCount()) {
    table->setRowCount(int(rows.size()));
    steppers_.clear();
  }
  bool refit = false;  // a text longer than its column was fitted to
  for (int i = 0; i < int(rows.size()); ++i) {
    const PartRow& p = rows[size_t(i)];
    const QString cells[] = {
        FromStd(p.name),
        Localized(ValueWithUnit(p.ideal, p.kind)),
        Localized(ChosenText(p)),
        QString(),
        p.effective > 0 ? Localized(ValueWithUnit(p.effective, p.kind)) : tr("resonant"),
        FromStd(p.series) + (stepped.contains(p.name) ? tr(" (stepped)") : QString()),
        Localized(SignedFixedText(p.error_percent, 2) + " %"),
        p.loss_ohms > 0 ? Localized(ValueWithUnit(p.loss_ohms, ElementKind::kResistor)) : QString(),
        RatingCell(nominal, p.name)};
    for (int c = 0; c < 9; ++c) {
      if (c == 3) continue;
      // Items are made once and their texts changed after: each keystroke
      // must stay well inside a frame.
      QTableWidgetItem* item = table->item(i, c);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        if (c != 0 && c != 5) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(i, c, item);
      }
      if (item->text() != cells[c]) item->setText(cells[c]);
      // By the text's width in the table's font: the same count of
      // characters can be wider ("3.3 nH" after "1.2 nH" fits, "10 pF" after
      // "2.2 pF" may not).
      refit =
          refit || table->fontMetrics().horizontalAdvance(cells[c]) + 14 > table->columnWidth(c);
    }
    const bool steps = nominal.request.parts.SeriesFor(p.kind) != nullptr;
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
        connect(button, &QToolButton::clicked, this,
                [this, i, direction] { emit StepRequested(i, direction); });
        layout->addWidget(button);
        (direction < 0 ? stepper.down : stepper.up) = button;
      }
      table->setCellWidget(i, 3, cell);
    }
    steppers_[size_t(i)].down->setEnabled(steps);
    steppers_[size_t(i)].up->setEnabled(steps);
  }
  steppers_.resize(rows.size());
  if (refit) table->resizeColumnsToContents();
  if (rows_shown_ != int(rows.size())) {
    rows_shown_ = int(rows.size());
    table->resizeColumnsToContents();
    table->setMinimumHeight(
        std::min(table->verticalHeader()->length() + table->horizontalHeader()->height() + 4, 420));
  }
}

QString BenchPartsPanel::RatingCell(const StudyResult& nominal, const std::string& part) const {
  if (!nominal.stress) return {};
  for (const PartStressRow& row : nominal.stress->parts) {
    if (row.worst.name != part) continue;
    const QString share = QLocale().toString(100 * row.usage, 'f', 0) + QStringLiteral(" %");
    return row.ok ? share : tr("%1 OVER").arg(share);
  }
  return {};
}

bool BenchPartsPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->partsTable && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & Qt::AltModifier &&
        (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
      emit StepRequested(ui_->partsTable->currentRow(), key->key() == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QGroupBox::eventFilter(watched, event);
}

void BenchPartsPanel::CopyParts() const {
  const QTableWidget* table = ui_->partsTable;
  QStringList lines, header;
  for (int c = 0; c < table->columnCount(); ++c) {
    if (c != 3) header << table->horizontalHeaderItem(c)->text();
  }
  lines << header.join(QLatin1Char('\t'));
  for (int r = 0; r < table->rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) {
      if (c == 3) continue;
      const QTableWidgetItem* item = table->item(r, c);
      cells << (item ? item->text() : QString());
    }
    lines << cells.join(QLatin1Char('\t'));
  }
  QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

}  // namespace rfsplitter
