#include "ui/bench_yield_panel.h"

#include <QHeaderView>
#include <QLineEdit>
#include <algorithm>
#include <map>

#include "engine/si_value.h"
#include "study/report.h"
#include "ui/bench_fields.h"
#include "ui/localized.h"
#include "ui_bench_yield_panel.h"

namespace rfsplitter {
namespace {

const char* const kToleranceOptions[] = {"tolerance-inductor", "tolerance-capacitor",
                                         "tolerance-resistor"};

}  // namespace

BenchYieldPanel::BenchYieldPanel(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::BenchYieldPanel>()) {
  ui_->setupUi(this);
  tolerances_[0] = ui_->toleranceInductor, tolerances_[1] = ui_->toleranceCapacitor;
  tolerances_[2] = ui_->toleranceResistor;
  for (QLineEdit* e : {ui_->toleranceInductor, ui_->toleranceCapacitor, ui_->toleranceResistor,
                       ui_->parasitics, ui_->seed, ui_->yieldBand, ui_->targetYield}) {
    // Typed in the user's separator.
    e->setText(Localized(e->text().toStdString()));
    connect(e, &QLineEdit::textChanged, this, &BenchYieldPanel::Changed);
  }
  connect(ui_->boards, &QSpinBox::valueChanged, this, &BenchYieldPanel::Changed);
  connect(ui_->distribution, &QComboBox::activated, this, &BenchYieldPanel::Changed);
  ui_->percentiles->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
}

BenchYieldPanel::~BenchYieldPanel() = default;

int BenchYieldPanel::Boards() const { return ui_->boards->value(); }

std::optional<MonteCarloSettings> BenchYieldPanel::Settings(QStringList& problems) const {
  if (ui_->boards->value() == 0) return std::nullopt;
  MonteCarloSettings settings;
  settings.samples = ui_->boards->value();
  bool ok = true;
  for (int k = 0; k < 3; ++k) {
    std::string why;
    const std::optional<Tolerance> t =
        ParseTolerance(Unlocalized(tolerances_[k]->text()), kBenchKinds[k], why);
    MarkValid(tolerances_[k], t.has_value());
    if (!t) {
      problems << tr("The %1 tolerance \"%2\" %3")
                      .arg(FromStd(std::string(KindName(kBenchKinds[k]))),
                           Typed(tolerances_[k]->text()), FromStd(why));
      ok = false;
      continue;
    }
    (k == 0 ? settings.inductor : k == 1 ? settings.capacitor : settings.resistor) = *t;
  }
  std::string why;
  const std::optional<SiValue> p = ParseSiValue(Unlocalized(ui_->parasitics->text()), why);
  const bool p_ok = p && (p->unit == Unit::kNone || p->unit == Unit::kPercent) && p->value >= 0 &&
                    p->value <= 100;
  MarkValid(ui_->parasitics, p_ok);
  if (p_ok) {
    settings.parasitic_tolerance = p->value / 100;
  } else {
    problems << tr("The parasitics tolerance \"%1\" is not a percentage from 0 to 100")
                    .arg(Typed(ui_->parasitics->text()));
    ok = false;
  }
  bool seed_ok = false;
  settings.seed = ui_->seed->text().trimmed().toULongLong(&seed_ok);
  MarkValid(ui_->seed, seed_ok);
  if (!seed_ok) {
    problems << tr("The seed \"%1\" is not a whole number from 0 to 18446744073709551615")
                    .arg(Typed(ui_->seed->text()));
    ok = false;
  }
  settings.distribution =
      ui_->distribution->currentIndex() == 1 ? Distribution::kNormal : Distribution::kUniform;
  const std::optional<SiValue> band = ParseSiValue(Unlocalized(ui_->yieldBand->text()), why);
  const bool band_ok = band && band->value >= 0 && band->value <= 190;
  MarkValid(ui_->yieldBand, band_ok);
  if (!band_ok) {
    problems << tr("The yield band \"%1\" is not a number from 0 to 190")
                    .arg(Typed(ui_->yieldBand->text()));
    ok = false;
  } else {
    settings.band_percent = band->value;
  }
  if (!ok) return std::nullopt;
  return settings;
}

void BenchYieldPanel::ApplyTo(StudyRequest& request, QStringList& problems) const {
  QLineEdit* target = ui_->targetYield;
  const QString text = target->text().trimmed();
  if (text.isEmpty()) {
    MarkValid(target, true);
    return;
  }
  std::string error;
  const std::optional<SiValue> v = ParseSiValue(Unlocalized(text), error);
  const bool ok = v && (v->unit == Unit::kNone || v->unit == Unit::kPercent) && v->value >= 1 &&
                  v->value <= 99.99;
  MarkValid(target, ok);
  if (ok) {
    request.target_yield_percent = v->value;
  } else {
    problems << tr("The target yield \"%1\" is not a number from 1 to 99.99").arg(Typed(text));
  }
}

void BenchYieldPanel::ShowPercentiles(const MonteCarloResult* yield) {
  QTableWidget* table = ui_->percentiles;
  if (yield == nullptr) {
    table->setRowCount(0);
    return;
  }
  const MonteCarloResult& r = *yield;
  table->setRowCount(int(r.percentiles.size()));
  const std::map<std::string, QString> labels = {{"s11_db", tr("|S11| (dB)")},
                                                 {"s32_db", tr("|S32| (dB)")},
                                                 {"s41_db", tr("|S41| (dB)")},
                                                 {"imbalance_db", tr("Imbalance (dB)")},
                                                 {"phase_error_deg", tr("Phase error (deg)")},
                                                 {"insertion_loss_db", tr("Excess loss (dB)")}};
  const QLocale locale;
  QStringList names;
  for (int i = 0; i < int(r.percentiles.size()); ++i) {
    const auto& [name, p] = r.percentiles[size_t(i)];
    names << (labels.contains(name) ? labels.at(name) : FromStd(name));
    const double values[] = {p.p5, p.p50, p.p95};
    for (int c = 0; c < 3; ++c) {
      auto* item = new QTableWidgetItem(locale.toString(values[c], 'f', 3));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table->setItem(i, c, item);
    }
  }
  table->setVerticalHeaderLabels(names);
  table->setFixedHeight(table->verticalHeader()->length() + table->horizontalHeader()->height() +
                        4);
}

void BenchYieldPanel::ShowAdvice(const StudyResult* nominal, const MonteCarloResult* yield) {
  QStringList lines;
  if (nominal) {
    if (!nominal->nominal_misses.empty()) {
      lines << tr("With the parts at their nominal values the circuit misses:");
      for (const LimitMiss& miss : nominal->nominal_misses) lines << Localized(MissText(miss));
    }
    for (const std::string& warning : nominal->warnings) lines << Localized(warning);
  }
  if (yield && yield->harmful_part) {
    const ElementKind kind = yield->harmful_kind;
    // Where every part alone keeps the boards passing, the failures come
    // from parts straying together; the most harmful is the one whose
    // tighter grade helps most then.
    const bool each_alone_passes =
        std::all_of(yield->sensitivity.begin(), yield->sensitivity.end(),
                    [](const auto& part) { return part.yield_percent_alone >= 99.995; });
    QString line = each_alone_passes
                       ? tr("No part alone fails a board: the failures come from parts straying "
                            "together. Most harmful among them: %1")
                             .arg(FromStd(*yield->harmful_part))
                       : tr("Most harmful: %1").arg(FromStd(*yield->harmful_part));
    if (yield->tighter && nominal) {
      const std::optional<MonteCarloSettings>& asked = nominal->request.monte_carlo;
      line +=
          tr(" (+-%1); at +-%2 the yield would be %3 %")
              .arg(Localized(ToleranceText(asked ? asked->ToleranceOf(kind) : Tolerance{}, kind)),
                   Localized(ToleranceText(*yield->tighter, kind)),
                   QLocale().toString(yield->tighter_yield_percent, 'f', 2));
    }
    lines << line;
    QStringList alone;
    for (const auto& part : yield->sensitivity) {
      alone << QStringLiteral("%1 %2 %").arg(FromStd(part.part),
                                             QLocale().toString(part.yield_percent_alone, 'f', 1));
    }
    lines << tr("Yield with one part varying: %1").arg(alone.join(QStringLiteral(", ")));
  }
  ui_->adviceLabel->setText(lines.join(QStringLiteral("\n")));
}

void BenchYieldPanel::LoadSettings(QSettings& settings) {
  for (int k = 0; k < 3; ++k) {
    tolerances_[k]->setText(
        settings.value(QStringLiteral("tolerance%1").arg(k), tolerances_[k]->text()).toString());
  }
  ui_->parasitics->setText(
      settings.value(QStringLiteral("toleranceParasitics"), ui_->parasitics->text()).toString());
  ui_->targetYield->setText(settings.value(QStringLiteral("targetYield")).toString());
  ui_->boards->setValue(settings.value(QStringLiteral("boards"), ui_->boards->value()).toInt());
  ui_->seed->setText(settings.value(QStringLiteral("seed"), ui_->seed->text()).toString());
  ui_->distribution->setCurrentIndex(settings.value(QStringLiteral("distribution"), 0).toInt());
  ui_->yieldBand->setText(
      settings.value(QStringLiteral("yieldBand"), ui_->yieldBand->text()).toString());
}

void BenchYieldPanel::SaveSettings(QSettings& settings) const {
  for (int k = 0; k < 3; ++k) {
    settings.setValue(QStringLiteral("tolerance%1").arg(k), tolerances_[k]->text());
  }
  settings.setValue(QStringLiteral("toleranceParasitics"), ui_->parasitics->text());
  settings.setValue(QStringLiteral("targetYield"), ui_->targetYield->text());
  settings.setValue(QStringLiteral("boards"), ui_->boards->value());
  settings.setValue(QStringLiteral("seed"), ui_->seed->text());
  settings.setValue(QStringLiteral("distribution"), ui_->distribution->currentIndex());
  settings.setValue(QStringLiteral("yieldBand"), ui_->yieldBand->text());
}

void BenchYieldPanel::SaveTo(Session& s) const {
  for (int k = 0; k < 3; ++k) SetSessionOption(s, kToleranceOptions[k], tolerances_[k]->text());
  SetSessionOption(s, "target-yield", ui_->targetYield->text());
  SetSessionOption(s, "tolerance-parasitics", ui_->parasitics->text());
  if (ui_->boards->value() > 0) s.options["monte-carlo"] = std::to_string(ui_->boards->value());
  SetSessionOption(s, "seed", ui_->seed->text());
  s.options["distribution"] = ui_->distribution->currentIndex() == 1 ? "normal" : "uniform";
  SetSessionOption(s, "yield-band", ui_->yieldBand->text());
}

void BenchYieldPanel::ApplyFrom(const Session& s, QStringList& notes) {
  // What the command line takes when a session does not say.
  const auto or_else = [&](const char* name, const QString& fallback) {
    const QString given = SessionOption(s, name);
    return given.isEmpty() ? fallback : given;
  };
  for (int k = 0; k < 3; ++k) {
    tolerances_[k]->setText(or_else(kToleranceOptions[k], QStringLiteral("0")));
  }
  ui_->targetYield->setText(SessionOption(s, "target-yield"));
  ui_->parasitics->setText(or_else("tolerance-parasitics", Localized("0%")));
  ui_->boards->setValue(SessionOption(s, "monte-carlo").toInt());
  ui_->seed->setText(or_else("seed", QStringLiteral("1")));
  ChooseItem(ui_->distribution, SessionOption(s, "distribution"), 0, notes);
  ui_->yieldBand->setText(or_else("yield-band", QStringLiteral("0")));
}

}  // namespace rfsplitter
