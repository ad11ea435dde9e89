#include <filesystem>

#include "cli/options.h"
#include "engine/quoted.h"
#include "engine/si_value.h"
#include "files/read_file.h"
#include "parts/series.h"

namespace rfsplitter {
namespace {

namespace fs = std::filesystem;

// Each option a session holds, and where the options keep it.
const std::map<std::string_view, std::string CliOptions::*>& OptionFields() {
  static const std::map<std::string_view, std::string CliOptions::*> fields = {
      {"topology", &CliOptions::topology},
      {"ways", &CliOptions::ways},
      {"split", &CliOptions::split},
      {"sections", &CliOptions::sections},
      {"arms", &CliOptions::arms},
      {"frequency", &CliOptions::frequency},
      {"impedance", &CliOptions::impedance},
      {"parts", &CliOptions::parts},
      {"inductors", &CliOptions::inductors},
      {"capacitors", &CliOptions::capacitors},
      {"resistors", &CliOptions::resistors},
      {"fit", &CliOptions::fit},
      {"target-yield", &CliOptions::target_yield},
      {"q-inductor", &CliOptions::q_inductor},
      {"q-capacitor", &CliOptions::q_capacitor},
      {"q-profile", &CliOptions::q_profile},
      {"srf-inductor", &CliOptions::srf_inductor},
      {"esl-capacitor", &CliOptions::esl_capacitor},
      {"esr-capacitor", &CliOptions::esr_capacitor},
      {"cp-resistor", &CliOptions::cp_resistor},
      {"pad-capacitance", &CliOptions::pad_capacitance},
      {"part-model", &CliOptions::part_model},
      {"tolerance-inductor", &CliOptions::tolerance_inductor},
      {"tolerance-capacitor", &CliOptions::tolerance_capacitor},
      {"tolerance-resistor", &CliOptions::tolerance_resistor},
      {"tolerance-parasitics", &CliOptions::tolerance_parasitics},
      {"monte-carlo", &CliOptions::monte_carlo},
      {"seed", &CliOptions::seed},
      {"distribution", &CliOptions::distribution},
      {"limit-match", &CliOptions::limit_match},
      {"limit-isolation", &CliOptions::limit_isolation},
      {"limit-imbalance", &CliOptions::limit_imbalance},
      {"limit-phase", &CliOptions::limit_phase},
      {"yield-band", &CliOptions::yield_band},
      {"power", &CliOptions::power},
      {"vswr", &CliOptions::vswr},
  };
  return fields;
}

const std::map<std::string_view, bool CliOptions::*>& FlagFields() {
  static const std::map<std::string_view, bool CliOptions::*> fields = {
      {"pairs", &CliOptions::pairs},
      {"tie-equal-values", &CliOptions::tie_equal_values},
      {"uncompensated", &CliOptions::uncompensated},
      {"stress", &CliOptions::stress}};
  return fields;
}

// A parts source that names a file rather than a series.
bool NamesFile(std::string_view option, const std::string& value) {
  const bool sourced =
      option == "parts" || option == "inductors" || option == "capacitors" || option == "resistors";
  return sourced && !value.empty() && !PartSeries::Standard(value);
}

}  // namespace

bool MergeSession(const std::string& text, const fs::path& file,
                  const std::function<bool(std::string_view)>& given, CliOptions& options,
                  std::string& message) {
  std::string why;
  const std::optional<Session> session = ReadSession(text, why);
  if (!session) {
    message = "--session " + QuotedShort(file.string()) + ": " + why;
    return false;
  }
  // A parts file named relatively lies beside the session.
  const fs::path folder = file.parent_path();
  std::map<std::string, std::string> resolved;
  for (const auto& [name, field] : OptionFields()) {
    const auto at = session->options.find(std::string(name));
    if (at == session->options.end() || given(name)) continue;
    std::string v = at->second;
    if (NamesFile(name, v)) {
      v = SessionFilePath(v, folder).string();
      resolved[at->second] = v;
    }
    options.*field = v;
  }
  for (const auto& [name, field] : FlagFields()) {
    if (!given(name) && session->flags.count(std::string(name))) options.*field = true;
  }
  // Steps on the command line come after the session's, and so win.
  std::vector<std::string> steps;
  for (const auto& [part, value] : session->steps) steps.push_back(part + "=" + value);
  steps.insert(steps.end(), options.set.begin(), options.set.end());
  options.set = steps;
  for (const std::string& change : ChangedFiles(*session, [&](const std::string& path) {
         std::string reason;
         const auto at = resolved.find(path);
         return ReadSmallFile(at != resolved.end() ? at->second : path, reason);
       })) {
    options.session_notes.push_back(change);
  }
  return true;
}

std::optional<std::string> SessionOfOptions(const CliOptions& options, std::string& message) {
  Session session;
  const fs::path folder = (options.directory / options.save_session).parent_path();
  for (const auto& [name, field] : OptionFields()) {
    std::string value = options.*field;
    if (value.empty()) continue;
    if (NamesFile(name, value)) {
      std::string reason;
      const std::optional<std::string> text = ReadSmallFile(value, reason);
      if (!text) {
        message =
            "--save-session: --" + std::string(name) + " " + QuotedShort(value) + ": " + reason;
        return std::nullopt;
      }
      value = SessionFileName(value, folder);
      session.files[value] = Fingerprint(*text);
    }
    session.options[std::string(name)] = value;
  }
  for (const auto& [name, field] : FlagFields())
    if (options.*field) session.flags.insert(std::string(name));
  for (const std::string& step : options.set) {
    const size_t equals = step.find('=');
    session.steps.emplace_back(step.substr(0, equals),
                               equals == std::string::npos ? "" : step.substr(equals + 1));
  }
  return SessionJson(session);
}

bool ReadSteps(const CliOptions& options, RunPlan& plan, std::string& message) {
  const Netlist circuit = IdealNetlist(DesignOf(plan.request));
  for (const std::string& step : options.set) {
    const size_t equals = step.find('=');
    const std::string part = step.substr(0, equals);
    const NetlistElement* element = circuit.Find(part);
    if (equals == std::string::npos || !element) {
      message = "--set " + QuotedShort(step) +
                " is not PART=VALUE with a part of the circuit (L2=5.6n, C1=3.3p, R1=100)";
      return false;
    }
    std::string why;
    const std::string text = step.substr(equals + 1);
    const std::optional<SiValue> value = ParseSiValue(text, why);
    const Unit unit = UnitOf(element->kind);
    if (!value || (value->unit != unit && value->unit != Unit::kNone) || !(value->value > 0) ||
        !std::isfinite(value->value)) {
      message = "--set " + QuotedShort(step) + ": " +
                (value ? QuotedShort(text) + " is not a positive " +
                             std::string(KindName(element->kind)) + " value"
                       : why);
      return false;
    }
    if (const PartSeries* series = plan.request.parts.SeriesFor(element->kind)) {
      const double offered = series->Nearest(value->value);
      if (std::abs(offered / value->value - 1) > 1e-9) {
        plan.notes.push_back(part + " = " + ValueWithUnit(value->value, element->kind) +
                             " is not a value " + series->name() + " offers; it is used as given");
      }
    }
    std::erase_if(plan.request.part_values, [&](const auto& p) { return p.first == part; });
    plan.request.part_values.emplace_back(part, value->value);
  }
  return true;
}

}  // namespace rfsplitter
