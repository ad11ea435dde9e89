// Reading Touchstone files: 1.1 (.sNp, the port count from the name) and
// 2.0 ([Version] 2.0 with its keywords, Full, Lower or Upper matrices).
// One reader for a part measured as a two-port and for a measured board:
// both refuse the same faults with the same messages.
#ifndef RFSPLITTER_ENGINE_TOUCHSTONE_READ_H_
#define RFSPLITTER_ENGINE_TOUCHSTONE_READ_H_

#include <complex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rfsplitter {

// The S-parameters of a file, as the file refers them.
struct NetworkData {
  int ports = 0;
  std::vector<double> frequencies_hz;  // ascending
  std::vector<double> reference_ohms;  // one per port
  // ports x ports values per point, row (the port the wave leaves by) first.
  std::vector<std::complex<double>> s;

  std::complex<double> S(size_t point, int to, int from) const {
    return s[(point * size_t(ports) + size_t(to - 1)) * size_t(ports) + size_t(from - 1)];
  }
};

// What the caller reads the file as: the port count it needs, what a file
// of another count is told ("a part is measured as a two-port (.s2p)"), and
// the noun of the passivity check ("part").
struct TouchstoneUse {
  int ports = 2;
  std::string_view wanted;
  std::string_view noun = "part";
  // How far above 1 the power out of a column may come for the analyser's
  // error: a part's file is tight, a whole board's has several entries'
  // noise in each sum.
  double passive_allowance = 1.01;
};

// Nothing, with `error` set ("p.s2p line 3: ..."), for a file that does not
// read as `use` asks. Nothing of the file's own text is quoted back: a path
// to anything that is not a Touchstone file must not be shown.
std::optional<NetworkData> ReadTouchstone(std::string_view text, const std::string& name,
                                          const TouchstoneUse& use, std::string& error);

// The same network referred to `z0` at every port (power waves, real
// references); nothing where the conversion is singular.
std::optional<std::vector<std::complex<double>>> ReferredTo(const NetworkData& data, size_t point,
                                                            double z0);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_TOUCHSTONE_READ_H_
