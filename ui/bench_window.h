// The design bench: the circuit of the main window built from real parts,
// live. It follows the main window's circuit, frequency and impedance as
// they are typed, and shows the response of the ideal and the built circuit
// (a plot and a Smith chart), the parts with steppers through their series,
// the bands, the yield of many boards and the exports. Everything it shows
// comes from one design study (study/); the yield runs on a worker thread,
// is cancelled and started again when anything changes, and never holds up
// typing.
#ifndef RFSPLITTER_UI_BENCH_WINDOW_H_
#define RFSPLITTER_UI_BENCH_WINDOW_H_

#include <QScrollArea>
#include <QWidget>
#include <array>
#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "exports/plot.h"
#include "study/outputs.h"
#include "study/session.h"
#include "study/study.h"
#include "ui/bench_export_panel.h"

class QLabel;
class QMenu;
class QTimer;

namespace rfsplitter {

class BenchBandsPanel;
class BenchFormPanel;
class BenchPartsPanel;
class BenchPlotsPanel;
class BenchYieldPanel;
class MeasuredPanel;
class PlotWidget;

class BenchWindow : public QWidget {
  Q_OBJECT

 public:
  explicit BenchWindow(QWidget* parent = nullptr);
  ~BenchWindow() override;

  // The main window's circuit and its two boxes as typed, with its decimal
  // separator. A text that the main window's Generate would repair leaves
  // the bench at the last good design, with a note.
  void FollowInputs(Topology topology, const QString& frequency, const QString& impedance,
                    char decimal_separator);

  // What the bench shows now.
  const StudyResult* Nominal() const { return nominal_ ? &*nominal_ : nullptr; }
  const std::optional<MonteCarloResult>& Yield() const { return yield_; }
  bool YieldRunning() const { return running_ > 0; }
  int YieldRunsCancelled() const { return cancelled_; }
  QString Note() const;
  QString Status() const;
  PlotWidget* ResponsePlotWidget() const;

  // Takes the parts of `kind` (0 inductors, 1 capacitors, 2 resistors) from
  // the parts file at `path`, as choosing it in the file dialog does.
  void UsePartsFile(int kind, const QString& path);
  // Sets the board measured in `path` beside the design, as opening it or
  // dropping it on the bench does.
  void UseMeasurement(const QString& path);
  MeasuredPanel* Measured() const { return measured_; }

  // Sessions (.rfsplitter): the bench's settings, the design and the steps.
  // Opening one sets the main window's design (SessionDesign) and the
  // bench's settings; false, with the reason in the note, for a file that
  // is no session of this program.
  bool OpenSession(const QString& path);
  bool SaveSession(const QString& path);
  // With `fingerprints`, the parts files' (a session to save); an undo
  // step goes without.
  Session CurrentSession(const QString& session_path, bool fingerprints = true) const;

  // Undo and redo (Ctrl+Z, Ctrl+Shift+Z) of every change of the design,
  // the parts, the steps and the settings; a burst of typing is one step.
  void Undo();
  void Redo();
  // Takes the step being typed into the history now.
  void SettleHistory();

  // The outputs the Export button would write, in `folder` (tests compare
  // them with the command line's).
  std::vector<PlannedOutput> PlannedExports(const QString& folder) const;

 signals:
  void NominalShown();
  void YieldShown();
  // A searched fit's first answer: its parts and their yield, the search
  // going on.
  void FirstYieldShown();
  void ExportFinished(bool ok);
  // A session asks for this design in the main window.
  void SessionDesign(Topology topology, const QString& frequency, const QString& impedance);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct Job;
  struct Worker {
    std::shared_ptr<Job> job;
    std::jthread thread;
  };

  void BuildControls();
  void LoadSettings();
  void SaveSettings() const;
  // Placeholders (the part model's own figures) readable on any palette: a
  // palette whose placeholder colour hardly stands off its base gets the
  // text colour, half seen through.
  void KeepPlaceholdersReadable();

  // The request of the bench's panels (without the Monte Carlo); a field
  // whose text does not read is marked and left out, with a note.
  StudyRequest Request(QStringList& problems) const;
  ExportContext CurrentExport() const;

  // Everything that follows a change: the nominal study, the tables, the
  // plots; then a new yield.
  void Recompute();
  // The form panel's form held, or the main window's followed.
  void FormChanged();
  void ShowNominal();
  void StartYield(const StudyRequest& request);
  // `last`: the run's final answer; else a searched fit's first.
  void ShowYield(std::shared_ptr<Job> job, StudyOutcome outcome, bool last);
  QString YieldText(const StudyResult& result, QString& tip) const;
  // Joins the workers that have finished.
  static void JoinFinished(std::list<Worker>& workers);
  // Asks every yield run to stop.
  void StopYield();
  void Step(int row, int direction);
  // Keeps the parts stepped by hand that the series now chosen offer; says
  // which it drops.
  void KeepOfferedSteps();
  void ApplySession(const Session& session, const QString& folder, QStringList& notes);
  void ChooseSessionToOpen();
  void ChooseSessionToSave();
  void RememberSession(const QString& path);
  void FillRecentMenu(QMenu* menu);
  void Restore(const Session& session);

  // Inputs as followed.
  Topology topology_ = Topology::kNarrowSplitter;
  // A form the bench holds of its own, beyond the main window's topology.
  std::optional<Form> own_form_;
  Form CurrentForm() const { return own_form_ ? *own_form_ : FormOf(topology_); }
  DesignInputs inputs_;
  QString input_note_;
  QString form_note_;
  BenchFormPanel* form_ = nullptr;
  QString session_note_;
  QString frequency_text_ = QStringLiteral("12.1"), impedance_text_ = QStringLiteral("50");
  bool applying_session_ = false;
  std::vector<Session> history_;  // the states to undo to, oldest first
  size_t history_at_ = 0;         // the state shown
  bool restoring_ = false;
  QTimer* history_delay_ = nullptr;

  std::map<std::string, double> part_values_;  // set with the steppers
  std::optional<StudyResult> nominal_;
  std::optional<MonteCarloResult> yield_;
  // The parts shown are best's, until the worker's margin or yield search
  // is done.
  bool searching_ = false;
  bool stepping_ = false;              // the change being computed is a step
  bool recompute_when_shown_ = false;  // a change came while the bench was hidden

  // The yield's worker threads: the newest one counts; older ones were asked
  // to stop and are joined once they have.
  std::list<Worker> workers_;
  std::shared_ptr<Job> current_;
  int running_ = 0;
  int cancelled_ = 0;
  QTimer* progress_delay_ = nullptr;

  QLabel* title_ = nullptr;
  QLabel* note_ = nullptr;
  QLabel* status_ = nullptr;
  QScrollArea* column_scroll_ = nullptr;
  BenchPlotsPanel* plots_ = nullptr;
  BenchPartsPanel* parts_ = nullptr;
  BenchBandsPanel* bands_ = nullptr;
  BenchYieldPanel* yield_panel_ = nullptr;
  MeasuredPanel* measured_ = nullptr;
  BenchExportPanel* export_ = nullptr;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_BENCH_WINDOW_H_
