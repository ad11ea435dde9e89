// The program's one window: the circuit selector with its schematic picture,
// the two input boxes, the Generate button and the listing, the labels and
// the two web-link buttons. The controls, their places and the tab order
// come from main_window.ui. Generate hands the window, as the engine's
// DesignWindow, to RunDesign; the window itself computes nothing.
#ifndef RFSPLITTER_UI_MAIN_WINDOW_H_
#define RFSPLITTER_UI_MAIN_WINDOW_H_

#include <QWidget>
#include <memory>

#include "engine/design.h"

class QButtonGroup;
class QShortcut;
class QLabel;
class QRadioButton;

namespace Ui {
class MainWindow;
}

namespace rfsplitter {

class MainWindow : public QWidget, public DesignWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

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

  // The design bench, opened on the first call; it follows this window's
  // circuit and inputs from then on.
  void OpenBench();
  class BenchWindow* Bench() const { return bench_.get(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The bench closes with the main window.
  void closeEvent(QCloseEvent* event) override;

 private:
  void SetUpControls();
  void SetUpOptionGroup();
  void LoadStartUpState();
  void ShowPictureOf(int option);
  void Generate();
  void FollowInBench();

  std::unique_ptr<Ui::MainWindow> ui_;
  QButtonGroup* options_ = nullptr;  // ids 0, 1, 2: opt1, opt3, opt4, one per Topology
  QLabel* pictures_[3] = {};         // picDesign1, picDesign3, picDesign4
  std::unique_ptr<class BenchWindow> bench_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_MAIN_WINDOW_H_
