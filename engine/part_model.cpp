#include "engine/part_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "engine/fast_complex.h"
#include "engine/netlist.h"
#include "engine/quoted.h"
#include "engine/si_value.h"

namespace rfsplitter {
namespace {

using Complex = std::complex<double>;

constexpr double kTwoPi = 2 * std::numbers::pi;

}  // namespace

std::string_view QProfileName(QProfile profile) {
  switch (profile) {
    case QProfile::kConstant:
      return "constant";
    case QProfile::kSqrt:
      return "sqrt";
    case QProfile::kLinear:
      return "linear";
  }
  return "";
}

std::string_view PackageName(ChipPackage package) {
  return package == ChipPackage::k0402 ? "0402" : "0603";
}

std::optional<QProfile> QProfileNamed(std::string_view name) {
  for (const QProfile p : {QProfile::kConstant, QProfile::kSqrt, QProfile::kLinear}) {
    if (name == QProfileName(p)) return p;
  }
  return std::nullopt;
}

double QExponent(QProfile profile) {
  return profile == QProfile::kConstant ? 0 : profile == QProfile::kSqrt ? 0.5 : 1;
}

std::optional<Complex> MeasuredPart::ImpedanceAt(double frequency_hz) const {
  // The analysis has the frequency back from an angular one: a file's end
  // point may come back a rounding off.
  constexpr double kSlack = 1e-12;
  if (frequencies_hz.empty() || frequency_hz < frequencies_hz.front() * (1 - kSlack) ||
      frequency_hz > frequencies_hz.back() * (1 + kSlack)) {
    return std::nullopt;
  }
  frequency_hz = std::clamp(frequency_hz, frequencies_hz.front(), frequencies_hz.back());
  const auto above = std::lower_bound(frequencies_hz.begin(), frequencies_hz.end(), frequency_hz);
  const size_t i = size_t(above - frequencies_hz.begin());
  if (*above == frequency_hz) return impedances[i];
  const double t =
      (frequency_hz - frequencies_hz[i - 1]) / (frequencies_hz[i] - frequencies_hz[i - 1]);
  return impedances[i - 1] + t * (impedances[i] - impedances[i - 1]);
}

std::string MeasuredPart::RangeText() const {
  // The name is a path the user gave: shown with its control bytes escaped.
  const std::string shown = EscapeControls(name);
  if (frequencies_hz.empty()) return shown + " (no data)";
  return shown + " (" + SiText(frequencies_hz.front(), Unit::kHertz) + " to " +
         SiText(frequencies_hz.back(), Unit::kHertz) + ")";
}

bool KindModel::Any() const {
  return q > 0 || srf_hz > 0 || esl_h > 0 || esr_ohms > 0 || parallel_c_f > 0 || measured;
}

const KindModel& PartModels::Of(ElementKind kind) const {
  return kind == ElementKind::kInductor    ? inductor
         : kind == ElementKind::kCapacitor ? capacitor
                                           : resistor;
}

KindModel& PartModels::Of(ElementKind kind) {
  return kind == ElementKind::kInductor    ? inductor
         : kind == ElementKind::kCapacitor ? capacitor
                                           : resistor;
}

bool PartModels::Any() const {
  return inductor.Any() || capacitor.Any() || resistor.Any() || pad_capacitance_f > 0;
}

bool PartModels::Parasitic() const {
  return (inductor.q > 0 && inductor.q_profile != QProfile::kLinear) || inductor.srf_hz > 0 ||
         inductor.parallel_c_f > 0 || capacitor.esl_h > 0 || resistor.parallel_c_f > 0 ||
         pad_capacitance_f > 0;
}

bool ElementModel::Dynamic(ElementKind kind) const {
  if (measured) return true;
  switch (kind) {
    case ElementKind::kInductor:
      return (q > 0 && q_exponent != 1) || parallel_c_f > 0;
    case ElementKind::kCapacitor:
      return series_l_h > 0;
    case ElementKind::kResistor:
      return parallel_c_f > 0;
  }
  return false;
}

ElementModel ResolveModel(ElementKind kind, double nominal, const KindModel& model,
                          double design_frequency_hz) {
  ElementModel m;
  m.q = model.q;
  m.q_at_hz = model.q_at_hz > 0 ? model.q_at_hz : design_frequency_hz;
  m.q_exponent = QExponent(model.q_profile);
  m.measured = model.measured;
  m.measured_value = model.measured_value > 0 ? model.measured_value : nominal;
  switch (kind) {
    case ElementKind::kInductor:
      // The winding's capacitance, fixed by the part: Cp = 1 / ((2 pi SRF)^2 L).
      if (model.srf_hz > 0) {
        m.parallel_c_f = 1 / (std::pow(kTwoPi * model.srf_hz, 2) * nominal);
      } else {
        m.parallel_c_f = model.parallel_c_f;
      }
      break;
    case ElementKind::kCapacitor:
      m.series_l_h = model.esl_h;
      m.esr_ohms = model.esr_ohms;
      break;
    case ElementKind::kResistor:
      m.parallel_c_f = model.parallel_c_f;
      break;
  }
  return m;
}

double FixedLossOhms(ElementKind kind, double value, const ElementModel& model) {
  if (model.measured) return 0;
  if (kind == ElementKind::kInductor && model.q > 0 && model.q_exponent == 1) {
    // R(f) = 2 pi f L / (Q0 f / fQ) = 2 pi fQ L / Q0, the same at every
    // frequency; written as the first loss model wrote w0 L / Q.
    return kTwoPi * model.q_at_hz * value / model.q;
  }
  if (kind == ElementKind::kCapacitor) {
    if (model.q > 0) return 1 / (kTwoPi * model.q_at_hz * value * model.q);
    return model.esr_ohms;
  }
  return 0;
}

std::optional<Complex> PartImpedance(ElementKind kind, double value, double loss_ohms,
                                     const ElementModel& m, double omega) {
  const Complex j(0, 1);
  if (m.measured) {
    const std::optional<Complex> z = m.measured->ImpedanceAt(omega / kTwoPi);
    if (!z) return std::nullopt;
    // A drawn tolerance scales the measured part's impedance.
    const double scale =
        kind == ElementKind::kCapacitor ? m.measured_value / value : value / m.measured_value;
    return *z * scale;
  }
  switch (kind) {
    case ElementKind::kInductor: {
      double r = loss_ohms;
      if (m.q > 0 && m.q_exponent != 1) {
        const double ratio = omega / (kTwoPi * m.q_at_hz);
        // sqrt for the skin effect's profile: pow is the boards' dearest call.
        const double q = m.q * (m.q_exponent == 0.5 ? std::sqrt(ratio)
                                : m.q_exponent == 0 ? 1.0
                                                    : std::pow(ratio, m.q_exponent));
        r = omega * value / q;
      }
      const Complex series = r + j * omega * value;
      if (m.parallel_c_f <= 0) return series;
      return Divided(series, 1.0 + j * omega * m.parallel_c_f * series);
    }
    case ElementKind::kCapacitor:
      return Complex(loss_ohms, omega * m.series_l_h - 1 / (omega * value));
    case ElementKind::kResistor: {
      const Complex r = value + loss_ohms;
      if (m.parallel_c_f <= 0) return r;
      return Divided(r, 1.0 + j * omega * m.parallel_c_f * r);
    }
  }
  return std::nullopt;
}

std::optional<Complex> PairImpedance(ElementKind kind, double value, double loss_ohms,
                                     const ElementModel& model, double second_value,
                                     double second_loss_ohms, const ElementModel& second_model,
                                     double omega) {
  const std::optional<Complex> z1 = PartImpedance(kind, value, loss_ohms, model, omega);
  const std::optional<Complex> z2 =
      PartImpedance(kind, second_value, second_loss_ohms, second_model, omega);
  if (!z1 || !z2) return std::nullopt;
  if (kind == ElementKind::kInductor) return *z1 + *z2;
  return Divided(*z1 * *z2, *z1 + *z2);
}

std::optional<double> EffectiveValueOf(ElementKind kind, Complex z, double omega) {
  switch (kind) {
    case ElementKind::kInductor:
      if (z.imag() > 0) return z.imag() / omega;
      return std::nullopt;
    case ElementKind::kCapacitor:
      if (z.imag() < 0) return -1 / (omega * z.imag());
      return std::nullopt;
    case ElementKind::kResistor:
      return z.real();
  }
  return std::nullopt;
}

std::optional<double> EffectiveValue(ElementKind kind, double value, const ElementModel& model,
                                     double omega) {
  const std::optional<Complex> z =
      PartImpedance(kind, value, FixedLossOhms(kind, value, model), model, omega);
  if (!z) return std::nullopt;
  return EffectiveValueOf(kind, *z, omega);
}

std::optional<double> NominalForEffective(ElementKind kind, double target, const KindModel& model,
                                          double design_frequency_hz) {
  if (!(target > 0)) return std::nullopt;
  if (kind == ElementKind::kResistor || model.measured) return target;
  const double omega = kTwoPi * design_frequency_hz;
  // Below its resonance a part's effective value grows with its nominal one;
  // past it there is none, which counts as too large.
  const auto too_large = [&](double nominal) {
    const std::optional<double> eff = EffectiveValue(
        kind, nominal, ResolveModel(kind, nominal, model, design_frequency_hz), omega);
    return !eff || *eff >= target;
  };
  double low = std::log(target / 30), high = std::log(target * 30);
  if (too_large(std::exp(low)) || !too_large(std::exp(high))) return std::nullopt;
  for (int i = 0; i < 80; ++i) {
    const double middle = (low + high) / 2;
    (too_large(std::exp(middle)) ? high : low) = middle;
  }
  return std::exp((low + high) / 2);
}

std::optional<double> ResonanceHz(ElementKind kind, double value, const ElementModel& model) {
  const double other = kind == ElementKind::kInductor    ? model.parallel_c_f
                       : kind == ElementKind::kCapacitor ? model.series_l_h
                                                         : 0;
  if (!(other > 0)) return std::nullopt;
  return 1 / (kTwoPi * std::sqrt(value * other));
}

double CompensatedTarget(ElementKind kind, double ideal, const PartModels& models) {
  if (kind != ElementKind::kCapacitor || !models.compensate || !(models.pad_capacitance_f > 0)) {
    return ideal;
  }
  return std::max(ideal - models.pad_capacitance_f, 0.05 * ideal);
}

void ApplyModels(Netlist& netlist, const PartModels& models) {
  for (NetlistElement& e : netlist.elements) {
    const KindModel& kind_model = models.Of(e.kind);
    if (!kind_model.Any()) continue;
    e.model = ResolveModel(e.kind, e.value, kind_model, netlist.frequency_hz);
    const double loss = FixedLossOhms(e.kind, e.value, e.model);
    if (loss > 0) e.loss_ohms = loss;
    if (SecondPart* second = e.second ? &*e.second : nullptr) {
      second->model = ResolveModel(e.kind, second->value, kind_model, netlist.frequency_hz);
      const double second_loss = FixedLossOhms(e.kind, second->value, second->model);
      if (second_loss > 0) second->loss_ohms = second_loss;
    }
  }
  if (models.pad_capacitance_f > 0) {
    std::set<int> nodes;
    for (const NetlistElement& e : netlist.elements) {
      if (e.pad) continue;
      for (const int node : {e.node_a, e.node_b}) {
        if (node != 0) nodes.insert(node);
      }
    }
    for (const int node : nodes) {
      NetlistElement pad;
      pad.kind = ElementKind::kCapacitor;
      pad.name = PadName(node);
      pad.node_a = node;
      pad.node_b = 0;
      pad.value = models.pad_capacitance_f;
      pad.pad = true;
      netlist.elements.push_back(pad);
    }
  }
}

std::optional<std::string> UnmeasuredRange(const Netlist& netlist, double low_hz, double high_hz) {
  for (const NetlistElement& e : netlist.elements) {
    const MeasuredPart* m = e.model.measured.get();
    if (m == nullptr || (m->ImpedanceAt(low_hz) && m->ImpedanceAt(high_hz))) continue;
    std::string range = SiText(low_hz, Unit::kHertz);
    if (high_hz != low_hz) range += " to " + SiText(high_hz, Unit::kHertz);
    return std::string(e.name) + "'s measurements " + m->RangeText() + " do not cover " + range;
  }
  return std::nullopt;
}

double ErrorPercent(double chosen, double ideal) { return 100 * (chosen - ideal) / ideal; }

}  // namespace rfsplitter
