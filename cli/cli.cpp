#include "cli/cli.h"

#include <optional>
#include <ostream>

#include "engine/design.h"
#include "engine/inputs.h"
#include "engine/run.h"
#include "simfile/simulation_file.h"

namespace rfsplitter {
namespace {

constexpr char kUsage[] =
    "Usage: rfsplitter-cli --topology narrow-splitter|narrow-quad|wide-quad\n"
    "                      [--frequency TEXT] [--impedance TEXT] [--directory DIR]\n"
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
    "  --help             this text\n"
    "\n"
    "Exit status: 0 done, 1 the file could not be written, 2 usage error.\n";

struct Options {
  Topology topology = Topology::kNarrowSplitter;
  std::string frequency = DefaultFrequencyText();
  std::string impedance = DefaultImpedanceText();
  std::string directory;
  bool help = false;
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
  RunDesign(window, writer);
  out.flush();
  if (window.failed()) return kExitFileFailure;
  err << "wrote " << writer.FileName() << '\n';
  return kExitOk;
}

}  // namespace rfsplitter
