// The bench's sessions: its settings, the main window's design and the
// parts stepped by hand saved as a .rfsplitter file, opened again, and
// remembered among the recent ones.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include "engine/number_text.h"
#include "engine/si_value.h"
#include "files/atomic_file.h"
#include "files/read_file.h"
#include "parts/fit.h"
#include "ui/bench_window.h"
#include "ui/localized.h"

namespace rfsplitter {
namespace {

constexpr int kRecentSessions = 6;
const char* const kSeriesOptions[] = {"inductors", "capacitors", "resistors"};
const char* const kToleranceOptions[] = {"tolerance-inductor", "tolerance-capacitor",
                                         "tolerance-resistor"};
const char* const kLimitOptions[] = {"limit-match", "limit-isolation", "limit-imbalance",
                                     "limit-phase"};

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

Session BenchWindow::CurrentSession(const QString& session_path, bool fingerprints) const {
  Session s;
  const auto set = [&](const char* name, const QString& typed) {
    const std::string text = Unlocalized(typed);
    if (!text.empty()) s.options[name] = text;
  };
  s.options["topology"] = std::string(TopologyOption(topology_));
  s.options["frequency"] = frequency_text_.toStdString();
  s.options["impedance"] = impedance_text_.toStdString();
  const std::filesystem::path folder = QFileInfo(session_path).absolutePath().toStdString();
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
    set(kToleranceOptions[k], tolerances_[k]->text());
  }
  s.options["fit"] = std::string(FitName(static_cast<FitMethod>(fit_->currentIndex())));
  if (pairs_->isChecked()) s.flags.insert("pairs");
  if (tie_->isChecked()) s.flags.insert("tie-equal-values");
  if (!compensate_->isChecked()) s.flags.insert("uncompensated");
  set("target-yield", target_yield_->text());
  set("q-inductor", q_inductor_->text());
  set("q-capacitor", q_capacitor_->text());
  if (preset_->currentIndex() > 0) s.options["part-model"] = preset_->currentText().toStdString();
  if (q_profile_->currentIndex() > 0)
    s.options["q-profile"] = q_profile_->currentText().toStdString();
  set("srf-inductor", srf_->text());
  set("esl-capacitor", esl_->text());
  set("esr-capacitor", esr_->text());
  set("pad-capacitance", pads_->text());
  if (!stress_power_->text().trimmed().isEmpty()) {
    s.flags.insert("stress");
    set("power", stress_power_->text());
  }
  set("tolerance-parasitics", parasitics_->text());
  for (int i = 0; i < 4; ++i) set(kLimitOptions[i], limits_[i]->text());
  if (boards_->value() > 0) s.options["monte-carlo"] = std::to_string(boards_->value());
  set("seed", seed_->text());
  s.options["distribution"] = distribution_->currentIndex() == 1 ? "normal" : "uniform";
  set("yield-band", yield_band_->text());
  for (const auto& [part, value] : part_values_) s.steps.emplace_back(part, ShortestText(value));
  return s;
}

bool BenchWindow::SaveSession(const QString& path) {
  const std::string failure =
      WriteFileAtomically(path.toStdString(), SessionJson(CurrentSession(path)));
  if (!failure.empty()) {
    status_->setText(tr("The session was not saved: %1").arg(FromStd(failure)));
    return false;
  }
  RememberSession(path);
  status_->setText(tr("Saved the session %1").arg(path));
  return true;
}

bool BenchWindow::OpenSession(const QString& path) {
  std::string reason;
  const std::optional<std::string> text = ReadSmallFile(path.toStdString(), reason);
  std::string error;
  const std::optional<Session> session = text ? ReadSession(*text, error) : std::nullopt;
  if (!session) {
    session_note_ =
        tr("The session %1 was not opened: %2").arg(path, FromStd(text ? error : reason));
    note_->setText(session_note_);
    note_->setVisible(true);
    return false;
  }
  QStringList notes;
  applying_session_ = true;
  ApplySession(*session, QFileInfo(path).absolutePath(), notes);
  applying_session_ = false;
  session_note_ = notes.join(QStringLiteral("\n"));
  RememberSession(path);
  // The design is the main window's: it follows the session's, and the
  // bench follows it.
  const auto option = [&](const char* name, const char* fallback) {
    const auto at = session->options.find(name);
    return at == session->options.end() ? std::string(fallback) : at->second;
  };
  const std::optional<Topology> topology = TopologyNamed(option("topology", "narrow-splitter"));
  emit SessionDesign(topology.value_or(topology_), FromStd(option("frequency", "12.1")),
                     FromStd(option("impedance", "50")));
  Recompute();
  return true;
}

void BenchWindow::ApplySession(const Session& s, const QString& folder, QStringList& notes) {
  const auto option = [&](const char* name) -> QString {
    const auto at = s.options.find(name);
    return at == s.options.end() ? QString() : Localized(at->second);
  };
  const auto combo = [&](QComboBox* box, const QString& text, int otherwise) {
    const int index = text.isEmpty() ? otherwise : box->findText(text, Qt::MatchFixedString);
    box->setCurrentIndex(index >= 0 ? index : otherwise);
    if (index < 0 && !text.isEmpty()) notes << tr("\"%1\" is not offered here").arg(text);
  };
  const auto path_of = [&](const std::string& name) {
    return FromStd(SessionFilePath(name, folder.toStdString()).string());
  };
  for (int k = 0; k < 3; ++k) {
    std::string source;
    if (const auto at = s.options.find(kSeriesOptions[k]); at != s.options.end())
      source = at->second;
    else if (const auto all = s.options.find("parts"); all != s.options.end())
      source = all->second;
    if (!source.empty() && !PartSeries::Standard(source)) {
      UsePartsFile(k, path_of(source));
    } else {
      combo(series_[k], FromStd(source), 0);
    }
    // What the command line takes when a session does not say.
    tolerances_[k]->setText(option(kToleranceOptions[k]).isEmpty() ? QStringLiteral("0")
                                                                   : option(kToleranceOptions[k]));
  }
  const std::optional<FitMethod> fit = FitNamed(Unlocalized(option("fit")));
  fit_->setCurrentIndex(static_cast<int>(fit.value_or(FitMethod::kBest)));
  pairs_->setChecked(s.flags.count("pairs"));
  tie_->setChecked(s.flags.count("tie-equal-values"));
  compensate_->setChecked(!s.flags.count("uncompensated"));
  target_yield_->setText(option("target-yield"));
  q_inductor_->setText(option("q-inductor"));
  q_capacitor_->setText(option("q-capacitor"));
  combo(preset_, option("part-model"), 0);
  combo(q_profile_, option("q-profile"), 0);
  srf_->setText(option("srf-inductor"));
  esl_->setText(option("esl-capacitor"));
  esr_->setText(option("esr-capacitor"));
  pads_->setText(option("pad-capacitance"));
  stress_power_->setText(s.flags.count("stress") ? option("power") : QString());
  parasitics_->setText(option("tolerance-parasitics").isEmpty() ? Localized("0%")
                                                                : option("tolerance-parasitics"));
  for (int i = 0; i < 4; ++i) {
    const QString limit = option(kLimitOptions[i]);
    const char* defaults[] = {"15", "15", "0.5", "5"};
    limits_[i]->setText(limit.isEmpty() ? Localized(defaults[i]) : limit);
  }
  boards_->setValue(option("monte-carlo").toInt());
  seed_->setText(option("seed").isEmpty() ? QStringLiteral("1") : option("seed"));
  combo(distribution_, option("distribution"), 0);
  yield_band_->setText(option("yield-band").isEmpty() ? QStringLiteral("0") : option("yield-band"));
  for (const char* unused : {"vswr", "cp-resistor"}) {
    if (s.options.count(unused))
      notes << tr("The session's --%1 is not a setting of the bench; left out").arg(unused);
  }
  part_values_.clear();
  for (const auto& [part, text] : s.steps) {
    std::string why;
    const std::optional<SiValue> value = ParseSiValue(text, why);
    if (value && value->value > 0) {
      part_values_[part] = value->value;
    } else {
      notes << tr("The step %1 = %2 does not read; left out").arg(FromStd(part), FromStd(text));
    }
  }
  for (const std::string& change : ChangedFiles(s, [&](const std::string& name) {
         std::string reason;
         return ReadSmallFile(path_of(name).toStdString(), reason);
       })) {
    notes << FromStd(change);
  }
}

void BenchWindow::SettleHistory() {
  history_delay_->stop();
  if (restoring_) return;
  Session now = CurrentSession({}, false);
  if (!history_.empty() && history_[history_at_] == now) return;
  history_.resize(history_.empty() ? 0 : history_at_ + 1);  // a new change drops the redos
  history_.push_back(std::move(now));
  constexpr size_t kSteps = 200;
  if (history_.size() > kSteps) history_.erase(history_.begin());
  history_at_ = history_.size() - 1;
}

void BenchWindow::Undo() {
  if (history_delay_->isActive()) SettleHistory();
  if (history_at_ == 0 || history_.empty()) return;
  Restore(history_[--history_at_]);
}

void BenchWindow::Redo() {
  if (history_delay_->isActive()) SettleHistory();
  if (history_at_ + 1 >= history_.size()) return;
  Restore(history_[++history_at_]);
}

void BenchWindow::Restore(const Session& s) {
  restoring_ = true;
  QStringList notes;
  applying_session_ = true;
  ApplySession(s, QDir::currentPath(), notes);
  applying_session_ = false;
  const std::optional<Topology> topology = TopologyNamed(s.options.at("topology"));
  emit SessionDesign(topology.value_or(topology_), FromStd(s.options.at("frequency")),
                     FromStd(s.options.at("impedance")));
  Recompute();
  restoring_ = false;
}

void BenchWindow::ChooseSessionToOpen() {
  const QString path = QFileDialog::getOpenFileName(this, tr("Open a session"), QString(),
                                                    tr("Sessions (*.rfsplitter);;All files (*)"));
  if (!path.isEmpty()) OpenSession(path);
}

void BenchWindow::ChooseSessionToSave() {
  QString path = QFileDialog::getSaveFileName(
      this, tr("Save the session"),
      QString::fromStdString(FileStem(topology_, inputs_.frequency_mhz)) +
          QStringLiteral(".rfsplitter"),
      tr("Sessions (*.rfsplitter)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".rfsplitter");
  SaveSession(path);
}

void BenchWindow::RememberSession(const QString& path) {
  QSettings settings;
  QStringList recent = settings.value(QStringLiteral("bench/recentSessions")).toStringList();
  const QString absolute = QFileInfo(path).absoluteFilePath();
  recent.removeAll(absolute);
  recent.prepend(absolute);
  while (recent.size() > kRecentSessions) recent.removeLast();
  settings.setValue(QStringLiteral("bench/recentSessions"), recent);
}

void BenchWindow::FillRecentMenu(QMenu* menu) {
  menu->clear();
  const QStringList recent =
      QSettings().value(QStringLiteral("bench/recentSessions")).toStringList();
  for (const QString& path : recent) {
    menu->addAction(QFileInfo(path).fileName(), this, [this, path] { OpenSession(path); })
        ->setToolTip(path);
  }
  if (recent.isEmpty()) menu->addAction(tr("No recent sessions"))->setEnabled(false);
}

}  // namespace rfsplitter
