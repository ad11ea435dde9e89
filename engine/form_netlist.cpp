#include "engine/form_netlist.h"

#include <cmath>
#include <deque>
#include <map>
#include <numbers>
#include <vector>

#include "engine/number_text.h"
#include "engine/topologies.h"

namespace rfsplitter {
namespace {

// A quarter-wave line of impedance z between two nodes, lumped: a pi of a
// series Z and two shunt Y, whose ABCD matrix is [1 + ZY, Z; Y (2 + ZY),
// 1 + ZY]. Low-pass, Z = j w0 L and Y = j w0 C with w0 L = z and
// w0 C = 1 / z, so ZY = -1 and the matrix is [0, jz; j/z, 0]: the line's at
// f0, -90 degrees. High-pass, Z = 1 / (j w0 C) and Y = 1 / (j w0 L) with
// 1 / (w0 C) = w0 L = z: [0, -jz; -j/z, 0], +90 degrees.
struct Arm {
  int a = 0, b = 0;
  double z = 0;
  bool plus_90 = false;
};

struct Resistor {
  int a = 0, b = 0;
  double ohms = 0;
};

struct Layout {
  int ports = 3;
  std::vector<Arm> arms;
  std::vector<Resistor> resistors;
};

// A split's power at port 2 over port 3, from its decibels.
double PowerRatio(double split_db) { return std::pow(10.0, split_db / 10); }

// The equal two-way splitter of 2 and 3 sections: each branch's arms Z_k and
// the resistors R_k across the branches after section k, over Z0, whose
// usable band (every port's match and the isolation at -20 dB) is the
// widest the search of tools/synthesize_splitter.py finds for lumped
// low-pass arms: 31.9 % and 55.4 % of f0. A lumped circuit's response
// depends on f / f0 and the values over Z0 alone: the table serves every
// design; high-pass arms mirror the band about f0 on a log scale.
struct SectionTable {
  double z[3];
  double r[3];
};
constexpr SectionTable kSections[] = {
    {{1.635771, 1.173955}, {1.644629, 4.704662}},
    {{1.869207, 1.498077, 1.127081}, {0.663246, 1.374249, 3.631493}},
};

Layout SplitterLayout(const Form& form, double z0, bool plus_90) {
  Layout l;
  l.ports = form.ways + 1;
  if (form.sections > 1) {
    const SectionTable& t = kSections[form.sections - 2];
    const int n = form.sections;
    // Section k's far ends: the outputs for the last, inner nodes before.
    const auto a = [&](int k) { return k == n ? 2 : 3 + k; };
    const auto b = [&](int k) { return k == n ? 3 : 2 + n + k; };
    for (int k = 1; k <= n; ++k) {
      l.arms.push_back({k == 1 ? 1 : a(k - 1), a(k), z0 * t.z[k - 1], plus_90});
      l.arms.push_back({k == 1 ? 1 : b(k - 1), b(k), z0 * t.z[k - 1], plus_90});
      l.resistors.push_back({a(k), b(k), z0 * t.r[k - 1]});
    }
    return l;
  }
  if (form.ways == 2 && form.split_db != 0) {
    // Unequal: P3 = K^2 P2, Z03 = Z0 sqrt((1 + K^2) / K^3), Z02 = K^2 Z03,
    // R = Z0 (K + 1 / K); the outputs, at Z0 K and Z0 / K, brought back to
    // Z0 by a quarter wave each (Pozar, 4th ed., 7.3).
    const double k = std::sqrt(1 / PowerRatio(form.split_db));
    const double z03 = z0 * std::sqrt((1 + k * k) / (k * k * k));
    const double z02 = k * k * z03;
    l.arms = {{1, 4, z02, plus_90},
              {1, 5, z03, plus_90},
              {4, 2, z0 * std::sqrt(k), plus_90},
              {5, 3, z0 / std::sqrt(k), plus_90}};
    l.resistors = {{4, 5, z0 * (k + 1 / k)}};
    return l;
  }
  // N equal ways: arms of Z0 sqrt(N); two ways, 2 Z0 across the outputs;
  // more, Z0 from each output to a star (Pozar, 4th ed., 7.3, the N-way
  // divider).
  const double z = z0 * std::sqrt(double(form.ways));
  for (int k = 0; k < form.ways; ++k) l.arms.push_back({1, 2 + k, z, plus_90});
  if (form.ways == 2) {
    l.resistors = {{2, 3, 2 * z0}};
  } else {
    const int star = l.ports + 1;
    for (int k = 0; k < form.ways; ++k) l.resistors.push_back({2 + k, star, z0});
  }
  return l;
}

// The equal branch-line hybrid of 2 and 3 sections (3 and 4 branches):
// the through arms' and the branches' impedances over Z0, end to end. Two
// sections: Z0 / sqrt 2 through, Z0 (1 + sqrt 2) at the ends, Z0 / sqrt 2
// in the middle, the wide hybrid's; three: the widest usable band (match
// and isolation -20 dB, balance 0.5 dB and 5 degrees; at f0 -40 dB, the
// split within 0.005 dB and 90 degrees) that the search of
// tools/synthesize_quad.py finds for lumped arms, 20 % of f0.
struct QuadTable {
  double through[3];
  double branch[4];
};
constexpr QuadTable kQuadSections[] = {
    {{0.7071068, 0.7071068}, {2.4142136, 0.7071068, 2.4142136}},
    {{0.932497, 0.925239, 0.932497}, {3.267521, 1.895941, 1.895941, 3.267521}},
};

Layout QuadLayout(const Form& form, double z0, bool plus_90) {
  Layout l;
  l.ports = 4;
  if (form.sections > 1) {
    const QuadTable& t = kQuadSections[form.sections - 2];
    const int n = form.sections;
    // The top row from port 1 to port 2, the bottom from port 4 to port 3,
    // the inner nodes after the ports.
    const auto top = [&](int k) { return k == 0 ? 1 : k == n ? 2 : 4 + k; };
    const auto bottom = [&](int k) { return k == 0 ? 4 : k == n ? 3 : 3 + n + k; };
    for (int k = 1; k <= n; ++k) {
      l.arms.push_back({top(k - 1), top(k), z0 * t.through[k - 1], plus_90});
      l.arms.push_back({bottom(k - 1), bottom(k), z0 * t.through[k - 1], plus_90});
    }
    for (int k = 0; k <= n; ++k) l.arms.push_back({top(k), bottom(k), z0 * t.branch[k], plus_90});
    return l;
  }
  // Matched and isolated at f0 when (Z0 / Za)^2 = 1 + (Z0 / Zb)^2; then
  // |S21| = Za / Z0 and |S31| = Za / Zb, so P2 / P3 = (Zb / Z0)^2 (Pozar,
  // 4th ed., 7.5, for any split).
  const double zb = z0 * std::sqrt(PowerRatio(form.split_db));
  const double za = z0 / std::sqrt(1 + (z0 / zb) * (z0 / zb));
  l.arms = {{1, 2, za, plus_90}, {4, 3, za, plus_90}, {1, 4, zb, plus_90}, {2, 3, zb, plus_90}};
  return l;
}

Layout RingLayout(double z0, bool plus_90) {
  // Round the ring: 1, a quarter wave, 2, three quarters, 4, a quarter, 3, a
  // quarter, back to 1; every arm Z0 sqrt(2) (Pozar, 4th ed., 7.8). The
  // three-quarter arm's -270 degrees are +90 at f0: the other pi.
  const double z = z0 * std::numbers::sqrt2;
  Layout l;
  l.ports = 4;
  l.arms = {{1, 2, z, plus_90}, {2, 4, z, !plus_90}, {4, 3, z, plus_90}, {3, 1, z, plus_90}};
  return l;
}

}  // namespace

std::optional<std::string> WhyNoForm(const Form& form) {
  if (FixedTopology(form)) return std::nullopt;
  const bool equal_two_way =
      form.family != FormFamily::kRing && form.ways == 2 && form.split_db == 0;
  if (form.sections < 1 || form.sections > (equal_two_way ? 3 : 1)) {
    return "this form is built with " +
           std::string(equal_two_way ? "1 to 3 sections" : "one section") + ", not " +
           std::to_string(form.sections);
  }
  if (!(form.split_db >= -10 && form.split_db <= 10)) {
    return "the split " + GeneralText(form.split_db, 6) + " dB is outside -10 to 10 dB";
  }
  switch (form.family) {
    case FormFamily::kSplitter:
      if (form.ways < 2 || form.ways > 4) {
        return "a splitter of " + std::to_string(form.ways) + " ways is not built (2 to 4)";
      }
      if (form.ways != 2 && form.split_db != 0) return "only two ways split unequally";
      return std::nullopt;
    case FormFamily::kQuad:
      return std::nullopt;
    case FormFamily::kRing:
      if (form.split_db != 0) return "the ring splits equally";
      return std::nullopt;
  }
  return "not a form";
}

std::string_view Designator(char letter, int number) {
  return HeldName(std::string(1, letter) + std::to_string(number));
}

Netlist FormNetlist(const Form& form, DesignInputs inputs) {
  const double z0 = inputs.impedance_ohms;
  const double w0 = 2 * std::numbers::pi * 1e6 * double(inputs.frequency_mhz);
  const bool plus_90 = form.arms == ArmForm::kHighPass;
  const Layout layout = form.family == FormFamily::kSplitter ? SplitterLayout(form, z0, plus_90)
                        : form.family == FormFamily::kQuad   ? QuadLayout(form, z0, plus_90)
                                                             : RingLayout(z0, plus_90);
  Netlist n;
  n.inputs = inputs;
  n.frequency_hz = 1e6 * double(inputs.frequency_mhz);
  n.z0 = z0;
  n.ports = layout.ports;
  n.form = form;
  int count[3] = {};
  const auto add = [&](ElementKind kind, int a, int b, double value) {
    const char letters[] = {'L', 'C', 'R'};
    const int k = static_cast<int>(kind);
    NetlistElement e;
    e.kind = kind;
    e.name = e.quantity = Designator(letters[k], ++count[k]);
    // Parts of one value share a quantity, as the symmetric arms' do: a
    // fit then chooses one value for all of them.
    for (const NetlistElement& other : n.elements) {
      if (other.kind == kind && std::abs(other.value - value) <= 1e-9 * value) {
        e.quantity = other.quantity;
        break;
      }
    }
    e.node_a = a;
    e.node_b = b;
    e.value = value;
    n.elements.push_back(e);
  };
  // The arms' ends meeting at a node share one part of each kind: the
  // capacitances add, the inductances combine in parallel.
  std::map<int, double> shunt_c, shunt_inverse_l;
  for (const Arm& arm : layout.arms) {
    if (arm.plus_90) {
      add(ElementKind::kCapacitor, arm.a, arm.b, 1 / (arm.z * w0));
      for (const int node : {arm.a, arm.b}) shunt_inverse_l[node] += w0 / arm.z;
    } else {
      add(ElementKind::kInductor, arm.a, arm.b, arm.z / w0);
      for (const int node : {arm.a, arm.b}) shunt_c[node] += 1 / (arm.z * w0);
    }
  }
  for (const auto& [node, c] : shunt_c) add(ElementKind::kCapacitor, node, 0, c);
  for (const auto& [node, inverse] : shunt_inverse_l)
    add(ElementKind::kInductor, node, 0, 1 / inverse);
  for (const Resistor& r : layout.resistors) add(ElementKind::kResistor, r.a, r.b, r.ohms);
  return n;
}

}  // namespace rfsplitter

namespace rfsplitter {

Design FormDesign(const Form& form, DesignInputs inputs) {
  if (const auto fixed = FixedTopology(form)) return ComputeDesign(*fixed, inputs);
  Design design;
  design.form = form;
  design.inputs = inputs;
  design.frequency_hz = 1e6 * double(inputs.frequency_mhz);
  bool resistor = false;
  for (const NetlistElement& e : FormNetlist(form, inputs).elements) {
    const NamedValue v{std::string(e.name), Number::Double(e.value)};
    design.listing.push_back(v);
    if (e.quantity != e.name) continue;
    design.quantities.push_back(v);
    if (e.kind != ElementKind::kResistor) {
      design.variables.push_back(v);
    } else if (!resistor) {
      design.resistor = v.value, resistor = true;
    }
  }
  return design;
}

}  // namespace rfsplitter
