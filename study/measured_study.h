// The study's part about the measured board: the measurement read and
// referred to the design, its planes moved, its summary, the diagnosis and
// the repair.
#ifndef RFSPLITTER_STUDY_MEASURED_STUDY_H_
#define RFSPLITTER_STUDY_MEASURED_STUDY_H_

#include <optional>
#include <string>

#include "study/study.h"

namespace rfsplitter {

// Fills `r.measured` from `r.request.measured`; the reason when the
// measurement cannot be used (the study is then refused).
std::optional<std::string> StudyMeasurement(StudyResult& r, double band_percent);

}  // namespace rfsplitter

#endif  // RFSPLITTER_STUDY_MEASURED_STUDY_H_
