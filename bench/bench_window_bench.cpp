// The bench's speed, as a user meets it: opening it, each keystroke in the
// main window and each stepper click (the nominal study, the tables, both
// plots rebuilt and painted), and the time until a 10,000-board yield with
// its spread is shown, for best's parts and for the yield fit's. Prints the median and the spread
// of each over repeated tries; run it on the offscreen platform:
//   QT_QPA_PLATFORM=offscreen build/bin/bench_window_bench
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/bench_window.h"
#include "ui/main_window.h"
#include "ui/plot_widget.h"

namespace {

struct Figures {
  std::vector<double> ms;
  void Print(const char* what) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-46s median %7.2f ms  (min %.2f, max %.2f, %zu tries)\n", what, ms[ms.size() / 2],
                ms.front(), ms.back(), ms.size());
  }
};

void Paint(rfsplitter::BenchWindow& bench) {
  bench.ResponsePlotWidget()->repaint();
  QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  Figures open, keystroke, step, yield;

  for (int i = 0; i < 11; ++i) {
    rfsplitter::MainWindow main;
    main.show();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    main.OpenBench();
    Paint(*main.Bench());
    open.ms.push_back(timer.nsecsElapsed() / 1e6);
  }

  rfsplitter::MainWindow main;
  main.show();
  main.OpenBench();
  rfsplitter::BenchWindow& bench = *main.Bench();
  auto* frequency = main.findChild<QLineEdit*>(QStringLiteral("txtFrequency"));
  // The realistic case: the wide hybrid at 433.92 MHz from E12/E24 parts.
  main.findChild<QWidget*>(QStringLiteral("opt4"))->setProperty("checked", true);
  const auto choose = [&](const QString& name, int index) {
    for (QComboBox* combo : bench.findChildren<QComboBox*>()) {
      if (combo->accessibleName() != name) continue;
      combo->setCurrentIndex(index);
      emit combo->activated(index);
    }
  };
  choose(QStringLiteral("Inductors from"), 2);   // E12
  choose(QStringLiteral("Capacitors from"), 3);  // E24
  // Best first: the yield alone; the yield fit's search is timed below.
  choose(QStringLiteral("Fit"), static_cast<int>(rfsplitter::FitMethod::kBest));
  for (QLineEdit* edit : bench.findChildren<QLineEdit*>()) {
    if (edit->accessibleName() == QStringLiteral("Inductor Q")) edit->setText(QStringLiteral("40"));
  }
  QSignalSpy shown(&bench, &rfsplitter::BenchWindow::YieldShown);
  // --no-yield: the nominal work alone, without a yield running beside it.
  const bool no_yield = argc > 1 && QString::fromLatin1(argv[1]) == QStringLiteral("--no-yield");
  if (no_yield) bench.findChild<QSpinBox*>()->setValue(0);
  const char* typed[] = {"4", "43", "433", "433.", "433.9", "433.92"};
  for (int round = 0; round < 5; ++round) {
    for (const char* text : typed) {
      QElapsedTimer timer;
      timer.start();
      frequency->setText(QString::fromLatin1(text));
      Paint(bench);
      keystroke.ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (no_yield) continue;
    // Then, untouched, until the yield of the last keystroke is shown.
    QElapsedTimer timer;
    timer.start();
    shown.clear();
    if (!shown.wait(10000)) return 1;
    yield.ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  for (int i = 0; i < 20; ++i) {
    auto* button = bench.findChild<QToolButton*>(i % 2 ? QStringLiteral("stepL6Down")
                                                       : QStringLiteral("stepL6Up"));
    QElapsedTimer timer;
    timer.start();
    button->click();
    Paint(bench);
    step.ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  // The yield fit: a keystroke, then untouched until its parts and their
  // yield are shown.
  Figures first, searched;
  if (!no_yield) {
    choose(QStringLiteral("Fit"), static_cast<int>(rfsplitter::FitMethod::kYield));
    QSignalSpy first_shown(&bench, &rfsplitter::BenchWindow::FirstYieldShown);
    for (int round = 0; round < 5; ++round) {
      QElapsedTimer timer;
      timer.start();
      shown.clear();
      first_shown.clear();
      frequency->setText(QString::fromLatin1(round % 2 ? "433.92" : "433.9"));
      if (!first_shown.wait(20000)) return 1;
      first.ms.push_back(timer.nsecsElapsed() / 1e6);
      if (shown.isEmpty() && !shown.wait(20000)) return 1;
      searched.ms.push_back(timer.nsecsElapsed() / 1e6);
    }
  }
  open.Print("open the bench (first paint)");
  keystroke.Print("a keystroke: study, tables, plots, paint");
  step.Print("a stepper click: study, tables, plots, paint");
  if (!no_yield) yield.Print("10,000-board yield and spread shown after");
  if (!no_yield) first.Print("yield fit, its first parts and yield after");
  if (!no_yield) searched.Print("yield fit, the whole search's after");
  return 0;
}
