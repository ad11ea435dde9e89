// The desktop program: one window, the event loop, nothing saved.
#include <QApplication>
#include <QTimer>

#include "engine/product.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("rfsplitter"));
  QApplication::setApplicationDisplayName(
      QString::fromUtf8(rfsplitter::kApplicationName.data(), rfsplitter::kApplicationName.size()));

  rfsplitter::MainWindow window;
  window.show();
  // --smoke-test: start, show the window, handle the first events and quit;
  // for the start-up test and start-up time measurements.
  if (app.arguments().contains(QStringLiteral("--smoke-test"))) {
    QTimer::singleShot(0, &app, &QApplication::quit);
  }
  return app.exec();
}
