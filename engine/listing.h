// The component listing: one line per listing entry, the value as a mantissa
// cut to four characters and an SI prefix letter ("L1 =  930. n  ").
#ifndef RFSPLITTER_ENGINE_LISTING_H_
#define RFSPLITTER_ENGINE_LISTING_H_

#include <string>

#include "engine/design.h"

namespace rfsplitter {

struct EngineeringValue {
  std::string mantissa;  // at most four characters, cut, not rounded
  std::string prefix;    // "k", " ", "m", "u", "n", "p", or empty
};

// Values of one million or more get neither prefix nor mantissa.
EngineeringValue ToEngineering(double value, char decimal_separator = '.');

// The listing line for one entry, ending in CR LF.
std::string ComponentLine(const std::string& label, double value, char decimal_separator = '.');

void AddComponentLine(DesignWindow& window, const std::string& label, Number value);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_LISTING_H_
