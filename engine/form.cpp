#include "engine/form.h"

namespace rfsplitter {

Form FormOf(Topology topology) {
  switch (topology) {
    case Topology::kNarrowSplitter:
      return {FormFamily::kSplitter, 2, 0, 1, ArmForm::kLowPass};
    case Topology::kNarrowQuad:
      return {FormFamily::kQuad, 2, 0, 1, ArmForm::kLowPass};
    case Topology::kWideQuad:
      return {FormFamily::kQuad, 2, 0, 2, ArmForm::kLowPass};
  }
  return {};
}

std::string_view FamilyName(FormFamily family) {
  switch (family) {
    case FormFamily::kSplitter:
      return "splitter";
    case FormFamily::kQuad:
      return "quad";
    case FormFamily::kRing:
      return "ring";
  }
  return {};
}

std::string_view ArmName(ArmForm arms) {
  return arms == ArmForm::kLowPass ? "low-pass" : "high-pass";
}

}  // namespace rfsplitter
