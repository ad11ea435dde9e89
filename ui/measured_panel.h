// The bench's measured board: a network analyser's file opened (a button or
// a file dropped on the bench), its planes, the diagnosis asked for, and
// what the study found: the suspects, the residual and the repair.
#ifndef RFSPLITTER_UI_MEASURED_PANEL_H_
#define RFSPLITTER_UI_MEASURED_PANEL_H_

#include <QGroupBox>
#include <QString>
#include <optional>

#include "study/study.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace rfsplitter {

class MeasuredPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit MeasuredPanel(QWidget* parent = nullptr);

  // Reads the file at `path` as the board's measurement; a file that cannot
  // be read is said in the panel and nothing changes.
  void Open(const QString& path);
  // The measurement the study should set beside the design; nothing
  // without one. A planes field that does not read is added to `problems`.
  std::optional<MeasuredRequest> Request(QStringList& problems) const;
  // What the study found (or nothing, for a study without a measurement).
  void Show(const StudyResult* result);
  QString File() const { return path_; }
  // Asks for the file, as the Open button does.
  void Choose();

 signals:
  void Changed();

 private:
  void Clear();

  QString path_;
  std::string text_;
  QLabel* file_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* clear_ = nullptr;
  QLineEdit* delays_ = nullptr;
  QCheckBox* diagnose_ = nullptr;
  QLabel* summary_ = nullptr;
  QTableWidget* suspects_ = nullptr;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_MEASURED_PANEL_H_
