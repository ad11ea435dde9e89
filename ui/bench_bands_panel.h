// The bench's bands: where the ideal, the built and the measured circuit
// meet each limit, and the limits themselves.
#ifndef RFSPLITTER_UI_BENCH_BANDS_PANEL_H_
#define RFSPLITTER_UI_BENCH_BANDS_PANEL_H_

#include <QGroupBox>
#include <QSettings>
#include <memory>

#include "study/session.h"
#include "study/study.h"

class QLineEdit;

namespace Ui {
class BenchBandsPanel;
}

namespace rfsplitter {

class BenchBandsPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit BenchBandsPanel(QWidget* parent = nullptr);
  ~BenchBandsPanel() override;

  // The limits into `request`; a limit that does not read keeps its
  // default, marked and said in `problems`.
  void ApplyTo(StudyRequest& request, QStringList& problems) const;
  void Show(const StudyResult& nominal);

  void LoadSettings(QSettings& settings);
  void SaveSettings(QSettings& settings) const;
  void SaveTo(Session& session) const;
  void ApplyFrom(const Session& session);

 signals:
  void Changed();

 private:
  QLineEdit* Limit(int i) const;

  std::unique_ptr<Ui::BenchBandsPanel> ui_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_BENCH_BANDS_PANEL_H_
