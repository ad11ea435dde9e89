#include "ui/bench_bands_panel.h"

#include <QHeaderView>
#include <QLineEdit>

#include "engine/number_text.h"
#include "ui/bench_fields.h"
#include "ui/localized.h"
#include "ui_bench_bands_panel.h"

namespace rfsplitter {
namespace {

const char* const kLimitOptions[] = {"limit-match", "limit-isolation", "limit-imbalance",
                                     "limit-phase"};
const char* const kLimitDefaults[] = {"15", "15", "0.5", "5"};

// "403.07 - 465.60", an open end marked "<" or ">" (the band reaches the
// sweep's end there).
QString BandCell(const std::optional<Band>& band) {
  if (!band) return QObject::tr("missed at f0");
  const auto mhz = [](double hz) { return Localized(GeneralText(hz / 1e6, 6)); };
  return (band->low_open ? QStringLiteral("< ") : QString()) + mhz(band->low_hz) +
         QStringLiteral(" \u2013 ") + (band->high_open ? QStringLiteral("> ") : QString()) +
         mhz(band->high_hz);
}

}  // namespace

BenchBandsPanel::BenchBandsPanel(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::BenchBandsPanel>()) {
  ui_->setupUi(this);
  QTableWidget* bands = ui_->bandsTable;
  bands->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  bands->setFixedHeight(bands->verticalHeader()->length() + bands->horizontalHeader()->height() +
                        4);
  for (int i = 0; i < 4; ++i) {
    Limit(i)->setText(Localized(kLimitDefaults[i]));
    connect(Limit(i), &QLineEdit::textChanged, this, &BenchBandsPanel::Changed);
  }
}

BenchBandsPanel::~BenchBandsPanel() = default;

QLineEdit* BenchBandsPanel::Limit(int i) const {
  QLineEdit* const limits[] = {ui_->limitMatch, ui_->limitIsolation, ui_->limitImbalance,
                               ui_->limitPhase};
  return limits[i];
}

void BenchBandsPanel::ApplyTo(StudyRequest& request, QStringList& problems) const {
  Limits& l = request.limits;
  l.match_db = -std::abs(FieldNumber(Limit(0), -200, 200, tr("Match"), 15, problems));
  l.isolation_db = -std::abs(FieldNumber(Limit(1), -200, 200, tr("Isolation"), 15, problems));
  l.imbalance_db = FieldNumber(Limit(2), 0, 20, tr("Imbalance"), 0.5, problems);
  l.phase_deg = FieldNumber(Limit(3), 0, 180, tr("Phase"), 5, problems);
}

void BenchBandsPanel::Show(const StudyResult& nominal) {
  QTableWidget* bands = ui_->bandsTable;
  const auto fill = [&](int column, const std::optional<DesignSummary>& s) {
    for (int r = 0; r < 5; ++r) {
      QString text;
      if (s) {
        const std::optional<Band>* each[] = {&s->bands.match, &s->bands.isolation,
                                             &s->bands.amplitude_balance, &s->bands.phase_balance,
                                             &s->bands.usable};
        text = BandCell(*each[r]);
      } else if (column == 1) {
        // Nothing built: the parts are ideal, the circuit the ideal one.
        text = tr("as ideal: no parts chosen");
      }
      QTableWidgetItem* item = bands->item(r, column);
      if (item == nullptr) bands->setItem(r, column, item = new QTableWidgetItem);
      if (item->text() != text) item->setText(text);
    }
  };
  const bool measured = nominal.measured.has_value();
  if (bands->columnCount() != (measured ? 3 : 2)) {
    bands->setColumnCount(measured ? 3 : 2);
    QStringList headings = {tr("Ideal (MHz)"), tr("Built (MHz)")};
    if (measured) headings << tr("Measured (MHz)");
    bands->setHorizontalHeaderLabels(headings);
  }
  fill(0, nominal.ideal_summary);
  fill(1, nominal.built_summary);
  if (measured) fill(2, nominal.measured->summary);
}

void BenchBandsPanel::LoadSettings(QSettings& settings) {
  for (int i = 0; i < 4; ++i) {
    Limit(i)->setText(
        settings.value(QStringLiteral("limit%1").arg(i), Limit(i)->text()).toString());
  }
}

void BenchBandsPanel::SaveSettings(QSettings& settings) const {
  for (int i = 0; i < 4; ++i) settings.setValue(QStringLiteral("limit%1").arg(i), Limit(i)->text());
}

void BenchBandsPanel::SaveTo(Session& session) const {
  for (int i = 0; i < 4; ++i) SetSessionOption(session, kLimitOptions[i], Limit(i)->text());
}

void BenchBandsPanel::ApplyFrom(const Session& session) {
  for (int i = 0; i < 4; ++i) {
    const QString limit = SessionOption(session, kLimitOptions[i]);
    Limit(i)->setText(limit.isEmpty() ? Localized(kLimitDefaults[i]) : limit);
  }
}

}  // namespace rfsplitter
