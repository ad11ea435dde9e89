// libFuzzer target for the value grammar and its quoting: any text either
// reads as a finite value or is refused with a reason, and its quoted form
// carries no control or bidirectional character.
// Build with -DRFSPLITTER_FUZZ=ON and clang; run build-fuzz/bin/si_value_fuzzer.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/quoted.h"
#include "engine/si_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace rfsplitter;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const std::optional<SiValue> value = ParseSiValue(text, error);
  if (value && !std::isfinite(value->value)) std::abort();
  if (!value && error.empty()) std::abort();
  for (const std::string& quoted : {Quoted(text), QuotedShort(text)}) {
    for (const char c : quoted) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) std::abort();
    }
    if (quoted.find("\xe2\x80\xae") != std::string::npos) std::abort();
  }
  return 0;
}
