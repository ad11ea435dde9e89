// The files a design study writes: which ones a run asks for, their names,
// whether two of them (or one of them and a file the run reads) are the
// same file, and the text of each, made from a StudyResult. The command
// line and the bench write the same bytes for the same study.
#ifndef RFSPLITTER_STUDY_OUTPUTS_H_
#define RFSPLITTER_STUDY_OUTPUTS_H_

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "exports/board.h"
#include "study/study.h"

namespace rfsplitter {

enum class OutputKind {
  kSimulationFile,
  kTouchstone,
  kSpiceNetlist,
  kPlot,
  kPartsList,
  kJson,
  kKicadProject,
  kKicadSchematic,
  kKicadBoard,
  kSchematic,
};

struct OutputChoice {
  // Where the run's files go; a relative plot, parts list or JSON path is
  // taken from here too.
  std::filesystem::path directory;
  bool simulation_file = true;
  bool touchstone = false;
  bool spice = false;
  std::filesystem::path plot, parts_list, json;  // empty: not written
  // A folder for the KiCad project (NAME.kicad_pro, .kicad_sch and
  // .kicad_pcb); relative to `directory`. Empty: none.
  std::filesystem::path kicad;
  // The circuit's schematic as SVG; relative to `directory`. Empty: none.
  std::filesystem::path schematic;
};

struct PlannedOutput {
  OutputKind kind;
  std::string role;  // "simulation file", "--plot", ... for messages
  std::filesystem::path path;
};

// The outputs of a study of `form` at `inputs`, named before anything is
// computed or written.
std::vector<PlannedOutput> PlanOutputs(const Form& form, DesignInputs inputs,
                                       const OutputChoice& choice);

// Asks `request` for what the outputs need: sweeps for the Touchstone file
// and the plot, the response and bands for the plot and the JSON, the
// boards' spread for the plot.
void AskForOutputs(const std::vector<PlannedOutput>& outputs, StudyRequest& request);

// Whether the outputs are distinct files, none of them a file the run
// reads: `clash` says which two are one file (a usage error); `unresolved`
// names an output whose place cannot be worked out, with the system's
// reason (a directory without search permission, a name too long).
struct OutputCheck {
  std::optional<std::string> clash;
  std::optional<std::pair<std::filesystem::path, std::string>> unresolved;
};
struct InputFile {
  std::string role;  // "--parts file"
  std::filesystem::path path;
};
OutputCheck CheckOutputs(const std::vector<PlannedOutput>& outputs,
                         const std::vector<InputFile>& inputs);

// The text of one output.
std::string OutputText(OutputKind kind, const StudyResult& result);

// The parts list as CSV (RFC 4180): a row per part, then a row per distinct
// value with its count; quantities in plain units (H, F, ohm) in columns of
// their own, for a spreadsheet.
std::string PartsListCsv(const StudyResult& result);
// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

// The board of the circuit the study is about, for the KiCad project
// (exports/board.h): each part's value as the parts list writes it, its
// tolerance grade, its rating (as the stress report counts it) and the
// parts file's MPN=.
Board BoardOfStudy(const StudyResult& result);

// The whole run for scripts (the keys are in the README).
std::string JsonText(const StudyResult& result);
// {"family", "ways", "split_db", "sections", "arms"}
std::string FormJson(const Form& form);

// "narrow-splitter", "narrow-quad", "wide-quad": the command line's names.
std::string_view TopologyOption(Topology topology);
std::optional<Topology> TopologyNamed(std::string_view name);

}  // namespace rfsplitter

#endif  // RFSPLITTER_STUDY_OUTPUTS_H_
