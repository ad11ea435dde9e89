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
#include "ui/bench_bands_panel.h"
#include "ui/bench_fields.h"
#include "ui/bench_form_panel.h"
#include "ui/bench_parts_panel.h"
#include "ui/bench_window.h"
#include "ui/bench_yield_panel.h"
#include "ui/localized.h"

namespace rfsplitter {
namespace {

constexpr int kRecentSessions = 6;

}  // namespace

Session BenchWindow::CurrentSession(const QString& session_path, bool fingerprints) const {
  Session s;
  s.options["topology"] = std::string(TopologyOption(topology_));
  form_->SaveTo(s);
  s.options["frequency"] = frequency_text_.toStdString();
  s.options["impedance"] = impedance_text_.toStdString();
  parts_->SaveTo(s, QFileInfo(session_path).absolutePath().toStdString(), fingerprints);
  bands_->SaveTo(s);
  yield_panel_->SaveTo(s);
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
  form_->ApplyFrom(s);
  QString problem;
  own_form_ = form_->Held(problem);
  form_note_ = problem;
  parts_->ApplyFrom(s, folder, notes);
  bands_->ApplyFrom(s);
  yield_panel_->ApplyFrom(s, notes);
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
         return ReadSmallFile(SessionFilePath(name, folder.toStdString()), reason);
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
      QString::fromStdString(FileStem(CurrentForm(), inputs_.frequency_mhz)) +
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
