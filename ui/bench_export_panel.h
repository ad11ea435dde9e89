// The bench's exports: the folder, the files chosen and the writing of them
// as the command line writes them, on a worker thread, all or none.
#ifndef RFSPLITTER_UI_BENCH_EXPORT_PANEL_H_
#define RFSPLITTER_UI_BENCH_EXPORT_PANEL_H_

#include <QGroupBox>
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "exports/plot.h"
#include "study/outputs.h"
#include "study/study.h"

namespace Ui {
class BenchExportPanel;
}

namespace rfsplitter {

// What an export writes: the bench's design and settings as they stand.
struct ExportContext {
  Form form;
  DesignInputs inputs;
  StudyRequest request;  // with the Monte Carlo asked for
  PlotView view;         // the response plot's, for the PNG
  std::vector<InputFile> parts_files;
};

class BenchExportPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit BenchExportPanel(QWidget* parent = nullptr);
  ~BenchExportPanel() override;

  // Where the panel asks for the bench's design when it exports.
  void SetContext(std::function<ExportContext()> context);
  // The outputs the Export button would write in `folder`.
  std::vector<PlannedOutput> Planned(const QString& folder, const Form& form,
                                     const DesignInputs& inputs) const;
  void Export();

 signals:
  void Said(const QString& text);
  void Finished(bool ok);

 private:
  struct Worker {
    std::shared_ptr<std::atomic<bool>> finished;
    std::jthread thread;
  };
  void ChooseFolder();
  // `outputs` and, when chosen, the plot as a picture.
  std::vector<PlannedOutput> WithPicture(std::vector<PlannedOutput> outputs,
                                         const ExportContext& context) const;
  // Why these exports cannot be written (two on one file, one on a parts
  // file the design reads, a place that cannot be worked out).
  static std::optional<QString> Refused(const std::vector<PlannedOutput>& all,
                                        const ExportContext& context);
  void Write(std::vector<PlannedOutput> outputs, const ExportContext& context,
             StudyOutcome outcome);
  void Fail(const QString& why);

  std::unique_ptr<Ui::BenchExportPanel> ui_;
  std::function<ExportContext()> context_;
  std::list<Worker> workers_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_BENCH_EXPORT_PANEL_H_
