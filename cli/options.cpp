#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <sstream>

#include "cli/cli.h"
#include "engine/number_text.h"
#include "engine/quoted.h"
#include "engine/si_value.h"
#include "engine/topologies.h"
#include "engine/version.h"
#include "files/read_file.h"
#include "parts/presets.h"
#include "parts/series.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;

constexpr char kFooter[] =
    "Computes the lumped-element values of the selected circuit, prints the\n"
    "component listing and writes the simulation file (.i) into DIR, or into the\n"
    "current directory; the exports and a relative --plot, --bom or --json go\n"
    "there too. Numbers are read and written with a decimal point, whatever the\n"
    "locale; values take SI prefixes and units (18n, 0.1 pF, 900M, 5%).\n"
    "\n"
    "Exit status: 0 done, 1 a file or standard output could not be written,\n"
    "2 usage error (or, with --strict, an input that had to be repaired),\n"
    "3 the circuit could not be analysed.";

constexpr std::string_view kFits[] = {"nearest", "retune", "best", "margin", "yield"};
constexpr FitMethod kFitMethods[] = {FitMethod::kNearest, FitMethod::kRetune, FitMethod::kBest,
                                     FitMethod::kMargin, FitMethod::kYield};
// The boards of a yield the run implies (the yield fit, a target yield)
// when --monte-carlo does not say how many.
constexpr int kImpliedBoards = 10000;
constexpr std::string_view kDistributions[] = {"uniform", "normal"};
constexpr Distribution kDistributionValues[] = {Distribution::kUniform, Distribution::kNormal};

// The ranges of the number options, as the help and the messages give them.
constexpr double kLimitDb = 200;
constexpr double kHighestImbalanceDb = 20;
constexpr double kHighestPhaseDeg = 180;
// The yield band's lowest point, f0 (1 - band/200), must stay well above 0 Hz.
constexpr double kHighestYieldBand = 190;
constexpr int kMostBoards = 1000000;

std::string NumberOf(double v) { return GeneralText(v, 7); }

// Edit distance, for "did you mean".
size_t Distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Closest(std::string_view word, const std::vector<std::string>& candidates) {
  std::string best;
  size_t best_distance = SIZE_MAX;
  for (const std::string& c : candidates) {
    const size_t d = Distance(word, c);
    if (d < best_distance) best_distance = d, best = c;
  }
  // Only a near miss is worth suggesting.
  return best_distance <= std::max<size_t>(2, word.size() / 3) ? best : std::string();
}

std::string Words(std::span<const std::string_view> words) {
  std::string text;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? " or " : ", ";
    text += words[i];
  }
  return text;
}

// `text` as one of `words`; a usage error names them all.
template <typename T>
std::optional<T> OneOf(const char* option, const std::string& text,
                       std::span<const std::string_view> words, std::span<const T> values,
                       std::string& message) {
  for (size_t i = 0; i < words.size(); ++i) {
    if (text == words[i]) return values[i];
  }
  message = std::string(option) + " " + QuotedShort(text) + " is not one of " + Words(words);
  std::vector<std::string> candidates(words.begin(), words.end());
  if (const std::string near = Closest(text, candidates); !near.empty()) {
    message += " (did you mean " + near + "?)";
  }
  return std::nullopt;
}

// A whole number option: digits only (a seed needs all 64 bits).
std::optional<uint64_t> ReadWhole(const char* option, const std::string& text, uint64_t low,
                                  uint64_t high, std::string& message) {
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, code] = std::from_chars(text.data(), end, value);
  if (text.empty() || code != std::errc() || stop != end || value < low || value > high) {
    message = std::string(option) + " " + QuotedShort(text) + " is not a whole number from " +
              std::to_string(low) + " to " + std::to_string(high);
    return std::nullopt;
  }
  return value;
}

// A match or isolation limit: "20" and "-20" both mean at least 20 dB down.
std::optional<double> ReadLossLimit(const char* option, const std::string& text, double fallback,
                                    std::string& message) {
  if (text.empty()) return fallback;
  const std::optional<double> v =
      ReadNumber(option, text, -kLimitDb, kLimitDb, Unit::kDecibel, message);
  if (!v) return std::nullopt;
  return -std::abs(*v);
}

// Reads the parts options into series, each parts file once.
bool ReadParts(const CliOptions& options, RunPlan& plan, std::string& message) {
  PartsChoice& choice = plan.request.parts;
  const Netlist circuit = IdealNetlist(DesignOf(plan.request));
  const auto used = [&](ElementKind kind) {
    return std::any_of(circuit.elements.begin(), circuit.elements.end(),
                       [&](const NetlistElement& e) { return e.kind == kind; });
  };
  const auto read = [&](const char* option, const std::string& source,
                        std::span<const ElementKind> kinds) {
    if (source.empty()) return true;
    if (std::optional<PartSeries> standard = PartSeries::Standard(source)) {
      for (const ElementKind kind : kinds) choice.Slot(kind) = *standard;
      return true;
    }
    std::string reason;
    const std::optional<std::string> text = ReadSmallFile(source, reason);
    if (!text) {
      // A name that is no file at all was most likely meant as a series.
      message = std::string(option) + " " + QuotedShort(source) +
                (reason.find("No such file") != std::string::npos
                     ? " is neither a standard series (E6 to E192) nor a readable file"
                     : ": " + reason);
      return false;
    }
    plan.inputs.push_back({std::string(option) + " file", source});
    // A measured part's file, named relative to the parts file's folder.
    const fs::path folder = fs::path(source).parent_path();
    // Each file once, however many lines name it.
    std::map<fs::path, std::shared_ptr<const MeasuredPart>> measured;
    const MeasuredReader read_measured =
        [&](const std::string& name, std::string& why) -> std::shared_ptr<const MeasuredPart> {
      const fs::path path = folder / name;
      if (const auto known = measured.find(path); known != measured.end()) return known->second;
      std::string failure;
      const std::optional<std::string> s2p = ReadSmallFile(path, failure);
      if (!s2p) {
        why = "s2p=" + QuotedShort(name) + ": " + failure;
        return nullptr;
      }
      plan.inputs.push_back({"s2p file", path});
      std::shared_ptr<const MeasuredPart> part = ReadTouchstoneTwoPort(*s2p, path.string(), why);
      if (part) measured.emplace(path, part);
      return part;
    };
    std::string error;
    const auto series = ReadPartsFile(*text, source, kinds, error, read_measured);
    if (!series) {
      message = EscapeControls(error);
      return false;
    }
    for (size_t k = 0; k < kinds.size(); ++k) {
      if ((*series)[k]) {
        choice.Slot(kinds[k]) = *(*series)[k];
      } else if (used(kinds[k])) {
        plan.notes.push_back(Quoted(source) + " has no " + std::string(KindName(kinds[k])) +
                             " values; the " + std::string(KindName(kinds[k])) + "s stay ideal");
      }
    }
    return true;
  };
  const ElementKind all[] = {ElementKind::kInductor, ElementKind::kCapacitor,
                             ElementKind::kResistor};
  if (!read("--parts", options.parts, all)) return false;
  const struct {
    const char* option;
    const std::string& source;
    ElementKind kind;
  } own[] = {{"--inductors", options.inductors, ElementKind::kInductor},
             {"--capacitors", options.capacitors, ElementKind::kCapacitor},
             {"--resistors", options.resistors, ElementKind::kResistor}};
  for (const auto& k : own) {
    if (k.source.empty()) continue;
    choice.Slot(k.kind).reset();
    if (!read(k.option, k.source, {&k.kind, 1})) return false;
  }
  return true;
}

// The parts' models: a preset, then the single figures given.
bool ReadModels(const CliOptions& options, PartModels& models, std::string& message) {
  if (!options.part_model.empty()) {
    const std::optional<PartModels> preset = ChipPreset(options.part_model);
    if (!preset) {
      message = "--part-model " + QuotedShort(options.part_model) +
                " is not one of 0402, 0603, 0402-mounted or 0603-mounted";
      return false;
    }
    models = *preset;
  }
  for (const auto& [text, model, option] :
       {std::tuple{&options.q_inductor, &models.inductor, "--q-inductor"},
        {&options.q_capacitor, &models.capacitor, "--q-capacitor"}}) {
    if (text->empty()) continue;
    const size_t at = text->find('@');
    const std::optional<double> q =
        ReadNumber(option, text->substr(0, at), kQRange.low, kQRange.high, Unit::kNone, message);
    if (!q) return false;
    model->q = *q;
    model->q_at_hz = 0;
    if (at != std::string::npos) {
      const std::optional<double> f = ReadNumber(option, text->substr(at + 1), kQFrequencyRange.low,
                                                 kQFrequencyRange.high, Unit::kHertz, message);
      if (!f) return false;
      model->q_at_hz = *f;
    }
  }
  if (!options.q_profile.empty()) {
    const std::optional<QProfile> profile = QProfileNamed(options.q_profile);
    if (!profile) {
      message = "--q-profile " + QuotedShort(options.q_profile) +
                " is not one of constant, sqrt or linear";
      return false;
    }
    models.inductor.q_profile = *profile;
  }
  const struct {
    const char* option;
    const std::string& text;
    double low, high;
    Unit unit;
    double& value;
  } figures[] = {{"--srf-inductor", options.srf_inductor, kSrfRange.low, kSrfRange.high,
                  Unit::kHertz, models.inductor.srf_hz},
                 {"--esl-capacitor", options.esl_capacitor, kEslRange.low, kEslRange.high,
                  Unit::kHenry, models.capacitor.esl_h},
                 {"--esr-capacitor", options.esr_capacitor, kEsrRange.low, kEsrRange.high,
                  Unit::kOhm, models.capacitor.esr_ohms},
                 {"--cp-resistor", options.cp_resistor, kShuntCapacitanceRange.low,
                  kShuntCapacitanceRange.high, Unit::kFarad, models.resistor.parallel_c_f},
                 {"--pad-capacitance", options.pad_capacitance, kShuntCapacitanceRange.low,
                  kShuntCapacitanceRange.high, Unit::kFarad, models.pad_capacitance_f}};
  for (const auto& f : figures) {
    if (f.text.empty()) continue;
    const std::optional<double> v = ReadNumber(f.option, f.text, f.low, f.high, f.unit, message);
    if (!v) return false;
    f.value = *v;
  }
  // An SRF given replaces a preset's capacitance across the inductors.
  if (!options.srf_inductor.empty()) models.inductor.parallel_c_f = 0;
  models.compensate = !options.uncompensated;
  return true;
}

std::optional<MonteCarloSettings> ReadMonteCarlo(const CliOptions& options, std::string& message) {
  MonteCarloSettings settings;
  const struct {
    const char* option;
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
      message = std::string(k.option) + " " + QuotedShort(k.text) + " " + why;
      return std::nullopt;
    }
    k.tolerance = *t;
  }
  if (!options.tolerance_parasitics.empty()) {
    const std::optional<double> p = ReadNumber(
        "--tolerance-parasitics", options.tolerance_parasitics, 0, 100, Unit::kPercent, message);
    if (!p) return std::nullopt;
    settings.parasitic_tolerance = *p / 100;
  }
  const std::optional<uint64_t> seed = ReadWhole("--seed", options.seed, 0, UINT64_MAX, message);
  if (!seed) return std::nullopt;
  settings.seed = *seed;
  const std::optional<Distribution> distribution = OneOf<Distribution>(
      "--distribution", options.distribution, kDistributions, kDistributionValues, message);
  if (!distribution) return std::nullopt;
  settings.distribution = *distribution;
  if (!options.yield_band.empty()) {
    const std::optional<double> band = ReadNumber("--yield-band", options.yield_band, 0,
                                                  kHighestYieldBand, Unit::kPercent, message);
    if (!band) return std::nullopt;
    settings.band_percent = *band;
  }
  if (options.monte_carlo.empty()) return settings;
  const std::optional<uint64_t> samples =
      ReadWhole("--monte-carlo", options.monte_carlo, 1, kMostBoards, message);
  if (!samples) return std::nullopt;
  settings.samples = int(*samples);
  return settings;
}

}  // namespace

std::optional<double> ReadNumber(const char* option, const std::string& text, double low,
                                 double high, Unit unit, std::string& message) {
  const std::string what = std::string(option) + " " + QuotedShort(text);
  std::string why;
  const std::optional<SiValue> value = ParseSiValue(text, why);
  if (!value) {
    message = what + " " + why;
    return std::nullopt;
  }
  if (value->unit != Unit::kNone && value->unit != unit) {
    message = what + " has the wrong unit" +
              (unit == Unit::kNone ? std::string("; it takes a plain number")
                                   : "; it takes " + std::string(UnitText(unit)));
    return std::nullopt;
  }
  if (!(value->value >= low && value->value <= high)) {
    message = what + " is outside " + NumberOf(low) + " to " + NumberOf(high);
    return std::nullopt;
  }
  return value->value;
}

std::optional<CliOptions> ParseOptions(const std::vector<std::string>& args, std::string& out,
                                       std::string& message, int& status) {
  status = kExitUsage;
  // CLI11 takes "--json=" as "--json" and then the next argument as its
  // value; an empty value after "=" is a mistake to name, not to guess.
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg.size() > 3 && arg.rfind("--", 0) == 0 && arg.back() == '=' &&
        arg.find('=') == arg.size() - 1) {
      message = arg + " needs a value after the \"=\"";
      return std::nullopt;
    }
  }

  CliOptions options;
  CLI::App app("", "rfsplitter-cli");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string(kVersion));
  app.get_formatter()->column_width(24);
  app.add_option("--topology", options.topology,
                 "narrow-splitter: 3 dB narrow-band in-phase splitter\n"
                 "narrow-quad: narrow-band 90-degree hybrid\n"
                 "wide-quad: wide-band two-section 90-degree hybrid\n"
                 "splitter, quad, ring: a family, its form by the next options")
      ->option_text("NAME");
  app.add_option("--ways", options.ways, "a splitter's outputs, 2 to 4 (default 2)")
      ->option_text("N");
  app.add_option("--split", options.split,
                 "power at port 2 over port 3 in dB, -10 to 10 (default 0)")
      ->option_text("DB");
  app.add_option("--sections", options.sections,
                 "sections, 1 to 3 (an equal two-way splitter or quad; default 1)")
      ->option_text("N");
  app.add_option("--arms", options.arms,
                 "low-pass or high-pass quarter-wave arms (default low-pass)")
      ->option_text("FORM");
  app.add_flag("--choose", options.choose,
               "weigh every form for --band (with --ways, --split, --phase, the limits, the\n"
               "parts and tolerances) and pick one");
  app.add_option("--band", options.band, "the band to cover, LO-HI in MHz (with --choose)")
      ->option_text("LO-HI");
  app.add_option("--phase", options.phase,
                 "the outputs' phase difference: 0, 90 or 180 (with --choose)")
      ->option_text("DEG");
  app.add_option("--schematic", options.schematic, "write the circuit's schematic as SVG")
      ->option_text("FILE");
  app.add_option("--frequency", options.frequency,
                 "design frequency in MHz, 0.001 to 50000 (default 12.1)")
      ->option_text("TEXT");
  app.add_option("--impedance", options.impedance,
                 "characteristic impedance in ohms, 1 to 500 (default 50)")
      ->option_text("TEXT");
  app.add_option("--directory", options.directory,
                 "where the simulation file, the exports and a relative\n"
                 "--plot, --bom or --json go (default: the current one)")
      ->option_text("DIR");
  app.add_flag("--strict", options.strict,
               "an empty, non-numeric or out-of-range input is a usage error\n"
               "instead of being replaced by the default");
  app.add_flag("--analyze", options.analyze,
               "print the response at the design frequency, the bands in\n"
               "which each limit holds and what the circuit misses");
  app.add_flag("--touchstone", options.touchstone,
               "write the S-parameters over the file's sweep beside it\n"
               "(Touchstone 1.1, .s3p or .s4p)");
  app.add_flag("--spice", options.spice,
               "write an ngspice netlist (.cir) with an S-parameter\n"
               "analysis over the same sweep beside it");
  app.add_option("--plot", options.plot,
                 "draw the response over the sweep, the phase error and\n"
                 "the imbalance, the usable band shaded")
      ->option_text("FILE.svg");
  const std::string parts_help =
      " from a standard series (E6, E12, E24, E48,\n"
      "E96, E192) or a parts file (one value a line: 18n, 18 nH, 0.1 pF, 82)";
  app.add_option("--parts", options.parts, "build every part" + parts_help)
      ->option_text("SERIES|FILE");
  app.add_option("--inductors", options.inductors,
                 "the inductors only (a kind left out stays ideal)")
      ->option_text("SERIES|FILE");
  app.add_option("--capacitors", options.capacitors, "the capacitors only")
      ->option_text("SERIES|FILE");
  app.add_option("--resistors", options.resistors, "the resistor only")->option_text("SERIES|FILE");
  app.add_option("--fit", options.fit,
                 "nearest: every value to its nearest standard value\n"
                 "retune: inductors nearest, capacitors recomputed for them\n"
                 "best: the combination closest to the ideal response\n"
                 "margin: the largest worst margin to the limits (the default\n"
                 "without a tolerance)\n"
                 "yield: the most boards within the limits (the default with one)")
      ->option_text("METHOD");
  app.add_flag("--tie-equal-values", options.tie_equal_values,
               "margin and yield: parts of one ideal value get one part");
  app.add_flag("--pairs", options.pairs,
               "margin and yield: an inductor may be two parts in series, a\n"
               "capacitor two in parallel");
  app.add_option("--target-yield", options.target_yield,
                 "the cheapest tolerance grades that give this yield, 1 to\n"
                 "99.99 % (inductors 1/2/5 %, capacitors 0.05 to 0.5 pF or\n"
                 "1/2/5 %, resistors 1/5 %)")
      ->option_text("PERCENT");
  app.add_option("--q-inductor", options.q_inductor,
                 "inductor quality factor, 1 to 1000000, at the design frequency\n"
                 "or at a frequency given after @ (60@900M); default lossless")
      ->option_text("Q[@F]");
  app.add_option("--q-capacitor", options.q_capacitor,
                 "capacitor quality factor, the same way (default: lossless)")
      ->option_text("Q[@F]");
  app.add_option("--q-profile", options.q_profile,
                 "how an inductor's Q follows frequency: constant, sqrt (skin\n"
                 "effect) or linear (a fixed resistance; the default)")
      ->option_text("NAME");
  app.add_option("--srf-inductor", options.srf_inductor,
                 "the inductors' self-resonance, 1 MHz to 1 THz (3G)")
      ->option_text("F");
  app.add_option("--esl-capacitor", options.esl_capacitor,
                 "the capacitors' series inductance, 0 to 100 nH (0.4n)")
      ->option_text("L");
  app.add_option("--esr-capacitor", options.esr_capacitor,
                 "the capacitors' series resistance, 0 to 100 ohms (0.2)")
      ->option_text("R");
  app.add_option("--cp-resistor", options.cp_resistor,
                 "the resistor's parallel capacitance, 0 to 100 pF")
      ->option_text("C");
  app.add_option("--pad-capacitance", options.pad_capacitance,
                 "a pad's capacitance to ground at every node, 0 to 100 pF")
      ->option_text("C");
  app.add_option("--part-model", options.part_model,
                 "typical chip parts, 0402 or 0603 (-mounted: the capacitors'\n"
                 "ESL with pads and via); the options above change\n"
                 "single figures of it")
      ->option_text("SIZE");
  app.add_flag("--uncompensated", options.uncompensated,
               "buy the ideal values as they are, rather than the values that\n"
               "act as the ideal ones at f0 with their parasitics");
  app.add_option("--tolerance-inductor", options.tolerance_inductor,
                 "inductor tolerance: 0 to 100%, or an absolute 0.2n (default 0)")
      ->option_text("T");
  app.add_option("--tolerance-capacitor", options.tolerance_capacitor,
                 "capacitor tolerance: 0 to 100%, or an absolute 0.1p (default 0)")
      ->option_text("T");
  app.add_option("--tolerance-resistor", options.tolerance_resistor,
                 "resistor tolerance: 0 to 100% (default 0)")
      ->option_text("T");
  app.add_option("--tolerance-parasitics", options.tolerance_parasitics,
                 "every part's ESL, capacitance across and ESR and every pad\n"
                 "drawn within +-P % of its figure on each board (default 0)")
      ->option_text("P");
  app.add_option("--monte-carlo", options.monte_carlo,
                 "sample N boards (1 to 1000000) and report the yield, the\n"
                 "spread and the part whose tolerance matters most")
      ->option_text("N");
  app.add_option("--seed", options.seed,
                 "the boards' random seed, 0 to 18446744073709551615 (default 1)")
      ->option_text("S");
  app.add_option("--distribution", options.distribution,
                 "uniform within +-T (default) or normal with sigma T/3")
      ->option_text("NAME");
  app.add_option("--limit-match", options.limit_match,
                 "|S11| at least this many dB down, 0 to 200 (default 15);\n"
                 "-15 means the same as 15")
      ->option_text("DB");
  app.add_option("--limit-isolation", options.limit_isolation,
                 "every isolation at least this many dB down (default 15)")
      ->option_text("DB");
  app.add_option("--limit-imbalance", options.limit_imbalance,
                 "| |S21| - |S31| | at most this, 0 to 20 dB (default 0.5)")
      ->option_text("DB");
  app.add_option("--limit-phase", options.limit_phase,
                 "phase difference within this of 0 or 90, 0 to 180 deg (default 5)")
      ->option_text("DEG");
  app.add_option("--yield-band", options.yield_band,
                 "a board must pass at 21 points across f0 (1 -+ PERCENT/200)\n"
                 "too, 0 to 190")
      ->option_text("PERCENT");
  app.add_flag("--stress", options.stress,
               "each part's peak voltage, RMS current and dissipation at\n"
               "--power: port 1 driven into matched and into mismatched\n"
               "outputs, and ports 2 and 3 driven as a combiner");
  app.add_option("--power", options.power,
                 "what each driven port's source makes available, in W or\n"
                 "dBm (1 uW to 1 kW)")
      ->option_text("P");
  app.add_option("--vswr", options.vswr,
                 "the outputs' worst mismatch for --stress, 1 to 100 (default 2)")
      ->option_text("V");
  app.add_option("--kicad", options.kicad,
                 "write a KiCad project of the board (schematic and placed,\n"
                 "unrouted footprints) into this folder")
      ->option_text("DIR");
  app.add_option("--measured", options.measured,
                 "the board as measured: a Touchstone file (1.1 or 2.0) of\n"
                 "all its ports, set beside the design")
      ->option_text("FILE.sNp");
  app.add_option("--measured-pair", options.measured_pairs,
                 "the board measured two ports at a time, the others\n"
                 "loaded: the analyser's port 1 on the board's port A, its\n"
                 "port 2 on B (repeat for each pair)")
      ->option_text("A,B=FILE.s2p");
  app.add_option("--port-delay", options.port_delay,
                 "move each port's reference plane by this much line, in ps\n"
                 "(one for every port, or one for each)")
      ->option_text("PS[,PS...]");
  app.add_flag("--diagnose", options.diagnose,
               "fit the built board to the measurement and name the part\n"
               "that is off, and the repair in the parts' series");
  app.add_option("--session", options.session,
                 "run a saved session (.rfsplitter): its design, parts,\n"
                 "models, fit, steps, limits and tolerances; the options\n"
                 "given here win")
      ->option_text("FILE");
  app.add_option("--save-session", options.save_session,
                 "write this run's session, for the bench or a later run")
      ->option_text("FILE.rfsplitter");
  app.add_option("--set", options.set, "set a part by hand after the fit (repeat for each part)")
      ->option_text("PART=VALUE");
  app.add_option("--bom", options.bom, "write the parts list as CSV")->option_text("FILE.csv");
  app.add_option("--json", options.json, "write the whole run as JSON, for scripts")
      ->option_text("FILE.json");

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::Success& e) {
    // --help or --version
    std::ostringstream out_stream, err_stream;
    status = app.exit(e, out_stream, err_stream);
    out = out_stream.str();
    return std::nullopt;
  } catch (const CLI::ExtrasError&) {
    const std::vector<std::string> extras = app.remaining();
    const std::string first = extras.empty() ? std::string() : extras.front();
    if (first.rfind("-", 0) == 0) {
      std::vector<std::string> names;
      for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
      }
      const std::string option = first.substr(0, first.find('='));
      message = "unknown option " + QuotedShort(option);
      if (const std::string near = Closest(option, names); !near.empty()) {
        message += "; did you mean " + near + "?";
      }
    } else {
      message = "unexpected argument " + QuotedShort(first);
    }
    message += " (--help lists every option)";
    return std::nullopt;
  } catch (const CLI::ParseError& e) {
    message = EscapeControls(e.what()) + " (--help lists every option)";
    return std::nullopt;
  }
  if (!options.session.empty()) {
    std::string reason;
    const std::optional<std::string> text = ReadSmallFile(options.session, reason);
    if (!text) {
      message = "--session " + QuotedShort(options.session.string()) + ": " + reason;
      return std::nullopt;
    }
    const auto given = [&](std::string_view name) {
      return app.count("--" + std::string(name)) > 0;
    };
    if (!MergeSession(*text, options.session, given, options, message)) return std::nullopt;
  }
  if (options.topology.empty() && !options.choose) {
    message = "--topology is required (--help lists every option)";
    return std::nullopt;
  }
  // An option given an empty value ("--plot ''") names nothing to use.
  for (const char* name : {"--directory", "--plot", "--bom", "--json", "--parts", "--inductors",
                           "--capacitors", "--resistors", "--kicad", "--schematic"}) {
    const CLI::Option* option = app.get_option(name);
    if (option->count() > 0 && option->as<std::string>().empty()) {
      message = std::string(name) + " needs a non-empty value";
      return std::nullopt;
    }
  }
  status = kExitOk;
  return options;
}

std::optional<RunPlan> PlanRun(const CliOptions& options, std::string& message) {
  RunPlan plan;
  if (!options.choose && !ReadForm(options, plan.request, message)) return std::nullopt;
  plan.analyze = options.analyze;

  const SettledInputs settled = SettleInputs(options.frequency, options.impedance);
  plan.request.inputs = settled.inputs;
  plan.repairs = settled.repairs;
  if (options.strict && !plan.repairs.empty()) {
    const InputRepair& r = plan.repairs.front();
    const bool frequency = r.field == InputField::kFrequency;
    message = std::string(frequency ? "--frequency " : "--impedance ") + QuotedShort(r.typed);
    if (r.kind == RepairKind::kOutOfRange) {
      message += frequency ? " is outside " + NumberText(kLowestFrequencyMhz) + " to " +
                                 NumberText(kHighestFrequencyMhz) + " MHz"
                           : " is outside " + NumberText(kLowestImpedanceOhms) + " to " +
                                 NumberText(kHighestImpedanceOhms) + " ohms";
    } else {
      message += " is not a number";
    }
    return std::nullopt;
  }

  if (!ReadModels(options, plan.request.models, message)) return std::nullopt;

  Limits& limits = plan.request.limits;
  const std::optional<double> match =
      ReadLossLimit("--limit-match", options.limit_match, limits.match_db, message);
  if (!match) return std::nullopt;
  const std::optional<double> isolation =
      ReadLossLimit("--limit-isolation", options.limit_isolation, limits.isolation_db, message);
  if (!isolation) return std::nullopt;
  limits.match_db = *match;
  limits.isolation_db = *isolation;
  if (!options.limit_imbalance.empty()) {
    const std::optional<double> v = ReadNumber("--limit-imbalance", options.limit_imbalance, 0,
                                               kHighestImbalanceDb, Unit::kDecibel, message);
    if (!v) return std::nullopt;
    limits.imbalance_db = *v;
  }
  if (!options.limit_phase.empty()) {
    const std::optional<double> v = ReadNumber("--limit-phase", options.limit_phase, 0,
                                               kHighestPhaseDeg, Unit::kDegree, message);
    if (!v) return std::nullopt;
    limits.phase_deg = *v;
  }

  std::optional<MonteCarloSettings> monte_carlo = ReadMonteCarlo(options, message);
  if (!monte_carlo) return std::nullopt;
  const bool toleranced = monte_carlo->inductor.value > 0 || monte_carlo->capacitor.value > 0 ||
                          monte_carlo->resistor.value > 0;
  const std::string fit_text = !options.fit.empty() ? options.fit : toleranced ? "yield" : "margin";
  const std::optional<FitMethod> fit =
      OneOf<FitMethod>("--fit", fit_text, kFits, kFitMethods, message);
  if (!fit) return std::nullopt;
  PartsChoice& parts = plan.request.parts;
  parts.method = *fit;
  parts.tie_equal_values = options.tie_equal_values;
  parts.pairs = options.pairs;
  const bool searched = *fit == FitMethod::kMargin || *fit == FitMethod::kYield;
  if (!searched && (options.pairs || options.tie_equal_values)) {
    message = std::string(options.pairs ? "--pairs" : "--tie-equal-values") +
              " needs --fit margin or --fit yield";
    return std::nullopt;
  }
  if (*fit == FitMethod::kYield && !toleranced) {
    message =
        "--fit yield needs a tolerance (--tolerance-inductor, --tolerance-capacitor or "
        "--tolerance-resistor)";
    return std::nullopt;
  }
  if (!options.target_yield.empty()) {
    const std::optional<double> target =
        ReadNumber("--target-yield", options.target_yield, 1, 99.99, Unit::kPercent, message);
    if (!target) return std::nullopt;
    plan.request.target_yield_percent = *target;
  }
  // The yield fit and a target yield report the yield they reach.
  if (options.monte_carlo.empty() &&
      (*fit == FitMethod::kYield || plan.request.target_yield_percent)) {
    monte_carlo->samples = kImpliedBoards;
    plan.request.monte_carlo = *monte_carlo;
  }
  if (!options.monte_carlo.empty()) plan.request.monte_carlo = *monte_carlo;

  if (!ReadParts(options, plan, message)) return std::nullopt;

  plan.outputs.directory = options.directory;
  plan.outputs.touchstone = options.touchstone;
  plan.outputs.spice = options.spice;
  plan.outputs.plot = options.plot;
  plan.outputs.parts_list = options.bom;
  plan.outputs.json = options.json;
  plan.outputs.kicad = options.kicad;
  plan.outputs.schematic = options.schematic;
  plan.request.summaries = options.analyze;
  if (!ReadStress(options, plan.request, message)) return std::nullopt;
  if (!ReadMeasured(options, plan, message)) return std::nullopt;
  if (!ReadSteps(options, plan, message)) return std::nullopt;
  for (const std::string& note : options.session_notes) plan.notes.push_back(note);
  if (!options.session.empty()) plan.inputs.push_back({"--session file", options.session});
  if (!options.save_session.empty()) {
    std::optional<std::string> text = SessionOfOptions(options, message);
    if (!text) return std::nullopt;
    plan.session_file.emplace(options.directory / options.save_session, std::move(*text));
  }
  return plan;
}

}  // namespace rfsplitter
