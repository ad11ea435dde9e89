#include "engine/touchstone_read.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "engine/complex_solve.h"
#include "engine/si_value.h"

namespace rfsplitter {
namespace {

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Lower(std::string_view text) {
  std::string lower;
  for (const char c : text) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

// The N of a ".sNp" name; 0 for any other name.
int PortsOfName(const std::string& name) {
  const std::string ext = Lower(std::filesystem::path(name).extension().string());
  if (ext.size() < 4 || ext.size() > 5 || ext[1] != 's' || ext.back() != 'p') return 0;
  int n = 0;
  for (size_t i = 2; i + 1 < ext.size(); ++i) {
    if (ext[i] < '0' || ext[i] > '9') return 0;
    n = n * 10 + (ext[i] - '0');
  }
  return n;
}

bool ReadDouble(std::string_view word, double& value) {
  const auto [ptr, code] = std::from_chars(word.data(), word.data() + word.size(), value);
  return code == std::errc() && ptr == word.data() + word.size();
}

std::string PortWord(int ports) {
  return ports == 1 ? "one-port" : ports == 2 ? "two-port" : std::to_string(ports) + "-port";
}

enum class Format { kMa, kDb, kRi };
enum class Matrix { kFull, kLower, kUpper };

// Reads one file; the state of the keywords and of the point being read.
class Reader {
 public:
  Reader(const std::string& name, const TouchstoneUse& use, std::string& error)
      : name_(name), use_(use), error_(error) {}

  std::optional<NetworkData> Read(std::string_view text) {
    named_ports_ = PortsOfName(name_);
    if (named_ports_ != 0 && named_ports_ != use_.ports) return WrongCount(named_ports_);
    data_.ports = use_.ports;
    while (!text.empty()) {
      ++line_;
      const size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
      if (const size_t bang = line.find('!'); bang != std::string_view::npos)
        line = line.substr(0, bang);
      line = Trim(line);
      if (line.empty()) continue;
      const std::string lower = Lower(line);
      if (in_information_) {
        if (lower.starts_with("[end information]")) in_information_ = false;
        continue;
      }
      if (done_) continue;
      bool ok = true;
      if (lower[0] == '[')
        ok = Keyword(lower);
      else if (lower[0] == '#')
        ok = Options(lower);
      else if (reference_left_ > 0)
        ok = References(lower);
      else
        ok = DataLine(line);
      if (!ok) return std::nullopt;
      first_line_ = false;
    }
    if (point_.size() > 0) {
      return Fail("the last point is cut short: " + std::to_string(point_.size()) + " of its " +
                  std::to_string(PointSize()) + " numbers");
    }
    if (version2_ && !done_) return Fail("a version 2.0 file ends with [End]");
    if (data_.frequencies_hz.empty()) {
      error_ = name_ + ": no data; not a " + PortWord(use_.ports) + " file";
      return std::nullopt;
    }
    if (frequency_count_ > 0 && size_t(frequency_count_) != data_.frequencies_hz.size()) {
      return Fail("[Number of Frequencies] says " + std::to_string(frequency_count_) +
                  ", the file has " + std::to_string(data_.frequencies_hz.size()));
    }
    if (data_.reference_ohms.empty()) data_.reference_ohms.assign(size_t(use_.ports), z0_);
    return std::move(data_);
  }

 private:
  std::nullopt_t Fail(const std::string& why) {
    error_ = name_ + " line " + std::to_string(line_) + ": " + why;
    return std::nullopt;
  }
  std::nullopt_t WrongCount(int ports) {
    error_ = name_ + ": a " + std::to_string(ports) + "-port file; " + std::string(use_.wanted);
    return std::nullopt;
  }

  bool Keyword(const std::string& lower) {
    const size_t close = lower.find(']');
    if (close == std::string::npos) return Fail("a keyword without its closing bracket"), false;
    const std::string key = lower.substr(1, close - 1);
    const std::string_view value = Trim(std::string_view(lower).substr(close + 1));
    if (key == "version") {
      if (!first_line_) return Fail("[Version] must be the file's first line"), false;
      if (value != "2.0" && value != "2.1")
        return Fail("only Touchstone versions 1.1, 2.0 and 2.1 are read"), false;
      version2_ = true;
      return true;
    }
    if (!version2_) return Fail("a keyword in a file without [Version] 2.0"), false;
    if (key == "number of ports") {
      double n = 0;
      if (!ReadDouble(value, n) || n != std::floor(n) || n < 1 || n > 99)
        return Fail("[Number of Ports] is not a whole number from 1 to 99"), false;
      if (int(n) != use_.ports) return WrongCount(int(n)), false;
      ports_seen_ = true;
    } else if (key == "two-port data order") {
      if (value != "12_21" && value != "21_12")
        return Fail("[Two-Port Data Order] is 12_21 or 21_12"), false;
      order_21_12_ = value == "21_12";
      order_seen_ = true;
    } else if (key == "number of frequencies") {
      double n = 0;
      if (!ReadDouble(value, n) || n != std::floor(n) || n < 1 || n > 1e7)
        return Fail("[Number of Frequencies] is not a whole number from 1"), false;
      frequency_count_ = long(n);
    } else if (key == "number of noise frequencies") {
    } else if (key == "reference") {
      if (!ports_seen_) return Fail("[Reference] before [Number of Ports]"), false;
      reference_left_ = use_.ports;
      if (!value.empty()) return References(std::string(value));
    } else if (key == "matrix format") {
      if (value == "full")
        matrix_ = Matrix::kFull;
      else if (value == "lower")
        matrix_ = Matrix::kLower;
      else if (value == "upper")
        matrix_ = Matrix::kUpper;
      else
        return Fail("[Matrix Format] is Full, Lower or Upper"), false;
    } else if (key == "mixed-mode order") {
      return Fail("mixed-mode files are not read; export single-ended S-parameters"), false;
    } else if (key == "begin information") {
      in_information_ = true;
    } else if (key == "network data") {
      if (!ports_seen_) return Fail("[Network Data] before [Number of Ports]"), false;
      if (!options_seen_) return Fail("[Network Data] before the option line"), false;
      if (use_.ports == 2 && !order_seen_)
        return Fail("a two-port file of version 2.0 needs [Two-Port Data Order]"), false;
      if (reference_left_ > 0) return Fail("[Reference] gives too few impedances"), false;
      in_data_ = true;
    } else if (key == "noise data" || key == "end") {
      if (point_.size() > 0) return Fail("a point is cut short"), false;
      done_ = true;
    } else {
      return Fail("a keyword that Touchstone 2.0 does not have"), false;
    }
    return true;
  }

  bool References(std::string_view text) {
    while (!(text = Trim(text)).empty()) {
      const size_t stop = text.find_first_of(" \t");
      double r = 0;
      if (reference_left_ == 0) return Fail("[Reference] gives too many impedances"), false;
      if (!ReadDouble(text.substr(0, stop), r) || !(r >= 1e-3) || !(r <= 1e6))
        return Fail("a reference impedance is not a number from 0.001 to 1000000 ohms"), false;
      data_.reference_ohms.push_back(r);
      --reference_left_;
      text.remove_prefix(stop == std::string_view::npos ? text.size() : stop);
    }
    return true;
  }

  bool Options(const std::string& lower) {
    if (options_seen_) return Fail("a second option line; a file has one, before its data"), false;
    if (!data_.frequencies_hz.empty() || in_data_)
      return Fail("the option line must come before the data"), false;
    options_seen_ = true;
    std::string_view options = std::string_view(lower).substr(1);
    while (!(options = Trim(options)).empty()) {
      const size_t stop = options.find_first_of(" \t");
      const std::string word(options.substr(0, stop));
      options.remove_prefix(stop == std::string_view::npos ? options.size() : stop);
      if (word == "hz") {
        scale_ = 1;
      } else if (word == "khz") {
        scale_ = 1e3;
      } else if (word == "mhz") {
        scale_ = 1e6;
      } else if (word == "ghz") {
        scale_ = 1e9;
      } else if (word == "ma") {
        format_ = Format::kMa;
      } else if (word == "db") {
        format_ = Format::kDb;
      } else if (word == "ri") {
        format_ = Format::kRi;
      } else if (word == "s") {
      } else if (word == "r") {
        options = Trim(options);
        const size_t value_end = options.find_first_of(" \t");
        double r = 0;
        if (!ReadDouble(options.substr(0, value_end), r) || !(r >= 1e-3) || !(r <= 1e6))
          return Fail("the reference impedance is not a number from 0.001 to 1000000 ohms"), false;
        z0_ = r;
        options.remove_prefix(value_end == std::string_view::npos ? options.size() : value_end);
      } else if (word == "y" || word == "z" || word == "h" || word == "g") {
        return Fail("Y, Z, H and G files are not read; the file must hold S-parameters"), false;
      } else {
        return Fail("the option line holds a word that is not a unit, a parameter, a format or R"),
               false;
      }
    }
    return true;
  }

  // Pairs a point holds: the whole matrix, or a triangle of it.
  int Entries() const {
    const int n = use_.ports;
    return matrix_ == Matrix::kFull ? n * n : n * (n + 1) / 2;
  }
  size_t PointSize() const { return size_t(1 + 2 * Entries()); }

  bool DataLine(std::string_view line) {
    if (version2_ && !in_data_) return Fail("data before [Network Data]"), false;
    const size_t before = point_.size();
    size_t count = 0;
    while (!(line = Trim(line)).empty()) {
      const size_t stop = line.find_first_of(" \t");
      const std::string_view word = line.substr(0, stop);
      line.remove_prefix(stop == std::string_view::npos ? line.size() : stop);
      double number = 0;
      ++count;
      if (!ReadDouble(word, number))
        return Fail("number " + std::to_string(count) + " is not a number"), false;
      if (!std::isfinite(number) || std::fpclassify(number) == FP_SUBNORMAL)
        return Fail("number " + std::to_string(count) + " is not a finite, normal number"), false;
      point_.push_back(number);
    }
    // Version 1.1 puts a one- or two-port point on one line.
    if (!version2_ && use_.ports <= 2 && count != PointSize()) {
      const std::string names = use_.ports == 1 ? "S11" : "S11, S21, S12 and S22";
      return Fail("a " + PortWord(use_.ports) + " point is " + std::to_string(PointSize()) +
                  " numbers on one line (the frequency, then " + names + "); this line has " +
                  std::to_string(count)),
             false;
    }
    if (point_.size() > PointSize()) {
      return Fail("a point is " + std::to_string(PointSize()) +
                  " numbers (the frequency and the matrix); this line runs past its end, " +
                  std::to_string(before) + " were read before it"),
             false;
    }
    if (point_.size() == PointSize()) {
      if (!Point()) return false;
      point_.clear();
    }
    return true;
  }

  bool Point() {
    const double f = point_[0] * scale_;
    if (!(f > 0) || !std::isfinite(f) ||
        (!data_.frequencies_hz.empty() && f <= data_.frequencies_hz.back())) {
      return Fail("the frequencies must be finite, positive and ascend"), false;
    }
    const int n = use_.ports;
    std::vector<std::complex<double>> s(size_t(n * n));
    const auto at = [&](int to, int from) -> std::complex<double>& {
      return s[size_t((to - 1) * n + (from - 1))];
    };
    int k = 0;
    for (int row = 1; row <= n; ++row) {
      const int first = matrix_ == Matrix::kUpper ? row : 1;
      const int last = matrix_ == Matrix::kLower ? row : n;
      for (int column = first; column <= last; ++column, ++k) {
        const double a = point_[size_t(1 + 2 * k)], b = point_[size_t(2 + 2 * k)];
        if (format_ != Format::kRi && std::abs(b) > 3600)
          return Fail("an angle beyond 3600 degrees"), false;
        std::complex<double> value;
        switch (format_) {
          case Format::kRi:
            value = {a, b};
            break;
          case Format::kMa:
            value = std::polar(a, b * std::numbers::pi / 180);
            break;
          case Format::kDb:
            value = std::polar(std::pow(10.0, a / 20), b * std::numbers::pi / 180);
            break;
        }
        // A two-port's pairs come column first in version 1.1 (S11, S21,
        // S12, S22) and as the file says in 2.0.
        const bool swap = n == 2 && row != column && (version2_ ? order_21_12_ : true);
        (swap ? at(column, row) : at(row, column)) = value;
        if (matrix_ != Matrix::kFull) at(column, row) = value;
      }
    }
    // Passive: no wave into a port comes out stronger than it went in.
    for (int column = 1; column <= n; ++column) {
      double power = 0;
      std::string sum;
      for (int row = 1; row <= n; ++row) {
        power += std::norm(at(row, column));
        sum += (row > 1 ? " + |S" : "|S") + std::to_string(row) + std::to_string(column) + "|^2";
      }
      if (power > use_.passive_allowance) {
        return Fail("not a passive " + std::string(use_.noun) + " at " + SiText(f, Unit::kHertz) +
                    " (" + sum + " above 1)"),
               false;
      }
    }
    data_.frequencies_hz.push_back(f);
    data_.s.insert(data_.s.end(), s.begin(), s.end());
    return true;
  }

  const std::string& name_;
  const TouchstoneUse& use_;
  std::string& error_;
  NetworkData data_;
  size_t line_ = 0;
  int named_ports_ = 0;
  bool first_line_ = true, version2_ = false, ports_seen_ = false, order_seen_ = false;
  bool order_21_12_ = false, options_seen_ = false, in_data_ = false, done_ = false;
  bool in_information_ = false;
  int reference_left_ = 0;
  long frequency_count_ = 0;
  Matrix matrix_ = Matrix::kFull;
  double scale_ = 1e9, z0_ = 50;  // the format's defaults: GHz S MA R 50
  Format format_ = Format::kMa;
  std::vector<double> point_;
};

}  // namespace

std::optional<NetworkData> ReadTouchstone(std::string_view text, const std::string& name,
                                          const TouchstoneUse& use, std::string& error) {
  return Reader(name, use, error).Read(text);
}

std::optional<std::vector<std::complex<double>>> ReferredTo(const NetworkData& data, size_t point,
                                                            double z0) {
  const int n = data.ports;
  std::vector<std::complex<double>> s(data.s.begin() + long(point * size_t(n * n)),
                                      data.s.begin() + long((point + 1) * size_t(n * n)));
  if (std::all_of(data.reference_ohms.begin(), data.reference_ohms.end(),
                  [&](double r) { return r == z0; })) {
    return s;
  }
  // With b = S a at the file's references R: V = sqrt(R) (a + b) and
  // I = (a - b) / sqrt(R). The waves at z0 are a' = (V + z0 I) / (2 sqrt(z0))
  // and b' = (V - z0 I) / (2 sqrt(z0)), so a' = Ma a, b' = Mb a and
  // S' = Mb Ma^-1, found as the solve Ma^T S'^T = Mb^T.
  std::vector<std::complex<double>> ma(size_t(n * n)), mb(size_t(n * n));
  for (int i = 0; i < n; ++i) {
    const double r = data.reference_ohms[size_t(i)], root = std::sqrt(r);
    const double k = 1 / (2 * std::sqrt(z0));
    for (int j = 0; j < n; ++j) {
      const std::complex<double> sij = s[size_t(i * n + j)];
      const double delta = i == j ? 1 : 0;
      const std::complex<double> v = root * (delta + sij), c = (delta - sij) / root;
      ma[size_t(j * n + i)] = k * (v + z0 * c);  // transposed
      mb[size_t(j * n + i)] = k * (v - z0 * c);
    }
  }
  if (!SolveComplex(ma, mb, n, n)) return std::nullopt;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) s[size_t(i * n + j)] = mb[size_t(j * n + i)];
  return s;
}

}  // namespace rfsplitter
