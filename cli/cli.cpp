#include "cli/cli.h"

#include <fstream>
#include <optional>
#include <ostream>

#include "analysis/summary.h"
#include "engine/design.h"
#include "engine/inputs.h"
#include "engine/run.h"
#include "exports/exports.h"
#include "simfile/simulation_file.h"

namespace rfsplitter {
namespace {

constexpr char kUsage[] =
    "Usage: rfsplitter-cli --topology narrow-splitter|narrow-quad|wide-quad\n"
    "                      [--frequency TEXT] [--impedance TEXT] [--directory DIR]\n"
    "                      [--analyze] [--touchstone] [--spice] [--plot FILE.svg]\n"
    "\n"
    "Computes the lumped-element values of the selected circuit, prints the\n"
    "component listing and writes the simulation file (.i) into DIR, or into the\n"
    "current directory.\n"
    "\n"
    "  --topology NAME    narrow-splitter: 3 dB narrow-band in-phase splitter\n"
    "                     narrow-quad: narrow-band 90-degree hybrid\n"
    "                     wide-quad: wide-band two-section 90-degree hybrid\n"
    "  --frequency TEXT   design frequency in MHz, 0.001 to 50000 (default 12.1)\n"
    "  --impedance TEXT   characteristic impedance in ohms, 1 to 500 (default 50)\n"
    "  --directory DIR    where the simulation file goes\n"
    "  --analyze          print the response at the design frequency and the usable\n"
    "                     band (|S11| <= -15 dB, outputs within 0.5 dB of -3.01 dB)\n"
    "  --touchstone       write the S-parameters over the file's sweep beside it\n"
    "                     (Touchstone 1.1, .s3p or .s4p)\n"
    "  --spice            write an ngspice netlist (.cir) with an S-parameter\n"
    "                     analysis over the same sweep beside it\n"
    "  --plot FILE.svg    draw |S21|, |S31|, |S32| and |S11| over the sweep\n"
    "  --help             this text\n"
    "\n"
    "Exit status: 0 done, 1 the file could not be written, 2 usage error.\n";

struct Options {
  Topology topology = Topology::kNarrowSplitter;
  std::string frequency = DefaultFrequencyText();
  std::string impedance = DefaultImpedanceText();
  std::string directory;
  bool help = false;
  bool analyze = false;
  bool touchstone = false;
  bool spice = false;
  std::string plot;
};

std::optional<Topology> TopologyNamed(const std::string& name) {
  if (name == "narrow-splitter") return Topology::kNarrowSplitter;
  if (name == "narrow-quad") return Topology::kNarrowQuad;
  if (name == "wide-quad") return Topology::kWideQuad;
  return std::nullopt;
}

// Returns the options, or an error text for a usage error.
std::optional<Options> Parse(const std::vector<std::string>& args, std::string& error) {
  Options options;
  bool have_topology = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    if (arg == "--analyze" || arg == "--touchstone" || arg == "--spice") {
      (arg == "--analyze"      ? options.analyze
       : arg == "--touchstone" ? options.touchstone
                               : options.spice) = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    std::string* target = nullptr;
    std::string topology_name;
    if (name == "--topology") {
      target = &topology_name;
    } else if (name == "--frequency") {
      target = &options.frequency;
    } else if (name == "--impedance") {
      target = &options.impedance;
    } else if (name == "--directory") {
      target = &options.directory;
    } else if (name == "--plot") {
      target = &options.plot;
    } else {
      error = "unknown option '" + arg + "'";
      return std::nullopt;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        error = "option '" + name + "' needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (value->empty() && (name == "--plot" || name == "--directory")) {
      error = "option '" + name + "' needs a non-empty value";
      return std::nullopt;
    }
    *target = *value;
    if (name == "--topology") {
      const std::optional<Topology> topology = TopologyNamed(topology_name);
      if (!topology) {
        error = "unknown topology '" + topology_name + "'";
        return std::nullopt;
      }
      options.topology = *topology;
      have_topology = true;
    }
  }
  if (!have_topology) {
    error = "--topology is required";
    return std::nullopt;
  }
  return options;
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
    err_ << "rfsplitter-cli: could not write " << file_name << ": " << reason << '\n';
    failed_ = true;
  }

  bool failed() const { return failed_; }

 private:
  void NoteRepair(const char* what, const std::string& old_text, const std::string& new_text) {
    if (warned_) {
      warned_ = false;  // the warning said it already
      return;
    }
    err_ << "note: " << what << " \"" << old_text << "\" is "
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

std::string InDirectory(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

bool WriteTextFile(const std::string& path, const std::string& text, std::ostream& err) {
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file << text;
    if (file && file.flush()) {
      err << "wrote " << path << '\n';
      return true;
    }
  }
  err << "rfsplitter-cli: could not write " << path << '\n';
  return false;
}

// The analysis and export options after a successful run.
int AnalyzeAndExport(const Options& options, const Design& design, std::ostream& out,
                     std::ostream& err) {
  std::string error;
  if (options.analyze) {
    const std::optional<DesignSummary> summary = Summarize(design, error);
    if (!summary) {
      err << "rfsplitter-cli: analysis failed: " << error << '\n';
      return kExitFileFailure;
    }
    out << '\n' << SummaryText(design, *summary);
  }
  if (!options.touchstone && !options.spice && options.plot.empty()) return kExitOk;

  bool ok = true;
  if (options.spice) {
    ok = WriteTextFile(InDirectory(options.directory, SpiceFileName(design)), SpiceNetlist(design),
                       err) &&
         ok;
  }
  if (options.touchstone || !options.plot.empty()) {
    const SweepResponse response = AnalyzeSweep(design, error);
    if (response.frequencies_hz.empty()) {
      err << "rfsplitter-cli: analysis failed: " << error << '\n';
      return kExitFileFailure;
    }
    if (options.touchstone) {
      ok = WriteTextFile(InDirectory(options.directory, TouchstoneFileName(design)),
                         TouchstoneText(design, response), err) &&
           ok;
    }
    if (!options.plot.empty())
      ok = WriteTextFile(options.plot, SvgPlot(design, response), err) && ok;
  }
  return ok ? kExitOk : kExitFileFailure;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string error;
  const std::optional<Options> options = Parse(args, error);
  if (!options) {
    err << "rfsplitter-cli: " << error << "\n\n" << kUsage;
    return kExitUsage;
  }
  if (options->help) {
    out << kUsage;
    return kExitOk;
  }

  ConsoleWindow window(*options, out, err);
  SimulationFileWriter writer(options->directory);
  DesignKeepingSink sink(writer);
  RunDesign(window, sink);
  out.flush();
  if (window.failed() || !sink.design()) return kExitFileFailure;
  err << "wrote " << writer.FileName() << '\n';
  return AnalyzeAndExport(*options, *sink.design(), out, err);
}

}  // namespace rfsplitter
