#include "ui/measured_panel.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>
#include <charconv>

#include "engine/number_text.h"
#include "engine/si_value.h"
#include "files/read_file.h"
#include "study/report.h"
#include "ui/localized.h"

namespace rfsplitter {

MeasuredPanel::MeasuredPanel(QWidget* parent) : QGroupBox(tr("Measured board"), parent) {
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  file_ = new QLabel(tr("None: open the analyser's file, or drop it on the bench"));
  file_->setWordWrap(true);
  file_->setObjectName(QStringLiteral("measuredFile"));
  open_ = new QPushButton(tr("Open..."));
  open_->setToolTip(
      tr("A Touchstone file (.s3p, .s4p; version 1.1 or 2.0) of the board as "
         "measured, set beside the design (Ctrl+M)"));
  clear_ = new QPushButton(tr("Clear"));
  clear_->setEnabled(false);
  row->addWidget(file_, 1);
  row->addWidget(open_);
  row->addWidget(clear_);
  layout->addLayout(row);
  auto* form = new QFormLayout;
  delays_ = new QLineEdit;
  delays_->setAccessibleName(tr("Port planes in picoseconds"));
  delays_->setPlaceholderText(tr("found by the diagnosis"));
  delays_->setToolTip(
      tr("Each port's reference plane, in ps of line: one for every port, or one "
         "for each, apart by blanks"));
  auto* delays_label = new QLabel(tr("Port planes (ps):"));
  delays_label->setBuddy(delays_);
  form->addRow(delays_label, delays_);
  layout->addLayout(form);
  diagnose_ = new QCheckBox(tr("Diagnose: name the part that is off"));
  diagnose_->setToolTip(
      tr("Fit the built board's parts, planes and pads to the measurement, "
         "rank the parts by the evidence against them, and find the repair"));
  layout->addWidget(diagnose_);
  summary_ = new QLabel;
  summary_->setObjectName(QStringLiteral("measuredSummary"));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(summary_);
  suspects_ = new QTableWidget(0, 4);
  suspects_->setObjectName(QStringLiteral("suspectsTable"));
  suspects_->setAccessibleName(tr("Suspects"));
  suspects_->setHorizontalHeaderLabels(
      {tr("Part"), tr("Change"), tr("Uncertainty"), tr("Evidence")});
  suspects_->verticalHeader()->hide();
  suspects_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  suspects_->setTabKeyNavigation(false);
  suspects_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  suspects_->hide();
  layout->addWidget(suspects_);

  connect(open_, &QPushButton::clicked, this, &MeasuredPanel::Choose);
  connect(clear_, &QPushButton::clicked, this, &MeasuredPanel::Clear);
  connect(diagnose_, &QCheckBox::toggled, this, [this] {
    if (!text_.empty()) emit Changed();
  });
  connect(delays_, &QLineEdit::textChanged, this, [this] {
    if (!text_.empty()) emit Changed();
  });
}

void MeasuredPanel::Choose() {
  const QString path = QFileDialog::getOpenFileName(
      this, tr("Measured board"), path_.isEmpty() ? QString() : QFileInfo(path_).path(),
      tr("Touchstone files (*.s2p *.s3p *.s4p *.S2P *.S3P *.S4P *.ts);;All files (*)"));
  if (!path.isEmpty()) Open(path);
}

void MeasuredPanel::Open(const QString& path) {
  std::string reason;
  const std::optional<std::string> text = ReadSmallFile(path.toStdString(), reason);
  if (!text) {
    summary_->setText(tr("%1 cannot be read: %2").arg(path, QString::fromStdString(reason)));
    return;
  }
  path_ = path;
  text_ = *text;
  file_->setText(QFileInfo(path).fileName());
  file_->setToolTip(path);
  clear_->setEnabled(true);
  emit Changed();
}

void MeasuredPanel::Clear() {
  path_.clear();
  text_.clear();
  file_->setText(tr("None: open the analyser's file, or drop it on the bench"));
  file_->setToolTip({});
  clear_->setEnabled(false);
  emit Changed();
}

std::optional<MeasuredRequest> MeasuredPanel::Request(QStringList& problems) const {
  if (text_.empty()) return std::nullopt;
  MeasuredRequest request;
  request.file = path_.toStdString();
  request.text = text_;
  request.diagnose = diagnose_->isChecked();
  const QStringList words =
      delays_->text().split(QRegularExpression(QStringLiteral("[\\s;]+")), Qt::SkipEmptyParts);
  for (const QString& word : words) {
    const std::string typed = Unlocalized(word);
    double ps = 0;
    const auto [end, code] = std::from_chars(typed.data(), typed.data() + typed.size(), ps);
    if (code != std::errc() || end != typed.data() + typed.size() || !(ps >= -1000) ||
        !(ps <= 10000)) {
      problems << tr("Port planes: \"%1\" is not a delay from -1000 to 10000 ps").arg(word);
      return request;
    }
    request.port_delays_s.push_back(ps * 1e-12);
  }
  return request;
}

void MeasuredPanel::Show(const StudyResult* result) {
  const MeasuredResult* m = result && result->measured ? &*result->measured : nullptr;
  if (!m) {
    if (text_.empty()) summary_->clear();
    suspects_->hide();
    return;
  }
  QStringList lines;
  const Measurement& board = m->measurement;
  lines << tr("%1 points, %2 to %3 MHz")
               .arg(board.frequencies_hz.size())
               .arg(Localized(GeneralText(board.frequencies_hz.front() / 1e6, 6)),
                    Localized(GeneralText(board.frequencies_hz.back() / 1e6, 6)));
  if (!board.Complete()) {
    lines << tr("Not measured, left out: %1").arg(QString::fromStdString(board.Missing()));
  }
  if (!m->diagnosis) {
    summary_->setText(lines.join(QLatin1Char('\n')));
    suspects_->hide();
    return;
  }
  const Diagnosis& d = *m->diagnosis;
  QStringList planes;
  for (const double t : d.port_delays_s) planes << Localized(FixedText(t * 1e12, 1));
  lines << tr("Fitted: residual %1 dB (as built %2 dB); planes %3 ps; pads %4 pF")
               .arg(Localized(FixedText(d.residual_db, 1)),
                    Localized(FixedText(d.start_residual_db, 1)), planes.join(QStringLiteral(", ")),
                    Localized(GeneralText(d.pad_capacitance_f * 1e12, 3)));
  for (const auto& group : d.groups) {
    QStringList names;
    for (const std::string& n : group) names << QString::fromStdString(n);
    lines << tr("Cannot be told apart: %1").arg(names.join(QStringLiteral(", ")));
  }
  if (const std::optional<Repair>& repair = m->repair) {
    if (!repair->needed) {
      lines << tr("Repair: none needed; the fitted board meets the limits");
    } else if (!repair->found) {
      lines << tr("Repair: no repair within the series");
    } else {
      QStringList steps;
      for (const RepairStep& step : repair->steps) {
        const NetlistElement* e = result->Circuit().Find(step.part);
        const ElementKind kind = e ? e->kind : ElementKind::kResistor;
        steps << QStringLiteral("%1 %2 \u2192 %3")
                     .arg(QString::fromStdString(step.part),
                          Localized(ValueWithUnit(step.from, kind)),
                          Localized(ValueWithUnit(step.to, kind)));
      }
      lines << tr("Repair: %1").arg(steps.join(QStringLiteral("; ")));
    }
  }
  summary_->setText(lines.join(QLatin1Char('\n')));
  suspects_->setRowCount(int(d.suspects.size()));
  for (int r = 0; r < int(d.suspects.size()); ++r) {
    const Suspect& s = d.suspects[size_t(r)];
    const QString cells[] = {QString::fromStdString(s.part),
                             Localized(SignedFixedText(s.change_percent, 1)) + QStringLiteral(" %"),
                             Localized(FixedText(s.uncertainty_percent, 2)) + QStringLiteral(" %"),
                             Localized(FixedText(std::min(s.evidence, 1e6), 1))};
    for (int c = 0; c < 4; ++c) {
      QTableWidgetItem* item = suspects_->item(r, c);
      if (!item) suspects_->setItem(r, c, item = new QTableWidgetItem);
      item->setText(cells[c]);
    }
  }
  suspects_->setFixedHeight(suspects_->horizontalHeader()->height() +
                            suspects_->verticalHeader()->length() + 4);
  suspects_->show();
}

}  // namespace rfsplitter
