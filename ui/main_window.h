// The program's one window: the circuit selector with its schematic picture,
// the two input boxes, the Generate button and the listing, the labels and
// the two web-link buttons. Generate hands the window, as the engine's
// DesignWindow, to RunDesign; the window itself computes nothing.
#ifndef RFSPLITTER_UI_MAIN_WINDOW_H_
#define RFSPLITTER_UI_MAIN_WINDOW_H_

#include <QWidget>

#include "engine/design.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace rfsplitter {

class MainWindow : public QWidget, public DesignWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);

  // DesignWindow
  std::string FrequencyText() const override;
  void SetFrequencyText(const std::string& text) override;
  std::string ImpedanceText() const override;
  void SetImpedanceText(const std::string& text) override;
  Topology SelectedTopology() const override;
  void ClearListing() override;
  void AppendToListing(const std::string& text) override;
  void Warn(const std::string& text) override;
  void ReportFileFailure(const std::string& file_name, const std::string& reason) override;
  char DecimalSeparator() const override;

 private:
  void BuildControls();
  void SetTabOrder();
  void LoadStartUpState();
  void ShowPictureOf(QRadioButton* option);
  void Generate();

  QLineEdit* frequency_ = nullptr;
  QLineEdit* impedance_ = nullptr;
  QPlainTextEdit* results_ = nullptr;
  QRadioButton* options_[3] = {};  // opt1, opt3, opt4: one per Topology
  QLabel* pictures_[3] = {};       // picDesign1, picDesign3, picDesign4
  QPushButton* calculate_ = nullptr;
  QPushButton* maker_link_ = nullptr;
  QPushButton* vendor_link_ = nullptr;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_MAIN_WINDOW_H_
