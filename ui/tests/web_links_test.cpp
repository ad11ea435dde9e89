#include "ui/web_links.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/product.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

namespace rfsplitter {

// Stands in for the desktop's browser.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened << url; }
};

class WebLinksTest : public QObject {
  Q_OBJECT

 private:
  UrlRecorder recorder_;
  QStringList messages_;

 private slots:
  void init() {
    recorder_.opened.clear();
    messages_.clear();
    SetMessageHandler([this](QWidget*, MessageKind, const QString& text) { messages_ << text; });
  }
  void cleanup() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    SetMessageHandler({});
  }

  void hostWithoutTopLevelDomain_data() {
    QTest::addColumn<QUrl>("address");
    QTest::addColumn<QString>("host");
    QTest::newRow("maker") << QUrl(QString::fromUtf8(kMakerAddress.data())) << "www.talvaine";
    QTest::newRow("vendor") << QUrl(QString::fromUtf8(kSimulatorVendorAddress.data()))
                            << "www.aplac";
    QTest::newRow("bare_host") << QUrl("http://localhost/") << "localhost";
    QTest::newRow("with_path") << QUrl("https://a.b.example.org/x/y") << "a.b.example";
  }
  void hostWithoutTopLevelDomain() {
    QFETCH(QUrl, address);
    QFETCH(QString, host);
    QCOMPARE(HostWithoutTopLevelDomain(address), host);
  }

  void buttonsOpenTheirAddressesAndChangeNothing() {
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder_, "open");
    QTemporaryDir dir;
    const QString old_dir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    MainWindow window;
    window.show();
    window.findChild<QRadioButton*>("opt3")->click();
    window.findChild<QLineEdit*>("txtFrequency")->setText("100");
    window.findChild<QPushButton*>("cmdCalculate")->click();
    const QString listing = window.findChild<QPlainTextEdit*>("txtResults")->toPlainText();

    QTest::mouseClick(window.findChild<QPushButton*>("cmdBrackwen"), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton*>("cmdAplac"), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton*>("cmdAplac"), Qt::LeftButton);

    QCOMPARE(recorder_.opened,
             (QList<QUrl>{QUrl("https://www.talvaine.com/"), QUrl("https://www.aplac.com/"),
                          QUrl("https://www.aplac.com/")}));
    QVERIFY(messages_.isEmpty());
    QCOMPARE(window.findChild<QPlainTextEdit*>("txtResults")->toPlainText(), listing);
    QCOMPARE(window.findChild<QLineEdit*>("txtFrequency")->text(), QStringLiteral("100"));
    QCOMPARE(window.findChild<QLineEdit*>("txtImpedance")->text(), QStringLiteral("50"));
    QVERIFY(window.findChild<QRadioButton*>("opt3")->isChecked());
    QVERIFY(window.findChild<QWidget*>("picDesign3")->isVisible());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"NarrowQuad100.i"});
    QDir::setCurrent(old_dir);
  }

  // The offscreen platform has no browser, as a machine without one.
  void noBrowserIsReportedAndTheProgramGoesOn() {
    QWidget parent;
    OpenWebAddress(&parent, QUrl("https://www.talvaine.com/"));
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains("https://www.talvaine.com/"));
  }
};

}  // namespace rfsplitter

QTEST_MAIN(rfsplitter::WebLinksTest)
#include "web_links_test.moc"
