
#include <algorithm>
#include <complex>
#include <numbers>

#include "engine/number_text.h"
#include "engine/part_model.h"
#include "exports/exports.h"

namespace rfsplitter {
namespace {

// A modelled part as a subcircuit between its two nodes. What ngspice cannot
// express (a resistance that changes with frequency, a measured impedance)
// is put in at its value at the design frequency, and said so.
std::string ModelledPart(const NetlistElement& e, double w0) {
  const std::string name(e.name);
  const std::string sub = "PART_" + name;
  const ElementModel& m = e.model;
  std::string text = ".subckt " + sub + " a b\n";
  const auto line = [&](const std::string& element, const std::string& a, const std::string& b,
                        double value) {
    text += element + " " + a + " " + b + " " + NumberText(value) + "\n";
  };
  std::string note;
  if (m.measured) {
    const std::complex<double> z =
        PartImpedance(e.kind, e.value, e.loss_ohms, m, w0).value_or(std::complex<double>());
    note = "* " + name + ": the impedance measured in " + m.measured->name +
           ", at the design frequency (ngspice reads no Touchstone file)\n";
    line("R1", "a", "m", std::max(z.real(), 1e-9));
    if (z.imag() >= 0) {
      line("L1", "m", "b", std::max(z.imag() / w0, 1e-18));
    } else {
      line("C1", "m", "b", -1 / (w0 * z.imag()));
    }
  } else if (e.kind == ElementKind::kInductor) {
    double r = e.loss_ohms;
    if (m.q > 0 && m.q_exponent != 1) {
      ElementModel loss_only;
      loss_only.q = m.q;
      loss_only.q_at_hz = m.q_at_hz;
      loss_only.q_exponent = m.q_exponent;
      r = std::real(
          PartImpedance(e.kind, e.value, 0, loss_only, w0).value_or(std::complex<double>()));
      note = "* " + name + ": R(f) = 2 pi f L / Q(f) changes with frequency; ngspice has it at " +
             "the design frequency\n";
    }
    line("L1", "a", r > 0 ? "m" : "b", e.value);
    if (r > 0) line("R1", "m", "b", r);
    if (m.parallel_c_f > 0) line("C1", "a", "b", m.parallel_c_f);
  } else if (e.kind == ElementKind::kCapacitor) {
    line("C1", "a", "m", e.value);
    line("L1", "m", e.loss_ohms > 0 ? "n" : "b", m.series_l_h);
    if (e.loss_ohms > 0) line("R1", "n", "b", e.loss_ohms);
  } else {
    line("R1", "a", "b", e.value + e.loss_ohms);
    if (m.parallel_c_f > 0) line("C1", "a", "b", m.parallel_c_f);
  }
  text += ".ends\n";
  return note + text + "X" + name + " " + std::to_string(e.node_a) + " " +
         std::to_string(e.node_b) + " " + sub + "\n";
}

}  // namespace

std::string SpiceNetlist(const Netlist& design) {
  const std::string z0 = NumberText(design.inputs.impedance_ohms);
  const std::string result = SpiceResultFileName(design);
  const std::string stem = FileStem(design.form, design.inputs.frequency_mhz);
  std::string text;
  text += "* " + DesignTitle(design.form, design.inputs) + ": " +
          (design.description == Netlist().description ? "the circuit" : design.description) +
          " of " + stem + ".i\n";
  text += "* Run with: ngspice -b " + SpiceFileName(design) + "\n";
  text += "* Writes " + result + ": per frequency, the real and imaginary parts of\n";
  text += "* S11, S12, ... row by row.\n";
  // A lossy element goes to a node of its own (1001, 1002, ...), from which
  // its loss resistor RLOSS_<name> continues to the element's second node.
  // A part with a model is a subcircuit of its own.
  // The two parts of a pair are parts of their own, "L1A" and "L1B": two
  // inductors in series through a node of their own, two capacitors side by
  // side.
  int next_node = 1001;
  const double w0 = 2 * std::numbers::pi * design.frequency_hz;
  const auto part = [&](const NetlistElement& e) {
    if (e.model.Dynamic(e.kind)) {
      text += ModelledPart(e, w0);
      return;
    }
    if (e.pad) {
      // ngspice knows an element by its first letter: a pad is a C.
      text += "C" + std::string(e.name) + " " + std::to_string(e.node_a) + " 0 " +
              NumberText(e.value) + "\n";
      return;
    }
    const std::string a = std::to_string(e.node_a);
    const std::string b = e.loss_ohms > 0 ? std::to_string(next_node++) : std::to_string(e.node_b);
    text += std::string(e.name) + " " + a + " " + b + " " + NumberText(e.value) + "\n";
    if (e.loss_ohms > 0) {
      text += "RLOSS_" + std::string(e.name) + " " + b + " " + std::to_string(e.node_b) + " " +
              NumberText(e.loss_ohms) + "\n";
    }
  };
  for (const NetlistElement& e : design.elements) {
    if (!e.second) {
      part(e);
      continue;
    }
    const std::string names[2] = {PairPartName(e.name, 0), PairPartName(e.name, 1)};
    NetlistElement first = e, second = e;
    first.name = names[0];
    second.name = names[1];
    first.second.reset();
    second.second.reset();
    second.value = e.second->value;
    second.loss_ohms = e.second->loss_ohms;
    second.model = e.second->model;
    if (e.kind == ElementKind::kInductor) first.node_b = second.node_a = next_node++;
    part(first);
    part(second);
  }
  for (int port = 1; port <= design.ports; ++port) {
    const std::string n = std::to_string(port);
    text += "V" + n + " " + n + " 0 dc 0 ac 1 portnum " + n + " z0 " + z0 + "\n";
  }

  std::string vectors;
  for (int row = 1; row <= design.ports; ++row) {
    for (int column = 1; column <= design.ports; ++column) {
      vectors += " s_" + std::to_string(row) + "_" + std::to_string(column);
    }
  }
  // One analysis per sweep frequency, so that the points are exactly those
  // of the simulation file's 200-point log sweep, both ends included.
  const std::vector<double> frequencies = FileSweep(design.frequency_hz).Frequencies();
  const std::string first = GeneralText(frequencies.front(), 17);
  // The circuit is linear: no operating point is needed, and its inductor
  // loops would make the DC matrix singular.
  text += ".control\noption noopac\nset wr_singlescale\nset numdgt=15\nunset appendwrite\n";
  text += "sp lin 1 " + first + " " + first + "\n";
  text += "wrdata " + result + vectors + "\ndestroy\nset appendwrite\nforeach f";
  for (size_t i = 1; i < frequencies.size(); ++i) {
    text += " " + GeneralText(frequencies[i], 17);
  }
  text += "\n  sp lin 1 $f $f\n  wrdata " + result + vectors + "\n  destroy\nend\n";
  // Batch ngspice reports failure for a netlist without a top-level
  // analysis unless the control block says otherwise.
  text += "echo S-parameters written to " + result + "\nquit 0\n.endc\n.end\n";
  return text;
}

}  // namespace rfsplitter
