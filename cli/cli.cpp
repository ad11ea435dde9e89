#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "analysis/summary.h"
#include "engine/design.h"
#include "engine/inputs.h"
#include "engine/number_text.h"
#include "engine/quoted.h"
#include "engine/run.h"
#include "engine/topologies.h"
#include "engine/version.h"
#include "exports/exports.h"
#include "files/atomic_file.h"
#include "parts/bom.h"
#include "parts/fit.h"
#include "simfile/simulation_file.h"
#include "tolerance/monte_carlo.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;

constexpr char kFooter[] =
    "Computes the lumped-element values of the selected circuit, prints the\n"
    "component listing and writes the simulation file (.i) into DIR, or into the\n"
    "current directory. Numbers are read and written with a decimal point,\n"
    "whatever the locale.\n"
    "\n"
    "Exit status: 0 done, 1 a file or standard output could not be written,\n"
    "2 usage error (or, with --strict, an input that had to be repaired),\n"
    "3 the circuit could not be analysed.";

struct Options {
  Topology topology = Topology::kNarrowSplitter;
  std::string frequency = DefaultFrequencyText();
  std::string impedance = DefaultImpedanceText();
  fs::path directory;
  bool strict = false;
  bool analyze = false;
  bool touchstone = false;
  bool spice = false;
  fs::path plot;
  // Parts: a standard series name or a parts file, for every kind or per kind.
  std::string parts, inductors, capacitors, resistors;
  FitMethod fit = FitMethod::kBest;
  double q_inductor = 0;
  double q_capacitor = 0;
  fs::path bom;
  fs::path json;
  // Tolerances and yield.
  std::string tolerance_inductor = "0", tolerance_capacitor = "0", tolerance_resistor = "0";
  int monte_carlo = 0;
  uint64_t seed = 1;
  Distribution distribution = Distribution::kUniform;
  YieldLimits limits;

  bool BuildsFromParts() const {
    return !parts.empty() || !inductors.empty() || !capacitors.empty() || !resistors.empty();
  }
  bool Built() const { return BuildsFromParts() || q_inductor > 0 || q_capacitor > 0; }
};

constexpr std::string_view kTopologyOptions[] = {"narrow-splitter", "narrow-quad", "wide-quad"};

std::optional<Topology> TopologyNamed(const std::string& name) {
  for (size_t i = 0; i < std::size(kTopologyOptions); ++i) {
    if (name == kTopologyOptions[i]) return kAllTopologies[i];
  }
  return std::nullopt;
}

std::string_view TopologyOption(Topology topology) {
  return kTopologyOptions[static_cast<size_t>(topology)];
}

struct UsageError {
  std::string message;
};

// CLI11 reports its own errors; anything this program adds is a UsageError.
std::optional<Options> Parse(const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err, int& status) {
  Options options;
  CLI::App app("", "rfsplitter-cli");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string(kVersion));
  app.get_formatter()->column_width(24);

  const auto non_empty = CLI::Validator(
      [](std::string& value) {
        return value.empty() ? std::string("needs a non-empty value") : "";
      },
      "", "non-empty");
  const auto topology = CLI::Validator(
      [](std::string& name) {
        return TopologyNamed(name) ? std::string() : "unknown topology " + Quoted(name);
      },
      "", "topology");
  std::string topology_name;
  app.add_option("--topology", topology_name,
                 "narrow-splitter: 3 dB narrow-band in-phase splitter\n"
                 "narrow-quad: narrow-band 90-degree hybrid\n"
                 "wide-quad: wide-band two-section 90-degree hybrid")
      ->required()
      ->check(topology)
      ->option_text("NAME");
  app.add_option("--frequency", options.frequency,
                 "design frequency in MHz, 0.001 to 50000 (default 12.1)")
      ->option_text("TEXT");
  app.add_option("--impedance", options.impedance,
                 "characteristic impedance in ohms, 1 to 500 (default 50)")
      ->option_text("TEXT");
  app.add_option("--directory", options.directory, "where the simulation file and the exports go")
      ->check(non_empty)
      ->option_text("DIR");
  app.add_flag("--strict", options.strict,
               "an empty, non-numeric or out-of-range input is a usage error\n"
               "instead of being replaced by the default");
  app.add_flag("--analyze", options.analyze,
               "print the response at the design frequency and the usable\n"
               "band (|S11| <= -15 dB, outputs within 0.5 dB of -3.01 dB)");
  app.add_flag("--touchstone", options.touchstone,
               "write the S-parameters over the file's sweep beside it\n"
               "(Touchstone 1.1, .s3p or .s4p)");
  app.add_flag("--spice", options.spice,
               "write an ngspice netlist (.cir) with an S-parameter\n"
               "analysis over the same sweep beside it");
  app.add_option("--plot", options.plot, "draw |S21|, |S31|, |S32| and |S11| over the sweep")
      ->check(non_empty)
      ->option_text("FILE.svg");
  const std::string parts_help =
      " from a standard series (E6, E12, E24, E48,\n"
      "E96, E192) or a parts file (one value a line: 18n, 18 nH, 0.1 pF, 82)";
  app.add_option("--parts", options.parts, "build every part" + parts_help)
      ->check(non_empty)
      ->option_text("SERIES|FILE");
  app.add_option("--inductors", options.inductors,
                 "the inductors only (a kind left out stays ideal)")
      ->check(non_empty)
      ->option_text("SERIES|FILE");
  app.add_option("--capacitors", options.capacitors, "the capacitors only")
      ->check(non_empty)
      ->option_text("SERIES|FILE");
  app.add_option("--resistors", options.resistors, "the resistor only")
      ->check(non_empty)
      ->option_text("SERIES|FILE");
  const std::map<std::string, FitMethod> fits = {
      {"nearest", FitMethod::kNearest}, {"retune", FitMethod::kRetune}, {"best", FitMethod::kBest}};
  app.add_option("--fit", options.fit,
                 "nearest: every value to its nearest standard value\n"
                 "retune: inductors nearest, capacitors recomputed for them\n"
                 "best: the combination closest to the ideal response (default)")
      ->transform(CLI::CheckedTransformer(fits).description(""))
      ->option_text("METHOD");
  app.add_option("--q-inductor", options.q_inductor,
                 "inductor quality factor at the design frequency (default: lossless)")
      ->check(CLI::PositiveNumber.description(""))
      ->option_text("Q");
  app.add_option("--q-capacitor", options.q_capacitor,
                 "capacitor quality factor (default: lossless)")
      ->check(CLI::PositiveNumber.description(""))
      ->option_text("Q");
  app.add_option("--tolerance-inductor", options.tolerance_inductor,
                 "inductor tolerance: 5% or an absolute 0.2n (default 0)")
      ->option_text("T");
  app.add_option("--tolerance-capacitor", options.tolerance_capacitor,
                 "capacitor tolerance: 2% or an absolute 0.1p (default 0)")
      ->option_text("T");
  app.add_option("--tolerance-resistor", options.tolerance_resistor,
                 "resistor tolerance: 1% (default 0)")
      ->option_text("T");
  app.add_option("--monte-carlo", options.monte_carlo,
                 "sample N boards (1 to 1000000) and report the yield, the\n"
                 "spread and the part whose tolerance matters most")
      ->check(CLI::Range(1, 1000000).description(""))
      ->option_text("N");
  app.add_option("--seed", options.seed, "the boards' random seed (default 1)")->option_text("S");
  const std::map<std::string, Distribution> distributions = {{"uniform", Distribution::kUniform},
                                                             {"normal", Distribution::kNormal}};
  app.add_option("--distribution", options.distribution,
                 "uniform within +-T (default) or normal with sigma T/3")
      ->transform(CLI::CheckedTransformer(distributions).description(""))
      ->option_text("NAME");
  app.add_option("--limit-match", options.limits.match_db,
                 "a board passes with |S11| at most this (-15 dB)")
      ->option_text("DB");
  app.add_option("--limit-isolation", options.limits.isolation_db,
                 "and every isolation at most this (-15 dB)")
      ->option_text("DB");
  app.add_option("--limit-imbalance", options.limits.imbalance_db,
                 "and | |S21| - |S31| | at most this (0.5 dB)")
      ->check(CLI::NonNegativeNumber.description(""))
      ->option_text("DB");
  app.add_option("--limit-phase", options.limits.phase_deg,
                 "and the phase difference within this of 0 or 90 (5 deg)")
      ->check(CLI::NonNegativeNumber.description(""))
      ->option_text("DEG");
  app.add_option("--yield-band", options.limits.band_percent,
                 "check at 21 points across f0 (1 -+ PERCENT/200) too")
      ->check(CLI::Range(0.0, 200.0).description(""))
      ->option_text("PERCENT");
  app.add_option("--bom", options.bom, "write the parts list as CSV")
      ->check(non_empty)
      ->option_text("FILE.csv");
  app.add_option("--json", options.json, "write the whole run as JSON, for scripts")
      ->check(non_empty)
      ->option_text("FILE.json");

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::Success& e) {
    // --help or --version
    status = app.exit(e, out, err);
    return std::nullopt;
  } catch (const CLI::ParseError& e) {
    err << "rfsplitter-cli: " << EscapeControls(e.what()) << "\n\n" << app.help();
    status = kExitUsage;
    return std::nullopt;
  }
  options.topology = *TopologyNamed(topology_name);
  return options;
}

// With --strict, an input the run would repair is refused before anything
// is written.
std::optional<UsageError> CheckStrictly(const Options& options) {
  const struct {
    const char* name;
    const std::string& text;
    double lowest, highest;
    const char* unit;
  } inputs[] = {
      {"--frequency", options.frequency, kLowestFrequencyMhz, kHighestFrequencyMhz, "MHz"},
      {"--impedance", options.impedance, kLowestImpedanceOhms, kHighestImpedanceOhms, "ohms"}};
  for (const auto& input : inputs) {
    const std::optional<ParsedNumber> number = ParseNumber(input.text);
    const std::string what = std::string(input.name) + " " + Quoted(input.text);
    if (!number) return UsageError{what + " is not a number"};
    if (!number->representable || number->value < input.lowest || number->value > input.highest) {
      return UsageError{what + " is outside " + NumberText(input.lowest) + " to " +
                        NumberText(input.highest) + " " + input.unit};
    }
  }
  return std::nullopt;
}

// A DesignWindow on the console. Texts the run repairs without a warning
// (empty or not a number) are told on standard error too, so that a script
// sees which value was used.
class ConsoleWindow : public DesignWindow {
 public:
  ConsoleWindow(const Options& options, std::ostream& out, std::ostream& err)
      : frequency_(options.frequency),
        impedance_(options.impedance),
        topology_(options.topology),
        out_(out),
        err_(err) {}

  std::string FrequencyText() const override { return frequency_; }
  void SetFrequencyText(const std::string& text) override {
    NoteRepair("frequency", frequency_, text);
    frequency_ = text;
  }
  std::string ImpedanceText() const override { return impedance_; }
  void SetImpedanceText(const std::string& text) override {
    NoteRepair("impedance", impedance_, text);
    impedance_ = text;
  }
  Topology SelectedTopology() const override { return topology_; }
  void ClearListing() override {}
  void AppendToListing(const std::string& text) override {
    std::string line = text;
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
      line.replace(line.size() - 2, 2, "\n");
    }
    out_ << line;
  }
  void Warn(const std::string& text) override {
    err_ << "warning: " << text << '\n';
    warned_ = true;
  }
  void ReportFileFailure(const std::string& file_name, const std::string& reason) override {
    err_ << "rfsplitter-cli: could not write " << Quoted(file_name) << ": " << reason << '\n';
    failed_ = true;
  }

  bool failed() const { return failed_; }

 private:
  void NoteRepair(const char* what, const std::string& old_text, const std::string& new_text) {
    if (warned_) {
      warned_ = false;  // the warning said it already
      return;
    }
    err_ << "note: " << what << " " << Quoted(old_text) << " is "
         << (old_text.empty() ? "empty" : "not a number") << "; using " << new_text << '\n';
  }

  std::string frequency_;
  std::string impedance_;
  Topology topology_;
  std::ostream& out_;
  std::ostream& err_;
  bool warned_ = false;
  bool failed_ = false;
};

// Passes every step to the real writer and keeps the design it was given,
// for the analysis and the exports after the run.
class DesignKeepingSink : public DesignFileSink {
 public:
  explicit DesignKeepingSink(DesignFileSink& inner) : inner_(inner) {}
  bool Create(Topology topology, float f) override { return inner_.Create(topology, f); }
  bool WriteHeader(Topology topology, float f, float z0) override {
    return inner_.WriteHeader(topology, f, z0);
  }
  bool WriteCircuit(const Design& design, float z0) override {
    design_ = design;
    return inner_.WriteCircuit(design, z0);
  }
  bool WriteSweepAndClose(double f_hz) override { return inner_.WriteSweepAndClose(f_hz); }
  std::string FileName() const override { return inner_.FileName(); }
  std::string FailureReason() const override { return inner_.FailureReason(); }

  const std::optional<Design>& design() const { return design_; }

 private:
  DesignFileSink& inner_;
  std::optional<Design> design_;
};

// Reads the inputs as a run will, without telling anyone: the names of the
// run's files depend on the values it settles on.
class SilentWindow : public DesignWindow {
 public:
  explicit SilentWindow(const Options& options)
      : frequency_(options.frequency), impedance_(options.impedance) {}
  std::string FrequencyText() const override { return frequency_; }
  void SetFrequencyText(const std::string& text) override { frequency_ = text; }
  std::string ImpedanceText() const override { return impedance_; }
  void SetImpedanceText(const std::string& text) override { impedance_ = text; }
  Topology SelectedTopology() const override { return Topology::kNarrowSplitter; }
  void ClearListing() override {}
  void AppendToListing(const std::string&) override {}
  void Warn(const std::string&) override {}
  void ReportFileFailure(const std::string&, const std::string&) override {}

 private:
  std::string frequency_;
  std::string impedance_;
};

// The files a run will write, named before anything is written, so that two
// of them can never land on the same path.
std::vector<std::pair<std::string, fs::path>> OutputsOf(const Options& options) {
  SilentWindow window(options);
  DesignInputs inputs;
  inputs.frequency_mhz = ReadFrequency(window);
  inputs.impedance_ohms = ReadImpedance(window);
  const Design design = ComputeDesign(options.topology, inputs);
  std::vector<std::pair<std::string, fs::path>> outputs = {
      {"simulation file",
       options.directory / SimulationFileName(design.topology, inputs.frequency_mhz)}};
  const Netlist netlist = IdealNetlist(design);
  if (options.touchstone) {
    outputs.emplace_back("Touchstone file", options.directory / TouchstoneFileName(netlist));
  }
  if (options.spice) {
    outputs.emplace_back("ngspice netlist", options.directory / SpiceFileName(netlist));
  }
  if (!options.plot.empty()) outputs.emplace_back("--plot", options.plot);
  if (!options.bom.empty()) outputs.emplace_back("--bom", options.bom);
  if (!options.json.empty()) outputs.emplace_back("--json", options.json);
  return outputs;
}

// The same file, as far as can be told before it exists.
std::string Identity(const fs::path& path) {
  std::error_code ignored;
  return fs::weakly_canonical(fs::absolute(path), ignored).lexically_normal().string();
}

std::optional<UsageError> CheckDistinct(const Options& options) {
  const auto outputs = OutputsOf(options);
  std::vector<std::string> identities;
  identities.reserve(outputs.size());
  for (const auto& output : outputs) identities.push_back(Identity(output.second));
  for (size_t i = 0; i < outputs.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (identities[i] == identities[j]) {
        return UsageError{outputs[i].first + " " + Quoted(outputs[i].second.string()) +
                          " is the same file as the " + outputs[j].first + " of this run"};
      }
    }
  }
  return std::nullopt;
}

// Standard error is unbuffered: a line put together first goes out in one
// write rather than three.
void ReportWritten(std::ostream& err, const std::string& file_name) {
  err << "wrote " + Quoted(file_name) + "\n";
}

bool WriteOutput(const fs::path& path, const std::string& text, std::ostream& err) {
  const std::string failure = WriteFileAtomically(path, text);
  if (failure.empty()) {
    ReportWritten(err, path.string());
    return true;
  }
  err << "rfsplitter-cli: could not write " << Quoted(path.string()) << ": " << failure << '\n';
  return false;
}

// Reads the tolerance options; a bad one is a usage error, found before
// anything is written.
std::optional<MonteCarloSettings> ReadTolerances(const Options& options, std::string& error) {
  MonteCarloSettings settings;
  settings.samples = options.monte_carlo;
  settings.seed = options.seed;
  settings.distribution = options.distribution;
  settings.limits = options.limits;
  settings.q_inductor = options.q_inductor;
  settings.q_capacitor = options.q_capacitor;
  settings.spread_samples = options.plot.empty() ? 0 : 10000;
  const struct {
    const char* name;
    const std::string& text;
    ElementKind kind;
    Tolerance& tolerance;
  } kinds[] = {{"--tolerance-inductor", options.tolerance_inductor, ElementKind::kInductor,
                settings.inductor},
               {"--tolerance-capacitor", options.tolerance_capacitor, ElementKind::kCapacitor,
                settings.capacitor},
               {"--tolerance-resistor", options.tolerance_resistor, ElementKind::kResistor,
                settings.resistor}};
  for (const auto& k : kinds) {
    std::string why;
    const std::optional<Tolerance> t = ParseTolerance(k.text, k.kind, why);
    if (!t) {
      error = std::string(k.name) + " " + Quoted(k.text) + " " + why;
      return std::nullopt;
    }
    k.tolerance = *t;
  }
  return settings;
}

// Reads the parts options into series; a bad name or parts file is a usage
// error, found before anything is written.
std::optional<PartsChoice> ReadParts(const Options& options, std::string& error) {
  PartsChoice choice;
  choice.method = options.fit;
  choice.q_inductor = options.q_inductor;
  choice.q_capacitor = options.q_capacitor;
  const struct {
    ElementKind kind;
    const std::string& own;
    std::optional<PartSeries>& series;
  } kinds[] = {{ElementKind::kInductor, options.inductors, choice.inductors},
               {ElementKind::kCapacitor, options.capacitors, choice.capacitors},
               {ElementKind::kResistor, options.resistors, choice.resistors}};
  for (const auto& k : kinds) {
    const std::string& source = k.own.empty() ? options.parts : k.own;
    if (source.empty()) continue;
    if (std::optional<PartSeries> standard = PartSeries::Standard(source)) {
      k.series = std::move(standard);
      continue;
    }
    std::ifstream file(source, std::ios::binary);
    if (!file) {
      error = Quoted(source) + " is neither a standard series (E6 to E192) nor a readable file";
      return std::nullopt;
    }
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    const ElementKind kind[] = {k.kind};
    std::vector<PartSeries> series = ReadPartsFile(text, source, kind, error);
    if (series.empty()) {
      error = EscapeControls(error);
      return std::nullopt;
    }
    k.series = std::move(series.front());
  }
  return choice;
}

nlohmann::ordered_json PartsJson(const Netlist& ideal, const Netlist& circuit,
                                 const PartsChoice* choice) {
  nlohmann::ordered_json parts = nlohmann::ordered_json::array();
  for (size_t i = 0; i < circuit.elements.size(); ++i) {
    const NetlistElement& e = circuit.elements[i];
    const double ideal_value = ideal.elements[i].value;
    const PartSeries* series = choice ? choice->SeriesFor(e.kind) : nullptr;
    parts.push_back({{"name", e.name},
                     {"kind", KindName(e.kind)},
                     {"value", e.value},
                     {"ideal", ideal_value},
                     {"series", series ? series->name() : "ideal"},
                     {"error_percent", 100 * (e.value - ideal_value) / ideal_value},
                     {"loss_ohms", e.loss_ohms}});
  }
  return parts;
}

nlohmann::ordered_json ResponseJson(const DesignSummary& s) {
  const auto db = [](Complex v) { return MagnitudeDb(v); };
  nlohmann::ordered_json response = {{"at_mhz", s.frequency_hz / 1e6},
                                     {"s21_db", db(s.s21)},
                                     {"s21_deg", PhaseDegrees(s.s21)},
                                     {"s31_db", db(s.s31)},
                                     {"s31_deg", PhaseDegrees(s.s31)},
                                     {"phase_difference_deg", s.phase_difference_degrees},
                                     {"s11_db", db(s.s11)},
                                     {"s32_db", db(s.s32)}};
  if (s.s41) response["s41_db"] = db(*s.s41);
  response["insertion_loss_db"] = s.insertion_loss_db;
  response["best_match_mhz"] = s.best_match_hz / 1e6;
  response["band_mhz"] =
      s.band ? nlohmann::ordered_json::array({s.band->low_hz / 1e6, s.band->high_hz / 1e6})
             : nlohmann::ordered_json(nullptr);
  return response;
}

// The analysis and export options after a successful run.
int AnalyzeAndExport(const Options& options, const PartsChoice& choice,
                     const MonteCarloSettings& tolerances, const Design& design, std::ostream& out,
                     std::ostream& err) {
  const Netlist ideal = IdealNetlist(design);
  std::optional<BuiltCircuit> built;
  if (options.Built()) built = FitParts(design, choice);
  const Netlist& circuit = built ? built->netlist : ideal;
  std::optional<MonteCarloResult> monte_carlo;
  if (options.monte_carlo > 0) monte_carlo = RunMonteCarlo(circuit, tolerances);

  std::string error;
  std::optional<DesignSummary> ideal_summary, built_summary;
  if (options.analyze || !options.json.empty()) {
    ideal_summary = Summarize(ideal, error);
    if (ideal_summary && built) built_summary = Summarize(circuit, error);
    if (!ideal_summary || (built && !built_summary)) {
      err << "rfsplitter-cli: analysis failed: " << error << '\n';
      return kExitAnalysisFailure;
    }
  }
  if (options.analyze) {
    if (built) {
      out << '\n' << PartsTableText(ideal, circuit, choice);
      out << '\n' << ComparisonText(ideal, *ideal_summary, *built_summary);
    } else {
      out << '\n' << SummaryText(ideal, *ideal_summary);
    }
    if (monte_carlo) out << '\n' << MonteCarloText(circuit, tolerances, *monte_carlo);
  }
  bool ok = true;
  if (options.spice) {
    ok = WriteOutput(options.directory / SpiceFileName(circuit), SpiceNetlist(circuit), err) && ok;
  }
  if (options.touchstone || !options.plot.empty()) {
    const SweepResponse response = AnalyzeSweep(circuit, error);
    const SweepResponse ideal_response =
        built && !options.plot.empty() ? AnalyzeSweep(ideal, error) : SweepResponse{};
    if (response.frequencies_hz.empty() ||
        (built && !options.plot.empty() && ideal_response.frequencies_hz.empty())) {
      err << "rfsplitter-cli: analysis failed: " << error << '\n';
      return kExitAnalysisFailure;
    }
    if (options.touchstone) {
      ok = WriteOutput(options.directory / TouchstoneFileName(circuit),
                       TouchstoneText(circuit, response), err) &&
           ok;
    }
    if (!options.plot.empty()) {
      PlotData data{&response, built ? &ideal_response : nullptr,
                    monte_carlo && monte_carlo->spread ? &*monte_carlo->spread : nullptr};
      ok = WriteOutput(options.plot, SvgPlot(circuit, data), err) && ok;
    }
  }
  if (!options.bom.empty()) {
    ok = WriteOutput(options.bom, BomCsv(ideal, circuit, choice), err) && ok;
  }
  if (!options.json.empty()) {
    nlohmann::ordered_json run = {{"topology", std::string(TopologyOption(design.topology))},
                                  {"frequency_mhz", design.inputs.frequency_mhz},
                                  {"impedance_ohms", design.inputs.impedance_ohms},
                                  {"ideal",
                                   {{"parts", PartsJson(ideal, ideal, nullptr)},
                                    {"response", ResponseJson(*ideal_summary)}}}};
    if (built) {
      run["built"] = {{"fit", choice.AnyParts() ? FitName(choice.method) : "ideal"},
                      {"parts", PartsJson(ideal, circuit, &choice)},
                      {"response", ResponseJson(*built_summary)}};
    }
    if (monte_carlo) {
      const MonteCarloResult& r = *monte_carlo;
      nlohmann::ordered_json percentiles = nlohmann::ordered_json::object();
      for (const auto& [name, p] : r.percentiles) percentiles[name] = {p.p5, p.p50, p.p95};
      nlohmann::ordered_json sensitivity = nlohmann::ordered_json::array();
      for (const auto& part : r.sensitivity) {
        sensitivity.push_back(
            {{"part", part.part}, {"yield_percent_alone", part.yield_percent_alone}});
      }
      run["monte_carlo"] = {{"samples", r.samples},
                            {"seed", r.seed},
                            {"distribution", DistributionName(r.distribution)},
                            {"yield_percent", r.yield_percent},
                            {"yield_ci95", {r.ci95_low, r.ci95_high}},
                            {"percentiles", percentiles},
                            {"sensitivity", sensitivity}};
    }
    ok = WriteOutput(options.json, run.dump(2) + "\n", err) && ok;
  }
  return ok ? kExitOk : kExitFileFailure;
}

int Run(const Options& options, const PartsChoice& choice, const MonteCarloSettings& tolerances,
        std::ostream& out, std::ostream& err) {
  ConsoleWindow window(options, out, err);
  SimulationFileWriter writer(options.directory);
  DesignKeepingSink sink(writer);
  RunDesign(window, sink);
  if (window.failed() || !sink.design()) return kExitFileFailure;
  ReportWritten(err, writer.FileName());
  return AnalyzeAndExport(options, choice, tolerances, *sink.design(), out, err);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  const std::optional<Options> options = Parse(args, out, err, status);
  if (!options) return status;
  std::optional<UsageError> usage = options->strict ? CheckStrictly(*options) : std::nullopt;
  if (!usage) usage = CheckDistinct(*options);
  std::string parts_error;
  const std::optional<PartsChoice> choice = ReadParts(*options, parts_error);
  if (!usage && !choice) usage = UsageError{parts_error};
  const std::optional<MonteCarloSettings> tolerances = ReadTolerances(*options, parts_error);
  if (!usage && !tolerances) usage = UsageError{parts_error};
  if (usage) {
    err << "rfsplitter-cli: " << usage->message << '\n';
    return kExitUsage;
  }
  status = Run(*options, *choice, *tolerances, out, err);
  // A listing lost on a full disk must not pass for success.
  if (!out.flush()) {
    err << "rfsplitter-cli: could not write to standard output\n";
    status = kExitFileFailure;
  }
  if (!err.flush()) status = kExitFileFailure;
  return status;
}

}  // namespace rfsplitter
