// A design study: from the settled inputs to everything the program can say
// about the circuit. The ideal design, the circuit built from parts with
// their models, their responses and bands against the limits, the Monte Carlo of
// boards and the advice on what fails. Plain C++ without a window or a
// command line: the command line and the window's bench both fill in a
// StudyRequest, run it and show the StudyResult.
#ifndef RFSPLITTER_STUDY_STUDY_H_
#define RFSPLITTER_STUDY_STUDY_H_

#include <optional>
#include <string>
#include <vector>

#include "analysis/limits.h"
#include "analysis/s_parameters.h"
#include "analysis/stress.h"
#include "analysis/summary.h"
#include "engine/design.h"
#include "engine/netlist.h"
#include "engine/part_model.h"
#include "engine/run_control.h"
#include "measure/diagnosis.h"
#include "measure/measurement.h"
#include "parts/fit.h"
#include "tolerance/grades.h"
#include "tolerance/monte_carlo.h"

namespace rfsplitter {

// A measurement of the board to set beside the design, and to diagnose.
struct MeasuredRequest {
  // One N-port file, its name and text; or two-port files, each measured
  // with the other ports loaded.
  std::string file, text;
  std::vector<PairFile> pairs;
  // Each port's reference plane (seconds of matched line; one value: every
  // port), moved before anything is compared; empty: as measured, or as the
  // diagnosis finds them.
  std::vector<double> port_delays_s;
  bool diagnose = false;
};

struct StudyRequest {
  Topology topology = Topology::kNarrowSplitter;
  // A form beyond the three (engine/form.h), which then replaces `topology`.
  std::optional<Form> form;
  Form RequestedForm() const { return form ? *form : FormOf(topology); }
  DesignInputs inputs;  // settled (engine/inputs.h)
  PartsChoice parts;    // a kind without a series stays ideal
  PartModels models;    // the parts' losses and parasitics, and the pads
  Limits limits;
  // The boards to sample, with their tolerances; its limits are taken from
  // the request's own.
  std::optional<MonteCarloSettings> monte_carlo;
  // What to compute beyond the design, the built circuit and the advice.
  bool summaries = false;  // the response at f0 and the bands, ideal and built
  bool sweeps = false;     // the responses over the file's sweep
  bool spread = false;     // the boards' spread over the sweep (with monte_carlo)
  // Parts set by hand after the fit (the bench's steppers): a part's name
  // and its value; its loss follows the value.
  std::vector<std::pair<std::string, double>> part_values;
  // The cheapest tolerance grades (tolerance/grades.h) that give this yield
  // in percent replace the Monte Carlo's tolerances.
  std::optional<double> target_yield_percent;
  // What each part takes at this drive (analysis/stress.h).
  std::optional<StressSettings> stress;

  std::optional<MeasuredRequest> measured;
  bool Built() const { return parts.AnyParts() || models.Any() || !part_values.empty(); }
};

// One part of the circuit as built: what the parts list, the tables and the
// JSON show.
struct PartRow {
  std::string name;  // "L1", as in the netlist
  ElementKind kind = ElementKind::kInductor;
  double ideal = 0;
  double chosen = 0;
  std::string series;    // "E12", the parts file, or "ideal"
  size_t file_line = 0;  // where a parts file offers the value; 0 otherwise
  double error_percent = 0;
  double loss_ohms = 0;
  double effective = 0;            // what the part acts as at f0
  std::optional<KindModel> model;  // the model it was built with, if any
  // An element of two parts (`chosen` is then their sum): two inductors in
  // series or two capacitors in parallel, each part's value and loss.
  struct Pair {
    double values[2];
    double losses[2];
  };
  std::optional<Pair> pair;
};

// A limit that the circuit at its nominal values misses, and where.
struct LimitMiss {
  LimitKind kind = LimitKind::kMatch;
  double value = 0;  // dB or degrees, as the limit
  double limit = 0;
  double frequency_hz = 0;
};

// A part's stress where it is most loaded against its rating.
struct PartStressRow {
  PartStress worst;      // its figures in that scenario
  std::string scenario;  // the scenario's key
  PartRating rating;     // as rated, before the derating (parts/ratings.h)
  std::string rating_source;
  double usage = 0;  // the largest figure over its derated rating
  bool ok = true;    // usage at most 1
};

struct StressReport {
  StressSettings settings;
  std::vector<StressScenario> scenarios;
  std::vector<PartStressRow> parts;  // the circuit's parts in order
};

struct MeasuredResult {
  Measurement measurement;  // its planes moved by `port_delays_s`
  std::vector<double> port_delays_s;
  bool delays_fitted = false;
  DesignSummary summary;
  std::optional<Diagnosis> diagnosis;
  SweepResponse fitted_sweep;  // the fitted board over the measured points
  std::optional<Repair> repair;
  std::optional<DesignSummary> repaired_summary;  // what the repair is predicted to give
};

struct StudyResult {
  StudyRequest request;
  Design design;
  Netlist ideal;
  std::optional<BuiltCircuit> built;
  std::vector<PartRow> parts;
  std::optional<DesignSummary> ideal_summary, built_summary;
  std::optional<SweepResponse> ideal_sweep, built_sweep;
  std::optional<MonteCarloResult> monte_carlo;
  // The tolerances the Monte Carlo drew with (as asked, or the grades a
  // target yield chose), and the target's outcome.
  std::optional<MonteCarloSettings> monte_carlo_settings;
  std::optional<GradeChoice> grades;
  // The limits the nominal circuit misses at f0 (or, with a yield band, the
  // worst place in it): the first thing to mend, before any tolerance.
  std::vector<LimitMiss> nominal_misses;
  std::optional<StressReport> stress;
  std::optional<MeasuredResult> measured;
  // Things the user should know: a part far from its ideal value, ...
  std::vector<std::string> warnings;

  // The circuit the study is about: built when parts or losses were asked
  // for, else the ideal one.
  const Netlist& Circuit() const { return built ? built->netlist : ideal; }
  const std::optional<DesignSummary>& CircuitSummary() const {
    return built ? built_summary : ideal_summary;
  }
  const std::optional<SweepResponse>& CircuitSweep() const {
    return built ? built_sweep : ideal_sweep;
  }
};

struct StudyOutcome {
  enum class Status {
    kDone,
    kRefused,         // the request cannot be carried out: `error` says why
    kAnalysisFailed,  // a node matrix was singular
    kStopped,         // a stop was requested
    kFailed,          // out of memory, or a failure nothing foresaw: `error` says which
  };
  Status status = Status::kDone;
  std::string error;
  std::optional<StudyResult> result;  // with kDone
};

StudyOutcome RunStudy(const StudyRequest& request, const RunControl* control = nullptr);

// The design of a request alone (the equations, no analysis).
Design DesignOf(const StudyRequest& request);

}  // namespace rfsplitter

#endif  // RFSPLITTER_STUDY_STUDY_H_
