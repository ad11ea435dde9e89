#include "cli/cli.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli/console.h"
#include "cli/options.h"
#include "files/atomic_file.h"
#include "study/chooser.h"
#include "study/outputs.h"
#include "study/report.h"

namespace rfsplitter {
namespace {

// Standard error is unbuffered: each line put together first goes out in
// one write.
void Say(std::ostream& stream, const std::string& text) { stream << text; }

int Run(const RunPlan& plan, std::ostream& out, std::ostream& err) {
  // Every output named, told apart from the others and from the run's
  // inputs, and found writable before anything is computed or written.
  StudyRequest request = plan.request;
  const std::vector<PlannedOutput> outputs =
      PlanOutputs(request.RequestedForm(), request.inputs, plan.outputs);
  AskForOutputs(outputs, request);
  const OutputCheck check = CheckOutputs(outputs, plan.inputs);
  if (check.clash) {
    Say(err, ErrorLine(*check.clash));
    return kExitUsage;
  }
  if (check.unresolved) {
    Say(err, CouldNotWriteLine(check.unresolved->first, check.unresolved->second));
    return kExitFileFailure;
  }
  // The KiCad project's folder is made for it once the run has its
  // numbers; until then only its place is checked.
  const std::filesystem::path kicad_folder = plan.outputs.kicad.empty()
                                                 ? std::filesystem::path()
                                                 : plan.outputs.directory / plan.outputs.kicad;
  std::error_code no_folder;
  const bool make_folder =
      !kicad_folder.empty() && !std::filesystem::exists(kicad_folder, no_folder);
  for (const PlannedOutput& o : outputs) {
    const bool in_new_folder = make_folder && o.path.parent_path() == kicad_folder;
    const std::filesystem::path& checked = in_new_folder ? kicad_folder : o.path;
    if (const std::string why = CheckWritable(checked); !why.empty()) {
      Say(err, CouldNotWriteLine(checked, why));
      return kExitFileFailure;
    }
  }

  const StudyOutcome outcome = RunStudy(request);
  if (outcome.status == StudyOutcome::Status::kRefused) {
    Say(err, ErrorLine(outcome.error));
    return kExitUsage;
  }
  if (outcome.status == StudyOutcome::Status::kFailed) {
    Say(err, ErrorLine(outcome.error + "; nothing was written"));
    return kExitFileFailure;
  }
  Say(err, RepairText(plan.repairs));
  for (const std::string& note : plan.notes) Say(err, "note: " + note + "\n");
  Say(out, ListingText(DesignOf(request)));
  if (outcome.status != StudyOutcome::Status::kDone) {
    Say(err, ErrorLine("analysis failed: " + outcome.error + "; nothing was written"));
    return kExitAnalysisFailure;
  }
  const StudyResult& result = *outcome.result;
  for (const std::string& warning : result.warnings) Say(err, "warning: " + warning + "\n");
  if (plan.analyze) {
    Say(out, AnalysisText(result));
  } else if (result.monte_carlo) {
    Say(out, YieldLine(result));
  }
  if (result.stress) Say(out, StressText(result));

  if (make_folder) {
    std::error_code error;
    std::filesystem::create_directory(kicad_folder, error);
    if (error) {
      Say(err, CouldNotWriteLine(kicad_folder, error.message() + "; nothing was written"));
      return kExitFileFailure;
    }
  }

  // All texts are written before any replaces its file, so that a failure
  // while writing leaves every earlier file as it was.
  FileSet files;
  std::vector<std::filesystem::path> targets;
  for (const PlannedOutput& o : outputs) targets.push_back(o.path);
  if (plan.session_file) targets.push_back(plan.session_file->first);
  files.Lock(targets);
  for (const PlannedOutput& o : outputs) {
    if (!files.Stage(o.path, OutputText(o.kind, result))) {
      Say(err,
          CouldNotWriteLine(files.FailedPath(), files.FailureReason() + "; nothing was written"));
      return kExitFileFailure;
    }
  }
  if (plan.session_file && !files.Stage(plan.session_file->first, plan.session_file->second)) {
    Say(err,
        CouldNotWriteLine(files.FailedPath(), files.FailureReason() + "; nothing was written"));
    return kExitFileFailure;
  }
  const bool committed = files.Commit();
  for (const std::filesystem::path& path : files.Replaced()) Say(err, WroteLine(path));
  if (!committed) {
    Say(err, CouldNotWriteLine(files.FailedPath(), files.FailureReason()));
    return kExitFileFailure;
  }
  return kExitOk;
}

// --choose: the table and the pick; the choice as JSON with --json.
int RunChoice(const ChoiceRequest& request, const RunPlan& plan, std::ostream& out,
              std::ostream& err) {
  std::string error;
  const std::optional<Choice> choice = Choose(request, error);
  if (!choice) {
    Say(err, ErrorLine(error));
    return kExitUsage;
  }
  for (const std::string& note : plan.notes) Say(err, "note: " + note + "\n");
  for (const std::string& note : choice->notes) Say(err, "note: " + note + "\n");
  Say(out, ChoiceText(*choice));
  if (!plan.outputs.json.empty()) {
    const std::filesystem::path path = plan.outputs.directory / plan.outputs.json;
    FileSet files;
    files.Lock({path});
    if (!files.Stage(path, ChoiceJson(*choice)) || !files.Commit()) {
      Say(err, CouldNotWriteLine(files.FailedPath(), files.FailureReason()));
      return kExitFileFailure;
    }
    Say(err, WroteLine(path));
  }
  return choice->chosen ? kExitOk : kExitNoFormCovers;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  std::string help, message;
  const std::optional<CliOptions> options = ParseOptions(args, help, message, status);
  if (options) {
    const std::optional<RunPlan> plan = PlanRun(*options, message);
    if (plan && options->choose) {
      const std::optional<ChoiceRequest> choice = ReadChoice(*options, *plan, message);
      status = choice ? RunChoice(*choice, *plan, out, err) : kExitUsage;
    } else {
      status = plan ? Run(*plan, out, err) : kExitUsage;
    }
  } else {
    Say(out, help);
  }
  if (!message.empty()) Say(err, ErrorLine(message));
  // A listing or a help text lost on a full disk must not pass for success.
  if (!out.flush()) {
    Say(err, ErrorLine("could not write to standard output"));
    status = kExitFileFailure;
  }
  if (!err.flush()) status = kExitFileFailure;
  return status;
}

}  // namespace rfsplitter
