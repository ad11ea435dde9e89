// The bench's yield settings (tolerances, boards, seed, distribution, band,
// target yield) and what the boards tell: the percentiles at f0 and the
// advice on the parts that fail them.
#ifndef RFSPLITTER_UI_BENCH_YIELD_PANEL_H_
#define RFSPLITTER_UI_BENCH_YIELD_PANEL_H_

#include <QGroupBox>
#include <QSettings>
#include <memory>
#include <optional>

#include "study/session.h"
#include "study/study.h"

class QLineEdit;

namespace Ui {
class BenchYieldPanel;
}

namespace rfsplitter {

class BenchYieldPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit BenchYieldPanel(QWidget* parent = nullptr);
  ~BenchYieldPanel() override;

  // The Monte Carlo asked for, or none: no boards, or a field that does not
  // read (marked and said in `problems`).
  std::optional<MonteCarloSettings> Settings(QStringList& problems) const;
  // The target yield into `request`.
  void ApplyTo(StudyRequest& request, QStringList& problems) const;
  int Boards() const;

  // The boards' percentiles at f0; none clears them.
  void ShowPercentiles(const MonteCarloResult* yield);
  // What the nominal circuit misses, the study's warnings and the part
  // that fails the boards most.
  void ShowAdvice(const StudyResult* nominal, const MonteCarloResult* yield);

  void LoadSettings(QSettings& settings);
  void SaveSettings(QSettings& settings) const;
  void SaveTo(Session& session) const;
  void ApplyFrom(const Session& session, QStringList& notes);

 signals:
  void Changed();

 private:
  std::unique_ptr<Ui::BenchYieldPanel> ui_;
  QLineEdit* tolerances_[3] = {};
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_BENCH_YIELD_PANEL_H_
