// Tolerance grades as parts are sold, and the cheapest set of them that
// gives a yield.
//
//   inductors   5 %, 2 %, 1 %
//   capacitors  0.5 pF, 0.25 pF, 0.1 pF, 0.05 pF, 5 %, 2 %, 1 %
//   resistors   5 %, 1 %
//
// A tighter grade costs more. Each part costs its grade's place in its
// kind's ladder, loosest first (the loosest costs 0); a capacitor's
// absolute and relative grades stand in the order of the amount they allow
// the circuit's capacitors on average. The cheapest set is the one whose
// parts cost least in sum; among sets of one cost that reach the yield,
// the one with the highest yield.
#ifndef RFSPLITTER_TOLERANCE_GRADES_H_
#define RFSPLITTER_TOLERANCE_GRADES_H_

#include <vector>

#include "engine/netlist.h"
#include "engine/run_control.h"
#include "tolerance/monte_carlo.h"

namespace rfsplitter {

struct GradeChoice {
  double target_percent = 0;
  Tolerance inductor, capacitor, resistor;
  double yield_percent = 0;  // on the boards that judged the set
  int samples = 0;           // how many: the search's, or the confirmation's
  // Whether these grades reach the target (the lower end of the yield's
  // 95 % interval at it or above, on the search's boards and again on a
  // confirmation's); if not, they are the set with the highest yield.
  bool reached = false;
  bool stopped = false;
};

// A kind's grades for the parts of `circuit`, loosest first.
std::vector<Tolerance> GradeLadder(ElementKind kind, const Netlist& circuit);

// The cheapest grades for `circuit`'s kinds of parts that give at least
// `target_percent` of 20,000 boards within the limits, confirmed on
// 100,000 others, both drawn from seeds of the search's own (the same
// grades whatever the run's seed); a kind the circuit has no part of keeps
// its tolerance.
GradeChoice CheapestGrades(const Netlist& circuit, const MonteCarloSettings& settings,
                           double target_percent, const RunControl* control = nullptr);

}  // namespace rfsplitter

#endif  // RFSPLITTER_TOLERANCE_GRADES_H_
