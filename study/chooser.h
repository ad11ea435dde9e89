// The chooser: every form that meets the designer's constraints (ways,
// split, phase), each designed at its best frequency for a band, weighed by
// whether its usable band covers the band, then by its parts count, its
// yield (with tolerances) and its margin.
#ifndef RFSPLITTER_STUDY_CHOOSER_H_
#define RFSPLITTER_STUDY_CHOOSER_H_

#include <optional>
#include <string>
#include <vector>

#include "engine/run_control.h"
#include "study/study.h"

namespace rfsplitter {

struct ChoiceRequest {
  double low_mhz = 0, high_mhz = 0;
  std::optional<int> ways;
  std::optional<double> split_db;
  std::optional<int> phase_deg;  // 0, 90 or 180
  // The impedance, the limits, the parts and their models, the tolerances
  // (a Monte Carlo): every candidate is studied with them.
  StudyRequest base;
};

struct ChoiceCandidate {
  Form form;
  double frequency_mhz = 0;  // its best design frequency for the band
  int parts = 0;             // the parts on the board (a pair counts two)
  std::optional<std::pair<double, double>> usable_mhz;
  bool covers = false;
  std::optional<double> yield_percent;  // with tolerances
  // How far the usable band reaches past the band's nearer edge, in percent
  // of that edge; negative when it falls short.
  double margin_percent = 0;
  std::string error;  // the candidate's study failed: why
};

struct Choice {
  double low_mhz = 0, high_mhz = 0;
  std::vector<ChoiceCandidate> candidates;  // best first
  std::optional<size_t> chosen;             // the first, when it covers the band
  size_t widest = 0;                        // the candidate of the widest usable band
  std::vector<std::string> notes;           // how the candidates were weighed
};

// Every form the program builds that fits the request's constraints.
std::vector<Form> CandidateForms(const ChoiceRequest& request);

// Nothing, with `error` set, for a band or constraint that makes no sense.
std::optional<Choice> Choose(const ChoiceRequest& request, std::string& error,
                             const RunControl* control = nullptr);

// The table and the pick, for the command line.
std::string ChoiceText(const Choice& choice);
// {"choice": {"band_mhz", "candidates", "chosen"}}
std::string ChoiceJson(const Choice& choice);

}  // namespace rfsplitter

#endif  // RFSPLITTER_STUDY_CHOOSER_H_
