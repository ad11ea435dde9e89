#include "ui/main_window.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "engine/inputs.h"
#include "engine/product.h"
#include "engine/run.h"
#include "engine/topologies.h"
#include "simfile/simulation_file.h"
#include "ui/message_boxes.h"
#include "ui/web_links.h"
#include "ui/wrapping_button.h"

namespace rfsplitter {
namespace {

constexpr int kClientWidth = 551;
constexpr int kClientHeight = 442;

template <typename T, typename... Args>
T* Make(QWidget* parent, const char* name, QRect geometry, Args&&... args) {
  T* widget = new T(std::forward<Args>(args)..., parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(geometry);
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, QRect geometry, const QString& text,
                  Qt::Alignment alignment) {
  QLabel* label = Make<QLabel>(parent, name, geometry, text);
  label->setAlignment(alignment | Qt::AlignTop);
  label->setWordWrap(true);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, QRect geometry, const QString& text) {
  QPushButton* button = Make<WrappingButton>(parent, name, geometry, text);
  // Enter in a box must start nothing.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

QString FromStd(const std::string& text) { return QString::fromStdString(text); }
QString FromStd(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString());
  BuildControls();
  SetTabOrder();
  LoadStartUpState();
}

// Positions are the fixed layout in pixels at 96 dpi, relative to each
// control's container (a frame's outer corner for controls inside it).
void MainWindow::BuildControls() {
  setFixedSize(kClientWidth, kClientHeight);
  // The captions were sized for a small dialog font: 8 points (11 pixels) of a
  // narrow sans serif.
  QFont dialog_font;
  dialog_font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                           QStringLiteral("DejaVu Sans Condensed"),
                           QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial")});
  dialog_font.setPixelSize(11);
  setFont(dialog_font);

  QLabel* title = MakeLabel(this, "label2", {96, 8, 361, 25},
                            QStringLiteral("Discrete Component RF Splitter"), Qt::AlignHCenter);
  QFont title_font(QStringLiteral("MS Sans Serif"));
  title_font.setPixelSize(18);
  title_font.setWeight(QFont::Normal);
  title_font.setItalic(false);
  title_font.setUnderline(false);
  title_font.setStrikeOut(false);
  title->setFont(title_font);
  MakeLabel(this, "label4", {472, 24, 57, 17}, QStringLiteral("Version 1.3"), Qt::AlignRight);

  auto* schematic = Make<QGroupBox>(this, "fraSchematic", {8, 40, 313, 393});
  auto* select = Make<QGroupBox>(schematic, "fraSelect", {8, 8, 297, 73});
  options_[0] = Make<QRadioButton>(select, "opt1", {8, 16, 145, 25},
                                   FromStd(TextsOf(Topology::kNarrowSplitter).caption));
  options_[1] = Make<QRadioButton>(select, "opt3", {160, 16, 129, 25},
                                   FromStd(TextsOf(Topology::kNarrowQuad).caption));
  options_[2] = Make<QRadioButton>(select, "opt4", {160, 40, 129, 25},
                                   FromStd(TextsOf(Topology::kWideQuad).caption));
  const char* picture_names[] = {"picDesign1", "picDesign3", "picDesign4"};
  for (int i = 0; i < 3; ++i) {
    QLabel* picture = Make<QLabel>(schematic, picture_names[i], {8, 88, 297, 297});
    // Shown unscaled from the top-left corner; the last rows and columns of
    // the 300-pixel picture fall outside the box.
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(QPixmap(
        QStringLiteral(":/schematics/%1.png").arg(FromStd(TextsOf(kAllTopologies[i]).picture))));
    picture->setBackgroundRole(QPalette::Base);
    picture->setForegroundRole(QPalette::Text);
    picture->setAutoFillBackground(true);
    pictures_[i] = picture;
    connect(options_[i], &QRadioButton::toggled, this, [this, i](bool on) {
      if (on) ShowPictureOf(options_[i]);
    });
    connect(options_[i], &QRadioButton::clicked, this, [this, i] { ShowPictureOf(options_[i]); });
  }

  auto* frequency_frame =
      Make<QGroupBox>(this, "fraFrequency", {328, 40, 97, 41}, QStringLiteral("Freq (MHz)"));
  frequency_ = Make<QLineEdit>(frequency_frame, "txtFrequency", {8, 16, 81, 19});
  auto* impedance_frame =
      Make<QGroupBox>(this, "fraImpedance", {328, 88, 97, 41}, QStringLiteral("Impedance"));
  impedance_ = Make<QLineEdit>(impedance_frame, "txtImpedance", {8, 16, 81, 19});

  calculate_ = MakeButton(this, "cmdCalculate", {328, 152, 97, 65},
                          QStringLiteral("Generate Values and create .i simulation file"));
  connect(calculate_, &QPushButton::clicked, this, &MainWindow::Generate);

  results_ = Make<QPlainTextEdit>(this, "txtResults", {440, 48, 97, 185});
  results_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  results_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  results_->setTabChangesFocus(true);

  QLabel* description = MakeLabel(
      this, "label1", {336, 248, 201, 73},
      QStringLiteral("This software generates the circuit values for the ideal splitter type "
                     "selected.  It also generates an APLAC simulation (.i) file which can be "
                     "run and optimised on the student version of the APLAC simulator."),
      Qt::AlignHCenter);
  // The substitute fonts run wider than the original; one pixel less keeps
  // the description inside its five lines.
  QFont description_font = font();
  description_font.setPixelSize(10);
  description->setFont(description_font);
  MakeLabel(this, "label3", {336, 320, 201, 33}, QString(), Qt::AlignHCenter);

  const QUrl maker(FromStd(kMakerAddress));
  const QUrl vendor(FromStd(kSimulatorVendorAddress));
  maker_link_ = MakeButton(this, "cmdBrackwen", {328, 376, 105, 49},
                           QStringLiteral("Launch ") + HostWithoutTopLevelDomain(maker));
  vendor_link_ = MakeButton(this, "cmdAplac", {440, 376, 105, 49},
                            QStringLiteral("  Launch   ") + HostWithoutTopLevelDomain(vendor));
  connect(maker_link_, &QPushButton::clicked, this, [this, maker] { OpenWebAddress(this, maker); });
  connect(vendor_link_, &QPushButton::clicked, this,
          [this, vendor] { OpenWebAddress(this, vendor); });
}

// Listing, frequency, the selected option, Generate, the two links, impedance.
// Only the selected option button is a tab stop; the arrow keys move inside
// the group.
void MainWindow::SetTabOrder() {
  QWidget* order[] = {results_,   frequency_,  options_[0],  options_[1], options_[2],
                      calculate_, maker_link_, vendor_link_, impedance_,  results_};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  for (QRadioButton* option : options_) {
    option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    connect(option, &QRadioButton::toggled, option,
            [option](bool on) { option->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus); });
  }
}

void MainWindow::LoadStartUpState() {
  pictures_[2]->hide();
  pictures_[1]->hide();
  pictures_[0]->show();
  options_[0]->setChecked(true);
  frequency_->setText(FromStd(DefaultFrequencyText(DecimalSeparator())));
  impedance_->setText(FromStd(DefaultImpedanceText()));
  results_->clear();
  results_->setFocus();
}

// Hides the two other pictures, then shows the option's own, in the order
// each option has always used.
void MainWindow::ShowPictureOf(QRadioButton* option) {
  QLabel* const p1 = pictures_[0];
  QLabel* const p3 = pictures_[1];
  QLabel* const p4 = pictures_[2];
  if (option == options_[0]) {
    p4->hide(), p3->hide(), p1->show();
  } else if (option == options_[1]) {
    p4->hide(), p1->hide(), p3->show();
  } else {
    p1->hide(), p3->hide(), p4->show();
  }
}

void MainWindow::Generate() {
  SimulationFileWriter writer;
  RunDesign(*this, writer);
}

std::string MainWindow::FrequencyText() const { return frequency_->text().toStdString(); }
void MainWindow::SetFrequencyText(const std::string& text) { frequency_->setText(FromStd(text)); }
std::string MainWindow::ImpedanceText() const { return impedance_->text().toStdString(); }
void MainWindow::SetImpedanceText(const std::string& text) { impedance_->setText(FromStd(text)); }

Topology MainWindow::SelectedTopology() const {
  for (int i = 0; i < 3; ++i) {
    if (options_[i]->isChecked()) return kAllTopologies[i];
  }
  return Topology::kNarrowSplitter;
}

void MainWindow::ClearListing() { results_->clear(); }

void MainWindow::AppendToListing(const std::string& text) {
  QString lines = FromStd(text);
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  results_->setPlainText(results_->toPlainText() + lines);
}

void MainWindow::Warn(const std::string& text) {
  ShowMessage(this, MessageKind::kWarning, FromStd(text));
}

void MainWindow::ReportFileFailure(const std::string& file_name, const std::string& reason) {
  ShowMessage(this, MessageKind::kError,
              QStringLiteral("The simulation file %1 could not be written (%2). Nothing else has "
                             "changed; you can press Generate again.")
                  .arg(FromStd(file_name), FromStd(reason)));
}

char MainWindow::DecimalSeparator() const {
  // The engine takes one character; a locale whose separator is not a single
  // ASCII character keeps the point.
  const QString point = locale().decimalPoint();
  return point.size() == 1 && point[0].unicode() < 128 ? char(point[0].unicode()) : '.';
}

}  // namespace rfsplitter
