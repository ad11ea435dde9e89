#include "parts/series.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "engine/number_text.h"
#include "engine/quoted.h"

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
                                  std::vector<size_t> lines) {
  PartSeries result;
  result.name_ = std::move(name);
  std::vector<std::pair<double, size_t>> entries;
  for (size_t i = 0; i < values.size(); ++i) {
    entries.emplace_back(values[i], i < lines.size() ? lines[i] : 0);
  }
  // Sorted by value, then line, so that a repeated value keeps its first line.
  std::sort(entries.begin(), entries.end());
  for (const auto& [value, line] : entries) {
    if (!result.values_.empty() && result.values_.back() == value) continue;
    result.values_.push_back(value);
    result.lines_.push_back(line);
  }
  return result;
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

std::optional<std::vector<std::optional<PartSeries>>> ReadPartsFile(
    std::string_view text, const std::string& name, std::span<const ElementKind> kinds,
    std::string& error) {
  constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  std::vector<std::vector<double>> values(kinds.size());
  std::vector<std::vector<size_t>> lines(kinds.size());
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
    const std::string where = name + " line " + std::to_string(line_number) + ": ";
    std::string why;
    const std::optional<SiValue> value = ParseSiValue(line, why);
    std::optional<ElementKind> kind;
    if (value) {
      kind = KindOf(value->unit);
      if (!kind && value->unit != Unit::kNone) why = "is not a part value";
      if (!(value->value > 0)) why = "is not a positive value";
    }
    if (!why.empty()) {
      error = where + QuotedShort(line) + " " + why;
      return std::nullopt;
    }
    bool used = false;
    for (size_t k = 0; k < kinds.size(); ++k) {
      if (!kind || *kind == kinds[k]) {
        values[k].push_back(value->value);
        lines[k].push_back(line_number);
        used = true;
      }
    }
    if (!used) {
      error = where + QuotedShort(line) + " is " +
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
    series.push_back(PartSeries::FromValues(name, std::move(values[k]), std::move(lines[k])));
  }
  if (!any) {
    error = name + ": no " + (kinds.size() == 1 ? std::string(KindName(kinds[0])) + " " : "") +
            "values";
    return std::nullopt;
  }
  return series;
}

}  // namespace rfsplitter
