// What a circuit is, as a designer names it: a family (an in-phase
// splitter, a 90-degree branch-line hybrid, a 180-degree ring) and its
// parameters. The three circuits the program designs are forms of the
// first two families.
#ifndef RFSPLITTER_ENGINE_FORM_H_
#define RFSPLITTER_ENGINE_FORM_H_

#include <optional>
#include <string>
#include <string_view>

#include "engine/design.h"

namespace rfsplitter {

Form FormOf(Topology topology);
// The topology whose form this is, if it is one of the three.
std::optional<Topology> FixedTopology(const Form& form);

// What names a form's files and titles, for a form beyond the three:
// "Splitter3Way", "Splitter2Way-6dB", "Splitter2Way3SecHP", "QuadHP", "Ring".
std::string FormStem(const Form& form);
// "0 Deg 3-Way Splitter", "90 Deg Quad 3 dB Split, High-Pass Arms", ...
std::string FormCaption(const Form& form);
// The form as the command line's options say it: "splitter, 2 ways, split
// 0 dB, 3 sections, high-pass".
std::string FormText(const Form& form);

std::string_view FamilyName(FormFamily family);  // "splitter", "quad", "ring"
std::string_view ArmName(ArmForm arms);          // "low-pass", "high-pass"
// The family of that name, if it is one.
std::optional<FormFamily> FamilyNamed(std::string_view name);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_FORM_H_
