#include "cli/options.h"
#include "engine/quoted.h"
#include "engine/si_value.h"

namespace rfsplitter {

bool ReadStress(const CliOptions& options, StudyRequest& request, std::string& message) {
  if (!options.stress) {
    if (!options.power.empty() || !options.vswr.empty()) {
      message = std::string(options.power.empty() ? "--vswr" : "--power") + " needs --stress";
      return false;
    }
    return true;
  }
  if (options.power.empty()) {
    message = "--stress needs --power (in W or dBm: 1W, 500mW, 30dBm)";
    return false;
  }
  StressSettings settings;
  std::string why;
  const std::optional<double> power = PowerWatts(options.power, why);
  if (!power) {
    message = "--power " + QuotedShort(options.power) + " " + why;
    return false;
  }
  settings.power_w = *power;
  if (!options.vswr.empty()) {
    const std::optional<SiValue> vswr = ParseSiValue(options.vswr, why);
    if (!vswr || vswr->unit != Unit::kNone || !(vswr->value >= 1 && vswr->value <= 100)) {
      message = "--vswr " + QuotedShort(options.vswr) +
                (vswr ? " is not a plain number from 1 to 100" : " " + why);
      return false;
    }
    settings.vswr = vswr->value;
  }
  request.stress = settings;
  return true;
}

}  // namespace rfsplitter
