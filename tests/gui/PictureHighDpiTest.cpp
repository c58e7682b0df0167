// Pictures on a screen of two device pixels per logical pixel: the bitmap keeps the
// chart's logical size, the PNG gets every device pixel.
#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include "GuiTestSupport.h"
#include "WindowTestSupport.h"
#include "view/ChartView.h"

using tarvik::app::TfmChart;

namespace {

// Saves through the command's file dialog, typing `path` where the focus is.
void saveThrough(TfmChart& window, const char* command, const QString& path) {
  tarvik::testing::onNextModal([path](QWidget* w) {
    QApplication::setActiveWindow(w);  // no window manager activates it offscreen
    tarvik::testing::typeText(w, path);
    tarvik::testing::pressKey(w, Qt::Key_Return);
  });
  QVERIFY(window.runCommand(command));
}

}  // namespace

class PictureHighDpiTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;

 private slots:
  void bitmapKeepsTheLogicalSizeAndPngTakesTheDevicePixels() {
    TfmChart window({}, m_dir.filePath("tarvik.INI"));
    tarvik::testing::openScope(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.chart()->devicePixelRatioF(), 2.0);
    const QSize logical = window.chart()->size();

    saveThrough(window, "SaveaBitmap1", m_dir.filePath("chart.bmp"));
    QImage bmp;
    QVERIFY(bmp.load(m_dir.filePath("chart.bmp"), "BMP"));
    QCOMPARE(bmp.size(), logical);

    saveThrough(window, "SaveaPng1", m_dir.filePath("chart.png"));
    QImage png;
    QVERIFY(png.load(m_dir.filePath("chart.png"), "PNG"));
    QCOMPARE(png.size(), logical * 2);
    // The same chart: the panel in the corner, the first graph's black line somewhere in
    // the middle row of both.
    for (const QImage* image : {&bmp, &png}) {
      QCOMPARE(image->pixelColor(1, 1), QColor(Qt::white));
      int dark = 0;
      for (int x = 0; x < image->width(); ++x) {
        dark += qGray(image->pixel(x, image->height() / 3)) < 64 ? 1 : 0;
      }
      QVERIFY(dark > 0);
    }
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");  // before the application reads its screens
  QApplication app(argc, argv);
  PictureHighDpiTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "PictureHighDpiTest.moc"
