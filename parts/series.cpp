#include "parts/series.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <unordered_map>

#include "engine/number_text.h"
#include "engine/quoted.h"
#include "engine/touchstone_read.h"

namespace rfsplitter {
namespace {

// IEC 60063. E12 and E6 are every second value of the series above them, and
// E96 and E48 likewise of E192; E24 and E192 hold the values that no formula
// gives (E24's 2.7 to 9.1, E192's 9.20).
constexpr int kE24[] = {10, 11, 12, 13, 15, 16, 18, 20, 22, 24, 27, 30,
                        33, 36, 39, 43, 47, 51, 56, 62, 68, 75, 82, 91};
constexpr int kE192[] = {
    100, 101, 102, 104, 105, 106, 107, 109, 110, 111, 113, 114, 115, 117, 118, 120, 121, 123,
    124, 126, 127, 129, 130, 132, 133, 135, 137, 138, 140, 142, 143, 145, 147, 149, 150, 152,
    154, 156, 158, 160, 162, 164, 165, 167, 169, 172, 174, 176, 178, 180, 182, 184, 187, 189,
    191, 193, 196, 198, 200, 203, 205, 208, 210, 213, 215, 218, 221, 223, 226, 229, 232, 234,
    237, 240, 243, 246, 249, 252, 255, 258, 261, 264, 267, 271, 274, 277, 280, 284, 287, 291,
    294, 298, 301, 305, 309, 312, 316, 320, 324, 328, 332, 336, 340, 344, 348, 352, 357, 361,
    365, 370, 374, 379, 383, 388, 392, 397, 402, 407, 412, 417, 422, 427, 432, 437, 442, 448,
    453, 459, 464, 470, 475, 481, 487, 493, 499, 505, 511, 517, 523, 530, 536, 542, 549, 556,
    562, 569, 576, 583, 590, 597, 604, 612, 619, 626, 634, 642, 649, 657, 665, 673, 681, 690,
    698, 706, 715, 723, 732, 741, 750, 759, 768, 777, 787, 796, 806, 816, 825, 835, 845, 856,
    866, 876, 887, 898, 909, 920, 931, 942, 953, 965, 976, 988};

// digits x 10^exponent, rounded once: a power of ten up to 10^22 is exact.
double Scaled(int digits, int exponent) {
  const double power = std::pow(10.0, std::abs(exponent));
  return exponent >= 0 ? digits * power : digits / power;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::optional<PartSeries> PartSeries::Standard(std::string_view name) {
  std::string upper;
  for (const char c : name) upper += static_cast<char>(c == 'e' ? 'E' : c);
  const struct {
    const char* name;
    const int* table;
    size_t size;
    size_t stride;
    int digit_count;
  } series[] = {{"E6", kE24, std::size(kE24), 4, 2},    {"E12", kE24, std::size(kE24), 2, 2},
                {"E24", kE24, std::size(kE24), 1, 2},   {"E48", kE192, std::size(kE192), 4, 3},
                {"E96", kE192, std::size(kE192), 2, 3}, {"E192", kE192, std::size(kE192), 1, 3}};
  for (const auto& s : series) {
    if (upper != s.name) continue;
    PartSeries result;
    result.name_ = s.name;
    result.every_decade_ = true;
    result.digit_count_ = s.digit_count;
    for (size_t i = 0; i < s.size; i += s.stride) {
      result.digits_.push_back(s.table[i]);
      result.mantissas_.push_back(Scaled(s.table[i], 1 - s.digit_count));
    }
    return result;
  }
  return std::nullopt;
}

PartSeries PartSeries::FromValues(std::string name, std::vector<double> values,
                                  std::vector<size_t> lines, std::vector<KindModel> models) {
  PartSeries result;
  result.name_ = std::move(name);
  std::vector<std::pair<double, size_t>> entries;  // value, its place in the arguments
  for (size_t i = 0; i < values.size(); ++i) entries.emplace_back(values[i], i);
  const auto line_of = [&](size_t i) { return i < lines.size() ? lines[i] : 0; };
  // Sorted by value, then line, so that a repeated value keeps its first line.
  std::sort(entries.begin(), entries.end(), [&](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : line_of(a.second) < line_of(b.second);
  });
  for (const auto& [value, i] : entries) {
    if (!result.values_.empty() && result.values_.back() == value) continue;
    result.values_.push_back(value);
    result.lines_.push_back(line_of(i));
    result.models_.push_back(i < models.size() ? models[i] : KindModel{});
  }
  return result;
}

const KindModel* PartSeries::ModelOf(double value) const {
  const auto at = std::lower_bound(values_.begin(), values_.end(), value);
  if (at == values_.end() || *at != value) return nullptr;
  const KindModel& model = models_[size_t(at - values_.begin())];
  return model.Any() ? &model : nullptr;
}

const KindModel* PartSeries::WordsOf(double value) const {
  const auto at = std::lower_bound(values_.begin(), values_.end(), value);
  if (at == values_.end() || *at != value || models_.empty()) return nullptr;
  return &models_[size_t(at - values_.begin())];
}

double PartSeries::ToleranceFloorOf(double value) const {
  const auto at = std::lower_bound(values_.begin(), values_.end(), value);
  if (at == values_.end() || *at != value) return 0;
  return models_[size_t(at - values_.begin())].tolerance_floor_f;
}

bool PartSeries::HasOwnModels() const {
  return std::any_of(models_.begin(), models_.end(), [](const KindModel& m) { return m.Any(); });
}

size_t PartSeries::LineOf(double value) const {
  const auto at = std::lower_bound(values_.begin(), values_.end(), value);
  if (at == values_.end() || *at != value) return 0;
  return lines_[size_t(at - values_.begin())];
}

PartSeries::Neighbours PartSeries::Around(double value) const {
  Neighbours n;
  const auto consider = [&](double candidate) {
    if (candidate <= value && (!n.below || candidate > *n.below)) n.below = candidate;
    if (candidate >= value && (!n.above || candidate < *n.above)) n.above = candidate;
  };
  if (!every_decade_) {
    const auto above = std::lower_bound(values_.begin(), values_.end(), value);
    if (above != values_.end()) consider(*above);
    if (above != values_.begin()) consider(*std::prev(above));
    if (above != values_.end() && *above == value) n.below = value;
    return n;
  }
  if (!(value > 0) || !std::isfinite(value)) return n;
  // The decades around the value's own; the decade above supplies 1 x 10^(d+1)
  // for a value past the decade's last entry (9.1 -> 10).
  const int decade = static_cast<int>(std::floor(std::log10(value)));
  for (int d = decade - 1; d <= decade + 1; ++d) {
    for (const int digits : digits_) consider(Scaled(digits, d - (digit_count_ - 1)));
  }
  return n;
}

double PartSeries::Nearest(double value) const {
  const Neighbours n = Around(value);
  if (!n.below) return n.above.value_or(value);
  if (!n.above) return *n.below;
  return std::log(value / *n.below) <= std::log(*n.above / value) ? *n.below : *n.above;
}

std::optional<KindModel> ReadModelWords(std::string_view words, std::string& s2p,
                                        std::string& error) {
  KindModel model;
  std::vector<std::string> seen;
  while (!(words = Trim(words)).empty()) {
    const size_t end = words.find_first_of(" \t");
    const std::string_view word = words.substr(0, end);
    words.remove_prefix(end == std::string_view::npos ? words.size() : end);
    const size_t equals = word.find('=');
    if (equals == std::string_view::npos) {
      error = QuotedShort(word) + " is not NAME=VALUE";
      return std::nullopt;
    }
    const std::string key(word.substr(0, equals));
    const std::string_view text = word.substr(equals + 1);
    if (text.empty()) {
      error = QuotedShort(word) + " has no value";
      return std::nullopt;
    }
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
      error = QuotedShort(key + "=") + " is given twice";
      return std::nullopt;
    }
    seen.push_back(key);
    if (key == "s2p") {
      s2p = std::string(text);
      continue;
    }
    if (key == "MPN") {
      model.mpn = std::string(text);
      continue;
    }
    if (key == "Qprofile") {
      const std::optional<QProfile> profile = QProfileNamed(text);
      if (!profile) {
        error = QuotedShort(word) + " is not constant, sqrt or linear";
        return std::nullopt;
      }
      model.q_profile = *profile;
      continue;
    }
    // Q=60, Q=60@900M: the number, and where it holds.
    std::string_view number = text;
    std::optional<std::string_view> at;
    if (key == "Q") {
      if (const size_t sign = text.find('@'); sign != std::string_view::npos) {
        number = text.substr(0, sign);
        at = text.substr(sign + 1);
      }
    }
    std::string why;
    const std::optional<SiValue> value = ParseSiValue(number, why);
    if (!value || !(value->value > 0)) {
      error = QuotedShort(word) + (value ? " is not positive" : " " + why);
      return std::nullopt;
    }
    if (at) {
      const std::optional<SiValue> frequency = ParseSiValue(*at, why);
      if (!frequency || (frequency->unit != Unit::kNone && frequency->unit != Unit::kHertz) ||
          !(frequency->value >= kQFrequencyRange.low &&
            frequency->value <= kQFrequencyRange.high)) {
        error = QuotedShort(word) + ": " + QuotedShort(*at) + " is not a frequency from " +
                SiText(kQFrequencyRange.low, Unit::kHertz) + " to " +
                SiText(kQFrequencyRange.high, Unit::kHertz);
        return std::nullopt;
      }
      model.q_at_hz = frequency->value;
    }
    const auto unit_is = [&](Unit unit) {
      return value->unit == Unit::kNone || value->unit == unit;
    };
    // Each figure in the command line's range for it.
    const auto in = [&](FigureRange range, Unit unit, double& figure) {
      if (value->value > range.high || value->value < range.low) {
        const auto shown = [&](double x) {
          return x == 0                ? std::string("0")
                 : unit == Unit::kNone ? GeneralText(x, 7)
                                       : SiText(x, unit);
        };
        error = QuotedShort(word) + " is outside " + shown(range.low) + " to " + shown(range.high);
        return false;
      }
      figure = value->value;
      return true;
    };
    bool ok = true;
    if (key == "Q" && value->unit == Unit::kNone) {
      ok = in(kQRange, Unit::kNone, model.q);
    } else if (key == "SRF" && unit_is(Unit::kHertz)) {
      ok = in(kSrfRange, Unit::kHertz, model.srf_hz);
    } else if (key == "ESL" && unit_is(Unit::kHenry)) {
      ok = in(kEslRange, Unit::kHenry, model.esl_h);
    } else if (key == "ESR" && unit_is(Unit::kOhm)) {
      ok = in(kEsrRange, Unit::kOhm, model.esr_ohms);
    } else if (key == "Cp" && unit_is(Unit::kFarad)) {
      ok = in(kShuntCapacitanceRange, Unit::kFarad, model.parallel_c_f);
    } else if (key == "Tmin" && unit_is(Unit::kFarad)) {
      ok = in(kToleranceFloorRange, Unit::kFarad, model.tolerance_floor_f);
    } else if (key == "V" && unit_is(Unit::kVolt)) {
      ok = in(kRatedVoltsRange, Unit::kVolt, model.rating.volts);
    } else if (key == "I" && unit_is(Unit::kAmpere)) {
      ok = in(kRatedAmpsRange, Unit::kAmpere, model.rating.amps);
    } else if (key == "P" && unit_is(Unit::kWatt)) {
      ok = in(kRatedWattsRange, Unit::kWatt, model.rating.watts);
    } else if (key == "Q" || key == "SRF" || key == "ESL" || key == "ESR" || key == "Cp" ||
               key == "Tmin" || key == "V" || key == "I" || key == "P") {
      error = QuotedShort(word) + " has the wrong unit";
      return std::nullopt;
    } else {
      error =
          QuotedShort(word) + " is not Q, Qprofile, SRF, ESL, ESR, Cp, Tmin, V, I, P, MPN or s2p";
      return std::nullopt;
    }
    if (!ok) return std::nullopt;
  }
  // A measured part is what its file says: a figure beside it would be
  // silently ignored.
  const auto about_the_part = [](const std::string& key) {
    return key == "Tmin" || key == "V" || key == "I" || key == "P" || key == "MPN";
  };
  if (!s2p.empty() &&
      seen.size() > 1 + size_t(std::count_if(seen.begin(), seen.end(), about_the_part))) {
    error = "s2p= takes no other words: the measurements are the whole part";
    return std::nullopt;
  }
  return model;
}

std::shared_ptr<const MeasuredPart> ReadTouchstoneTwoPort(std::string_view text,
                                                          const std::string& name,
                                                          std::string& error) {
  const std::optional<NetworkData> data =
      ReadTouchstone(text, name, {2, "a part is measured as a two-port (.s2p)", "part"}, error);
  if (!data) return nullptr;
  auto part = std::make_shared<MeasuredPart>();
  part->name = name;
  const double z0 = data->reference_ohms[0];
  for (size_t i = 0; i < data->frequencies_hz.size(); ++i) {
    const double f = data->frequencies_hz[i];
    const std::optional<std::vector<std::complex<double>>> s = ReferredTo(*data, i, z0);
    const std::complex<double> s21 = s ? (*s)[2] : 0.0;
    if (std::abs(s21) == 0) {
      error = name + ": S21 is zero at " + SiText(f, Unit::kHertz) + " (an open part)";
      return nullptr;
    }
    // A part in series between two Z0 ports: S21 = 2 Z0 / (2 Z0 + Z).
    part->frequencies_hz.push_back(f);
    part->impedances.push_back(2 * z0 * (1.0 / s21 - 1.0));
  }
  return part;
}

namespace {

// A word of a model that a part of `kind` has no use for, as a message.
std::optional<std::string> ForeignWord(const KindModel& m, ElementKind kind) {
  const bool inductor = kind == ElementKind::kInductor;
  const bool capacitor = kind == ElementKind::kCapacitor;
  if (!inductor && m.srf_hz > 0) return "SRF= is for inductors";
  if (!inductor && m.q_profile != QProfile::kLinear) return "Qprofile= is for inductors";
  if (!capacitor && m.esl_h > 0) return "ESL= is for capacitors";
  if (!capacitor && m.esr_ohms > 0) return "ESR= is for capacitors";
  if (capacitor && m.parallel_c_f > 0) return "Cp= is for inductors and resistors";
  if (!capacitor && m.tolerance_floor_f > 0) return "Tmin= is for capacitors";
  if (kind == ElementKind::kResistor && m.q > 0) return "Q= is for inductors and capacitors";
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<std::optional<PartSeries>>> ReadPartsFile(
    std::string_view text, const std::string& name, std::span<const ElementKind> kinds,
    std::string& error, const MeasuredReader& read_measured) {
  constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  std::vector<std::vector<double>> values(kinds.size());
  std::vector<std::vector<size_t>> lines(kinds.size());
  std::vector<std::vector<KindModel>> models(kinds.size());
  // Each kind's values as read, to take a repeated value once: a file of a
  // million lines of one value is one value.
  std::vector<std::unordered_map<double, size_t>> known(kinds.size());
  size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (const size_t hash = line.find('#'); hash != std::string_view::npos)
      line = line.substr(0, hash);
    line = Trim(line);
    if (line.empty()) continue;
    const auto where = [&] { return name + " line " + std::to_string(line_number) + ": "; };
    // The value, then the part's own model as NAME=VALUE words.
    std::string_view words;
    for (size_t at = 0; at < line.size();) {
      const size_t start = line.find_first_not_of(" \t", at);
      if (start == std::string_view::npos) break;
      const size_t stop = std::min(line.find_first_of(" \t", start), line.size());
      if (line.substr(start, stop - start).find('=') != std::string_view::npos) {
        words = line.substr(start);
        line = Trim(line.substr(0, start));
        break;
      }
      at = stop;
    }
    KindModel model;
    if (!words.empty()) {
      std::string s2p, why;
      const std::optional<KindModel> read = ReadModelWords(words, s2p, why);
      if (!read) {
        error = where() + why;
        return std::nullopt;
      }
      model = *read;
      if (!s2p.empty()) {
        if (!read_measured) {
          error = where() + "s2p= is not read here";
          return std::nullopt;
        }
        model.measured = read_measured(s2p, why);
        if (!model.measured) {
          error = where() + why;
          return std::nullopt;
        }
      }
    }
    std::string why;
    const std::optional<SiValue> value = ParseSiValue(line, why);
    std::optional<ElementKind> kind;
    if (value) {
      kind = KindOf(value->unit);
      if (!kind && value->unit != Unit::kNone) why = "is not a part value";
      if (!(value->value > 0)) why = "is not a positive value";
    }
    if (!why.empty()) {
      error = where() + QuotedShort(line) + " " + why;
      return std::nullopt;
    }
    bool used = false;
    for (size_t k = 0; k < kinds.size(); ++k) {
      if (!kind || *kind == kinds[k]) {
        // A plain number in a file for several kinds takes the words that
        // fit each kind.
        if (kind || kinds.size() == 1) {
          if (std::optional<std::string> foreign = ForeignWord(model, kinds[k])) {
            error = where() + *foreign;
            return std::nullopt;
          }
        }
        KindModel own = model;
        if (own.measured) own.measured_value = value->value;
        used = true;
        const auto [at, fresh] = known[k].try_emplace(value->value, values[k].size());
        if (!fresh) {
          if (models[k][at->second] == own) continue;
          error = where() + QuotedShort(line) + " is on line " +
                  std::to_string(lines[k][at->second]) + " too, with another model";
          return std::nullopt;
        }
        values[k].push_back(value->value);
        lines[k].push_back(line_number);
        models[k].push_back(std::move(own));
      }
    }
    if (!used) {
      error = where() + QuotedShort(line) + " is " +
              (*kind == ElementKind::kInductor ? "an " : "a ") + std::string(KindName(*kind)) +
              " value; this file serves " + std::string(KindName(kinds[0])) + "s";
      return std::nullopt;
    }
  }
  std::vector<std::optional<PartSeries>> series;
  bool any = false;
  for (size_t k = 0; k < kinds.size(); ++k) {
    if (values[k].empty()) {
      series.emplace_back();
      continue;
    }
    any = true;
    series.push_back(PartSeries::FromValues(name, std::move(values[k]), std::move(lines[k]),
                                            std::move(models[k])));
  }
  if (!any) {
    error = name + ": no " + (kinds.size() == 1 ? std::string(KindName(kinds[0])) + " " : "") +
            "values";
    return std::nullopt;
  }
  return series;
}

}  // namespace rfsplitter
