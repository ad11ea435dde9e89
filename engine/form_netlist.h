// The ideal lumped circuit of a form (engine/form.h) that is not one of the
// three fixed circuits: an equal or unequal two-way, a three-way or a
// four-way in-phase splitter (the equal two-way of 1 to 3 sections), a
// branch-line hybrid of any split, a 180-degree ring; each quarter-wave arm
// a pi of low-pass or high-pass parts.
#ifndef RFSPLITTER_ENGINE_FORM_NETLIST_H_
#define RFSPLITTER_ENGINE_FORM_NETLIST_H_

#include <optional>
#include <string>

#include "engine/form.h"
#include "engine/netlist.h"

namespace rfsplitter {

// Why `form` cannot be built (a split out of -10 to 10 dB, a split of more
// than two ways, ways or sections not offered); nothing when it can.
std::optional<std::string> WhyNoForm(const Form& form);

// The circuit of `form` at `inputs` (call WhyNoForm first). Ports: 1 the
// input; a splitter's outputs 2 to ways + 1; a branch-line hybrid's 2
// through, 3 coupled, 4 isolated; a ring's 1 the sum input, 2 and 3 the
// outputs, 4 the difference input. Inner nodes follow the ports.
Netlist FormNetlist(const Form& form, DesignInputs inputs);

// The design of any form: the three's equations, or the circuit of another
// with its elements' values as the quantities, the listing and the
// variables (call WhyNoForm first).
Design FormDesign(const Form& form, DesignInputs inputs);

// The designator `letter` `number` ("L7"), held for the program's life: a
// netlist's names are views.
std::string_view Designator(char letter, int number);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_FORM_NETLIST_H_
