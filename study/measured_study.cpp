#include "study/measured_study.h"

#include "engine/number_text.h"
#include "engine/si_value.h"

namespace rfsplitter {

std::optional<std::string> StudyMeasurement(StudyResult& r, double band_percent) {
  const MeasuredRequest& asked = *r.request.measured;
  const Netlist& circuit = r.Circuit();
  const int ports = circuit.ports;
  const double f0 = circuit.frequency_hz;
  std::string error;
  std::optional<Measurement> read =
      asked.pairs.empty()
          ? MeasurementOf(asked.text, asked.file, ports,
                          "the " + (FixedTopology(circuit.form)
                                        ? std::string(TextsOf(circuit.topology).caption)
                                        : FormCaption(circuit.form)),
                          circuit.z0, error)
          : AssembledMeasurement(asked.pairs, ports, circuit.z0, error);
  if (!read) return error;
  read->rule = RuleOf(circuit.form);
  if (std::optional<std::string> why = CoverageProblem(*read, f0)) return why;
  const double low = f0 * (1 - band_percent / 200), high = f0 * (1 + band_percent / 200);
  if (read->frequencies_hz.front() > low || read->frequencies_hz.back() < high) {
    r.warnings.push_back(
        "the measurement runs from " + SiText(read->frequencies_hz.front(), Unit::kHertz) + " to " +
        SiText(read->frequencies_hz.back(), Unit::kHertz) + " and misses part of the yield band, " +
        SiText(low, Unit::kHertz) + " to " + SiText(high, Unit::kHertz));
  }
  std::vector<double> delays = asked.port_delays_s;
  if (delays.size() == 1) delays.assign(size_t(ports), delays[0]);
  if (!delays.empty() && delays.size() != size_t(ports)) {
    return "--port-delay takes one delay for every port or one for each of the " +
           std::to_string(ports) + " ports";
  }
  MeasuredResult m;
  if (asked.diagnose) {
    DiagnosisSettings settings;
    settings.port_delays_s = delays;
    std::optional<Diagnosis> d = Diagnose(circuit, *read, settings, error);
    if (!d) return "the diagnosis cannot fit the board: " + error;
    if (!d->converged) {
      r.warnings.push_back("the diagnosis did not settle in " + std::to_string(d->iterations) +
                           " steps; the fitted board leaves " + FixedText(d->residual_db, 1) +
                           " dB of the measurement unexplained");
    } else if (d->residual_db > -30) {
      r.warnings.push_back("the fitted board leaves " + FixedText(d->residual_db, 1) +
                           " dB of the measurement unexplained: the board differs from its "
                           "circuit in more than its parts' values, its planes and its pads");
    }
    m.delays_fitted = delays.empty();
    delays = d->port_delays_s;
    const BoundNetlist fitted(d->fitted);
    for (const double f : read->frequencies_hz) {
      SMatrix s(ports);
      if (!fitted.Analyze(f, s)) continue;
      m.fitted_sweep.frequencies_hz.push_back(f);
      m.fitted_sweep.s.push_back(s);
    }
    m.repair = FindRepair(circuit, *d, r.request.parts, r.request.limits,
                          CheckFrequencies(f0, band_percent));
    if (m.repair->found && m.repair->needed) {
      m.repaired_summary = Summarize(m.repair->repaired, r.request.limits, error);
    }
    m.diagnosis = std::move(d);
  }
  if (!delays.empty()) ShiftPlanes(*read, delays);
  m.port_delays_s = delays;
  m.summary = SummarizeMeasurement(*read, f0, r.request.limits);
  m.measurement = std::move(*read);
  r.measured = std::move(m);
  return std::nullopt;
}

}  // namespace rfsplitter
