// libFuzzer target for the input reader: any text, in either box, must give a
// value inside the accepted range and leave a text that reads as that value.
// Build with -DRFSPLITTER_FUZZ=ON and clang; run build/bin/parse_number_fuzzer.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/inputs.h"
#include "engine/tests/memory_window.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace rfsplitter;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char separator : {'.', ','}) {
    MemoryWindow window(text, text, Topology::kNarrowSplitter, separator);
    const float f = ReadFrequency(window);
    const float z = ReadImpedance(window);
    if (!(f >= kLowestFrequencyMhz && f <= kHighestFrequencyMhz)) std::abort();
    if (!(z >= kLowestImpedanceOhms && z <= kHighestImpedanceOhms)) std::abort();
    const auto f_back = ParseNumber(window.frequency, separator);
    const auto z_back = ParseNumber(window.impedance, separator);
    if (!f_back || f_back->value != f || !z_back || z_back->value != z) std::abort();
  }
  return 0;
}
