#include "engine/si_value.h"
#include "parts/ratings.h"
#include "study/outputs.h"
#include "study/report.h"

namespace rfsplitter {

Board BoardOfStudy(const StudyResult& r) {
  const Netlist& circuit = r.Circuit();
  const PartsChoice& choice = r.request.parts;
  const PartModels& models = r.request.models;
  BoardFields fields;
  for (const NetlistElement& e : circuit.elements) {
    if (e.pad) continue;
    const std::string rating = RatingText(RatingOf(e, choice, models).rating);
    const PartSeries* series = choice.SeriesFor(e.kind);
    for (int part = 0; part < (e.second ? 2 : 1); ++part) {
      const std::string reference = e.second ? PairPartName(e.name, part) : std::string(e.name);
      const double value = part == 0 ? e.value : e.second->value;
      fields.values.emplace_back(reference, ValueWithUnit(value, e.kind));
      fields.ratings.emplace_back(reference, rating);
      if (r.monte_carlo_settings) {
        fields.tolerances.emplace_back(
            reference, ToleranceText(r.monte_carlo_settings->ToleranceOf(e.kind), e.kind));
      }
      const KindModel* words = series ? series->WordsOf(value) : nullptr;
      if (words && !words->mpn.empty()) fields.mpns.emplace_back(reference, words->mpn);
    }
  }
  return BoardOf(circuit, FileStem(r.design.form, r.design.inputs.frequency_mhz),
                 BoardPackage(models), fields);
}

}  // namespace rfsplitter
