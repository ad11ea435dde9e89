// The stored pictures against the drawing grid: rails at y = 89 and 209,
// node columns at x = 72, 142 and 212, port terminals at x = 32 and 252.
#include <QImage>
#include <QtTest>

namespace rfsplitter {

class SchematicsTest : public QObject {
  Q_OBJECT

 private:
  static bool IsBlack(QRgb pixel) {
    return qRed(pixel) < 64 && qGreen(pixel) < 64 && qBlue(pixel) < 64;
  }

 private slots:
  void sizeAndBackground_data() {
    QTest::addColumn<QString>("picture");
    for (const char* name : {"narrow_splitter", "narrow_quad", "wide_quad"}) {
      QTest::newRow(name) << QString::fromLatin1(name);
    }
  }
  void sizeAndBackground() {
    QFETCH(QString, picture);
    const QImage image(QStringLiteral(":/schematics/%1.png").arg(picture));
    QCOMPARE(image.size(), QSize(300, 300));
    QCOMPARE(image.pixel(5, 5), qRgb(192, 192, 192));
    QCOMPARE(image.pixel(150, 150), qRgb(192, 192, 192));
    // The rows and columns the 297-pixel box cuts off hold nothing.
    for (int i = 0; i < 300; ++i) {
      for (int edge = 297; edge < 300; ++edge) {
        QCOMPARE(image.pixel(edge, i), qRgb(192, 192, 192));
        QCOMPARE(image.pixel(i, edge), qRgb(192, 192, 192));
      }
    }
  }

  void gridPixels_data() {
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("black");
    const struct {
      const char* tag;
      const char* picture;
      QPoint at;
      bool black;
    } rows[] = {
        {"splitter_port1_terminal", "narrow_splitter", {32, 149}, true},
        {"splitter_port1_line", "narrow_splitter", {52, 149}, true},
        {"splitter_node1_wire", "narrow_splitter", {72, 120}, true},
        {"splitter_nothing_above_node1", "narrow_splitter", {72, 70}, false},
        {"splitter_upper_rail", "narrow_splitter", {100, 89}, true},
        {"splitter_L2_is_not_a_wire", "narrow_splitter", {142, 89}, false},
        {"splitter_port2_terminal", "narrow_splitter", {252, 89}, true},
        {"splitter_port3_line", "narrow_splitter", {232, 209}, true},
        {"splitter_R_lead", "narrow_splitter", {212, 120}, true},
        {"splitter_R_body_edge", "narrow_splitter", {208, 149}, true},
        {"splitter_R_body_inside", "narrow_splitter", {212, 149}, false},
        {"splitter_C3_lead_up", "narrow_splitter", {212, 75}, true},
        {"splitter_C3_to_ground", "narrow_splitter", {212, 45}, true},
        {"splitter_C1_lead_down", "narrow_splitter", {72, 225}, true},
        {"quad_port1_line", "narrow_quad", {52, 89}, true},
        {"quad_port4_terminal", "narrow_quad", {32, 209}, true},
        {"quad_port3_terminal", "narrow_quad", {252, 209}, true},
        {"quad_L3_lead", "narrow_quad", {72, 110}, true},
        {"quad_L3_is_not_a_wire", "narrow_quad", {72, 149}, false},
        {"quad_L1_is_not_a_wire", "narrow_quad", {142, 209}, false},
        {"quad_C3_lead_up", "narrow_quad", {72, 70}, true},
        {"quad_C2_lead_down", "narrow_quad", {212, 225}, true},
        {"quad_no_middle_column", "narrow_quad", {142, 110}, false},
        {"wide_middle_column", "wide_quad", {142, 110}, true},
        {"wide_L6_is_not_a_wire", "wide_quad", {142, 149}, false},
        {"wide_L3_is_not_a_wire", "wide_quad", {112, 89}, false},
        {"wide_rail_into_node20", "wide_quad", {135, 89}, true},
        {"wide_rail_out_of_node20", "wide_quad", {155, 89}, true},
        {"wide_L4_is_not_a_wire", "wide_quad", {182, 89}, false},
        {"wide_C5_lead_up", "wide_quad", {142, 70}, true},
        {"wide_C2_lead_down", "wide_quad", {142, 225}, true},
        {"wide_port2_terminal", "wide_quad", {252, 89}, true},
    };
    for (const auto& row : rows) {
      QTest::newRow(row.tag) << QString::fromLatin1(row.picture) << row.at << row.black;
    }
  }
  void gridPixels() {
    QFETCH(QString, picture);
    QFETCH(QPoint, at);
    QFETCH(bool, black);
    const QImage image(QStringLiteral(":/schematics/%1.png").arg(picture));
    QCOMPARE(IsBlack(image.pixel(at)), black);
  }

  // Plates near y = 57/61 above the upper rail and 237/241 below the lower
  // one, ground bars near 32 to 38 and 260 to 266, the wider bar nearer the
  // capacitor.
  void capacitorAndGroundRows() {
    const QImage image(QStringLiteral(":/schematics/narrow_quad.png"));
    const auto black_run = [&](int y) {
      int run = 0;
      for (int x = 72 - 12; x <= 72 + 12; ++x) run += IsBlack(image.pixel(x, y)) ? 1 : 0;
      return run;
    };
    QVERIFY(black_run(57) > 10);
    QVERIFY(black_run(61) > 10);
    QVERIFY(black_run(237) > 10);
    QVERIFY(black_run(241) > 10);
    QVERIFY(black_run(38) > black_run(32));
    QVERIFY(black_run(32) > 1);
    QVERIFY(black_run(260) > black_run(266));
    QVERIFY(black_run(266) > 1);
  }
};

}  // namespace rfsplitter

QTEST_MAIN(rfsplitter::SchematicsTest)
#include "schematics_test.moc"
