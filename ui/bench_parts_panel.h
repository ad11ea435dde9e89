// The bench's parts: where each kind comes from (ideal, a standard series
// or a parts file), the fit, the parts' models and the stress power, and
// the table of the parts chosen with their steppers.
#ifndef RFSPLITTER_UI_BENCH_PARTS_PANEL_H_
#define RFSPLITTER_UI_BENCH_PARTS_PANEL_H_

#include <QGroupBox>
#include <QSettings>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "study/outputs.h"
#include "study/session.h"
#include "study/study.h"

class QComboBox;
class QLineEdit;
class QTableWidget;
class QToolButton;

namespace Ui {
class BenchPartsPanel;
}

namespace rfsplitter {

class BenchPartsPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit BenchPartsPanel(QWidget* parent = nullptr);
  ~BenchPartsPanel() override;

  // The parts, the fit, the models and the stress into `request`; a field
  // that does not read is marked and said in `problems`.
  void ApplyTo(StudyRequest& request, QStringList& problems) const;
  // The parts of `nominal`; `stepped` are the parts set by hand.
  void Show(const StudyResult& nominal, const std::map<std::string, double>& stepped);
  QTableWidget* Table() const;

  // Takes the parts of `kind` (0 inductors, 1 capacitors, 2 resistors)
  // from the parts file at `path`; says how it went (Said).
  void UsePartsFile(int kind, const QString& path);
  // The parts files the design reads, which no export may replace.
  std::vector<InputFile> PartsFiles() const;

  void LoadSettings(QSettings& settings);
  void SaveSettings(QSettings& settings) const;
  // The panel's settings as command-line options of a session saved in
  // `folder`; with `fingerprints`, the parts files' too.
  void SaveTo(Session& session, const std::filesystem::path& folder, bool fingerprints) const;
  void ApplyFrom(const Session& session, const QString& folder, QStringList& notes);

 signals:
  // A setting changed: the design is to be computed again.
  void Changed();
  // A kind's source changed: the steps it no longer offers go first.
  void SourceChanged();
  void StepRequested(int row, int direction);
  void Said(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The part model's own figures as the fields' placeholders.
  void ShowModelDefaults();
  void ChoosePartsFile(int kind);
  void CopyParts() const;
  QString RatingCell(const StudyResult& nominal, const std::string& part) const;
  // The text fields the settings keep, with their keys.
  std::vector<std::pair<QLineEdit*, const char*>> TextFields() const;

  // The series boxes' "Parts file..." entry, after "Ideal" and the six series.
  static constexpr int kFileItem = 7;

  std::unique_ptr<Ui::BenchPartsPanel> ui_;
  QComboBox* series_[3] = {};
  QToolButton* file_buttons_[3] = {};
  // The parts files read, per kind (a kind's series keeps its name).
  std::optional<PartSeries> file_series_[3];
  QString file_paths_[3];
  struct Stepper {
    std::string name;  // the part of the row
    QToolButton* down = nullptr;
    QToolButton* up = nullptr;
  };
  std::vector<Stepper> steppers_;  // one a row of the parts table
  int rows_shown_ = -1;            // the table's columns fit these rows
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_BENCH_PARTS_PANEL_H_
