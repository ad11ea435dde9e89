#include "parts/ratings.h"

#include <algorithm>

namespace rfsplitter {

ChipPackage BoardPackage(const PartModels& models) {
  return models.package.value_or(ChipPackage::k0603);
}

PartRating PackageRating(ElementKind kind, ChipPackage package) {
  const bool small = package == ChipPackage::k0402;
  switch (kind) {
    case ElementKind::kInductor:
      return {0, small ? 0.3 : 0.5, 0};
    case ElementKind::kCapacitor:
      return {50, 0, 0};
    case ElementKind::kResistor:
      return {small ? 50.0 : 75.0, 0, small ? 0.063 : 0.1};
  }
  return {};
}

RatedElement RatingOf(const NetlistElement& element, const PartsChoice& choice,
                      const PartModels& models) {
  const ChipPackage package = BoardPackage(models);
  const PartRating typical = PackageRating(element.kind, package);
  const PartSeries* series = choice.SeriesFor(element.kind);
  bool from_file = false;
  const auto part = [&](double value) {
    const KindModel* words = series ? series->WordsOf(value) : nullptr;
    PartRating r = typical;
    if (words == nullptr) return r;
    for (auto [given, figure] :
         {std::pair{words->rating.volts, &r.volts}, std::pair{words->rating.amps, &r.amps},
          std::pair{words->rating.watts, &r.watts}}) {
      if (given > 0) *figure = given, from_file = true;
    }
    return r;
  };
  PartRating rating = part(element.value);
  if (element.second) {
    const PartRating other = part(element.second->value);
    const auto lower = [](double a, double b) { return a > 0 && b > 0 ? std::min(a, b) : a + b; };
    rating = {lower(rating.volts, other.volts), lower(rating.amps, other.amps),
              lower(rating.watts, other.watts)};
  }
  return {rating, from_file ? "parts file" : std::string(PackageName(package)) + " typical"};
}

double RatingUsage(double v_peak, double i_rms, double p_diss_w, const PartRating& rating) {
  double usage = 0;
  if (rating.volts > 0) usage = std::max(usage, v_peak / (kVoltageDerating * rating.volts));
  if (rating.amps > 0) usage = std::max(usage, i_rms / (kCurrentDerating * rating.amps));
  if (rating.watts > 0) usage = std::max(usage, p_diss_w / (kPowerDerating * rating.watts));
  return usage;
}

}  // namespace rfsplitter
