// How a real part differs from its ideal element. Every place that builds a
// circuit from parts (the fits, each Monte Carlo board, the analysis, the
// exports) takes a part's behaviour from here, so all agree.
//
//   Inductor L   a series branch of L and R(f), shunted by Cp:
//                R(f) = 2 pi f L / Q(f), Q(f) = Q0 (f / fQ)^a, with a = 0
//                ("constant"), 0.5 ("sqrt", skin effect) or 1 ("linear": R
//                constant, 2 pi fQ L / Q0); Cp = 1 / ((2 pi SRF)^2 L) for a
//                part with an SRF, or a Cp given outright (the same for every
//                value, so the SRF falls with L), none without either.
//   Capacitor C  C in series with ESL and ESR; the ESR constant, or from a Q
//                at a frequency: ESR = 1 / (2 pi fQ C Q).
//   Resistor R   ideal, or shunted by a capacitance when one is given.
//   Pads         a capacitance to ground at every node but ground.
//   Measured     a part measured in series between the two ports of a
//                Touchstone file: its impedance, interpolated over frequency
//                (only inside the file's range), scaled with the part's
//                value as a drawn tolerance scales it.
//
// With only a Q at the design frequency (fQ = f0, linear), a part is a fixed
// series resistance w0 L / Q or 1 / (w0 C Q): the program's first loss
// model, which keeps its numbers.
#ifndef RFSPLITTER_ENGINE_PART_MODEL_H_
#define RFSPLITTER_ENGINE_PART_MODEL_H_

#include <complex>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/topologies.h"

namespace rfsplitter {

struct Netlist;

// The range each figure of a model is taken in, from the command line or a
// parts file alike.
struct FigureRange {
  double low, high;
};
inline constexpr FigureRange kQRange{1, 1e6};
inline constexpr FigureRange kQFrequencyRange{1, 1e12};
inline constexpr FigureRange kSrfRange{1e6, 1e12};
inline constexpr FigureRange kEslRange{0, 100e-9};
inline constexpr FigureRange kEsrRange{0, 100};
inline constexpr FigureRange kShuntCapacitanceRange{0, 100e-12};  // Cp and the pads
inline constexpr FigureRange kToleranceFloorRange{0, 10e-12};     // Tmin=
inline constexpr FigureRange kRatedVoltsRange{0.1, 10e3};         // V=
inline constexpr FigureRange kRatedAmpsRange{1e-3, 100};          // I=
inline constexpr FigureRange kRatedWattsRange{1e-4, 1000};        // P=

// What a part may take: its peak voltage, RMS current and dissipation; 0:
// not given.
struct PartRating {
  double volts = 0, amps = 0, watts = 0;
  bool Any() const { return volts > 0 || amps > 0 || watts > 0; }
  bool operator==(const PartRating&) const = default;
};

// The chip size a board's parts come in.
enum class ChipPackage { k0402, k0603 };
std::string_view PackageName(ChipPackage package);  // "0402", "0603"

enum class QProfile { kConstant, kSqrt, kLinear };
std::string_view QProfileName(QProfile profile);  // "constant", "sqrt", "linear"
std::optional<QProfile> QProfileNamed(std::string_view name);
double QExponent(QProfile profile);  // 0, 0.5, 1

// A part measured in series between two ports: its impedance at each of
// the file's frequencies, and the value it was measured at.
struct MeasuredPart {
  std::string name;                    // the file, for messages
  std::vector<double> frequencies_hz;  // ascending
  std::vector<std::complex<double>> impedances;
  // The impedance at `frequency_hz`, linear in frequency between the
  // file's points; nothing outside its range.
  std::optional<std::complex<double>> ImpedanceAt(double frequency_hz) const;
  // "vendor/x.s2p (100 MHz to 6 GHz)"
  std::string RangeText() const;
};

// How the parts of one kind behave (or one value of a parts file).
struct KindModel {
  double q = 0;        // Q0; 0: no loss from a Q
  double q_at_hz = 0;  // fQ; 0: the design frequency
  QProfile q_profile = QProfile::kLinear;
  double srf_hz = 0;        // an inductor's self-resonance; 0: none
  double esl_h = 0;         // a capacitor's series inductance
  double esr_ohms = 0;      // a capacitor's constant series resistance
  double parallel_c_f = 0;  // the capacitance across an inductor (without an SRF) or a resistor
  std::shared_ptr<const MeasuredPart> measured{};  // a value of a parts file only
  double measured_value = 0;                       // the value the file was measured at
  // The least a capacitor of a parts file strays by whatever its grade's
  // percentage says (Tmin=); 0: the grades' own floor. Not a model of how
  // the part behaves: a value with nothing else keeps its kind's model.
  double tolerance_floor_f = 0;
  // What a parts file says of the part beyond its behaviour (V=, I=, P=,
  // MPN=): for the stress report and the board.
  PartRating rating{};
  std::string mpn{};

  // Anything about how the part behaves.
  bool Any() const;
  bool operator==(const KindModel&) const = default;
};

struct PartModels {
  KindModel inductor, capacitor, resistor;
  double pad_capacitance_f = 0;
  // The chip size a preset models; nothing when none was chosen.
  std::optional<ChipPackage> package;
  // With a model, each part's nominal value is chosen so that its effective
  // value at the design frequency is the ideal one (false: the nominal value
  // is the ideal one, to see what the parasitics do).
  bool compensate = true;

  const KindModel& Of(ElementKind kind) const;
  KindModel& Of(ElementKind kind);
  bool Any() const;
  // Anything beyond a fixed series loss: the parts' effective values differ
  // from their nominal ones.
  bool Parasitic() const;
  bool operator==(const PartModels&) const = default;
};

// Parts whose only flaw is a Q at the design frequency (0: lossless).
inline PartModels QualityFactors(double q_inductor, double q_capacitor = 0) {
  PartModels models;
  models.inductor.q = q_inductor;
  models.capacitor.q = q_capacitor;
  return models;
}

// One element's model, its parameters resolved: the Q frequency known, an
// inductor's SRF turned into the capacitance across it.
struct ElementModel {
  double q = 0, q_at_hz = 0, q_exponent = 1;
  double esr_ohms = 0;
  double parallel_c_f = 0;  // an inductor's Cp or a resistor's shunt
  double series_l_h = 0;    // a capacitor's ESL
  std::shared_ptr<const MeasuredPart> measured{};
  double measured_value = 0;
  double tolerance_floor_f = 0;  // from the parts file's Tmin=; 0: the grades' floor

  // Whether the element's impedance needs more than its value and a fixed
  // series loss at some frequency.
  bool Dynamic(ElementKind kind) const;
  bool operator==(const ElementModel&) const = default;
};

ElementModel ResolveModel(ElementKind kind, double nominal, const KindModel& model,
                          double design_frequency_hz);

// The fixed series loss of a part at `value`: an inductor's R with a linear
// Q profile, a capacitor's ESR; 0 otherwise.
double FixedLossOhms(ElementKind kind, double value, const ElementModel& model);

// The part's impedance at angular frequency `omega`; `loss_ohms` its fixed
// series loss. Nothing for a measured part outside its file's range.
std::optional<std::complex<double>> PartImpedance(ElementKind kind, double value, double loss_ohms,
                                                  const ElementModel& model, double omega);

// The impedance of an element made of two parts: Z1 + Z2 for two inductors
// in series, Z1 Z2 / (Z1 + Z2) for two capacitors in parallel.
std::optional<std::complex<double>> PairImpedance(ElementKind kind, double value, double loss_ohms,
                                                  const ElementModel& model, double second_value,
                                                  double second_loss_ohms,
                                                  const ElementModel& second_model, double omega);

// What the part acts as at `omega`: an inductance Im Z / w, a capacitance
// -1 / (w Im Z), a resistance Re Z; nothing where that is no such element
// (an inductor above its self-resonance).
std::optional<double> EffectiveValue(ElementKind kind, double value, const ElementModel& model,
                                     double omega);
// The same for an impedance.
std::optional<double> EffectiveValueOf(ElementKind kind, std::complex<double> z, double omega);

// The nominal value whose effective value at `omega` is `target`, with the
// model resolved at each trial value; nothing when none within a decade
// and a half either side does it.
std::optional<double> NominalForEffective(ElementKind kind, double target, const KindModel& model,
                                          double design_frequency_hz);

// Where a part at `value` resonates: an inductor with the capacitance across
// it (its SRF), a capacitor with its ESL, 1 / (2 pi sqrt(L C)); nothing for a
// part without such a parasitic.
std::optional<double> ResonanceHz(ElementKind kind, double value, const ElementModel& model);

// What a part must act as at the design frequency for an element of value
// `ideal`: a capacitor (every one of these circuits' capacitors is a shunt)
// less the pad beside it when the parts are compensated; a pad larger than
// the shunt leaves a twentieth of it (the study warns of that).
double CompensatedTarget(ElementKind kind, double ideal, const PartModels& models);

// Every element of `netlist` gets its kind's model at the netlist's design
// frequency, and its fixed loss; with a pad capacitance, a capacitor to
// ground at every node ("PAD1", ...).
void ApplyModels(Netlist& netlist, const PartModels& models);

// "L1's measurements l.s2p (1 GHz to 2 GHz) do not cover 900 MHz to 2 GHz"
// for the first measured part of `netlist` whose file does not reach over
// `low_hz` to `high_hz`; nothing when every one does.
std::optional<std::string> UnmeasuredRange(const Netlist& netlist, double low_hz, double high_hz);

// 100 (chosen - ideal) / ideal: how far a part strays from its ideal value.
double ErrorPercent(double chosen, double ideal);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_PART_MODEL_H_
