// The desktop program: one window, the event loop, nothing saved.
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string_view>
#include <vector>

#include "engine/product.h"
#include "engine/version.h"
#include "ui/bench_window.h"
#include "ui/main_window.h"

namespace {

QString FromStd(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// --generate-and-quit: press Generate once after start-up, print what the
// boxes and the listing then show, and quit; for tests that drive the real
// program under a real locale.
void GenerateAndQuit(rfsplitter::MainWindow& window) {
  const auto* frequency = window.findChild<QLineEdit*>(QStringLiteral("txtFrequency"));
  const auto* impedance = window.findChild<QLineEdit*>(QStringLiteral("txtImpedance"));
  const QString before = QStringLiteral("txtFrequency=%1\ntxtImpedance=%2\n")
                             .arg(frequency->text(), impedance->text());
  window.findChild<QPushButton*>(QStringLiteral("cmdCalculate"))->click();
  const QString listing =
      window.findChild<QPlainTextEdit*>(QStringLiteral("txtResults"))->toPlainText();
  const QByteArray report = (before + QStringLiteral("txtResults=\n") + listing).toUtf8();
  std::fwrite(report.data(), 1, size_t(report.size()), stdout);
  std::fflush(stdout);
  QApplication::quit();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("rfsplitter"));
  // Where the bench keeps its settings: ~/.config/talvaine/rfsplitter.conf.
  QCoreApplication::setOrganizationName(FromStd(rfsplitter::kMakerName));
  QCoreApplication::setApplicationVersion(FromStd(rfsplitter::kVersion));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      FromStd(rfsplitter::kApplicationName) +
      QStringLiteral(": the lumped-element values of RF splitters and hybrids."));
  parser.addHelpOption();
  parser.addVersionOption();
  // Start, show the window, handle the first events and quit; for the
  // start-up test and start-up time measurements.
  QCommandLineOption smoke_test(QStringLiteral("smoke-test"));
  smoke_test.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(smoke_test);
  QCommandLineOption bench(QStringLiteral("bench"),
                           QStringLiteral("Open the design bench beside the main window."));
  parser.addOption(bench);
  QCommandLineOption session(QStringLiteral("session"),
                             QStringLiteral("Open the design bench with a saved session."),
                             QStringLiteral("FILE"));
  parser.addOption(session);
  // A dark palette whatever the desktop's, to look at the program as users
  // of a dark theme see it.
  QCommandLineOption dark_palette(QStringLiteral("dark-palette"));
  dark_palette.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(dark_palette);
  QCommandLineOption generate_and_quit(QStringLiteral("generate-and-quit"));
  generate_and_quit.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(generate_and_quit);

  // --help and --version answer without a display: a plain application
  // object serves them before the window system is reached.
  QString session_file;
  {
    QCoreApplication probe(argc, argv);
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp();
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    session_file = parser.value(session);
  }
  // The window system takes "-session NAME" for its own session manager:
  // ours is read here and kept from it.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--session" || arg == "-session") {
      ++i;
      continue;
    }
    if (arg.starts_with("--session=")) continue;
    args.push_back(argv[i]);
  }
  int app_argc = int(args.size());
  args.push_back(nullptr);

  QApplication app(app_argc, args.data());
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/rfsplitter-256.png")));
  // Lets the desktop match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("com.talvaine.rfsplitter"));
  parser.process(app);
  if (parser.isSet(dark_palette)) {
    QApplication::setStyle(QStringLiteral("Fusion"));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 55, 58));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Mid, QColor(80, 80, 84));
    dark.setColor(QPalette::Dark, QColor(150, 150, 155));
    dark.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    QApplication::setPalette(dark);
  }

  rfsplitter::MainWindow window;
  window.show();
  if (parser.isSet(bench) || !session_file.isEmpty()) window.OpenBench();
  if (!session_file.isEmpty()) window.Bench()->OpenSession(session_file);
  if (parser.isSet(smoke_test)) QTimer::singleShot(0, &app, &QApplication::quit);
  if (parser.isSet(generate_and_quit)) {
    QTimer::singleShot(0, &window, [&window] { GenerateAndQuit(window); });
  }
  return app.exec();
}
