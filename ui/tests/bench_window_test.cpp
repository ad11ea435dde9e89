#include "ui/bench_window.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>
#include <QtTest>
#include <clocale>
#include <sstream>

#include "cli/cli.h"
#include "exports/exports.h"
#include "ui/bench_form_panel.h"
#include "ui/bench_plots_panel.h"
#include "ui/main_window.h"
#include "ui/plot_widget.h"
#include "ui/schematic_view.h"

namespace rfsplitter {

class BenchWindowTest : public QObject {
  Q_OBJECT

 private:
  template <typename T = QWidget>
  T* InMain(const char* name) {
    T* widget = main_->findChild<T*>(QString::fromLatin1(name));
    if (widget == nullptr) qFatal("no control %s", name);
    return widget;
  }
  void Type(const char* box, const QString& text) {
    auto* edit = InMain<QLineEdit>(box);
    edit->clear();
    QTest::keyClicks(edit, text);
  }
  // Chooses an entry of one of the bench's combo boxes, as a click would.
  void Choose(const QString& accessible_name, int index) {
    for (QComboBox* combo : bench_->findChildren<QComboBox*>()) {
      if (combo->accessibleName() != accessible_name) continue;
      combo->setCurrentIndex(index);
      emit combo->activated(index);
      return;
    }
    qFatal("no combo box %s", qPrintable(accessible_name));
  }
  QLineEdit* Field(const QString& accessible_name) {
    for (QLineEdit* edit : bench_->findChildren<QLineEdit*>()) {
      if (edit->accessibleName() == accessible_name) return edit;
    }
    qFatal("no field %s", qPrintable(accessible_name));
  }
  QSpinBox* Boards() { return bench_->findChild<QSpinBox*>(QStringLiteral("boards")); }

  // The main window, and the bench opened from it with Ctrl+B.
  void Open() {
    main_ = std::make_unique<MainWindow>();
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    QTest::keyClick(main_.get(), Qt::Key_B, Qt::ControlModifier);
    bench_ = main_->Bench();
    QVERIFY(bench_ != nullptr);
    QVERIFY(bench_->isVisible());
    Boards()->setValue(2000);
  }

  std::unique_ptr<MainWindow> main_;
  BenchWindow* bench_ = nullptr;

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    // Settings of their own, apart from the other test programs' that run
    // beside them.
    QCoreApplication::setApplicationName(QStringLiteral("bench_window_test"));
  }
  void init() {
    // Each case from the settings a first start has: what an earlier case
    // saved on closing the bench does not carry over.
    QSettings().clear();
    Open();
  }
  void cleanup() {
    bench_ = nullptr;
    main_.reset();
  }

  void opensBesideAnUnchangedMainWindow() {
    QCOMPARE(main_->size(), QSize(551, 442));
    QVERIFY(bench_->isWindow());
    QVERIFY(bench_->Nominal());
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, 12.1f);
  }

  void followsWhatIsTypedInTheMainWindow() {
    Type("txtFrequency", "433.92");
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, 433.92f);
    QTest::mouseClick(InMain<QRadioButton>("opt4"), Qt::LeftButton);
    QCOMPARE(bench_->Nominal()->design.topology, Topology::kWideQuad);
    Type("txtImpedance", "75");
    QCOMPARE(bench_->Nominal()->design.inputs.impedance_ohms, 75.0f);
    // Nothing was generated: following writes no file and warns of nothing.
    QCOMPARE(InMain<QLineEdit>("txtFrequency")->text(), QStringLiteral("433.92"));
  }

  // A closed bench does no work for what is typed; shown again it computes
  // once. The main window's close closes it.
  void aClosedBenchWaitsAndClosesWithTheMainWindow() {
    Type("txtFrequency", "433.92");
    bench_->close();
    Type("txtFrequency", "915");
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, 433.92f);
    QTest::keyClick(main_.get(), Qt::Key_B, Qt::ControlModifier);
    QVERIFY(bench_->isVisible());
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, 915.0f);
    main_->close();
    QVERIFY(!bench_->isVisible());
  }

  // The bench fits a 1366 x 768 screen at scale 1 and a 1920 x 1080 one at
  // 200 % (960 x 540), and keeps its size whatever it shows: a yield line, a
  // long text typed, another circuit.
  void fitsSmallScreensAndKeepsItsSize() {
    const QSize room(960, 540);
    const QSize size = bench_->size();
    const auto fits = [&](const char* when) {
      const QSize least = bench_->minimumSizeHint();
      QVERIFY2(least.width() <= room.width() && least.height() <= room.height(),
               qPrintable(QStringLiteral("%1: %2 x %3")
                              .arg(QLatin1String(when))
                              .arg(least.width())
                              .arg(least.height())));
      QVERIFY2(bench_->size() == size, qPrintable(QStringLiteral("%1: %2 x %3, was %4 x %5")
                                                      .arg(QLatin1String(when))
                                                      .arg(bench_->width())
                                                      .arg(bench_->height())
                                                      .arg(size.width())
                                                      .arg(size.height())));
    };
    fits("at first");
    QSignalSpy shown(bench_, &BenchWindow::YieldShown);
    Boards()->setValue(3000);
    QVERIFY(shown.wait(20000));
    fits("with a yield");
    Field(QStringLiteral("Inductor Q"))->setText(QString(300, QLatin1Char('x')));
    QVERIFY(!bench_->Status().contains(QString(30, QLatin1Char('x'))) &&
            !bench_->Note().contains(QString(30, QLatin1Char('x'))));
    fits("with a long text");
    Type("txtFrequency", "433.92");
    QTest::mouseClick(InMain<QRadioButton>("opt4"), Qt::LeftButton);
    fits("with another circuit");
  }

  // A saved size larger than the screen opens within it.
  void aSavedSizeNeverExceedsTheScreen() {
    main_->close();
    QWidget huge;
    huge.resize(6000, 4000);
    QSettings().setValue(QStringLiteral("bench/geometry"), huge.saveGeometry());
    cleanup();
    Open();
    // (The test's screen is narrower than the bench can be.)
    const QSize room = QApplication::primaryScreen()->availableGeometry().size().expandedTo(
        bench_->minimumSizeHint());
    QVERIFY2(bench_->width() <= room.width() && bench_->height() <= room.height(),
             qPrintable(QStringLiteral("%1 x %2").arg(bench_->width()).arg(bench_->height())));
    QSettings().remove(QStringLiteral("bench/geometry"));
  }

  void aRepairedTextKeepsTheLastGoodDesignWithANote() {
    Type("txtFrequency", "433.92");
    Type("txtFrequency", "abc");
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, 433.92f);
    QVERIFY2(bench_->Note().contains(QStringLiteral("not a number: the design keeps 433.92 MHz")),
             qPrintable(bench_->Note()));
    InMain<QLineEdit>("txtFrequency")->setText(QStringLiteral("60000"));  // pasted
    QVERIFY(bench_->Note().contains(QStringLiteral("outside 0.001 to 50000 MHz")));
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, 433.92f);
    // The main window's box is left as typed; only Generate repairs it.
    QCOMPARE(InMain<QLineEdit>("txtFrequency")->text(), QStringLiteral("60000"));
    Type("txtFrequency", "915");
    QVERIFY(bench_->Note().isEmpty());
  }

  void aStepperMovesAPartToItsSeriesNeighbour() {
    Type("txtFrequency", "433.92");
    Choose(QStringLiteral("Inductors from"), 2);  // E12
    const PartRow before = bench_->Nominal()->parts[0];
    QCOMPARE(before.series, std::string("E12"));
    const PartSeries e12 = *PartSeries::Standard("E12");
    auto* up = bench_->findChild<QToolButton*>(QStringLiteral("stepL1Up"));
    QVERIFY(up);
    QTest::mouseClick(up, Qt::LeftButton);
    const PartRow after = bench_->Nominal()->parts[0];
    QCOMPARE(after.chosen, *e12.Around(before.chosen * 1.0001).above);
    // Only L1 moved; L2, of the same ideal value, stays.
    QCOMPARE(bench_->Nominal()->parts[1].chosen, before.chosen);
    QTest::mouseClick(bench_->findChild<QToolButton*>(QStringLiteral("stepL1Down")),
                      Qt::LeftButton);
    QCOMPARE(bench_->Nominal()->parts[0].chosen, before.chosen);
  }

  // A step survives a change of the fit, pairs or the series that offers its
  // value; a series without it drops it and says so.
  void aStepSurvivesWhatDoesNotUnmakeIt() {
    Type("txtFrequency", "433.92");
    Choose(QStringLiteral("Inductors from"), 2);  // E12
    // Up to a value E12 has and E6 has not.
    const PartSeries e6 = *PartSeries::Standard("E6");
    double stepped = 0;
    for (int n = 0; n < 3 && (stepped == 0 || e6.Around(stepped).below == stepped); ++n) {
      QTest::mouseClick(bench_->findChild<QToolButton*>(QStringLiteral("stepL1Up")),
                        Qt::LeftButton);
      stepped = bench_->Nominal()->parts[0].chosen;
    }
    Choose(QStringLiteral("Fit"), static_cast<int>(FitMethod::kNearest));
    QCOMPARE(bench_->Nominal()->parts[0].chosen, stepped);
    Choose(QStringLiteral("Inductors from"), 3);  // E24 offers every E12 value
    QCOMPARE(bench_->Nominal()->parts[0].chosen, stepped);
    QVERIFY(e6.Around(stepped).below != stepped);
    Choose(QStringLiteral("Inductors from"), 1);  // E6
    QVERIFY(bench_->Nominal()->parts[0].chosen != stepped);
    QVERIFY2(bench_->Status().contains(QStringLiteral("does not offer the stepped L1")),
             qPrintable(bench_->Status()));
  }

  // Under a searched fit a step moves its part alone: the others keep the
  // search's values while it searches again.
  void aStepUnderASearchKeepsTheOtherParts() {
    Type("txtFrequency", "433.92");
    // The narrow hybrid, whose search picks other parts than best.
    QTest::mouseClick(InMain<QRadioButton>("opt3"), Qt::LeftButton);
    Choose(QStringLiteral("Inductors from"), 2);   // E12
    Choose(QStringLiteral("Capacitors from"), 3);  // E24
    QSignalSpy shown(bench_, &BenchWindow::YieldShown);
    Choose(QStringLiteral("Fit"), static_cast<int>(FitMethod::kMargin));
    QVERIFY(shown.wait(20000));
    const std::vector<PartRow> searched = bench_->Nominal()->parts;
    QTest::mouseClick(bench_->findChild<QToolButton*>(QStringLiteral("stepC1Up")), Qt::LeftButton);
    const std::vector<PartRow>& now = bench_->Nominal()->parts;
    QCOMPARE(now.size(), searched.size());
    for (size_t i = 0; i < now.size(); ++i) {
      if (now[i].name == "C1") {
        QVERIFY(now[i].chosen > searched[i].chosen);
      } else {
        QCOMPARE(now[i].chosen, searched[i].chosen);
      }
    }
  }

  // Best shows at once; the margin search's parts follow from the worker,
  // the same as the study gives them.
  void aSearchedFitReplacesTheBestPreview() {
    Type("txtFrequency", "915");
    QTest::mouseClick(InMain<QRadioButton>("opt3"), Qt::LeftButton);
    Choose(QStringLiteral("Inductors from"), 2);   // E12
    Choose(QStringLiteral("Capacitors from"), 3);  // E24
    QSignalSpy shown(bench_, &BenchWindow::YieldShown);
    QSignalSpy first(bench_, &BenchWindow::FirstYieldShown);
    Choose(QStringLiteral("Fit"), static_cast<int>(FitMethod::kMargin));
    QCOMPARE(bench_->Nominal()->request.parts.method, FitMethod::kBest);
    // A first search's answer, said to be one, then the whole search's.
    QVERIFY(first.wait(20000));
    QVERIFY(shown.isEmpty());
    QCOMPARE(bench_->Nominal()->request.parts.method, FitMethod::kMargin);
    QVERIFY(bench_->findChild<QLabel*>(QStringLiteral("yieldLabel"))
                ->text()
                .contains(QStringLiteral("whole search goes on")));
    QVERIFY(shown.wait(20000));
    QVERIFY(!bench_->findChild<QLabel*>(QStringLiteral("yieldLabel"))
                 ->text()
                 .contains(QStringLiteral("whole search goes on")));
    const StudyResult& shown_result = *bench_->Nominal();
    QCOMPARE(shown_result.request.parts.method, FitMethod::kMargin);
    StudyRequest request = shown_result.request;
    request.monte_carlo.reset();
    const StudyOutcome direct = RunStudy(request);
    QVERIFY(direct.result);
    for (size_t i = 0; i < direct.result->parts.size(); ++i) {
      QCOMPARE(shown_result.parts[i].chosen, direct.result->parts[i].chosen);
    }
  }

  void aChangedInputCancelsARunningYield() {
    Boards()->setValue(1000000);
    QVERIFY(bench_->YieldRunning());
    const int cancelled = bench_->YieldRunsCancelled();
    QSignalSpy shown(bench_, &BenchWindow::YieldShown);
    Type("txtFrequency", "100");
    QVERIFY(bench_->YieldRunsCancelled() > cancelled);
    Boards()->setValue(3000);
    QVERIFY(shown.wait(20000));
    // The yield shown is that of the last settings, not of a cancelled run.
    QCOMPARE(bench_->Yield()->samples, 3000);
    QCOMPARE(shown.count(), 1);
  }

  // The bench's exports are the command line's, byte for byte, with chip
  // parts on pads.
  void anExportWritesWhatTheCommandLineWrites() {
    QTest::mouseClick(InMain<QRadioButton>("opt3"), Qt::LeftButton);
    Type("txtFrequency", "433.92");
    Choose(QStringLiteral("Inductors from"), 2);   // E12
    Choose(QStringLiteral("Capacitors from"), 3);  // E24
    Field(QStringLiteral("Inductor Q"))->setText(QStringLiteral("40"));
    // The command line's fit with tolerances.
    Choose(QStringLiteral("Fit"), static_cast<int>(FitMethod::kYield));
    Choose(QStringLiteral("Part model"), 1);  // 0402
    Field(QStringLiteral("Pad capacitance"))->setText(QStringLiteral("0.1p"));
    Field(QStringLiteral("Inductor tolerance:"))->setText(QStringLiteral("5%"));
    Field(QStringLiteral("Capacitor tolerance:"))->setText(QStringLiteral("0.25p"));
    Boards()->setValue(500);
    QTemporaryDir bench_dir, cli_dir;
    Field(QStringLiteral("Export folder"))->setText(bench_dir.path());
    QSignalSpy finished(bench_, &BenchWindow::ExportFinished);
    for (QPushButton* b : bench_->findChildren<QPushButton*>()) {
      if (b->text() == QStringLiteral("E&xport")) QTest::mouseClick(b, Qt::LeftButton);
    }
    QVERIFY(finished.wait(20000));
    QVERIFY2(finished.front().front().toBool(), qPrintable(bench_->Status()));
    QVERIFY(bench_->Status().contains(bench_dir.path()));

    std::ostringstream out, err;
    const std::string stem = "NarrowQuad433.92";
    const int status = RunCli({"--topology",
                               "narrow-quad",
                               "--frequency",
                               "433.92",
                               "--inductors",
                               "E12",
                               "--capacitors",
                               "E24",
                               "--q-inductor",
                               "40",
                               "--part-model",
                               "0402",
                               "--pad-capacitance",
                               "0.1p",
                               "--tolerance-inductor",
                               "5%",
                               "--tolerance-capacitor",
                               "0.25p",
                               "--tolerance-resistor",
                               "1%",
                               "--monte-carlo",
                               "500",
                               "--directory",
                               cli_dir.path().toStdString(),
                               "--touchstone",
                               "--spice",
                               "--plot",
                               stem + ".svg",
                               "--bom",
                               stem + ".csv",
                               "--json",
                               stem + ".json"},
                              out, err);
    QCOMPARE(status, kExitOk);
    for (const char* suffix : {".s4p", ".cir", ".svg", ".csv", ".json"}) {
      QFile a(QDir(bench_dir.path()).filePath(QString::fromStdString(stem) + suffix));
      QFile b(QDir(cli_dir.path()).filePath(QString::fromStdString(stem) + suffix));
      QVERIFY2(a.open(QIODevice::ReadOnly), suffix);
      QVERIFY2(b.open(QIODevice::ReadOnly), suffix);
      QVERIFY2(a.readAll() == b.readAll(), suffix);
    }
    QVERIFY(QFile::exists(QDir(bench_dir.path()).filePath(QString::fromStdString(stem) + ".png")));
  }

  // The stress power fills the Rating column, and the KiCad project the
  // bench exports is the command line's, byte for byte.
  void stressAndTheKicadProject() {
    Boards()->setValue(0);
    Field(QStringLiteral("Stress at power"))->setText(QStringLiteral("1W"));
    QVERIFY(bench_->Nominal()->stress);
    auto* table = bench_->findChild<QTableWidget*>(QStringLiteral("partsTable"));
    QCOMPARE(table->item(5, 0)->text(), QStringLiteral("R1"));
    QVERIFY2(table->item(5, 8)->text().endsWith(QStringLiteral("OVER")),
             qPrintable(table->item(5, 8)->text()));
    Field(QStringLiteral("Stress at power"))->setText(QStringLiteral("1 pF"));
    QVERIFY(!bench_->Nominal()->stress);
    Field(QStringLiteral("Stress at power"))->setText(QStringLiteral("1W"));

    QTemporaryDir bench_dir, cli_dir;
    Field(QStringLiteral("Export folder"))->setText(bench_dir.path());
    for (QCheckBox* c : bench_->findChildren<QCheckBox*>()) {
      if (c->text().contains(QStringLiteral("KiCad"))) c->setChecked(true);
    }
    QSignalSpy finished(bench_, &BenchWindow::ExportFinished);
    for (QPushButton* b : bench_->findChildren<QPushButton*>()) {
      if (b->text() == QStringLiteral("E&xport")) QTest::mouseClick(b, Qt::LeftButton);
    }
    QVERIFY(finished.wait(20000));
    QVERIFY2(finished.front().front().toBool(), qPrintable(bench_->Status()));
    std::ostringstream out, err;
    const std::string stem = "NarrowSplitter12.1";
    QCOMPARE(RunCli({"--topology", "narrow-splitter", "--stress", "--power", "1W", "--kicad", stem,
                     "--directory", cli_dir.path().toStdString()},
                    out, err),
             kExitOk);
    for (const char* suffix : {".kicad_pro", ".kicad_sch", ".kicad_pcb"}) {
      const QString name = QString::fromStdString(stem + "/" + stem) + suffix;
      QFile a(QDir(bench_dir.path()).filePath(name)), b(QDir(cli_dir.path()).filePath(name));
      QVERIFY2(a.open(QIODevice::ReadOnly), suffix);
      QVERIFY2(b.open(QIODevice::ReadOnly), suffix);
      QVERIFY2(a.readAll() == b.readAll(), suffix);
    }
  }

  // An empty folder field is refused; files that exist are replaced only
  // when the user says so.
  void anExportAsksBeforeReplacing() {
    const auto export_now = [&](std::optional<QMessageBox::StandardButton> answer) {
      if (answer) {
        QTimer::singleShot(200, [answer] {
          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          if (box) box->button(*answer)->click();
        });
      }
      QSignalSpy finished(bench_, &BenchWindow::ExportFinished);
      for (QPushButton* b : bench_->findChildren<QPushButton*>()) {
        if (b->text() == QStringLiteral("E&xport")) QTest::mouseClick(b, Qt::LeftButton);
      }
      if (finished.isEmpty() && !finished.wait(20000)) return false;
      return finished.front().front().toBool();
    };
    Field(QStringLiteral("Export folder"))->setText(QStringLiteral("  "));
    QVERIFY(!export_now(std::nullopt));
    QVERIFY2(bench_->Status().contains(QStringLiteral("the folder is empty")),
             qPrintable(bench_->Status()));

    QTemporaryDir dir;
    Field(QStringLiteral("Export folder"))->setText(dir.path());
    const QString json = QDir(dir.path()).filePath(QStringLiteral("NarrowSplitter12.1.json"));
    {
      QFile file(json);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("mine");
    }
    QVERIFY(!export_now(QMessageBox::No));
    QFile kept(json);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("mine"));
    kept.close();
    QVERIFY(export_now(QMessageBox::Yes));
    QFile replaced(json);
    QVERIFY(replaced.open(QIODevice::ReadOnly));
    QVERIFY(replaced.readAll().startsWith("{"));
  }

  // A parts file the design reads is never overwritten by an export of the
  // same name, as on the command line.
  void anExportNeverOverwritesThePartsFile() {
    QTemporaryDir dir;
    QString parts;
    for (const PlannedOutput& o : bench_->PlannedExports(dir.path())) {
      if (o.kind == OutputKind::kPartsList) parts = QString::fromStdString(o.path.string());
    }
    QVERIFY(!parts.isEmpty());
    {
      QFile file(parts);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("10n\n12n\n15n\n22n\n");
    }
    bench_->UsePartsFile(0, parts);
    Field(QStringLiteral("Export folder"))->setText(dir.path());
    QSignalSpy finished(bench_, &BenchWindow::ExportFinished);
    for (QPushButton* b : bench_->findChildren<QPushButton*>()) {
      if (b->text() == QStringLiteral("E&xport")) QTest::mouseClick(b, Qt::LeftButton);
    }
    // Refused before anything is computed: at once.
    QCOMPARE(finished.size(), 1);
    QVERIFY2(!finished.front().front().toBool(), qPrintable(bench_->Status()));
    QVERIFY2(bench_->Status().contains(QStringLiteral("is the parts file")),
             qPrintable(bench_->Status()));
    QFile file(parts);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("10n\n12n\n15n\n22n\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    Choose(QStringLiteral("Inductors from"), 2);  // E12 again
  }

  // A wheel over a combo box or spin box the user has not chosen scrolls
  // the column and leaves the setting alone; chosen, the wheel changes it.
  void theWheelScrollsPastUnchosenSettings() {
    bench_->resize(1200, 500);
    QComboBox* profile = nullptr;
    for (QComboBox* c : bench_->findChildren<QComboBox*>()) {
      if (c->accessibleName() == QStringLiteral("Q profile")) profile = c;
    }
    QVERIFY(profile);
    auto* scroll = profile->parentWidget();
    while (scroll && !qobject_cast<QScrollArea*>(scroll)) scroll = scroll->parentWidget();
    QVERIFY(scroll);
    auto* bar = static_cast<QScrollArea*>(scroll)->verticalScrollBar();
    const auto wheel = [](QWidget* w) {
      const QPointF at(w->width() / 2.0, w->height() / 2.0);
      QWheelEvent event(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QCoreApplication::sendEvent(w, &event);
    };
    const int index = profile->currentIndex(), boards = Boards()->value(), before = bar->value();
    wheel(profile);
    wheel(Boards());
    QCOMPARE(profile->currentIndex(), index);
    QCOMPARE(Boards()->value(), boards);
    QVERIFY(bar->value() > before);
    bench_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(bench_));
    Boards()->setFocus();
    QVERIFY(Boards()->hasFocus());
    wheel(Boards());
    QVERIFY(Boards()->value() != boards);
  }

  // The parts table is one stop of the tab chain, and after a search its
  // columns hold their texts whole.
  void thePartsTableIsOneTabStopWithWholeTexts() {
    Type("txtFrequency", "915");
    Choose(QStringLiteral("Inductors from"), 2);   // E12
    Choose(QStringLiteral("Capacitors from"), 3);  // E24
    Choose(QStringLiteral("Fit"), static_cast<int>(FitMethod::kMargin));
    for (QCheckBox* c : bench_->findChildren<QCheckBox*>()) {
      if (c->text().contains(QStringLiteral("pairs"))) c->setChecked(true);
    }
    QSignalSpy shown(bench_, &BenchWindow::YieldShown);
    QVERIFY(shown.wait(20000));
    auto* table = bench_->findChild<QTableWidget*>(QStringLiteral("partsTable"));
    for (int r = 0; r < table->rowCount(); ++r) {
      for (int c = 0; c < table->columnCount(); ++c) {
        const QTableWidgetItem* item = table->item(r, c);
        if (item == nullptr) continue;
        QVERIFY2(table->fontMetrics().horizontalAdvance(item->text()) < table->columnWidth(c),
                 qPrintable(item->text()));
      }
    }
    bench_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(bench_));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Tab);
    QVERIFY(!table->hasFocus());
  }

  // The yield line names what a board must hold; with ideal parts the
  // built bands say why they are the ideal ones.
  void theYieldLineAndTheBandsSayWhatTheyMean() {
    QSignalSpy shown(bench_, &BenchWindow::YieldShown);
    Boards()->setValue(1500);
    QVERIFY(shown.wait(20000));
    const QLabel* yield = bench_->findChild<QLabel*>(QStringLiteral("yieldLabel"));
    QVERIFY2(yield->text().contains(QStringLiteral("passing at |S11| <= -15 dB, isolation <= -15 "
                                                   "dB, imbalance <= 0.5 dB, phase within 5 deg")),
             qPrintable(yield->text()));
    auto* bands = bench_->findChild<QTableWidget*>(QStringLiteral("bandsTable"));
    QCOMPARE(bands->item(0, 1)->text(), QStringLiteral("as ideal: no parts chosen"));
  }

  // Each Alt+letter reaches one control of the bench.
  void mnemonicsAreUnique() {
    QStringList texts;
    for (QLabel* l : bench_->findChildren<QLabel*>()) texts << l->text();
    for (QAbstractButton* b : bench_->findChildren<QAbstractButton*>()) texts << b->text();
    for (QGroupBox* g : bench_->findChildren<QGroupBox*>()) texts << g->title();
    for (QTabWidget* t : bench_->findChildren<QTabWidget*>()) {
      for (int i = 0; i < t->count(); ++i) texts << t->tabText(i);
    }
    QMap<QChar, QString> seen;
    for (QString text : texts) {
      text.replace(QStringLiteral("&&"), QString());
      const qsizetype at = text.indexOf(QLatin1Char('&'));
      if (at < 0 || at + 1 >= text.size()) continue;
      const QChar key = text.at(at + 1).toLower();
      QVERIFY2(!seen.contains(key), qPrintable(seen.value(key) + QStringLiteral(" and ") + text));
      seen.insert(key, text);
    }
    QVERIFY(seen.size() >= 15);
    // A screen reader names every field by what it is, not by its value.
    for (QWidget* w : bench_->findChildren<QWidget*>()) {
      if (qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
          qobject_cast<QAbstractSpinBox*>(w)) {
        if (qobject_cast<QLineEdit*>(w) && qobject_cast<QAbstractSpinBox*>(w->parentWidget())) {
          continue;  // a spin box's own editor
        }
        if (qobject_cast<QComboBox*>(w->parentWidget())) continue;
        QVERIFY2(!w->accessibleName().isEmpty(), w->metaObject()->className());
      }
    }
  }

  // The chart's disc is drawn as an outline with its grid inside, not
  // filled: most of it shows the background.
  void theSmithChartIsNotAFilledDisc() {
    PlotWidget* smith = nullptr;
    for (PlotWidget* w : bench_->findChildren<PlotWidget*>()) {
      if (w->accessibleName().startsWith(QStringLiteral("Smith"))) smith = w;
    }
    QVERIFY(smith);
    smith->resize(500, 500);
    const QImage image = smith->grab().toImage();
    const QRgb background = image.pixel(5, image.height() / 2);
    int same = 0, inside = 0;
    const QPoint centre(image.width() / 2, image.height() / 2);
    for (int y = 0; y < image.height(); y += 3) {
      for (int x = 0; x < image.width(); x += 3) {
        const int dx = x - centre.x(), dy = y - centre.y();
        if (dx * dx + dy * dy > 100 * 100) continue;  // well inside the disc
        ++inside;
        same += image.pixel(x, y) == background;
      }
    }
    QVERIFY(inside > 0);
    QVERIFY2(same > inside / 2, qPrintable(QStringLiteral("%1 of %2").arg(same).arg(inside)));
  }

  void theHoverReadsEveryCurve() {
    PlotWidget* plot = bench_->ResponsePlotWidget();
    plot->resize(800, 700);
    const PlotLayout layout = LayoutPlot(plot->plot(), 800, 700);
    const PlotRect& r = layout.panels.front();
    const QStringList lines =
        plot->ReadOut(QPointF((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    QVERIFY(lines.size() >= 6);
    QVERIFY(lines.front().endsWith(QStringLiteral("MHz")));
    QVERIFY(lines.join(QLatin1Char('\n')).contains(QStringLiteral("|S11| input match: ")));
  }

  // The plot answers the keys as it answers the wheel and a drag.
  void thePlotZoomsAndPansByKeys() {
    PlotWidget* plot = bench_->ResponsePlotWidget();
    const auto range = [&] {
      const PlotAxis& x = plot->plot().panels.front().x;
      return std::pair{x.low, x.high};
    };
    const auto [low, high] = range();
    QTest::keyClick(plot, Qt::Key_Plus);
    const auto [low2, high2] = range();
    QVERIFY(high2 - low2 < 0.9 * (high - low));
    QTest::keyClick(plot, Qt::Key_Right);
    QVERIFY(range().first > low2);
    QTest::keyClick(plot, Qt::Key_Home);
    QCOMPARE(range(), std::pair(low, high));
  }

  // A plot saved from its menu is the view on screen, zoomed as it is.
  void aSavedPlotIsTheViewOnScreen() {
    PlotWidget* plot = bench_->ResponsePlotWidget();
    auto* panel = bench_->findChild<BenchPlotsPanel*>();
    QTest::keyClick(plot, Qt::Key_Plus);
    QTemporaryDir dir;
    const QString svg = dir.filePath(QStringLiteral("view.svg"));
    const QString png = dir.filePath(QStringLiteral("view.png"));
    QVERIFY(panel->SavePlot(plot, svg, false));
    QVERIFY(panel->SavePlot(plot, png, true));
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().toStdString(), SvgText(plot->plot()));
    QCOMPARE(QImage(png).width(), 2 * 820);
    // A folder that is not there: said, nothing claimed.
    QVERIFY(!panel->SavePlot(plot, dir.filePath(QStringLiteral("none/view.svg")), false));
    QVERIFY(bench_->Status().contains(QStringLiteral("not saved")));
    QTest::keyClick(plot, Qt::Key_Home);
  }

  // Built from parts with boards, the read-out gives the built circuit, the
  // ideal one and the boards' spread, each unit once.
  void theHoverReadsIdealBuiltAndTheBoards() {
    Choose(QStringLiteral("Inductors from"), 2);  // E12
    QSignalSpy shown(bench_, &BenchWindow::YieldShown);
    QVERIFY(shown.wait(20000));
    PlotWidget* plot = bench_->ResponsePlotWidget();
    plot->resize(800, 700);
    const PlotRect r = LayoutPlot(plot->plot(), 800, 700).panels.front();
    const QString text =
        plot->ReadOut(QPointF((r.left + r.right) / 2, (r.top + r.bottom) / 2)).join('\n');
    QVERIFY2(text.contains(QStringLiteral("|S11| input match (ideal): ")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("|S11| input match, boards 5 to 95 %: ")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("\nphase error: ")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("(deg)")) && !text.contains(QStringLiteral("(dB)")),
             qPrintable(text));
  }

  // The bench's own form: designed, saved in a session the command line
  // runs, and the chooser's pick taken; back to the main window's circuit.
  void aFormOfItsOwnAndTheChoosersPick() {
    auto* family = bench_->findChild<QComboBox*>(QStringLiteral("formFamily"));
    family->setCurrentIndex(3);  // ring
    bench_->findChild<QComboBox*>(QStringLiteral("formArms"))->setCurrentIndex(1);
    const Form ring{FormFamily::kRing, 2, 0, 1, ArmForm::kHighPass};
    QVERIFY(bench_->Nominal()->design.form == ring);
    QCOMPARE(bench_->Nominal()->ideal.ports, 4);
    // The Schematic tab draws the ring's own circuit.
    auto* schematic = bench_->findChild<SchematicView*>();
    QVERIFY(QString::fromStdString(schematic->Svg()).contains(QStringLiteral("180 Deg Ring")));
    QTemporaryDir dir;
    const QString session = dir.filePath(QStringLiteral("ring.rfsplitter"));
    QVERIFY(bench_->SaveSession(session));
    std::ostringstream out, err;
    QCOMPARE(RunCli({"--session", session.toStdString(), "--directory", dir.path().toStdString(),
                     "--json", "run.json"},
                    out, err),
             kExitOk);
    QFile json(dir.filePath(QStringLiteral("run.json")));
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QByteArray run = json.readAll();
    QVERIFY2(run.contains("\"family\": \"ring\"") && run.contains("\"arms\": \"high-pass\""),
             run.constData());

    bench_->findChild<QLineEdit*>(QStringLiteral("chooserBand"))
        ->setText(QStringLiteral("850-980"));
    QTest::mouseClick(bench_->findChild<QPushButton*>(QStringLiteral("chooserRun")),
                      Qt::LeftButton);
    auto* use = bench_->findChild<QPushButton*>(QStringLiteral("chooserUse"));
    QVERIFY(use->isEnabled());
    QTest::mouseClick(use, Qt::LeftButton);
    const Choice& choice = *bench_->findChild<BenchFormPanel*>()->LastChoice();
    const ChoiceCandidate& pick = choice.candidates[*choice.chosen];
    QVERIFY(bench_->Nominal()->design.form == pick.form);
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, float(pick.frequency_mhz));

    family->setCurrentIndex(0);
    QVERIFY(bench_->Nominal()->design.form == FormOf(Topology::kNarrowSplitter));

    // A session's split reads alike under a comma-decimal C locale.
    const QString unequal = dir.filePath(QStringLiteral("unequal.rfsplitter"));
    QCOMPARE(RunCli({"--topology", "splitter", "--split", "-4.5", "--save-session",
                     unequal.toStdString(), "--directory", dir.path().toStdString()},
                    out, err),
             kExitOk);
    const std::string was = std::setlocale(LC_NUMERIC, nullptr);
    QVERIFY2(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), "no de_DE.UTF-8 locale");
    const bool opened = bench_->OpenSession(unequal);
    std::setlocale(LC_NUMERIC, was.c_str());
    QVERIFY(opened);
    QCOMPARE(bench_->Nominal()->design.form.split_db, -4.5);
  }

  // A session the bench saves runs on the command line to the bytes the
  // bench exports; opened in a fresh bench it brings back the design, the
  // settings and the step.
  void aSavedSessionRunsOnTheCommandLineAndOpensAgain() {
    QTest::mouseClick(InMain<QRadioButton>("opt3"), Qt::LeftButton);
    Type("txtFrequency", "433.92");
    Choose(QStringLiteral("Inductors from"), 2);   // E12
    Choose(QStringLiteral("Capacitors from"), 3);  // E24
    Field(QStringLiteral("Inductor Q"))->setText(QStringLiteral("40"));
    Choose(QStringLiteral("Part model"), 1);  // 0402
    Field(QStringLiteral("Inductor tolerance:"))->setText(QStringLiteral("5%"));
    Boards()->setValue(400);
    QTest::mouseClick(bench_->findChild<QToolButton*>(QStringLiteral("stepL1Up")), Qt::LeftButton);
    const double stepped = bench_->Nominal()->parts[0].chosen;
    QTemporaryDir dir;
    const QString session = dir.filePath(QStringLiteral("quad.rfsplitter"));
    QVERIFY(bench_->SaveSession(session));
    Field(QStringLiteral("Export folder"))->setText(dir.path());
    for (QCheckBox* c : bench_->findChildren<QCheckBox*>()) {
      if (c->text() == QStringLiteral("Plot (PNG)")) c->setChecked(false);
    }
    QSignalSpy finished(bench_, &BenchWindow::ExportFinished);
    for (QPushButton* b : bench_->findChildren<QPushButton*>()) {
      if (b->text() == QStringLiteral("E&xport")) QTest::mouseClick(b, Qt::LeftButton);
    }
    QVERIFY(finished.wait(20000));
    QTemporaryDir cli_dir;
    std::ostringstream out, err;
    const std::string stem = "NarrowQuad433.92";
    QCOMPARE(
        RunCli({"--session", session.toStdString(), "--directory", cli_dir.path().toStdString(),
                "--touchstone", "--json", stem + ".json", "--bom", stem + ".csv"},
               out, err),
        kExitOk);
    for (const char* suffix : {".s4p", ".json", ".csv"}) {
      QFile a(QDir(dir.path()).filePath(QString::fromStdString(stem) + suffix));
      QFile b(QDir(cli_dir.path()).filePath(QString::fromStdString(stem) + suffix));
      QVERIFY2(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly), suffix);
      QVERIFY2(a.readAll() == b.readAll(), suffix);
    }

    cleanup();
    QSettings().clear();
    Open();
    QVERIFY(bench_->OpenSession(session));
    QCOMPARE(bench_->Nominal()->design.topology, Topology::kNarrowQuad);
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, 433.92f);
    QCOMPARE(bench_->Nominal()->parts[0].chosen, stepped);
    QCOMPARE(Field(QStringLiteral("Inductor Q"))->text(), QStringLiteral("40"));
    QCOMPARE(Boards()->value(), 400);
    QFile damaged(session);
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("{\"rfsplitter_session\": 9}");
    damaged.close();
    QVERIFY(!bench_->OpenSession(session));
    QVERIFY2(bench_->Note().contains(QStringLiteral("newer version")), qPrintable(bench_->Note()));
  }

  // Ctrl+Z takes back a setting, a step and the design, one at a time;
  // Ctrl+Shift+Z does them again; a new change drops what was undone.
  void undoAndRedoEveryChange() {
    bench_->SettleHistory();
    Field(QStringLiteral("Inductor Q"))->setText(QStringLiteral("40"));
    bench_->SettleHistory();
    Type("txtFrequency", "433.92");
    bench_->SettleHistory();
    Choose(QStringLiteral("Inductors from"), 2);  // E12
    bench_->SettleHistory();
    QTest::mouseClick(bench_->findChild<QToolButton*>(QStringLiteral("stepL1Up")), Qt::LeftButton);
    const double stepped = bench_->Nominal()->parts[0].chosen;
    bench_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(bench_));
    const auto key = [&](Qt::KeyboardModifiers modifiers) {
      QTest::keyClick(bench_, Qt::Key_Z, modifiers);
    };
    key(Qt::ControlModifier);  // the step
    QVERIFY(bench_->Nominal()->parts[0].chosen != stepped);
    key(Qt::ControlModifier);  // the series
    QCOMPARE(bench_->Nominal()->parts[0].series, std::string("ideal"));
    key(Qt::ControlModifier);  // the frequency, in the main window too
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, 12.1f);
    QCOMPARE(InMain<QLineEdit>("txtFrequency")->text(), QStringLiteral("12.1"));
    QCOMPARE(Field(QStringLiteral("Inductor Q"))->text(), QStringLiteral("40"));
    key(Qt::ControlModifier);
    QCOMPARE(Field(QStringLiteral("Inductor Q"))->text(), QString());
    key(Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(bench_->Nominal()->design.inputs.frequency_mhz, 433.92f);
    QCOMPARE(bench_->Nominal()->parts[0].chosen, stepped);
    key(Qt::ControlModifier);
    Field(QStringLiteral("Capacitor Q"))->setText(QStringLiteral("200"));
    key(Qt::ControlModifier | Qt::ShiftModifier);  // nothing left to redo
    QCOMPARE(Field(QStringLiteral("Capacitor Q"))->text(), QStringLiteral("200"));
    QVERIFY(bench_->Nominal()->parts[0].chosen != stepped);
  }

  // On a dark palette that keeps a light theme's placeholder colour, the
  // part model's figures shown as placeholders stay readable.
  void placeholdersStayReadableOnADarkPalette() {
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::PlaceholderText, QColor(40, 40, 44));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    const QColor seen =
        Field(QStringLiteral("Inductor Q"))->palette().color(QPalette::PlaceholderText);
    QApplication::setPalette(light);
    QCoreApplication::processEvents();
    const double over_base = seen.toHsl().lightnessF() * seen.alphaF() +
                             QColor(30, 30, 32).toHsl().lightnessF() * (1 - seen.alphaF());
    QVERIFY2(over_base > 0.4, qPrintable(seen.name(QColor::HexArgb)));
  }

  // The Boards tab: every board counted once in the chosen figure's
  // histogram, its limit drawn, and a bar for each part's cost.
  void theBoardsTabShowsTheSpreadAndEachPartsCost() {
    Boards()->setValue(3000);
    QSignalSpy shown(bench_, &BenchWindow::YieldShown);
    QVERIFY(shown.wait(20000));
    auto* histogram = bench_->findChild<PlotWidget*>(QStringLiteral("histogramPlot"));
    const PlotPanel& panel = histogram->plot().panels.at(0);
    int boards = 0;
    const PlotFill& bars = panel.fills.at(0);
    for (size_t i = 0; i < bars.high.size(); i += 2) boards += int(bars.high[i]);
    QCOMPARE(boards, 3000);
    QCOMPARE(panel.markers.at(0).first, -15.0);  // the match limit
    QCOMPARE(histogram->plot().x_title, std::string("|S11| input match at f0 (dB)"));
    Choose(QStringLiteral("Figure of the boards"), 3);  // the phase error, both limits
    QCOMPARE(histogram->plot().panels.at(0).markers.size(), size_t(2));
    const Plot& costs = bench_->findChild<PlotWidget*>(QStringLiteral("sensitivityPlot"))->plot();
    QCOMPARE(costs.panels.at(0).fills.size(), bench_->Yield()->sensitivity.size());
    QVERIFY(histogram->ReadOut(QPointF(300, 200)).isEmpty());
  }

  // Clicks place markers, a drag moves one, Delete removes it; the table
  // reads every curve at each and from M1 to the last.
  void markersReadTheCurvesAndTheirDifference() {
    PlotWidget* plot = bench_->ResponsePlotWidget();
    // The table beneath shows with the first marker: the plot's panels
    // are found again for each click.
    const auto at = [&](double fraction) {
      const PlotRect r = LayoutPlot(plot->plot(), plot->width(), plot->height()).panels.front();
      return QPoint(int(r.left + fraction * (r.right - r.left)), int((r.top + r.bottom) / 2));
    };
    QTest::mouseClick(plot, Qt::LeftButton, {}, at(0.25));
    QTest::mouseClick(plot, Qt::LeftButton, {}, at(0.5));
    QCOMPARE(plot->Markers().size(), size_t(2));
    auto* table = bench_->findChild<QTableWidget*>(QStringLiteral("markersTable"));
    QVERIFY(table->isVisible());
    QCOMPARE(table->columnCount(), 3);  // M1, M2, M2 - M1
    const double f0 = 12.1;
    QVERIFY(std::abs(plot->Markers()[1] - f0) < 0.2);
    // |S11| at M2 is deep, at M1 shallow: the difference is negative.
    int s11 = -1;
    for (int row = 0; row < table->rowCount(); ++row) {
      if (table->verticalHeaderItem(row)->text().startsWith(QStringLiteral("|S11|"))) s11 = row;
    }
    QVERIFY(s11 > 0);
    QVERIFY(QLocale().toDouble(table->item(s11, 2)->text()) < -5);
    // The input's impedance at M2, near f0, is near 50 ohms; the markers
    // stand on the Smith chart too.
    const QString z = table->item(table->rowCount() - 1, 1)->text();
    QVERIFY2(z.startsWith(QStringLiteral("4")) || z.startsWith(QStringLiteral("5")), qPrintable(z));
    QStringList dots;
    for (const PlotPanel::Dot& d :
         bench_->findChild<PlotWidget*>(QStringLiteral("smithPlot"))->plot().panels[0].dots) {
      dots << QString::fromStdString(d.label);
    }
    QVERIFY2(dots.contains(QStringLiteral("M1")) && dots.contains(QStringLiteral("M2")),
             qPrintable(dots.join(',')));
    // A drag moves M1; Delete removes the one chosen last.
    QTest::mousePress(plot, Qt::LeftButton, {}, at(0.25));
    QTest::mouseMove(plot, at(0.3));
    QTest::mouseMove(plot, at(0.35));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, at(0.35));
    QCOMPARE(plot->Markers().size(), size_t(2));
    QVERIFY(plot->Markers()[0] > 10.5);
    plot->setFocus();
    QTest::keyClick(plot, Qt::Key_Delete);
    QCOMPARE(plot->Markers().size(), size_t(1));
    QCOMPARE(table->columnCount(), 1);
  }

  // Turning the boards off while a yield runs takes its progress bar away.
  void aYieldTurnedOffTakesItsProgressAlong() {
    Boards()->setValue(200000);
    QTest::qWait(400);  // past the progress bar's delay
    Boards()->setValue(0);
    QTest::qWait(400);
    auto* progress = bench_->findChild<QProgressBar*>();
    QVERIFY(progress && !progress->isVisible());
  }

  // A board measured with L1 12 % high, dropped on the bench: the third
  // column, the dotted curves, and diagnosed, L1 named first. A file of
  // another port count is said, and the design stays.
  void aDroppedMeasurementIsSetBesideTheDesignAndDiagnosed() {
    Type("txtFrequency", "915");
    Netlist board = bench_->Nominal()->Circuit();
    for (NetlistElement& e : board.elements) {
      if (e.name == "L1") e.value *= 1.12;
    }
    std::string error;
    const SweepResponse response = AnalyzeSweep(board, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("board.s3p"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(TouchstoneText(board, response)));
    file.close();

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bench_, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bench_, &drop);
    QVERIFY(bench_->Nominal()->measured);
    QCOMPARE(bench_->findChild<QTableWidget*>(QStringLiteral("bandsTable"))->columnCount(), 3);
    const auto legend_has = [&](const char* text) {
      for (const PlotLegendEntry& e : bench_->ResponsePlotWidget()->plot().legend) {
        if (e.text == text) return true;
      }
      return false;
    };
    QVERIFY(legend_has("measured (dotted)"));
    // The plot's own menu opens a measurement and copies the plot.
    QStringList menu;
    for (QAction* a : bench_->ResponsePlotWidget()->actions()) menu << a->text();
    QVERIFY2(menu.contains(QStringLiteral("Open a measured board...")), qPrintable(menu.join('|')));
    bench_->ResponsePlotWidget()->actions().front()->trigger();
    QCOMPARE(QApplication::clipboard()->image().size(),
             bench_->ResponsePlotWidget()->grab().toImage().size());

    for (QCheckBox* box : bench_->findChildren<QCheckBox*>()) {
      if (box->text().contains(QStringLiteral("Diagnose"))) box->click();
    }
    const std::optional<Diagnosis>& d = bench_->Nominal()->measured->diagnosis;
    QVERIFY(d);
    QCOMPARE(d->suspects.front().part, std::string("L1"));
    QCOMPARE(bench_->findChild<QTableWidget*>(QStringLiteral("suspectsTable"))->item(0, 0)->text(),
             QStringLiteral("L1"));
    QVERIFY(legend_has("as fitted (solid)"));

    const QString two_port = dir.filePath(QStringLiteral("pair.s2p"));
    QFile pair(two_port);
    QVERIFY(pair.open(QIODevice::WriteOnly));
    pair.write("# MHz S RI\n915 0 0 1 0 1 0 0 0\n");
    pair.close();
    bench_->UseMeasurement(two_port);
    QVERIFY(bench_->Nominal() && !bench_->Nominal()->measured);
    QVERIFY2(bench_->Note().contains(QStringLiteral("a 2-port file")), qPrintable(bench_->Note()));
  }
};

}  // namespace rfsplitter

QTEST_MAIN(rfsplitter::BenchWindowTest)
#include "bench_window_test.moc"
