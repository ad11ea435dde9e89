// The parts panel's settings, kept between runs, and its part of a session.
#include <QComboBox>
#include <QLineEdit>

#include "files/read_file.h"
#include "ui/bench_fields.h"
#include "ui/bench_parts_panel.h"
#include "ui/localized.h"
#include "ui_bench_parts_panel.h"

namespace rfsplitter {
namespace {

const char* const kSeriesOptions[] = {"inductors", "capacitors", "resistors"};

}  // namespace

std::vector<std::pair<QLineEdit*, const char*>> BenchPartsPanel::TextFields() const {
  return {{ui_->qInductor, "qInductor"},
          {ui_->qCapacitor, "qCapacitor"},
          {ui_->srf, "srf"},
          {ui_->esl, "esl"},
          {ui_->esr, "esr"},
          {ui_->pads, "pads"},
          {ui_->stressPower, "stressPower"}};
}

void BenchPartsPanel::LoadSettings(QSettings& settings) {
  for (int k = 0; k < 3; ++k) {
    const int index = settings.value(QStringLiteral("series%1").arg(k), 0).toInt();
    // A parts file is chosen again each time, not read behind the user's back.
    series_[k]->setCurrentIndex(index >= 0 && index < kFileItem ? index : 0);
  }
  ui_->fit->setCurrentIndex(
      settings.value(QStringLiteral("fit"), static_cast<int>(FitMethod::kBest)).toInt());
  ui_->pairs->setChecked(settings.value(QStringLiteral("pairs"), false).toBool());
  ui_->tie->setChecked(settings.value(QStringLiteral("tieEqualValues"), false).toBool());
  ui_->preset->setCurrentIndex(settings.value(QStringLiteral("partModel"), 0).toInt());
  ui_->qProfile->setCurrentIndex(settings.value(QStringLiteral("qProfile"), 0).toInt());
  ui_->compensate->setChecked(settings.value(QStringLiteral("compensate"), true).toBool());
  for (const auto& [edit, key] : TextFields()) {
    edit->setText(settings.value(QLatin1String(key)).toString());
  }
  ShowModelDefaults();
}

void BenchPartsPanel::SaveSettings(QSettings& settings) const {
  for (int k = 0; k < 3; ++k) {
    settings.setValue(QStringLiteral("series%1").arg(k), series_[k]->currentIndex());
  }
  settings.setValue(QStringLiteral("fit"), ui_->fit->currentIndex());
  settings.setValue(QStringLiteral("pairs"), ui_->pairs->isChecked());
  settings.setValue(QStringLiteral("tieEqualValues"), ui_->tie->isChecked());
  settings.setValue(QStringLiteral("partModel"), ui_->preset->currentIndex());
  settings.setValue(QStringLiteral("qProfile"), ui_->qProfile->currentIndex());
  settings.setValue(QStringLiteral("compensate"), ui_->compensate->isChecked());
  for (const auto& [edit, key] : TextFields()) settings.setValue(QLatin1String(key), edit->text());
}

void BenchPartsPanel::SaveTo(Session& s, const std::filesystem::path& folder,
                             bool fingerprints) const {
  for (int k = 0; k < 3; ++k) {
    const int index = series_[k]->currentIndex();
    if (index == kFileItem && !file_paths_[k].isEmpty()) {
      const std::string name = SessionFileName(file_paths_[k].toStdString(), folder);
      std::string reason;
      const auto text =
          fingerprints ? ReadSmallFile(file_paths_[k].toStdString(), reason) : std::nullopt;
      if (text) s.files[name] = Fingerprint(*text);
      s.options[kSeriesOptions[k]] = name;
    } else if (index > 0 && index < kFileItem) {
      s.options[kSeriesOptions[k]] = series_[k]->itemText(index).toStdString();
    }
  }
  s.options["fit"] = std::string(FitName(static_cast<FitMethod>(ui_->fit->currentIndex())));
  if (ui_->pairs->isChecked()) s.flags.insert("pairs");
  if (ui_->tie->isChecked()) s.flags.insert("tie-equal-values");
  if (!ui_->compensate->isChecked()) s.flags.insert("uncompensated");
  SetSessionOption(s, "q-inductor", ui_->qInductor->text());
  SetSessionOption(s, "q-capacitor", ui_->qCapacitor->text());
  if (ui_->preset->currentIndex() > 0) {
    s.options["part-model"] = ui_->preset->currentText().toStdString();
  }
  if (ui_->qProfile->currentIndex() > 0) {
    s.options["q-profile"] = ui_->qProfile->currentText().toStdString();
  }
  SetSessionOption(s, "srf-inductor", ui_->srf->text());
  SetSessionOption(s, "esl-capacitor", ui_->esl->text());
  SetSessionOption(s, "esr-capacitor", ui_->esr->text());
  SetSessionOption(s, "pad-capacitance", ui_->pads->text());
  if (!ui_->stressPower->text().trimmed().isEmpty()) {
    s.flags.insert("stress");
    SetSessionOption(s, "power", ui_->stressPower->text());
  }
}

void BenchPartsPanel::ApplyFrom(const Session& s, const QString& folder, QStringList& notes) {
  for (int k = 0; k < 3; ++k) {
    std::string source;
    if (const auto at = s.options.find(kSeriesOptions[k]); at != s.options.end()) {
      source = at->second;
    } else if (const auto all = s.options.find("parts"); all != s.options.end()) {
      source = all->second;
    }
    if (!source.empty() && !PartSeries::Standard(source)) {
      UsePartsFile(k, FromStd(SessionFilePath(source, folder.toStdString()).string()));
    } else {
      ChooseItem(series_[k], FromStd(source), 0, notes);
    }
  }
  const std::optional<FitMethod> fit = FitNamed(Unlocalized(SessionOption(s, "fit")));
  ui_->fit->setCurrentIndex(static_cast<int>(fit.value_or(FitMethod::kBest)));
  ui_->pairs->setChecked(s.flags.count("pairs"));
  ui_->tie->setChecked(s.flags.count("tie-equal-values"));
  ui_->compensate->setChecked(!s.flags.count("uncompensated"));
  ui_->qInductor->setText(SessionOption(s, "q-inductor"));
  ui_->qCapacitor->setText(SessionOption(s, "q-capacitor"));
  ChooseItem(ui_->preset, SessionOption(s, "part-model"), 0, notes);
  ChooseItem(ui_->qProfile, SessionOption(s, "q-profile"), 0, notes);
  ui_->srf->setText(SessionOption(s, "srf-inductor"));
  ui_->esl->setText(SessionOption(s, "esl-capacitor"));
  ui_->esr->setText(SessionOption(s, "esr-capacitor"));
  ui_->pads->setText(SessionOption(s, "pad-capacitance"));
  ui_->stressPower->setText(s.flags.count("stress") ? SessionOption(s, "power") : QString());
  ShowModelDefaults();
}

}  // namespace rfsplitter
