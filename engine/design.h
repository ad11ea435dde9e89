// The design engine: the types every part of the program shares.
//
// A design run (run.h) reads the two typed inputs through a DesignWindow
// (inputs.h), computes the Design of the selected Topology (topologies.h),
// appends the component listing to the window (listing.h) and drives a
// DesignFileSink, which the simulation file writer (simfile/) implements.
// The engine has no window and no file of its own: the desktop window (ui/),
// the command line (cli/) and the tests each bring their own DesignWindow.
#ifndef RFSPLITTER_ENGINE_DESIGN_H_
#define RFSPLITTER_ENGINE_DESIGN_H_

#include <string>
#include <string_view>
#include <vector>

namespace rfsplitter {

// The three circuits the user can select.
enum class Topology { kNarrowSplitter, kNarrowQuad, kWideQuad };

inline constexpr Topology kAllTopologies[] = {Topology::kNarrowSplitter, Topology::kNarrowQuad,
                                              Topology::kWideQuad};

enum class FormFamily { kSplitter, kQuad, kRing };
// Each quarter-wave arm as a series-L shunt-C pi, or a series-C shunt-L pi.
enum class ArmForm { kLowPass, kHighPass };

// A circuit as a designer names it (engine/form.h).
struct Form {
  FormFamily family = FormFamily::kSplitter;
  int ways = 2;         // outputs of a splitter
  double split_db = 0;  // power at port 2 over port 3
  int sections = 1;
  ArmForm arms = ArmForm::kLowPass;
  bool operator==(const Form&) const = default;
};

// Typed values are single precision; everything computed from them is double.
// The precision decides how many digits the number text keeps (number_text.h).
enum class Precision { kSingle, kDouble };

struct Number {
  double value = 0;
  Precision precision = Precision::kDouble;

  static Number Single(float v) { return {static_cast<double>(v), Precision::kSingle}; }
  static Number Double(double v) { return {v, Precision::kDouble}; }
  friend bool operator==(const Number&, const Number&) = default;
};

// Frequency in MHz and impedance in ohms, as converted from the input boxes.
struct DesignInputs {
  float frequency_mhz = 12.1f;
  float impedance_ohms = 50.0f;
};

// One named value: a component quantity, a listing entry or a simulator variable.
struct NamedValue {
  std::string name;
  Number value;
};

// Everything one design run computes.
struct Design {
  Topology topology = Topology::kNarrowSplitter;
  // The family and parameters (engine/form.h); a form beyond the three keeps
  // `topology` at its default and is built by engine/form_netlist.h.
  Form form;
  DesignInputs inputs;
  double frequency_hz = 0;
  // The topology's quantities (L, C, Cin, R, Lt, ...) in henries, farads, ohms.
  std::vector<NamedValue> quantities;
  // What the listing shows, in order ("L1" = L, ...).
  std::vector<NamedValue> listing;
  // The simulator variables of the file, in order ("L1" = L, ...).
  std::vector<NamedValue> variables;
  // The value on the file's resistor line.
  Number resistor;

  // The value of a quantity or variable by name; throws std::out_of_range for
  // a name the topology does not have (a programming error, not an input one).
  Number Quantity(std::string_view name) const;
  Number Variable(std::string_view name) const;
};

// What the engine needs from the window.
class DesignWindow {
 public:
  virtual ~DesignWindow() = default;

  virtual std::string FrequencyText() const = 0;
  virtual void SetFrequencyText(const std::string& text) = 0;
  virtual std::string ImpedanceText() const = 0;
  virtual void SetImpedanceText(const std::string& text) = 0;
  virtual Topology SelectedTopology() const = 0;
  virtual void ClearListing() = 0;
  virtual void AppendToListing(const std::string& text) = 0;
  // Shows a modal warning and returns when the user has closed it.
  virtual void Warn(const std::string& text) = 0;
  // The simulation file could not be written; `reason` says why.
  virtual void ReportFileFailure(const std::string& file_name, const std::string& reason) = 0;
  // The user's decimal separator, for the input boxes and the listing. The
  // simulation file always uses a point.
  virtual char DecimalSeparator() const { return '.'; }
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_DESIGN_H_
