#include "ui/bench_form_panel.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <charconv>

#include "engine/form_netlist.h"
#include "engine/inputs.h"
#include "engine/number_text.h"
#include "ui/bench_fields.h"
#include "ui/localized.h"

namespace rfsplitter {
namespace {

// The family box's items after "As the main window".
constexpr FormFamily kFamilies[] = {FormFamily::kSplitter, FormFamily::kQuad, FormFamily::kRing};

QString Mhz(double mhz) { return Localized(GeneralText(mhz, 6)); }

// "splitter 2-way, 3 sec, HP": a form in a table's cell.
QString ShortFormText(const Form& form) {
  QString text = QString::fromUtf8(FamilyName(form.family).data());
  if (form.family == FormFamily::kSplitter) text += QStringLiteral(" %1-way").arg(form.ways);
  if (form.split_db != 0) {
    text += QStringLiteral(" %1 dB").arg(Localized(GeneralText(form.split_db, 6)));
  }
  return text +
         QStringLiteral(", %1 sec, %2")
             .arg(form.sections)
             .arg(form.arms == ArmForm::kLowPass ? QStringLiteral("LP") : QStringLiteral("HP"));
}

}  // namespace

BenchFormPanel::BenchFormPanel(QWidget* parent) : QGroupBox(tr("Form"), parent) {
  setObjectName(QStringLiteral("benchFormPanel"));
  family_ = new QComboBox;
  family_->setObjectName(QStringLiteral("formFamily"));
  family_->addItems({tr("As the main window"), tr("Splitter (0 deg)"), tr("Quad (90 deg)"),
                     tr("Ring (180 deg)")});
  family_->setAccessibleName(tr("Form family"));
  arms_ = new QComboBox;
  arms_->setObjectName(QStringLiteral("formArms"));
  arms_->addItems({tr("Low-pass arms"), tr("High-pass arms")});
  arms_->setAccessibleName(tr("Arms"));
  arms_->setToolTip(
      tr("Each quarter-wave arm as a series-L shunt-C pi (low-pass, a DC path) or "
         "a series-C shunt-L pi (high-pass)"));
  ways_ = new QSpinBox;
  ways_->setObjectName(QStringLiteral("formWays"));
  ways_->setRange(2, 4);
  ways_->setPrefix(tr("ways "));
  ways_->setAccessibleName(tr("Ways"));
  split_ = new QLineEdit(QStringLiteral("0"));
  split_->setObjectName(QStringLiteral("formSplit"));
  split_->setToolTip(tr("Power at port 2 over port 3 in dB, -10 to 10"));
  split_->setMaximumWidth(split_->fontMetrics().horizontalAdvance(QStringLiteral("-10.00")) + 16);
  split_->setAccessibleName(tr("Split in dB"));
  sections_ = new QSpinBox;
  sections_->setObjectName(QStringLiteral("formSections"));
  sections_->setRange(1, 3);
  sections_->setPrefix(tr("sections "));
  sections_->setAccessibleName(tr("Sections"));
  said_ = new QLabel;
  said_->setObjectName(QStringLiteral("formSaid"));
  said_->setWordWrap(true);

  band_ = new QLineEdit;
  band_->setObjectName(QStringLiteral("chooserBand"));
  band_->setPlaceholderText(tr("850-980"));
  band_->setToolTip(tr("The band to cover, LO-HI in MHz"));
  band_->setAccessibleName(tr("Band to cover"));
  phase_ = new QComboBox;
  phase_->setObjectName(QStringLiteral("chooserPhase"));
  phase_->addItems({tr("any phase"), tr("0 deg"), tr("90 deg"), tr("180 deg")});
  phase_->setAccessibleName(tr("Phase of the outputs"));
  auto* choose = new QPushButton(tr("Choose"));
  choose->setObjectName(QStringLiteral("chooserRun"));
  choose->setToolTip(
      tr("Weigh every form of these ways and split for the band, each at its "
         "best design frequency, with the bench's parts, limits and tolerances"));
  use_ = new QPushButton(tr("Use the pick"));
  use_->setObjectName(QStringLiteral("chooserUse"));
  use_->setEnabled(false);
  table_ = new QTableWidget(0, 5);
  table_->setObjectName(QStringLiteral("chooserTable"));
  table_->setHorizontalHeaderLabels(
      {tr("Form"), tr("f0 (MHz)"), tr("Parts"), tr("Usable (MHz)"), tr("Covers")});
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_->verticalHeader()->hide();
  table_->setWordWrap(false);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setMaximumHeight(180);
  table_->hide();
  pick_ = new QLabel;
  pick_->setObjectName(QStringLiteral("chooserPick"));
  pick_->setWordWrap(true);

  auto* layout = new QVBoxLayout(this);
  auto* first = new QHBoxLayout;
  first->addWidget(family_, 1);
  first->addWidget(arms_, 1);
  auto* second = new QHBoxLayout;
  second->addWidget(ways_);
  second->addWidget(new QLabel(tr("split dB")));
  second->addWidget(split_);
  second->addWidget(sections_);
  second->addStretch(1);
  // Two rows, so that the column stays narrow at 200 %.
  auto* chooser = new QHBoxLayout;
  chooser->addWidget(new QLabel(tr("Band:")));
  chooser->addWidget(band_, 1);
  chooser->addWidget(phase_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(choose);
  buttons->addWidget(use_);
  buttons->addStretch(1);
  layout->addLayout(first);
  layout->addLayout(second);
  layout->addWidget(said_);
  layout->addLayout(chooser);
  layout->addLayout(buttons);
  layout->addWidget(table_);
  layout->addWidget(pick_);

  for (QComboBox* box : {family_, arms_}) {
    connect(box, &QComboBox::currentIndexChanged, this, [this] {
      Enable();
      emit Changed();
    });
  }
  for (QSpinBox* box : {ways_, sections_}) {
    connect(box, &QSpinBox::valueChanged, this, [this] {
      Enable();
      emit Changed();
    });
  }
  connect(split_, &QLineEdit::textChanged, this, [this] {
    Enable();
    emit Changed();
  });
  connect(choose, &QPushButton::clicked, this, &BenchFormPanel::ChooseNow);
  connect(band_, &QLineEdit::returnPressed, this, &BenchFormPanel::ChooseNow);
  connect(use_, &QPushButton::clicked, this, &BenchFormPanel::UsePick);
  Enable();
}

void BenchFormPanel::Enable() {
  const int family = family_->currentIndex();
  const bool own = family > 0;
  const bool splitter = family == 1;
  for (QWidget* w : std::initializer_list<QWidget*>{arms_, sections_}) w->setEnabled(own);
  ways_->setEnabled(splitter);
  split_->setEnabled(own && family != 3 && (!splitter || ways_->value() == 2));
}

std::optional<Form> BenchFormPanel::Held(QString& problem) const {
  const int family = family_->currentIndex();
  if (family == 0) return std::nullopt;
  Form form;
  form.family = kFamilies[family - 1];
  form.ways = form.family == FormFamily::kSplitter ? ways_->value() : 2;
  QStringList problems;
  form.split_db =
      split_->isEnabled() ? FieldNumber(split_, -10, 10, tr("The split"), 0, problems) : 0;
  form.sections = sections_->value();
  form.arms = arms_->currentIndex() == 0 ? ArmForm::kLowPass : ArmForm::kHighPass;
  if (const std::optional<std::string> why = WhyNoForm(form)) {
    problem = tr("This form is not built: %1; the bench keeps the main window's")
                  .arg(QString::fromStdString(*why));
    return std::nullopt;
  }
  if (!problems.isEmpty()) problem = problems.join(QStringLiteral(" "));
  return form;
}

void BenchFormPanel::Hold(const std::optional<Form>& form) {
  const QSignalBlocker blocks[] = {QSignalBlocker(family_), QSignalBlocker(arms_),
                                   QSignalBlocker(ways_), QSignalBlocker(split_),
                                   QSignalBlocker(sections_)};
  if (!form) {
    family_->setCurrentIndex(0);
  } else {
    family_->setCurrentIndex(int(form->family) + 1);
    ways_->setValue(form->ways);
    split_->setText(Localized(GeneralText(form->split_db, 6)));
    sections_->setValue(form->sections);
    arms_->setCurrentIndex(form->arms == ArmForm::kLowPass ? 0 : 1);
  }
  Enable();
}

void BenchFormPanel::Say(const QString& text) { said_->setText(text); }

void BenchFormPanel::SaveTo(Session& session) const {
  QString ignored;
  const std::optional<Form> form = Held(ignored);
  if (!form) return;
  session.options["topology"] = std::string(FamilyName(form->family));
  if (form->family == FormFamily::kSplitter) session.options["ways"] = std::to_string(form->ways);
  if (form->split_db != 0) session.options["split"] = GeneralText(form->split_db, 6);
  session.options["sections"] = std::to_string(form->sections);
  session.options["arms"] = std::string(ArmName(form->arms));
}

bool BenchFormPanel::ApplyFrom(const Session& session) {
  const auto option = [&](const char* name) {
    const auto at = session.options.find(name);
    return at == session.options.end() ? std::string() : at->second;
  };
  const std::optional<FormFamily> family = FamilyNamed(option("topology"));
  if (!family) {
    Hold(std::nullopt);
    return false;
  }
  // A count that does not read keeps the form's own.
  const auto count = [&](const char* name, int& value) {
    const std::string text = option(name);
    std::from_chars(text.data(), text.data() + text.size(), value);
  };
  Form form;
  form.family = *family;
  count("ways", form.ways);
  count("sections", form.sections);
  form.arms = option("arms") == "high-pass" ? ArmForm::kHighPass : ArmForm::kLowPass;
  Hold(form);
  // The split as the session has it: Held() reads it in the value grammar
  // (never the C library's locale) and marks a text that does not read.
  if (session.options.contains("split")) {
    const QSignalBlocker block(split_);
    split_->setText(SessionOption(session, "split"));
  }
  return true;
}

void BenchFormPanel::ChooseNow() {
  ChoiceRequest request;
  if (base_) request.base = base_();
  QStringList problems;
  const QString text = band_->text().trimmed();
  const qsizetype dash = text.indexOf(QLatin1Char('-'), 1);
  QLineEdit low_field(dash > 0 ? text.left(dash) : QString());
  QLineEdit high_field(dash > 0 ? text.mid(dash + 1) : QString());
  request.low_mhz = FieldNumber(&low_field, kLowestFrequencyMhz, kHighestFrequencyMhz,
                                tr("The band"), 0, problems);
  request.high_mhz = FieldNumber(&high_field, kLowestFrequencyMhz, kHighestFrequencyMhz,
                                 tr("The band"), 0, problems);
  const int family = family_->currentIndex();
  if (family == 1) request.ways = ways_->value();
  if (split_->isEnabled())
    request.split_db = FieldNumber(split_, -10, 10, tr("The split"), 0, problems);
  if (phase_->currentIndex() > 0) request.phase_deg = (phase_->currentIndex() - 1) * 90;
  std::string error;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  choice_ = problems.isEmpty() && request.low_mhz > 0 ? Choose(request, error) : std::nullopt;
  QApplication::restoreOverrideCursor();
  MarkValid(band_, choice_.has_value());
  use_->setEnabled(choice_ && choice_->chosen);
  if (!choice_) {
    table_->hide();
    pick_->setText(error.empty() ? tr("Type the band as LO-HI in MHz, 850-980")
                                 : QString::fromStdString(error));
    return;
  }
  table_->setRowCount(int(choice_->candidates.size()));
  for (int row = 0; row < table_->rowCount(); ++row) {
    const ChoiceCandidate& c = choice_->candidates[size_t(row)];
    const QString cells[] = {ShortFormText(c.form), Mhz(c.frequency_mhz), QString::number(c.parts),
                             c.usable_mhz ? Mhz(c.usable_mhz->first) + QStringLiteral(" \u2013 ") +
                                                Mhz(c.usable_mhz->second)
                                          : tr("none"),
                             c.covers ? tr("yes") : tr("no")};
    for (int column = 0; column < 5; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setToolTip(QString::fromStdString(FormText(c.form)));
      table_->setItem(row, column, item);
    }
  }
  table_->show();
  const ChoiceCandidate& best = choice_->candidates[choice_->chosen.value_or(choice_->widest)];
  pick_->setText(choice_->chosen ? tr("Pick: %1 at %2 MHz, %3 parts")
                                       .arg(QString::fromStdString(FormText(best.form)),
                                            Mhz(best.frequency_mhz))
                                       .arg(best.parts)
                                 : tr("No form covers the band; the widest is %1")
                                       .arg(QString::fromStdString(FormText(best.form))));
}

void BenchFormPanel::UsePick() {
  if (!choice_ || !choice_->chosen) return;
  const ChoiceCandidate& pick = choice_->candidates[*choice_->chosen];
  Hold(pick.form);
  emit PickTaken(pick.frequency_mhz);
  emit Changed();
}

}  // namespace rfsplitter
