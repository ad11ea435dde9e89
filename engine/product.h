// Fixed texts that name the product; the window, the command line and the
// simulation file take them from here so that they never disagree.
#ifndef RFSPLITTER_ENGINE_PRODUCT_H_
#define RFSPLITTER_ENGINE_PRODUCT_H_

#include <string_view>

namespace rfsplitter {

inline constexpr std::string_view kApplicationName = "RF Splitter";
inline constexpr std::string_view kMakerName = "talvaine";
// The maker's home page: header line 5 of every simulation file and the
// window's maker link.
inline constexpr std::string_view kMakerAddress = "https://www.talvaine.com/";
// The root page of the simulator vendor's site, for the window's vendor link.
inline constexpr std::string_view kSimulatorVendorAddress = "https://www.aplac.com/";

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_PRODUCT_H_
