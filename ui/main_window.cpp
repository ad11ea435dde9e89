#include "ui/main_window.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <algorithm>

#include "engine/inputs.h"
#include "engine/product.h"
#include "engine/run.h"
#include "engine/topologies.h"
#include "engine/version.h"
#include "simfile/simulation_file.h"
#include "ui/bench_window.h"
#include "ui/message_boxes.h"
#include "ui/web_links.h"
#include "ui_main_window.h"

namespace rfsplitter {
namespace {

QString FromStd(const std::string& text) { return QString::fromStdString(text); }
QString FromStd(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::MainWindow>()) {
  ui_->setupUi(this);
  // The title bar stays empty. An empty title would not do: the platform
  // then shows the program's name instead; a blank is shown as it is.
  setWindowTitle(QStringLiteral(" "));
  SetUpControls();
  SetUpOptionGroup();
  LoadStartUpState();
}

MainWindow::~MainWindow() = default;

// What the form cannot hold: fonts in pixels with fallbacks, texts that come
// from the engine, the pictures, and the connections.
void MainWindow::SetUpControls() {
  setFixedSize(size());
  // The captions were sized for a small dialog font: 8 points (11 pixels) of a
  // narrow sans serif.
  QFont dialog_font;
  dialog_font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                           QStringLiteral("DejaVu Sans Condensed"),
                           QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial")});
  dialog_font.setPixelSize(11);
  setFont(dialog_font);

  QFont title_font(QStringLiteral("MS Sans Serif"));
  title_font.setPixelSize(18);
  title_font.setWeight(QFont::Normal);
  ui_->label2->setFont(title_font);
  // The substitute fonts run wider than the original; one pixel less keeps
  // the description inside its five lines.
  QFont description_font = font();
  description_font.setPixelSize(10);
  ui_->label1->setFont(description_font);
  ui_->label4->setText(QStringLiteral("Version ") + FromStd(kVersion));

  QRadioButton* const option_buttons[] = {ui_->opt1, ui_->opt3, ui_->opt4};
  pictures_[0] = ui_->picDesign1;
  pictures_[1] = ui_->picDesign3;
  pictures_[2] = ui_->picDesign4;
  for (int i = 0; i < 3; ++i) {
    const TopologyTexts& texts = TextsOf(kAllTopologies[i]);
    option_buttons[i]->setText(FromStd(texts.caption));
    // Shown unscaled from the top-left corner; the last rows and columns of
    // the 300-pixel picture fall outside the box.
    pictures_[i]->setPixmap(
        QPixmap(QStringLiteral(":/schematics/%1.png").arg(FromStd(texts.picture))));
    pictures_[i]->setBackgroundRole(QPalette::Base);
    pictures_[i]->setForegroundRole(QPalette::Text);
  }

  connect(ui_->cmdCalculate, &QPushButton::clicked, this, &MainWindow::Generate);
  connect(ui_->cmdBench, &QPushButton::clicked, this, &MainWindow::OpenBench);
  auto* bench_shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), this);
  connect(bench_shortcut, &QShortcut::activated, this, &MainWindow::OpenBench);
  // The bench follows what is typed, as it is typed.
  connect(ui_->txtFrequency, &QLineEdit::textChanged, this, &MainWindow::FollowInBench);
  connect(ui_->txtImpedance, &QLineEdit::textChanged, this, &MainWindow::FollowInBench);
  const QUrl maker(FromStd(kMakerAddress));
  const QUrl vendor(FromStd(kSimulatorVendorAddress));
  ui_->cmdBrackwen->setText(QStringLiteral("Launch ") + HostWithoutTopLevelDomain(maker));
  ui_->cmdAplac->setText(QStringLiteral("  Launch   ") + HostWithoutTopLevelDomain(vendor));
  connect(ui_->cmdBrackwen, &QPushButton::clicked, this,
          [this, maker] { OpenWebAddress(this, maker); });
  connect(ui_->cmdAplac, &QPushButton::clicked, this,
          [this, vendor] { OpenWebAddress(this, vendor); });
}

// One group of three: only the selected option is a tab stop, and the arrow
// keys step through opt1, opt3, opt4 in that order, wrapping, each step
// selecting the option (whose picture follows).
void MainWindow::SetUpOptionGroup() {
  options_ = new QButtonGroup(this);
  QRadioButton* const option_buttons[] = {ui_->opt1, ui_->opt3, ui_->opt4};
  for (int i = 0; i < 3; ++i) {
    QRadioButton* option = option_buttons[i];
    options_->addButton(option, i);
    option->installEventFilter(this);
    option->setFocusPolicy(Qt::ClickFocus);
    connect(option, &QRadioButton::toggled, this, [this, i, option](bool on) {
      option->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
      if (on) ShowPictureOf(i);
      if (on) FollowInBench();
    });
    connect(option, &QRadioButton::clicked, this, [this, i] { ShowPictureOf(i); });
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  int step = 0;
  if (key == Qt::Key_Up || key == Qt::Key_Left) step = -1;
  if (key == Qt::Key_Down || key == Qt::Key_Right) step = 1;
  const int current = options_->id(qobject_cast<QAbstractButton*>(watched));
  if (step == 0 || current < 0) return QWidget::eventFilter(watched, event);
  QAbstractButton* next = options_->button((current + step + 3) % 3);
  next->setFocus(Qt::TabFocusReason);
  next->setChecked(true);
  return true;
}

void MainWindow::LoadStartUpState() {
  pictures_[2]->hide();
  pictures_[1]->hide();
  pictures_[0]->show();
  ui_->opt1->setChecked(true);
  ui_->txtFrequency->setText(FromStd(DefaultFrequencyText(DecimalSeparator())));
  ui_->txtImpedance->setText(FromStd(DefaultImpedanceText()));
  ui_->txtResults->clear();
  ui_->txtResults->setFocus();
}

// Hides the two other pictures, then shows the option's own, in the order
// each option has always used.
void MainWindow::ShowPictureOf(int option) {
  QLabel* const p1 = pictures_[0];
  QLabel* const p3 = pictures_[1];
  QLabel* const p4 = pictures_[2];
  if (option == 0) {
    p4->hide(), p3->hide(), p1->show();
  } else if (option == 1) {
    p4->hide(), p1->hide(), p3->show();
  } else {
    p1->hide(), p3->hide(), p4->show();
  }
}

void MainWindow::Generate() {
  SimulationFileWriter writer;
  RunDesign(*this, writer);
}

void MainWindow::OpenBench() {
  if (!bench_) {
    bench_ = std::make_unique<BenchWindow>();
    connect(bench_.get(), &BenchWindow::SessionDesign, this,
            [this](Topology topology, const QString& frequency, const QString& impedance) {
              QRadioButton* const options[] = {ui_->opt1, ui_->opt3, ui_->opt4};
              options[static_cast<int>(topology)]->setChecked(true);
              // The session's texts have a point; the boxes, the user's separator.
              const auto typed = [this](const QString& text) {
                std::string t = text.toStdString();
                std::replace(t.begin(), t.end(), '.', DecimalSeparator());
                return t;
              };
              SetFrequencyText(typed(frequency));
              SetImpedanceText(typed(impedance));
              FollowInBench();
            });
    FollowInBench();
    // The first time, beside this window rather than over it: on its right
    // where the screen has room, else on its left, else at the screen's edge.
    QSettings settings;
    if (!settings.contains(QStringLiteral("bench/geometry")) && screen()) {
      const QRect room = screen()->availableGeometry();
      const QRect mine = frameGeometry();
      // As large as it will show: at least its least size.
      const int width =
          std::max(bench_->frameGeometry().width(), bench_->minimumSizeHint().width());
      int x = mine.right() + 1;
      if (x + width > room.right() + 1) x = mine.left() - width;
      if (x < room.left()) x = room.right() + 1 - width;
      // Its title bar is not there before it first shows: counted here, so
      // that the bottom edge stays on the screen.
      const int height =
          std::max(bench_->frameGeometry().height(), bench_->minimumSizeHint().height()) +
          (bench_->frameGeometry().height() == bench_->height()
               ? style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8
               : 0);
      const int y = std::min(mine.top(), room.bottom() + 1 - height);
      bench_->move(std::max(x, room.left()), std::max(y, room.top()));
    }
  }
  bench_->show();
  bench_->raise();
  bench_->activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (bench_) bench_->close();
  QWidget::closeEvent(event);
}

void MainWindow::FollowInBench() {
  if (!bench_) return;
  bench_->FollowInputs(SelectedTopology(), ui_->txtFrequency->text(), ui_->txtImpedance->text(),
                       DecimalSeparator());
}

std::string MainWindow::FrequencyText() const { return ui_->txtFrequency->text().toStdString(); }
void MainWindow::SetFrequencyText(const std::string& text) {
  ui_->txtFrequency->setText(FromStd(text));
}
std::string MainWindow::ImpedanceText() const { return ui_->txtImpedance->text().toStdString(); }
void MainWindow::SetImpedanceText(const std::string& text) {
  ui_->txtImpedance->setText(FromStd(text));
}

Topology MainWindow::SelectedTopology() const {
  const int id = options_->checkedId();
  return id >= 0 ? kAllTopologies[id] : Topology::kNarrowSplitter;
}

void MainWindow::ClearListing() { ui_->txtResults->clear(); }

void MainWindow::AppendToListing(const std::string& text) {
  QString lines = FromStd(text);
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  ui_->txtResults->setPlainText(ui_->txtResults->toPlainText() + lines);
}

void MainWindow::Warn(const std::string& text) {
  ShowMessage(this, MessageKind::kWarning, FromStd(text));
}

void MainWindow::ReportFileFailure(const std::string& file_name, const std::string& reason) {
  // A run that fails on creating the file has not reached the listing yet;
  // one that fails later has shown the new values already.
  const QString listing = ui_->txtResults->toPlainText().isEmpty()
                              ? QStringLiteral("No values were listed. ")
                              : QStringLiteral("The listing shows the new values. ");
  ShowMessage(this, MessageKind::kError,
              QStringLiteral("The simulation file %1 could not be written (%2). %3The earlier "
                             "file of that name, if there is one, is unchanged; you can press "
                             "Generate again.")
                  .arg(FromStd(file_name), FromStd(reason), listing));
}

char MainWindow::DecimalSeparator() const {
  // The engine takes one character; a locale whose separator is not a single
  // ASCII character keeps the point.
  const QString point = locale().decimalPoint();
  return point.size() == 1 && point[0].unicode() < 128 ? char(point[0].unicode()) : '.';
}

}  // namespace rfsplitter
