#include "engine/form.h"

#include "engine/number_text.h"

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

std::optional<Topology> FixedTopology(const Form& form) {
  for (const Topology t : kAllTopologies) {
    if (FormOf(t) == form) return t;
  }
  return std::nullopt;
}

std::string FormStem(const Form& form) {
  std::string stem = form.family == FormFamily::kSplitter ? "Splitter"
                     : form.family == FormFamily::kQuad   ? "Quad"
                                                          : "Ring";
  if (form.family == FormFamily::kSplitter) stem += std::to_string(form.ways) + "Way";
  if (form.split_db != 0) stem += GeneralText(form.split_db, 6) + "dB";
  if (form.sections > 1) stem += std::to_string(form.sections) + "Sec";
  if (form.arms == ArmForm::kHighPass) stem += "HP";
  return stem;
}

std::string FormCaption(const Form& form) {
  std::string caption;
  switch (form.family) {
    case FormFamily::kSplitter:
      caption = "0 Deg " + std::to_string(form.ways) + "-Way Splitter";
      break;
    case FormFamily::kQuad:
      caption = "90 Deg Quad";
      break;
    case FormFamily::kRing:
      caption = "180 Deg Ring";
      break;
  }
  if (form.split_db != 0) caption += " " + GeneralText(form.split_db, 6) + " dB Split";
  if (form.sections > 1) caption += ", " + std::to_string(form.sections) + " Sections";
  if (form.arms == ArmForm::kHighPass) caption += ", High-Pass Arms";
  return caption;
}

std::string FormText(const Form& form) {
  std::string text(FamilyName(form.family));
  if (form.family == FormFamily::kSplitter) text += ", " + std::to_string(form.ways) + " ways";
  if (form.family != FormFamily::kRing) text += ", split " + GeneralText(form.split_db, 6) + " dB";
  text +=
      ", " + std::to_string(form.sections) + (form.sections == 1 ? " section, " : " sections, ");
  return text + std::string(ArmName(form.arms));
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

std::optional<FormFamily> FamilyNamed(std::string_view name) {
  for (const FormFamily family : {FormFamily::kSplitter, FormFamily::kQuad, FormFamily::kRing}) {
    if (name == FamilyName(family)) return family;
  }
  return std::nullopt;
}

std::string_view ArmName(ArmForm arms) {
  return arms == ArmForm::kLowPass ? "low-pass" : "high-pass";
}

}  // namespace rfsplitter
