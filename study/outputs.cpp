#include "study/outputs.h"

#include <sys/stat.h>

#include <cmath>
#include <map>
#include <system_error>

#include "engine/form_netlist.h"
#include "engine/number_text.h"
#include "engine/quoted.h"
#include "engine/si_value.h"
#include "exports/exports.h"
#include "exports/schematic.h"
#include "simfile/simulation_file.h"
#include "study/report.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;
constexpr std::string_view kTopologyOptions[] = {"narrow-splitter", "narrow-quad", "wide-quad"};

// What makes two paths one file: the device and inode of a file that
// exists; the resolved directory and the name of one that does not yet.
struct Identity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string path;
  bool operator==(const Identity&) const = default;
};

std::optional<Identity> IdentityOf(const fs::path& path, std::string& error) {
  Identity identity;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    identity.exists = true;
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    return identity;
  }
  if (errno != ENOENT) {
    error = "cannot create the file: " + std::system_category().message(errno);
    return std::nullopt;
  }
  std::error_code code;
  const fs::path absolute = fs::absolute(path, code);
  if (!code) identity.path = fs::weakly_canonical(absolute, code).lexically_normal().string();
  if (code) {
    error = "cannot create the file: " + code.message();
    return std::nullopt;
  }
  return identity;
}

void Row(std::string& csv, const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) csv += ',';
    csv += CsvField(fields[i]);
  }
  csv += "\r\n";
}

}  // namespace

std::string_view TopologyOption(Topology topology) {
  return kTopologyOptions[static_cast<size_t>(topology)];
}

std::optional<Topology> TopologyNamed(std::string_view name) {
  for (size_t i = 0; i < std::size(kTopologyOptions); ++i) {
    if (name == kTopologyOptions[i]) return kAllTopologies[i];
  }
  return std::nullopt;
}

std::vector<PlannedOutput> PlanOutputs(const Form& form, DesignInputs inputs,
                                       const OutputChoice& choice) {
  const Netlist netlist = IdealNetlist(FormDesign(form, inputs));
  const fs::path& dir = choice.directory;
  std::vector<PlannedOutput> outputs;
  if (choice.simulation_file) {
    outputs.push_back({OutputKind::kSimulationFile, "simulation file",
                       dir / SimulationFileName(form, inputs.frequency_mhz)});
  }
  if (choice.touchstone) {
    outputs.push_back(
        {OutputKind::kTouchstone, "Touchstone file", dir / TouchstoneFileName(netlist)});
  }
  if (choice.spice) {
    outputs.push_back({OutputKind::kSpiceNetlist, "ngspice netlist", dir / SpiceFileName(netlist)});
  }
  // dir / path is path itself when path is absolute.
  if (!choice.plot.empty()) outputs.push_back({OutputKind::kPlot, "--plot", dir / choice.plot});
  if (!choice.parts_list.empty()) {
    outputs.push_back({OutputKind::kPartsList, "--bom", dir / choice.parts_list});
  }
  if (!choice.json.empty()) outputs.push_back({OutputKind::kJson, "--json", dir / choice.json});
  if (!choice.schematic.empty()) {
    outputs.push_back({OutputKind::kSchematic, "--schematic", dir / choice.schematic});
  }
  if (!choice.kicad.empty()) {
    const std::string stem = FileStem(form, inputs.frequency_mhz);
    const fs::path folder = dir / choice.kicad;
    outputs.push_back({OutputKind::kKicadProject, "--kicad", folder / (stem + ".kicad_pro")});
    outputs.push_back({OutputKind::kKicadSchematic, "--kicad", folder / (stem + ".kicad_sch")});
    outputs.push_back({OutputKind::kKicadBoard, "--kicad", folder / (stem + ".kicad_pcb")});
  }
  return outputs;
}

void AskForOutputs(const std::vector<PlannedOutput>& outputs, StudyRequest& request) {
  for (const PlannedOutput& o : outputs) {
    switch (o.kind) {
      case OutputKind::kTouchstone:
        request.sweeps = true;
        break;
      case OutputKind::kPlot:
        request.sweeps = request.summaries = true;
        request.spread = request.monte_carlo.has_value();
        break;
      case OutputKind::kJson:
        request.summaries = true;
        break;
      default:
        break;
    }
  }
}

OutputCheck CheckOutputs(const std::vector<PlannedOutput>& outputs,
                         const std::vector<InputFile>& inputs) {
  OutputCheck check;
  std::vector<Identity> seen;
  for (const PlannedOutput& o : outputs) {
    std::string reason;
    const std::optional<Identity> id = IdentityOf(o.path, reason);
    if (!id) {
      check.unresolved = {o.path, reason};
      return check;
    }
    for (size_t j = 0; j < seen.size(); ++j) {
      if (seen[j] == *id) {
        check.clash = o.role + " " + Quoted(o.path.string()) + " is the same file as the " +
                      outputs[j].role + " of this run";
        return check;
      }
    }
    seen.push_back(*id);
    for (const InputFile& input : inputs) {
      std::string ignored;
      const std::optional<Identity> in = IdentityOf(input.path, ignored);
      if (in && *in == *id) {
        check.clash = o.role + " " + Quoted(o.path.string()) + " is the " + input.role + " " +
                      Quoted(input.path.string()) + " of this run; writing it would destroy it";
        return check;
      }
    }
  }
  return check;
}

std::string OutputText(OutputKind kind, const StudyResult& r) {
  const Netlist& circuit = r.Circuit();
  switch (kind) {
    case OutputKind::kSimulationFile:
      return SimulationFileText(r.design);
    case OutputKind::kTouchstone:
      return TouchstoneText(circuit, *r.CircuitSweep());
    case OutputKind::kSpiceNetlist:
      return SpiceNetlist(circuit);
    case OutputKind::kPlot: {
      PlotData data{&*r.CircuitSweep(), r.built ? &*r.ideal_sweep : nullptr,
                    r.monte_carlo && r.monte_carlo->spread ? &*r.monte_carlo->spread : nullptr,
                    r.CircuitSummary() ? r.CircuitSummary()->bands.usable : std::nullopt};
      data.limits = r.request.limits;
      // A measured board dotted over the design; diagnosed, beside the
      // board as fitted.
      SweepResponse measured;
      if (r.measured) {
        measured = {r.measured->measurement.frequencies_hz, r.measured->measurement.s};
        data.measured = &measured;
        if (r.measured->diagnosis) {
          data.response = &r.measured->fitted_sweep;
          data.fitted = true;
        }
      }
      return SvgPlot(circuit, data);
    }
    case OutputKind::kPartsList:
      return PartsListCsv(r);
    case OutputKind::kJson:
      return JsonText(r);
    case OutputKind::kKicadProject:
      return KicadProjectText(BoardOfStudy(r));
    case OutputKind::kKicadSchematic: {
      const Board board = BoardOfStudy(r);
      return KicadSchematicText(board, PlaceBoard(board));
    }
    case OutputKind::kKicadBoard: {
      const Board board = BoardOfStudy(r);
      return KicadBoardText(board, PlaceBoard(board));
    }
    case OutputKind::kSchematic:
      return SchematicSvg(circuit);
  }
  return {};
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string PartsListCsv(const StudyResult& r) {
  std::string csv;
  // With a Monte Carlo, each part's tolerance grade in a last column.
  const MonteCarloSettings* graded = r.monte_carlo_settings ? &*r.monte_carlo_settings : nullptr;
  std::vector<std::string> header = {"Designator",        "Kind",      "Value", "Series",
                                     "Ideal value",       "Error %",   "Loss",  "Value (H, F, ohm)",
                                     "Ideal (H, F, ohm)", "Loss (ohm)"};
  if (graded) header.push_back("Tolerance");
  // With --stress, each part's figures where it is most loaded against its
  // rating (a pair's parts, their element's).
  const StressReport* stress = r.stress ? &*r.stress : nullptr;
  if (stress) {
    for (const char* h :
         {"V peak (V)", "I rms (A)", "Dissipation (W)", "Worst case", "Rating", "Within rating"}) {
      header.push_back(h);
    }
  }
  Row(csv, header);
  struct Group {
    ElementKind kind;
    std::string series;
    int count = 0;
  };
  std::map<std::pair<int, double>, Group> groups;  // by kind, then value
  for (const PartRow& p : r.parts) {
    // A pair is two parts on the list, "L1A" and "L1B".
    for (int part = 0; part < (p.pair ? 2 : 1); ++part) {
      const double value = p.pair ? p.pair->values[part] : p.chosen;
      const double loss = p.pair ? p.pair->losses[part] : p.loss_ohms;
      std::vector<std::string> fields = {
          p.pair ? PairPartName(p.name, part) : p.name,
          std::string(KindName(p.kind)),
          ValueWithUnit(value, p.kind),
          p.series,
          ValueWithUnit(p.ideal, p.kind),
          FixedText(p.error_percent, 2),
          loss > 0 ? ValueWithUnit(loss, ElementKind::kResistor) : "",
          ShortestText(value),
          ShortestText(p.ideal),
          ShortestText(loss)};
      if (graded) fields.push_back(ToleranceText(graded->ToleranceOf(p.kind), p.kind));
      if (stress) {
        for (const PartStressRow& row : stress->parts) {
          if (row.worst.name != p.name) continue;
          fields.insert(
              fields.end(),
              std::initializer_list<std::string>{
                  ShortestText(row.worst.v_peak), ShortestText(row.worst.i_rms),
                  ShortestText(row.worst.p_diss_w), row.scenario,
                  RatingText(row.rating) + " (" + row.rating_source + ")", row.ok ? "yes" : "no"});
        }
      }
      Row(csv, fields);
      Group& group = groups[{static_cast<int>(p.kind), value}];
      group.kind = p.kind;
      group.series = p.series;
      ++group.count;
    }
  }
  csv += "\r\n";
  Row(csv, {"Value", "Kind", "Series", "Count", "Value (H, F, ohm)"});
  for (const auto& [key, group] : groups) {
    Row(csv, {ValueWithUnit(key.second, group.kind), std::string(KindName(group.kind)),
              group.series, std::to_string(group.count), ShortestText(key.second)});
  }
  return csv;
}

}  // namespace rfsplitter
