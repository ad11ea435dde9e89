#include "engine/part_model.h"

#include <numbers>

namespace rfsplitter {

void ApplyLosses(Netlist& netlist, const PartLosses& losses) {
  const double w0 = 2 * std::numbers::pi * netlist.frequency_hz;
  for (NetlistElement& e : netlist.elements) {
    const double loss = SeriesLossOhms(e.kind, e.value, w0, losses);
    if (loss > 0) e.loss_ohms = loss;
  }
}

double ErrorPercent(double chosen, double ideal) { return 100 * (chosen - ideal) / ideal; }

}  // namespace rfsplitter
