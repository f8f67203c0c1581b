// The progress bar's pixels at the scale factor given as `--scale F`: its outline is whole on
// all four sides, and the fill ends in an outline of its own.
#include <QtTest>
#include <cmath>
#include <cstring>

#include "FrmMain.h"
#include "UiTestSupport.h"

class BarScaleTest : public QObject {
  Q_OBJECT

 private slots:
  void theOutlineIsWholeAtThisScale_data() {
    QTest::addColumn<float>("twips");
    QTest::newRow("full") << 6735.0f;
    QTest::newRow("part") << 3000.0f;
    QTest::newRow("one pixel") << 15.0f;
  }
  void theOutlineIsWholeAtThisScale() {
    QFETCH(float, twips);
    ScriptedWindowDialogs dialogs;
    auto window = ShowWindow<FrmMain>(dialogs);
    window->ShowStatusText("");
    window->ShowBarWidth(twips);
    const QImage image = window->centralWidget()->grab().toImage();
    const double scale = image.devicePixelRatio();
    QCOMPARE(scale, qEnvironmentVariable("QT_SCREEN_SCALE_FACTORS").toDouble());
    const auto device = [scale](double pixels) { return int(std::lround(pixels * scale)); };
    // The bar is 449 by 17 pixels at (16, 160); the fill is as wide as `twips` says.
    const QRect bar(device(16), device(160), device(449), device(17));
    const int fillRight = bar.left() + device(std::round(twips / 15.0)) - 1;
    const QRgb black = qRgb(0, 0, 0);
    const QRgb fill = qRgb(212, 208, 200);
    const QRgb ground = qRgb(192, 192, 192);
    const auto expect = [&](int x, int y, QRgb colour, const char* what) {
      if (image.pixel(x, y) == colour) return true;
      qWarning("%s at (%d, %d) is %08x", what, x, y, image.pixel(x, y));
      return false;
    };
    bool whole = true;
    for (int x = bar.left(); x <= bar.right(); ++x) {
      whole &= expect(x, bar.top(), black, "top outline");
      whole &= expect(x, bar.bottom(), black, "bottom outline");
      whole &= expect(x, bar.top() - 1, ground, "above the bar");
      whole &= expect(x, bar.bottom() + 1, ground, "below the bar");
      const QRgb inside = x < fillRight ? fill : x == fillRight ? black : ground;
      if (x > bar.left() && x < bar.right()) whole &= expect(x, bar.top() + 1, inside, "inside");
    }
    for (int y = bar.top(); y <= bar.bottom(); ++y) {
      whole &= expect(bar.left(), y, black, "left outline");
      whole &= expect(bar.right(), y, black, "right outline");
      whole &= expect(bar.left() - 1, y, ground, "left of the bar");
      whole &= expect(bar.right() + 1, y, ground, "right of the bar");
    }
    QVERIFY(whole);
  }
};

#include "BarScaleTest.moc"

// The scale is set before the application starts, the only time Qt reads it.
int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--scale") == 0) qputenv("QT_SCREEN_SCALE_FACTORS", argv[i + 1]);
  }
  if (qEnvironmentVariableIsEmpty("QT_SCREEN_SCALE_FACTORS")) qFatal("no --scale given");
  QApplication application(argc, argv);  // takes its own options out of argv
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scale") == 0)
      ++i;
    else
      arguments << argv[i];
  }
  BarScaleTest test;
  return QTest::qExec(&test, arguments);
}
