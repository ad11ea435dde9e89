#include <cmath>

#include "cli/options.h"
#include "engine/number_text.h"
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
  const std::string what = "--power " + QuotedShort(options.power);
  std::string why;
  const std::optional<SiValue> power = ParseSiValue(options.power, why);
  if (!power) {
    message = what + " " + why;
    return false;
  }
  if (power->unit == Unit::kDecibelMilliwatt) {
    settings.power_w = 1e-3 * std::pow(10.0, power->value / 10);
  } else if (power->unit == Unit::kWatt || power->unit == Unit::kNone) {
    settings.power_w = power->value;
  } else {
    message = what + " has the wrong unit; it takes W or dBm";
    return false;
  }
  if (!(settings.power_w >= 1e-6 && settings.power_w <= 1e3)) {
    message = what + " is outside 1 uW to 1 kW (-30 to 60 dBm)";
    return false;
  }
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
