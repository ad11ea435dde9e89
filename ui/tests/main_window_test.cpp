#include "ui/main_window.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

#include "engine/tests/scratch_directory.h"
#include "engine/topologies.h"
#include "simfile/simulation_file.h"
#include "ui/caption_frame.h"
#include "ui/message_boxes.h"

namespace rfsplitter {

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  struct Message {
    MessageKind kind;
    QString text;
  };

  template <typename T = QWidget>
  T* Find(const char* name) {
    T* widget = window_->findChild<T*>(QString::fromLatin1(name));
    if (widget == nullptr) qFatal("no control %s", name);
    return widget;
  }
  QString Listing() { return Find<QPlainTextEdit>("txtResults")->toPlainText(); }
  QStringList VisiblePictures() {
    QStringList visible;
    for (const char* name : {"picDesign1", "picDesign3", "picDesign4"}) {
      if (Find(name)->isVisible()) visible << QString::fromLatin1(name);
    }
    return visible;
  }
  void Type(const char* box, const QString& text) {
    auto* edit = Find<QLineEdit>(box);
    edit->clear();
    QTest::keyClicks(edit, text);
  }
  void Generate() { QTest::mouseClick(Find<QPushButton>("cmdCalculate"), Qt::LeftButton); }
  QByteArray ReadFile(const QString& name) {
    QFile file(work_dir_->filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QByteArray Expected(Topology topology, float f, float z0) {
    return QByteArray::fromStdString(SimulationFileText(ComputeDesign(topology, {f, z0})));
  }

  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<QTemporaryDir> work_dir_;
  QString old_dir_;
  std::vector<Message> messages_;

 private slots:
  void init() {
    messages_.clear();
    SetMessageHandler([this](QWidget*, MessageKind kind, const QString& text) {
      messages_.push_back({kind, text});
    });
    work_dir_ = std::make_unique<QTemporaryDir>();
    old_dir_ = QDir::currentPath();
    QDir::setCurrent(work_dir_->path());
    window_ = std::make_unique<MainWindow>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() {
    window_.reset();
    QDir::setCurrent(old_dir_);
    work_dir_.reset();
    SetMessageHandler({});
  }

  void startUpState() {
    QVERIFY(Find<QRadioButton>("opt1")->isChecked());
    QVERIFY(!Find<QRadioButton>("opt3")->isChecked());
    QVERIFY(!Find<QRadioButton>("opt4")->isChecked());
    QCOMPARE(VisiblePictures(), QStringList{"picDesign1"});
    QCOMPARE(Find<QLineEdit>("txtFrequency")->text(), QStringLiteral("12.1"));
    QCOMPARE(Find<QLineEdit>("txtImpedance")->text(), QStringLiteral("50"));
    QCOMPARE(Listing(), QString());
    QCOMPARE(window_->focusWidget(), Find("txtResults"));
    QVERIFY(window_->windowTitle().trimmed().isEmpty());
  }

  void pictureSwitch_data() {
    QTest::addColumn<QStringList>("clicks");
    const QStringList options = {"opt1", "opt3", "opt4"};
    for (const QString& first : options) {
      for (const QString& second : options) {
        QTest::addRow("%s_then_%s", qPrintable(first), qPrintable(second))
            << QStringList{first, second};
      }
    }
    QTest::addRow("round_trip") << QStringList{"opt3", "opt4", "opt1", "opt4", "opt3", "opt1"};
  }
  void pictureSwitch() {
    QFETCH(QStringList, clicks);
    const QMap<QString, QString> picture_of = {
        {"opt1", "picDesign1"}, {"opt3", "picDesign3"}, {"opt4", "picDesign4"}};
    for (const QString& option : clicks) {
      QTest::mouseClick(Find<QRadioButton>(qPrintable(option)), Qt::LeftButton);
      QVERIFY(Find<QRadioButton>(qPrintable(option))->isChecked());
      QCOMPARE(VisiblePictures(), QStringList{picture_of[option]});
    }
  }

  // Up/Left and Down/Right step through opt1, opt3, opt4 in that order,
  // wrapping, whatever the buttons' places on screen.
  void arrowKeysCycleThroughTheGroupInOrder() {
    const QMap<QString, QString> picture_of = {
        {"opt1", "picDesign1"}, {"opt3", "picDesign3"}, {"opt4", "picDesign4"}};
    const struct {
      Qt::Key key;
      const char* lands_on;
    } steps[] = {{Qt::Key_Down, "opt3"},  {Qt::Key_Right, "opt4"}, {Qt::Key_Down, "opt1"},
                 {Qt::Key_Up, "opt4"},    {Qt::Key_Left, "opt3"},  {Qt::Key_Left, "opt1"},
                 {Qt::Key_Right, "opt3"}, {Qt::Key_Up, "opt1"}};
    Find("opt1")->setFocus();
    for (const auto& step : steps) {
      QTest::keyClick(QApplication::focusWidget(), step.key);
      QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(step.lands_on));
      QVERIFY(Find<QRadioButton>(step.lands_on)->isChecked());
      QCOMPARE(VisiblePictures(), QStringList{picture_of[step.lands_on]});
    }
  }

  void tabOrder_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("group_stop");
    QTest::newRow("splitter") << "opt1"
                              << "opt1";
    QTest::newRow("narrow_quad") << "opt3"
                                 << "opt3";
    QTest::newRow("wide_quad") << "opt4"
                               << "opt4";
  }
  void tabOrder() {
    QFETCH(QString, selected);
    QFETCH(QString, group_stop);
    QTest::mouseClick(Find<QRadioButton>(qPrintable(selected)), Qt::LeftButton);
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    Find("txtResults")->setFocus();
    QStringList visited;
    for (int i = 0; i < 8; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    // The bench's button joins the end of the order.
    QCOMPARE(visited, (QStringList{"txtFrequency", group_stop, "cmdCalculate", "cmdBrackwen",
                                   "cmdAplac", "txtImpedance", "cmdBench", "txtResults"}));
  }

  void enterInABoxStartsNothing() {
    for (const char* box : {"txtFrequency", "txtImpedance"}) {
      Type(box, "100");
      QTest::keyClick(Find(box), Qt::Key_Return);
      QTest::keyClick(Find(box), Qt::Key_Enter);
    }
    QCOMPARE(Listing(), QString());
    QVERIFY(QDir(work_dir_->path()).isEmpty());
    QVERIFY(messages_.empty());
  }

  void returnOnTheFocusedButtonPressesIt() {
    auto* generate = Find<QPushButton>("cmdCalculate");
    generate->setFocus();
    QTest::keyClick(generate, Qt::Key_Return);
    QTRY_VERIFY(!ReadFile("NarrowSplitter12.1.i").isEmpty());
    QCOMPARE(Listing().count(QLatin1Char('\n')), 6);
    QVERIFY(QFile::remove(work_dir_->filePath("NarrowSplitter12.1.i")));
    QTest::keyClick(generate, Qt::Key_Enter);
    QTRY_VERIFY(!ReadFile("NarrowSplitter12.1.i").isEmpty());
  }

  // After the longest listing no key or click can scroll line 1 away.
  void theListingsFirstLineStaysInView() {
    QTest::mouseClick(Find<QRadioButton>("opt4"), Qt::LeftButton);
    Generate();
    auto* results = Find<QPlainTextEdit>("txtResults");
    QCOMPARE(results->blockCount(), 14);  // 13 lines and the empty one after them
    const auto first_line_visible = [results] {
      const QRect line = results->cursorRect(QTextCursor(results->document()->firstBlock()));
      return results->verticalScrollBar()->value() == 0 && line.top() >= 0;
    };
    results->setFocus();
    QTest::keyClick(results, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(first_line_visible());
    for (int i = 0; i < 3; ++i) QTest::keyClick(results, Qt::Key_Down);
    QVERIFY(first_line_visible());
    QTest::keyClick(results, Qt::Key_PageDown);
    QVERIFY(first_line_visible());
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                      QPoint(20, results->viewport()->height() - 2));
    QVERIFY(first_line_visible());
    // Typing still works, at the cursor.
    QTest::keyClicks(results, "x");
    QVERIFY(results->toPlainText().contains(QLatin1Char('x')));
  }

  // The border runs along the stored rectangle, the caption sits in its top
  // line, and the text boxes lie inside.
  void framesDrawTheirBorderAtTheStoredRectangle() {
    for (const char* name : {"fraSchematic", "fraSelect"}) {
      auto* frame = Find<CaptionFrame>(name);
      QCOMPARE(frame->BorderRect(), frame->rect());
    }
    for (const auto& [frame_name, box_name] :
         {std::pair{"fraFrequency", "txtFrequency"}, std::pair{"fraImpedance", "txtImpedance"}}) {
      auto* frame = Find<CaptionFrame>(frame_name);
      const QRect border = frame->BorderRect();
      const int caption_height = frame->fontMetrics().height();
      QCOMPARE(border.top(), caption_height / 2);
      QCOMPARE(border.bottom(), frame->rect().bottom());
      QVERIFY(border.contains(Find(box_name)->geometry()));
    }
  }

  void generateWritesListingAndFile_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("impedance");
    QTest::addColumn<int>("topology");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("listing_start");
    QTest::newRow("splitter_defaults") << "opt1"
                                       << "12.1"
                                       << "50" << 0 << "NarrowSplitter12.1.i"
                                       << "L1 =  930. n  \nL2 =  930. n  \nC1 =  372. p  \n";
    QTest::newRow("narrow_quad_100") << "opt3"
                                     << "100"
                                     << "50" << 1 << "NarrowQuad100.i"
                                     << "L1 =  56.2 n  \n";
    QTest::newRow("wide_quad_typed_12.10") << "opt4"
                                           << "12.10"
                                           << "75" << 2 << "WideQuad12.1.i"
                                           << "L1 =  697. n  \n";
  }
  void generateWritesListingAndFile() {
    QFETCH(QString, option);
    QFETCH(QString, frequency);
    QFETCH(QString, impedance);
    QFETCH(int, topology);
    QFETCH(QString, file);
    QFETCH(QString, listing_start);
    QTest::mouseClick(Find<QRadioButton>(qPrintable(option)), Qt::LeftButton);
    Type("txtFrequency", frequency);
    Type("txtImpedance", impedance);
    Generate();
    QVERIFY(messages_.empty());
    QVERIFY2(Listing().startsWith(listing_start), qPrintable(Listing()));
    const Design design =
        ComputeDesign(kAllTopologies[topology], {frequency.toFloat(), impedance.toFloat()});
    QCOMPARE(Listing().count(QLatin1Char('\n')), qsizetype(design.listing.size()));
    QCOMPARE(ReadFile(file),
             Expected(kAllTopologies[topology], frequency.toFloat(), impedance.toFloat()));
    QCOMPARE(Find<QLineEdit>("txtFrequency")->text(), frequency);  // typed text stays
  }

  void warningsComeInOrderAndPutTheDefaultsBack() {
    Type("txtFrequency", "60000");
    Type("txtImpedance", "5000");
    Generate();
    QCOMPARE(messages_.size(), size_t{2});
    QCOMPARE(messages_[0].kind, MessageKind::kWarning);
    QCOMPARE(messages_[0].text, QStringLiteral("frequency range outside recommended range.  "));
    QCOMPARE(messages_[1].text, QStringLiteral("Impedance range outside recommended limits.  "));
    QCOMPARE(Find<QLineEdit>("txtFrequency")->text(), QStringLiteral("12.1"));
    QCOMPARE(Find<QLineEdit>("txtImpedance")->text(), QStringLiteral("50"));
    QCOMPARE(ReadFile("NarrowSplitter12.1.i"), Expected(Topology::kNarrowSplitter, 12.1f, 50));
  }

  void silentRepairsShowNoMessage() {
    Type("txtFrequency", "");
    Type("txtImpedance", "abc");
    Generate();
    QVERIFY(messages_.empty());
    QCOMPARE(Find<QLineEdit>("txtFrequency")->text(), QStringLiteral("12.1"));
    QCOMPARE(Find<QLineEdit>("txtImpedance")->text(), QStringLiteral("50"));
  }

  void secondRunReplacesTheListingAndTypedText() {
    Generate();
    const QString first = Listing();
    QTest::keyClicks(Find("txtResults"), "typed by the user");
    Generate();
    QCOMPARE(Listing(), first);
    QCOMPARE(first.count(QLatin1Char('\n')), 6);
  }

  void selectingAnotherOptionKeepsTheListingUntilTheNextRun() {
    Type("txtFrequency", "10");
    Generate();
    const QString splitter = Listing();
    QTest::mouseClick(Find<QRadioButton>("opt4"), Qt::LeftButton);
    QCOMPARE(Listing(), splitter);
    QCOMPARE(Find<QLineEdit>("txtFrequency")->text(), QStringLiteral("10"));
    Generate();
    QCOMPARE(Listing().count(QLatin1Char('\n')), 13);
    QCOMPARE(QDir(work_dir_->path()).entryList(QDir::Files),
             (QStringList{"NarrowSplitter10.i", "WideQuad10.i"}));
  }

  void fileFailureIsShownAndTheWindowGoesOn() {
    QVERIFY(QDir(work_dir_->path()).mkpath("NarrowSplitter12.1.i/occupied"));
    Generate();
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].kind, MessageKind::kError);
    QCOMPARE(messages_[0].text,
             QStringLiteral("The simulation file NarrowSplitter12.1.i could not be written (the "
                            "name is not a regular file). No values were listed. The earlier file "
                            "of that name, if there is one, is unchanged; you can press Generate "
                            "again."));
    QVERIFY(window_->isVisible());
    QCOMPARE(QDir(work_dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"NarrowSplitter12.1.i"});

    QVERIFY(QDir(work_dir_->filePath("NarrowSplitter12.1.i")).removeRecursively());
    messages_.clear();
    Generate();
    QVERIFY(messages_.empty());
    QCOMPARE(ReadFile("NarrowSplitter12.1.i"), Expected(Topology::kNarrowSplitter, 12.1f, 50));
  }

  // A write that fails after the listing: the message says that the listing
  // is new and the earlier file is not.
  void aFailureAfterTheListingSaysSo() {
    Generate();
    const QByteArray good = ReadFile("NarrowSplitter12.1.i");
    Type("txtFrequency", "12.1");
    Type("txtImpedance", "75");
    {
      const FileSizeLimit full_after(300);
      Generate();
    }
    QCOMPARE(messages_.size(), size_t{1});
    QVERIFY2(messages_[0].text.contains(
                 QStringLiteral("(cannot write the file: File too large). The listing shows the "
                                "new values. The earlier file of that name, if there is one, is "
                                "unchanged")),
             qPrintable(messages_[0].text));
    QVERIFY(Listing().startsWith(QStringLiteral("L1 =  1.39 u")));
    QCOMPARE(ReadFile("NarrowSplitter12.1.i"), good);
  }

  // Boxes and listing follow the user's decimal separator; the file keeps
  // the point the simulator reads.
  void followsTheUsersDecimalSeparator() {
    const QLocale old_locale;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    MainWindow window;
    QLocale::setDefault(old_locale);
    window.show();
    auto* frequency = window.findChild<QLineEdit*>("txtFrequency");
    QCOMPARE(frequency->text(), QStringLiteral("12,1"));
    frequency->clear();
    QTest::keyClicks(frequency, "100,5");
    QTest::mouseClick(window.findChild<QPushButton*>("cmdCalculate"), Qt::LeftButton);
    QVERIFY(messages_.empty());
    const QString listing = window.findChild<QPlainTextEdit*>("txtResults")->toPlainText();
    QVERIFY2(listing.startsWith(QStringLiteral("L1 =  111, n")), qPrintable(listing));
    QCOMPARE(ReadFile("NarrowSplitter100.5.i"), Expected(Topology::kNarrowSplitter, 100.5f, 50));
  }

  void geometry_data() {
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("local");
    QTest::addColumn<QPoint>("in_client_area");
    const struct {
      const char* name;
      const char* parent;
      QRect local;
      QPoint client;
    } rows[] = {
        {"label2", "frmMain", {96, 8, 361, 25}, {96, 8}},
        {"label4", "frmMain", {472, 24, 57, 17}, {472, 24}},
        {"fraSchematic", "frmMain", {8, 40, 313, 393}, {8, 40}},
        {"fraSelect", "fraSchematic", {8, 8, 297, 73}, {16, 48}},
        {"opt1", "fraSelect", {8, 16, 145, 25}, {24, 64}},
        {"opt3", "fraSelect", {160, 16, 129, 25}, {176, 64}},
        {"opt4", "fraSelect", {160, 40, 129, 25}, {176, 88}},
        {"picDesign1", "fraSchematic", {8, 88, 297, 297}, {16, 128}},
        {"picDesign3", "fraSchematic", {8, 88, 297, 297}, {16, 128}},
        {"picDesign4", "fraSchematic", {8, 88, 297, 297}, {16, 128}},
        {"fraFrequency", "frmMain", {328, 40, 97, 41}, {328, 40}},
        {"txtFrequency", "fraFrequency", {8, 16, 81, 19}, {336, 56}},
        {"fraImpedance", "frmMain", {328, 88, 97, 41}, {328, 88}},
        {"txtImpedance", "fraImpedance", {8, 16, 81, 19}, {336, 104}},
        {"cmdCalculate", "frmMain", {328, 152, 97, 65}, {328, 152}},
        {"txtResults", "frmMain", {440, 48, 97, 185}, {440, 48}},
        {"label1", "frmMain", {336, 248, 201, 73}, {336, 248}},
        {"label3", "frmMain", {336, 320, 201, 33}, {336, 320}},
        {"cmdBrackwen", "frmMain", {328, 376, 105, 49}, {328, 376}},
        {"cmdAplac", "frmMain", {440, 376, 105, 49}, {440, 376}},
    };
    for (const auto& row : rows) {
      QTest::newRow(row.name) << QString::fromLatin1(row.parent) << row.local << row.client;
    }
  }
  void geometry() {
    QFETCH(QString, parent);
    QFETCH(QRect, local);
    QFETCH(QPoint, in_client_area);
    QWidget* control = Find(QTest::currentDataTag());
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), local);
    QCOMPARE(control->mapTo(window_.get(), QPoint(0, 0)), in_client_area);
  }

  void windowIsFixedAndBare() {
    QCOMPARE(window_->size(), QSize(551, 442));
    QCOMPARE(window_->minimumSize(), QSize(551, 442));
    QCOMPARE(window_->maximumSize(), QSize(551, 442));
    QCOMPARE(window_->objectName(), QStringLiteral("frmMain"));
    for (QPushButton* button : window_->findChildren<QPushButton*>()) {
      QVERIFY(!button->isDefault());
      QVERIFY(!button->autoDefault());
      // Only the bench's button, new beside the original ones, has an access key.
      QCOMPARE(button->text().contains(QLatin1Char('&')),
               button->objectName() == QStringLiteral("cmdBench"));
    }
  }

  void textsFontsAndAlignment() {
    QCOMPARE(Find<QLabel>("label2")->text(), QStringLiteral("Discrete Component RF Splitter"));
    QCOMPARE(Find<QLabel>("label4")->text(), QStringLiteral("Version 1.3"));
    QCOMPARE(Find<QLabel>("label1")->text(),
             QStringLiteral("This software generates the circuit values for the ideal splitter "
                            "type selected.  It also generates an APLAC simulation (.i) file which "
                            "can be run and optimised on the student version of the APLAC "
                            "simulator."));
    QCOMPARE(Find<QLabel>("label3")->text(), QString());
    QCOMPARE(Find<QRadioButton>("opt1")->text(), QStringLiteral("3dB Narrow-Band Splitter"));
    QCOMPARE(Find<QRadioButton>("opt3")->text(), QStringLiteral("90 Deg Narrow-Band"));
    QCOMPARE(Find<QRadioButton>("opt4")->text(), QStringLiteral("90 Deg Wide-Band"));
    QCOMPARE(Find<QGroupBox>("fraFrequency")->title(), QStringLiteral("Freq (MHz)"));
    QCOMPARE(Find<QGroupBox>("fraImpedance")->title(), QStringLiteral("Impedance"));
    QCOMPARE(Find<QGroupBox>("fraSchematic")->title(), QString());
    QCOMPARE(Find<QGroupBox>("fraSelect")->title(), QString());
    QCOMPARE(Find<QPushButton>("cmdCalculate")->text(),
             QStringLiteral("Generate Values and create .i simulation file"));
    QCOMPARE(Find<QPushButton>("cmdBrackwen")->text(), QStringLiteral("Launch www.talvaine"));
    QCOMPARE(Find<QPushButton>("cmdAplac")->text(), QStringLiteral("  Launch   www.aplac"));

    QCOMPARE(Find<QLabel>("label2")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(Find<QLabel>("label4")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(Find<QLabel>("label1")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(Find<QLabel>("label1")->wordWrap());
    QVERIFY(Find<QLabel>("label3")->wordWrap());

    const QFont title = Find<QLabel>("label2")->font();
    QCOMPARE(title.family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(title.pixelSize(), 18);
    QCOMPARE(title.weight(), QFont::Normal);
    QVERIFY(!title.italic() && !title.underline() && !title.strikeOut());

    auto* results = Find<QPlainTextEdit>("txtResults");
    QCOMPARE(results->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(results->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(!results->isReadOnly());
    QCOMPARE(Find<QLineEdit>("txtFrequency")->maxLength(), 32767);  // Qt's own largest
  }

  void picturesAreShownUnscaledFromTheCorner() {
    for (const char* name : {"picDesign1", "picDesign3", "picDesign4"}) {
      auto* picture = Find<QLabel>(name);
      QCOMPARE(picture->pixmap().size(), QSize(300, 300));
      QVERIFY(!picture->hasScaledContents());
      QCOMPARE(picture->alignment(), Qt::AlignLeft | Qt::AlignTop);
      QCOMPARE(picture->focusPolicy(), Qt::NoFocus);
    }
  }
};

}  // namespace rfsplitter

QTEST_MAIN(rfsplitter::MainWindowTest)
#include "main_window_test.moc"
