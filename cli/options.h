// The command line's options: read with CLI11 as the user typed them, then
// checked and turned into a design study's request and its outputs. Every
// check that can refuse a run happens here or in the run's planning, before
// anything is computed or written.
#ifndef RFSPLITTER_CLI_OPTIONS_H_
#define RFSPLITTER_CLI_OPTIONS_H_

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/inputs.h"
#include "engine/si_value.h"
#include "study/chooser.h"
#include "study/outputs.h"
#include "study/session.h"
#include "study/study.h"

namespace rfsplitter {

// The options as typed; numbers stay text until PlanRun reads them.
struct CliOptions {
  std::string topology;
  std::string ways, split, sections, arms;  // a family's form
  bool choose = false;                      // --choose: weigh the forms for --band
  std::string band, phase;
  std::filesystem::path schematic;
  std::string frequency = DefaultFrequencyText();
  std::string impedance = DefaultImpedanceText();
  std::filesystem::path directory;
  bool strict = false;
  bool analyze = false;
  bool touchstone = false;
  bool spice = false;
  std::filesystem::path plot, bom, json;
  std::string parts, inductors, capacitors, resistors;
  std::string fit;  // empty: yield with a tolerance, else margin
  bool tie_equal_values = false, pairs = false;
  std::string target_yield;
  std::string q_inductor, q_capacitor, q_profile;
  std::string srf_inductor, esl_capacitor, esr_capacitor, cp_resistor, pad_capacitance;
  std::string part_model;
  bool uncompensated = false;
  std::string tolerance_inductor = "0", tolerance_capacitor = "0", tolerance_resistor = "0";
  std::string tolerance_parasitics;
  std::string monte_carlo, seed = "1", distribution = "uniform";
  std::string limit_match, limit_isolation, limit_imbalance, limit_phase, yield_band;
  bool stress = false;
  std::string power, vswr;
  std::filesystem::path kicad;
  std::filesystem::path measured;
  std::vector<std::string> measured_pairs;
  std::string port_delay;
  bool diagnose = false;
  std::filesystem::path session, save_session;
  std::vector<std::string> set;            // PART=VALUE, the session's first
  std::vector<std::string> session_notes;  // what the session's files say
};

// Reads `args` (without the program's name). Returns the options, or
// nothing with `status` set: --help and --version print to `out` and give
// 0; a usage error gives 2 with one line for standard error in `message`.
std::optional<CliOptions> ParseOptions(const std::vector<std::string>& args, std::string& out,
                                       std::string& message, int& status);

// What a run will do.
struct RunPlan {
  StudyRequest request;
  OutputChoice outputs;
  std::vector<InputFile> inputs;     // the files the run reads
  std::vector<InputRepair> repairs;  // the typed inputs the run replaced
  std::vector<std::string> notes;
  bool analyze = false;
  // --save-session: where, and the session's text.
  std::optional<std::pair<std::filesystem::path, std::string>> session_file;
};

// --stress, --power and --vswr into the request; false with `message` set
// for a usage error.
bool ReadStress(const CliOptions& options, StudyRequest& request, std::string& message);

// --measured, --measured-pair, --port-delay and --diagnose: the files read
// into the request; false with `message` set for a usage error or a file
// that cannot be read.
bool ReadMeasured(const CliOptions& options, RunPlan& plan, std::string& message);

// A session's options where the command line did not give them (`given`
// says which it did); its steps before the command line's; notes for the
// parts files that have changed since. False, with `message` set, for a
// file that is no session.
bool MergeSession(const std::string& text, const std::filesystem::path& file,
                  const std::function<bool(std::string_view)>& given, CliOptions& options,
                  std::string& message);
// The session of these options: parts files relative to the session's folder
// when they lie in it, else by their whole paths, with their fingerprints.
std::optional<std::string> SessionOfOptions(const CliOptions& options, std::string& message);
// --set PART=VALUE into the request's hand-set parts; a value the part's
// series does not offer is used with a note.
bool ReadSteps(const CliOptions& options, RunPlan& plan, std::string& message);

// --topology and the form's options (--ways, --split, --sections, --arms)
// into the request: one of the three, or a form of a family.
bool ReadForm(const CliOptions& options, StudyRequest& request, std::string& message);
// Whether a form's option was given.
bool AnyFormOption(const CliOptions& options);
// --ways, --split, --sections and --arms into `form`, as far as given.
bool ReadFormOptions(const CliOptions& options, Form& form, std::string& message);

// A number option in the one value grammar, within [low, high]; `unit` is
// the unit it may carry. Nothing, with `message` set, otherwise.
std::optional<double> ReadNumber(const char* option, const std::string& text, double low,
                                 double high, Unit unit, std::string& message);

// --choose's band and constraints, with the run's impedance, limits, parts
// and tolerances as every candidate's.
std::optional<ChoiceRequest> ReadChoice(const CliOptions& options, const RunPlan& plan,
                                        std::string& message);

// Checks the options and reads the parts files. A usage error sets
// `message` and gives nothing.
std::optional<RunPlan> PlanRun(const CliOptions& options, std::string& message);

}  // namespace rfsplitter

#endif  // RFSPLITTER_CLI_OPTIONS_H_
