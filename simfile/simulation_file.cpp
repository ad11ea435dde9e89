#include "simfile/simulation_file.h"

#include "engine/netlist.h"
#include "engine/number_text.h"
#include "engine/product.h"
#include "engine/sweep.h"
#include "engine/topologies.h"

namespace rfsplitter {
namespace {

constexpr char kEndOfLine[] = "\r\n";
constexpr char kQuote[] = "\"";

// A number item: a blank for a number that is not negative, the number's
// text with a point whatever the user's locale, a blank.
std::string Num(Number number) {
  return (number.value < 0 ? "" : " ") + NumberText(number, '.') + " ";
}
std::string Num(float value) { return Num(Number::Single(value)); }
std::string Num(double value) { return Num(Number::Double(value)); }

// Appends one line built from its items.
struct Lines {
  std::string text;
  Lines& operator<<(const std::string& line) {
    text += line;
    text += kEndOfLine;
    return *this;
  }
};

}  // namespace

std::string SimulationFileName(Topology topology, float frequency_mhz) {
  return FileStem(topology, frequency_mhz) + ".i";
}

std::string SimulationFileName(const Form& form, float frequency_mhz) {
  return FileStem(form, frequency_mhz) + ".i";
}

namespace {

std::string HeaderOf(std::string first_line, float frequency_mhz, float impedance_ohms) {
  Lines out;
  out << first_line << "$ Freq of circuit is " + Num(frequency_mhz) + " MHz."
      << "$ Impedance of circuit is " + Num(impedance_ohms) + " Ohms."
      << "$ written by " + std::string(kMakerName) + "."
      << "$ " + std::string(kMakerAddress) << ""
      << "";
  return out.text;
}

}  // namespace

std::string SimulationFileHeader(Topology topology, float frequency_mhz, float impedance_ohms) {
  return HeaderOf(std::string(TextsOf(topology).header_comment), frequency_mhz, impedance_ohms);
}

std::string SimulationFileCircuit(const Design& design, float impedance_ohms) {
  const Circuit& circuit = CircuitOf(design.topology);
  Lines out;
  for (const VariableEntry& v : circuit.variables) {
    out << "AplacVar " + std::string(v.name) + " = " + NumberText(design.Quantity(v.quantity), '.');
  }
  out << "";
  for (const CircuitElement& e : circuit.reactive_elements) out << std::string(e.file_text);
  if (circuit.blank_line_before_resistor) out << "";
  out << std::string(circuit.resistor.file_text) + Num(design.resistor) << "";
  const std::string z0 = Num(impedance_ohms);
  out << "Defnport Filter 3 1 0" + z0 + " 2 0" + z0 + " 3 0" + z0;
  return out.text;
}

std::string SimulationFileSweep(double frequency_hz) {
  const Sweep sweep = FileSweep(frequency_hz);
  const double lo = sweep.low_hz;
  const double hi = sweep.high_hz;
  const std::string q = kQuote;
  const std::string x_axis = "+   X Hz " + q + q + Num(lo) + Num(hi);
  Lines out;
  out << ""
      << "Sweep 'Filter'"
      << "+ LOOP " + std::to_string(sweep.points) + " FREQ LOG " + Num(lo) + Num(hi) << "+   Window 0" << x_axis
      << "+   Y dB " + q + "S21" + q + " -15 0 "
      << "+   Y2 dB " + q + "S31" + q + " -15 0 "
      << "+   Window 1" << x_axis << "+   Y dB " + q + "S32" + q + " -30 0 "
      << "+   Window 2"
      << "+   smith"
      << "  Display"
      << "  +  Window 0"
      << "  +      Y " + q + "Output to Port 2" + q + " MAGDB(S(2, 1)) Marker 1"
      << "  +      Y2 " + q + "Output to Port 3" + q + " MAGDB(S(3, 1)) Marker 2"
      << "  +  Window 1"
      << "  +      Y " + q + "Reverse Isolation 3 to 2" + q + " MAGDB(S(3, 2))"
      << "  +  Window 2"
      << "  +      MA " + q + " S11" + q + " S(1, 1)"
      << "EndSweep";
  return out.text;
}

namespace {

std::string FormSimulationFileCircuit(const Design& design) {
  // A form's own circuit: its variables, each element on its nodes, and
  // every port of the form measured.
  const Netlist netlist = IdealNetlist(design);
  const auto node = [](int n) { return " " + std::to_string(n); };
  Lines out;
  // A variable for each value the parts share.
  for (const NetlistElement& e : netlist.elements) {
    if (e.kind == ElementKind::kResistor || e.quantity != e.name) continue;
    out << "AplacVar " + std::string(e.name) + " = " + NumberText(e.value, '.');
  }
  out << "";
  for (const NetlistElement& e : netlist.elements) {
    const std::string name(e.name);
    const std::string nodes = node(e.node_a) + node(e.node_b);
    switch (e.kind) {
      case ElementKind::kInductor:
        out << "Ind " + name + nodes + " " + std::string(e.quantity);
        break;
      case ElementKind::kCapacitor:
        out << "Cap " + name + nodes + " " + std::string(e.quantity);
        break;
      case ElementKind::kResistor:
        out << "Res " + name + nodes + Num(e.value);
        break;
    }
  }
  out << "";
  const std::string z0 = Num(design.inputs.impedance_ohms);
  std::string ports = "Defnport Filter " + std::to_string(netlist.ports);
  for (int p = 1; p <= netlist.ports; ++p) ports += node(p) + " 0" + z0;
  out << ports;
  return out.text;
}

}  // namespace

std::string SimulationFileText(const Design& design) {
  const DesignInputs& in = design.inputs;
  if (!FixedTopology(design.form)) {
    return HeaderOf("$ " + FormCaption(design.form) + " circuit", in.frequency_mhz,
                    in.impedance_ohms) +
           FormSimulationFileCircuit(design) + SimulationFileSweep(design.frequency_hz);
  }
  return SimulationFileHeader(design.topology, in.frequency_mhz, in.impedance_ohms) +
         SimulationFileCircuit(design, in.impedance_ohms) +
         SimulationFileSweep(design.frequency_hz);
}

SimulationFileWriter::SimulationFileWriter(std::filesystem::path directory)
    : directory_(std::move(directory)) {}

bool SimulationFileWriter::Create(Topology topology, float frequency_mhz) {
  path_ = directory_ / SimulationFileName(topology, frequency_mhz);
  return file_.Open(path_);
}

bool SimulationFileWriter::WriteHeader(Topology topology, float frequency_mhz,
                                       float impedance_ohms) {
  return file_.Write(SimulationFileHeader(topology, frequency_mhz, impedance_ohms));
}

bool SimulationFileWriter::WriteCircuit(const Design& design, float impedance_ohms) {
  return file_.Write(SimulationFileCircuit(design, impedance_ohms));
}

bool SimulationFileWriter::WriteSweepAndClose(double frequency_hz) {
  return file_.Write(SimulationFileSweep(frequency_hz)) && file_.Commit();
}

}  // namespace rfsplitter
