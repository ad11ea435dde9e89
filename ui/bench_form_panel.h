// The bench's form: as the main window's circuit, or a form of a family the
// bench holds of its own (ways, split, sections, arms); and the chooser,
// which weighs every form for a band and can hand its pick to the bench.
#ifndef RFSPLITTER_UI_BENCH_FORM_PANEL_H_
#define RFSPLITTER_UI_BENCH_FORM_PANEL_H_

#include <QGroupBox>
#include <functional>
#include <optional>

#include "study/chooser.h"
#include "study/session.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace rfsplitter {

class BenchFormPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit BenchFormPanel(QWidget* parent = nullptr);

  // The form the bench holds; nothing while it follows the main window.
  std::optional<Form> Held(QString& problem) const;
  void Hold(const std::optional<Form>& form);
  // What the bench designs now, said under the controls.
  void Say(const QString& text);
  // The chooser's base: the bench's impedance, limits, parts and tolerances.
  void SetBase(std::function<StudyRequest()> base) { base_ = std::move(base); }
  void SaveTo(Session& session) const;
  // A session's form: false when it names one of the three topologies.
  bool ApplyFrom(const Session& session);

  const std::optional<Choice>& LastChoice() const { return choice_; }
  void ChooseNow();
  void UsePick();

 signals:
  void Changed();
  // The chooser's pick at its design frequency.
  void PickTaken(double frequency_mhz);

 private:
  void Enable();

  QComboBox* family_;
  QSpinBox* ways_;
  QLineEdit* split_;
  QSpinBox* sections_;
  QComboBox* arms_;
  QLabel* said_;
  QLineEdit* band_;
  QComboBox* phase_;
  QPushButton* use_;
  QTableWidget* table_;
  QLabel* pick_;
  std::function<StudyRequest()> base_;
  std::optional<Choice> choice_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_BENCH_FORM_PANEL_H_
