#include "ui/bench_export_panel.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <filesystem>

#include "engine/quoted.h"
#include "files/atomic_file.h"
#include "ui/bench_fields.h"
#include "ui/plot_painter.h"
#include "ui_bench_export_panel.h"

namespace rfsplitter {

BenchExportPanel::BenchExportPanel(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::BenchExportPanel>()) {
  ui_->setupUi(this);
  ui_->folder->setText(QDir::currentPath());
  connect(ui_->chooseFolder, &QPushButton::clicked, this, &BenchExportPanel::ChooseFolder);
  connect(ui_->exportButton, &QPushButton::clicked, this, &BenchExportPanel::Export);
}

BenchExportPanel::~BenchExportPanel() {
  // The lists' threads join as they go; a study in flight finishes first.
  workers_.clear();
}

void BenchExportPanel::SetContext(std::function<ExportContext()> context) {
  context_ = std::move(context);
}

void BenchExportPanel::ChooseFolder() {
  const QString folder =
      QFileDialog::getExistingDirectory(this, tr("Export folder"), ui_->folder->text());
  if (!folder.isEmpty()) ui_->folder->setText(folder);
}

std::vector<PlannedOutput> BenchExportPanel::Planned(const QString& folder, const Form& form,
                                                     const DesignInputs& inputs) const {
  const std::string stem = FileStem(form, inputs.frequency_mhz);
  OutputChoice choice;
  choice.directory = folder.toStdString();
  choice.simulation_file = false;
  choice.touchstone = ui_->exportTouchstone->isChecked();
  choice.spice = ui_->exportSpice->isChecked();
  if (ui_->exportSvg->isChecked()) choice.plot = stem + ".svg";
  if (ui_->exportCsv->isChecked()) choice.parts_list = stem + ".csv";
  if (ui_->exportJson->isChecked()) choice.json = stem + ".json";
  if (ui_->exportKicad->isChecked()) choice.kicad = stem;
  return PlanOutputs(form, inputs, choice);
}

std::vector<PlannedOutput> BenchExportPanel::WithPicture(std::vector<PlannedOutput> outputs,
                                                         const ExportContext& context) const {
  if (ui_->exportPng->isChecked()) {
    outputs.push_back({OutputKind::kPlot, "PNG",
                       std::filesystem::path(ui_->folder->text().toStdString()) /
                           (FileStem(context.form, context.inputs.frequency_mhz) + ".png")});
  }
  return outputs;
}

std::optional<QString> BenchExportPanel::Refused(const std::vector<PlannedOutput>& all,
                                                 const ExportContext& context) {
  // A parts file the design reads is never an export's target.
  const OutputCheck check = CheckOutputs(all, context.parts_files);
  if (!check.clash && !check.unresolved) return std::nullopt;
  return FromStd(check.clash
                     ? *check.clash
                     : Quoted(check.unresolved->first.string()) + ": " + check.unresolved->second);
}

void BenchExportPanel::Fail(const QString& why) {
  emit Said(tr("Nothing was exported: %1").arg(why));
  emit Finished(false);
}

void BenchExportPanel::Export() {
  if (!context_) return;
  const QString folder = ui_->folder->text();
  // An empty folder field names no folder (it is not the current one).
  if (folder.trimmed().isEmpty()) return Fail(tr("the folder is empty; choose one"));
  const ExportContext context = context_();
  std::vector<PlannedOutput> outputs = Planned(folder, context.form, context.inputs);
  const std::vector<PlannedOutput> all = WithPicture(outputs, context);
  if (const std::optional<QString> why = Refused(all, context)) return Fail(*why);
  // Files that exist are replaced only when the user says so.
  QStringList existing;
  for (const PlannedOutput& o : all) {
    std::error_code error;
    if (std::filesystem::exists(o.path, error)) existing << FromStd(o.path.filename().string());
  }
  if (!existing.isEmpty() &&
      QMessageBox::question(
          this, tr("Replace files"),
          tr("%1 already has %2. Replace them?").arg(folder, existing.join(QStringLiteral(", "))),
          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
    return Fail(tr("the files there were kept"));
  }
  StudyRequest request = context.request;
  request.summaries = false;
  AskForOutputs(outputs, request);
  if (ui_->exportPng->isChecked()) {
    // The PNG shows the same plot as the SVG.
    request.sweeps = request.summaries = true;
    request.spread = request.monte_carlo.has_value();
  }
  ui_->exportButton->setEnabled(false);
  emit Said(tr("Exporting..."));
  workers_.remove_if([](Worker& w) { return w.finished->load(); });
  auto finished = std::make_shared<std::atomic<bool>>(false);
  workers_.push_back({finished, std::jthread([this, finished, request, outputs, context]() mutable {
                        StudyOutcome outcome = RunStudy(request);
                        QMetaObject::invokeMethod(
                            this,
                            [this, outputs = std::move(outputs), context = std::move(context),
                             outcome = std::move(outcome)]() mutable {
                              Write(std::move(outputs), context, std::move(outcome));
                            },
                            Qt::QueuedConnection);
                        *finished = true;
                      })});
}

void BenchExportPanel::Write(std::vector<PlannedOutput> outputs, const ExportContext& context,
                             StudyOutcome outcome) {
  ui_->exportButton->setEnabled(true);
  if (outcome.status != StudyOutcome::Status::kDone) return Fail(FromStd(outcome.error));
  const StudyResult& result = *outcome.result;
  const std::vector<PlannedOutput> all = WithPicture(outputs, context);
  if (const std::optional<QString> why = Refused(all, context)) return Fail(*why);
  for (const PlannedOutput& o : all) {
    // The KiCad project's folder is made for it.
    std::error_code error;
    if (o.kind == OutputKind::kKicadProject) {
      std::filesystem::create_directories(o.path.parent_path(), error);
    }
    if (const std::string why = CheckWritable(o.path); !why.empty()) {
      return Fail(tr("%1 could not be written: %2").arg(FromStd(o.path.string()), FromStd(why)));
    }
  }
  FileSet files;
  std::vector<std::filesystem::path> targets;
  for (const PlannedOutput& o : all) targets.push_back(o.path);
  files.Lock(targets);
  bool staged = true;
  for (const PlannedOutput& o : outputs) {
    staged = staged && files.Stage(o.path, OutputText(o.kind, result));
  }
  if (staged && ui_->exportPng->isChecked()) {
    ResponsePlotData plot_data;
    plot_data.netlist = &result.Circuit();
    plot_data.response = &*result.CircuitSweep();
    plot_data.ideal = result.built ? &*result.ideal_sweep : nullptr;
    plot_data.spread =
        result.monte_carlo && result.monte_carlo->spread ? &*result.monte_carlo->spread : nullptr;
    if (result.CircuitSummary()) plot_data.usable = result.CircuitSummary()->bands.usable;
    // The view on screen, as the user zoomed it.
    const QByteArray png = PlotPng(ResponsePlot(plot_data, context.view));
    staged = files.Stage(all.back().path, std::string_view(png.constData(), size_t(png.size())));
  }
  if (!staged) {
    return Fail(tr("%1 could not be written: %2")
                    .arg(FromStd(files.FailedPath().string()), FromStd(files.FailureReason())));
  }
  const bool committed = files.Commit();
  QStringList written;
  for (const std::filesystem::path& path : files.Replaced()) {
    written << QDir(QString::fromStdString(path.string())).absolutePath();
  }
  QString text = written.isEmpty() ? tr("Nothing was chosen to export.")
                                   : tr("Wrote %1").arg(written.join(QStringLiteral(", ")));
  if (!committed) {
    text += tr(". %1 could not be written: %2")
                .arg(FromStd(files.FailedPath().string()), FromStd(files.FailureReason()));
  }
  emit Said(text);
  emit Finished(committed);
}

}  // namespace rfsplitter
