#include "parts/presets.h"

namespace rfsplitter {

std::optional<PartModels> ChipPreset(std::string_view size) {
  struct Figures {
    double inductor_q, inductor_cp, capacitor_esl, capacitor_esr, resistor_cp;
  };
  // A capacitor to ground sits behind its pads and a via to the plane
  // beneath: the loop adds about 0.3 nH to the part's own ESL.
  constexpr double kMountingInductance = 0.3e-9;
  Figures f;
  if (size == "0402" || size == "0402-mounted") {
    f = {40, 0.2e-12, 0.4e-9, 0.2, 0.03e-12};
  } else if (size == "0603" || size == "0603-mounted") {
    f = {50, 0.25e-12, 0.6e-9, 0.15, 0.05e-12};
  } else {
    return std::nullopt;
  }
  if (size.ends_with("-mounted")) f.capacitor_esl += kMountingInductance;
  PartModels models;
  models.package = size.starts_with("0402") ? ChipPackage::k0402 : ChipPackage::k0603;
  models.inductor.q = f.inductor_q;
  models.inductor.q_at_hz = 1e9;
  models.inductor.q_profile = QProfile::kSqrt;
  models.inductor.parallel_c_f = f.inductor_cp;
  models.capacitor.esl_h = f.capacitor_esl;
  models.capacitor.esr_ohms = f.capacitor_esr;
  models.resistor.parallel_c_f = f.resistor_cp;
  return models;
}

}  // namespace rfsplitter
