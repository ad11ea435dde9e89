// What a circuit is, as a designer names it: a family (an in-phase
// splitter, a 90-degree branch-line hybrid, a 180-degree ring) and its
// parameters. The three circuits the program designs are forms of the
// first two families.
#ifndef RFSPLITTER_ENGINE_FORM_H_
#define RFSPLITTER_ENGINE_FORM_H_

#include <string_view>

#include "engine/design.h"

namespace rfsplitter {

enum class FormFamily { kSplitter, kQuad, kRing };
// Each quarter-wave arm as a series-L shunt-C pi, or a series-C shunt-L pi.
enum class ArmForm { kLowPass, kHighPass };

struct Form {
  FormFamily family = FormFamily::kSplitter;
  int ways = 2;         // outputs of a splitter
  double split_db = 0;  // power at port 2 over port 3
  int sections = 1;
  ArmForm arms = ArmForm::kLowPass;
  bool operator==(const Form&) const = default;
};

Form FormOf(Topology topology);

std::string_view FamilyName(FormFamily family);  // "splitter", "quad", "ring"
std::string_view ArmName(ArmForm arms);          // "low-pass", "high-pass"

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_FORM_H_
