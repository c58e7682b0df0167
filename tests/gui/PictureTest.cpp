// Pictures of the chart and the print path: sizes and pixels of bitmaps, SVG and PDF that
// parse and carry the title, the print rectangle on the page, the two print scales, and the
// restore of legend colour, cursor and orientation whatever happens.
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest/QtTest>
#include <stdexcept>

#include "core/Error.h"
#include "core/GraphStore.h"
#include "view/ChartPicture.h"
#include "view/ChartView.h"

using tarvik::Graph;
using tarvik::GraphStore;
using tarvik::Rgb;
using tarvik::view::ChartView;
using tarvik::view::PrintOptions;
using tarvik::view::PrintOrientation;
using tarvik::view::PrintPageShare;
using tarvik::view::PrintScale;

namespace {

const QColor kLine(0xFF, 0x00, 0xFF);
const QColor kPanel(0xFF, 0xFF, 0x80);
const QColor kLegendFill(0x80, 0xFF, 0xFF);
const QString kTitle = QString::fromUtf8("Импульс 7");

// Bounding box of the pixels of `colour`; empty when there are none.
QRect boxOf(const QImage& image, const QColor& colour) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == colour) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

int darkPixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      count += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
  }
  return count;
}

// A page of `size` printer pixels at 600 dots per inch, blank.
QImage blankPage(QSize size) {
  QImage page(size, QImage::Format_RGB32);
  page.setDotsPerMeterX(23622);
  page.setDotsPerMeterY(23622);
  page.fill(Qt::white);
  return page;
}

QString mediaBox(const QByteArray& pdf) {
  const QRegularExpression box(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])");
  const QRegularExpressionMatch m = box.match(QString::fromLatin1(pdf));
  return m.hasMatch()
             ? QString("%1 x %2").arg(m.captured(1).toDouble()).arg(m.captured(2).toDouble())
             : QString();
}

// Bounding box of the blue title's ink (the title is the only blue text of the chart).
QRect titleBox(const QImage& image) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.blue() > 160 && c.red() < 110 && c.green() < 110) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The texts of the chart's SVG picture at its own size.
QStringList svgTexts(ChartView& chart) {
  QXmlStreamReader xml(tarvik::view::chartSvg(chart, chart.size(), QString()));
  QStringList texts;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("text")) {
      texts << xml.readElementText().simplified();
    }
  }
  return texts;
}

// What the chart looked like while it was being drawn onto the page.
struct SeenWhileDrawing {
  bool drawn = false;
  QColor legend;
  Qt::CursorShape cursor = Qt::ArrowCursor;
  bool busy = false;
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
};

}  // namespace

class PictureTest : public QObject {
  Q_OBJECT

  GraphStore* m_store = nullptr;
  ChartView* m_chart = nullptr;
  QTemporaryDir m_dir;

  // The diagonal y = x over 0..100 in a wide magenta line on a light yellow panel.
  void buildKnownChart(QSize size) {
    m_store = new GraphStore;
    const std::size_t i = m_store->appendGraph("diagonal");
    Graph& g = m_store->graph(i);
    for (int k = 0; k <= 100; ++k) {
      g.appendPoint(k, k);
    }
    g.colour = Rgb{0xFF, 0x00, 0xFF};
    g.lineWidth = 3;
    m_store->background = Rgb{0xFF, 0xFF, 0x80};
    m_store->legendColour = Rgb{0x80, 0xFF, 0xFF};
    m_store->titleLines = {kTitle.toStdString()};
    m_chart = new ChartView;
    m_chart->resize(size);
    m_chart->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_chart));
    m_chart->setStore(m_store);
    m_chart->legendRelayout();
    QCOMPARE(m_chart->legend->brush().color(), kLegendFill);
  }

  // Pixel of the point (v, v) of the diagonal on the chart at its own size.
  QPoint diagonalPixel(double v) const {
    return QPoint(qRound(m_chart->xAxis->coordToPixel(v)), qRound(m_chart->yAxis->coordToPixel(v)));
  }

 private slots:
  void cleanup() {
    if (m_chart != nullptr) {
      m_chart->setAfterRepaint({});
      m_chart->setStore(nullptr);
    }
    delete m_chart;
    delete m_store;
    m_chart = nullptr;
    m_store = nullptr;
  }

  void bitmapHasTheChartsSizeWithTheLineOverThePanel() {
    buildKnownChart(QSize(673, 315));
    const QImage image = tarvik::view::chartImage(*m_chart, m_chart->size(), 1.0);
    QCOMPARE(image.size(), QSize(673, 315));
    // Where the line runs the bitmap has its colour, elsewhere the panel's.
    for (double v : {15.0, 50.0, 85.0}) {
      QVERIFY2(image.pixelColor(diagonalPixel(v)) == kLine,
               qPrintable(QString("line at %1").arg(v)));
    }
    // Off the line and off the grid (labels stand at multiples of 25 upwards, of 10 across).
    for (const QPointF value : {QPointF(17, 31), QPointF(52, 38), QPointF(83, 71)}) {
      const QPoint p(qRound(m_chart->xAxis->coordToPixel(value.x())),
                     qRound(m_chart->yAxis->coordToPixel(value.y())));
      QVERIFY2(image.pixelColor(p) == kPanel, qPrintable(QString("panel at %1").arg(value.x())));
    }
    QCOMPARE(image.pixelColor(1, 1), kPanel);
    QCOMPARE(image.pixelColor(671, 313), kPanel);
    // BMP bytes read back as the same picture.
    const QImage read = QImage::fromData(tarvik::view::encodedImage(image, "BMP"), "BMP")
                            .convertToFormat(image.format());
    QCOMPARE(read, image);
    // The chart's own layout is back after the picture.
    QCOMPARE(diagonalPixel(50), diagonalPixel(50));
    QCOMPARE(m_chart->lastPlotRect(), m_chart->axisRect()->rect());
  }

  void pictureOfAnotherSizeIsLaidOutForThatSize() {
    buildKnownChart(QSize(500, 300));
    const QImage small = tarvik::view::chartImage(*m_chart, QSize(500, 300), 1.0);
    const QImage large = tarvik::view::chartImage(*m_chart, QSize(1000, 600), 1.0);
    QCOMPARE(large.size(), QSize(1000, 600));
    // The line spans the plot of each picture, not a corner of the larger one.
    const QRect smallLine = boxOf(small, kLine);
    const QRect largeLine = boxOf(large, kLine);
    QVERIFY(!smallLine.isEmpty() && !largeLine.isEmpty());
    QVERIFY2(largeLine.width() > smallLine.width() * 3 / 2,
             qPrintable(QString("%1 vs %2").arg(largeLine.width()).arg(smallLine.width())));
    QVERIFY(largeLine.height() > smallLine.height() * 3 / 2);
  }

  void svgParsesWithItsSizeAndHoldsTheTitle() {
    buildKnownChart(QSize(673, 315));
    const QByteArray svg = tarvik::view::chartSvg(*m_chart, QSize(673, 315), kTitle);
    QXmlStreamReader xml(svg);
    QString viewBox, docTitle;
    QStringList texts;
    bool lineColour = false;
    while (!xml.atEnd()) {
      xml.readNext();
      if (!xml.isStartElement()) {
        continue;
      }
      if (xml.name() == QLatin1String("svg")) {
        viewBox = xml.attributes().value("viewBox").toString();
      } else if (xml.name() == QLatin1String("title")) {
        docTitle = xml.readElementText();
      } else if (xml.name() == QLatin1String("text")) {
        texts << xml.readElementText().simplified();
      } else if (xml.attributes().value("stroke") == QLatin1String("#ff00ff")) {
        lineColour = true;
      }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(viewBox, QString("0 0 673 315"));
    QCOMPARE(docTitle, kTitle);
    QVERIFY2(texts.contains(kTitle), qPrintable(texts.join(" | ")));
    QVERIFY2(texts.contains("1. diagonal"), qPrintable(texts.join(" | ")));
    QVERIFY(lineColour);
  }

  void pdfPictureIsOnePageOfItsSizeAt96Dpi() {
    buildKnownChart(QSize(673, 315));
    const QByteArray pdf = tarvik::view::chartPdf(*m_chart, QSize(1000, 600), kTitle);
    QVERIFY(pdf.startsWith("%PDF-"));
    QCOMPARE(mediaBox(pdf), QString("750 x 450"));  // 1000 × 600 pixels at 96 dpi in points
    QCOMPARE(pdf.count("/Type /Page\n"), 1);
    // The document title, in the UTF-16 text string of the information dictionary.
    QByteArray utf16("\xFE\xFF");
    for (const QChar c : kTitle) {
      utf16.append(static_cast<char>(c.unicode() >> 8))
          .append(static_cast<char>(c.unicode() & 0xFF));
    }
    QVERIFY(pdf.contains("/Title (" + utf16 + ")"));
  }

  void printRectangleOnThePage_data() {
    QTest::addColumn<int>("share");
    QTest::addColumn<QRect>("area");
    // A 480 × 680 page: margins 24 and 34; half a page ends at 34 + 612 / 2.
    QTest::newRow("half") << 0 << QRect(QPoint(24, 34), QPoint(455, 339));
    QTest::newRow("whole") << 1 << QRect(QPoint(24, 34), QPoint(455, 645));
  }
  void printRectangleOnThePage() {
    QFETCH(int, share);
    QFETCH(QRect, area);
    buildKnownChart(QSize(673, 315));
    QImage page = blankPage(QSize(480, 680));
    PrintOptions options;
    options.share = static_cast<PrintPageShare>(share);
    tarvik::view::paintPrintPage(*m_chart, page, options, m_chart->size());
    QCOMPARE(boxOf(page, kPanel), area);
    // Nothing is drawn outside the print rectangle.
    QCOMPARE(boxOf(page, Qt::white).united(area), QRect(0, 0, 480, 680));
    QCOMPARE(page.pixelColor(area.left() - 1, area.center().y()), QColor(Qt::white));
    QCOMPARE(page.pixelColor(area.center().x(), area.bottom() + 1), QColor(Qt::white));
  }

  void screenProportionalDrawsLinesAndTextsHalfAsLarge() {
    buildKnownChart(QSize(673, 315));
    QImage thin = blankPage(QSize(1400, 1000));
    QImage screen = blankPage(QSize(1400, 1000));
    PrintOptions options;
    options.share = PrintPageShare::WholePage;
    tarvik::view::paintPrintPage(*m_chart, thin, options, m_chart->size());
    options.scale = PrintScale::ScreenProportional;
    tarvik::view::paintPrintPage(*m_chart, screen, options, m_chart->size());
    // Same rectangle, but the line, the grid and the texts of the second are half as wide.
    QCOMPARE(boxOf(thin, kPanel), boxOf(screen, kPanel));
    const int thinInk = darkPixels(thin);
    const int screenInk = darkPixels(screen);
    QVERIFY2(thinInk > screenInk * 3 / 2,
             qPrintable(QString("%1 vs %2").arg(thinInk).arg(screenInk)));
    QVERIFY(!boxOf(screen, kLine).isEmpty());
  }

  void printRestoresLegendCursorAndOrientation() {
    buildKnownChart(QSize(673, 315));
    QPrinter printer(QPrinter::HighResolution);
    const QString path = m_dir.filePath("print.pdf");
    tarvik::view::setUpPdfPrinter(printer, path);
    SeenWhileDrawing seen;
    m_chart->setAfterRepaint([&](QCPPainter& painter, const QRect&) {
      if (painter.device() != &printer) {
        return;  // the chart's own repaint afterwards
      }
      seen.drawn = true;
      seen.legend = m_chart->legend->brush().color();
      seen.busy = QApplication::overrideCursor() != nullptr;
      seen.cursor = seen.busy ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor;
      seen.orientation = printer.pageLayout().orientation();
    });
    PrintOptions options;
    options.orientation = PrintOrientation::Landscape;
    {
      const tarvik::view::PrinterOrientation turned(printer, options.orientation);
      tarvik::view::printChart(*m_chart, *m_store, printer, options, m_chart->size());
    }
    QVERIFY(seen.drawn);
    QCOMPARE(seen.legend, QColor(Qt::white));
    QVERIFY(seen.busy);
    QCOMPARE(seen.cursor, Qt::WaitCursor);
    QCOMPARE(seen.orientation, QPageLayout::Landscape);
    // Afterwards everything is as it was.
    QCOMPARE(m_chart->legend->brush().color(), kLegendFill);
    QVERIFY(m_store->legendColour == (Rgb{0x80, 0xFF, 0xFF}));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    QCOMPARE(mediaBox(pdf), QString("842 x 595"));  // A4 turned
  }

  // The page is printed as the printer is set up (the user may have turned it in the
  // platform's print dialog), whatever the options say; the batch runner's PDF printer is
  // turned by the options.
  void printKeepsThePrintersOrientation() {
    buildKnownChart(QSize(673, 315));
    QPrinter printer(QPrinter::HighResolution);
    const QString path = m_dir.filePath("turned.pdf");
    tarvik::view::setUpPdfPrinter(printer, path);
    printer.setPageOrientation(QPageLayout::Landscape);
    PrintOptions options;  // portrait
    tarvik::view::printChart(*m_chart, *m_store, printer, options, m_chart->size());
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(mediaBox(file.readAll()), QString("842 x 595"));
    QCOMPARE(mediaBox(tarvik::view::printedPdf(*m_chart, *m_store, options, m_chart->size())),
             QString("595 x 842"));
    options.orientation = PrintOrientation::Landscape;
    QCOMPARE(mediaBox(tarvik::view::printedPdf(*m_chart, *m_store, options, m_chart->size())),
             QString("842 x 595"));
  }

  // A chart twice as wide as high printed into a rectangle of another shape is laid out in
  // that shape and scaled evenly: the title keeps the proportions it has on screen, for
  // both print scales, and "Screen proportional" still draws it half as large.
  void printedTextKeepsItsProportions() {
    buildKnownChart(QSize(673, 315));
    const QImage screen = tarvik::view::chartImage(*m_chart, m_chart->size(), 1.0);
    const QRect onScreen = titleBox(screen);
    QVERIFY(onScreen.width() > 20);
    const double screenAspect = double(onScreen.width()) / onScreen.height();
    PrintOptions options;
    options.share = PrintPageShare::HalfPage;
    QList<QRect> printed;
    for (const PrintScale scale : {PrintScale::ThinLines, PrintScale::ScreenProportional}) {
      options.scale = scale;
      QImage page = blankPage(QSize(1400, 2000));  // a print rectangle of 1260 × 900
      tarvik::view::paintPrintPage(*m_chart, page, options, m_chart->size());
      const QRect box = titleBox(page);
      QVERIFY(box.width() > 20);
      const double aspect = double(box.width()) / box.height();
      QVERIFY2(std::abs(aspect / screenAspect - 1) < 0.08,
               qPrintable(QString("title %1 x %2 on paper, %3 x %4 on screen")
                              .arg(box.width())
                              .arg(box.height())
                              .arg(onScreen.width())
                              .arg(onScreen.height())));
      printed << box;
    }
    const double half = double(printed[1].width()) / printed[0].width();
    QVERIFY2(half > 0.4 && half < 0.6, qPrintable(QString::number(half)));
  }

  // A caption the user emptied is drawn as nothing, in pictures as on screen.
  void emptyBottomCaptionDrawsNothing() {
    buildKnownChart(QSize(673, 315));
    // The SVG generator writes a text word by word.
    QVERIFY(svgTexts(*m_chart).join(' ').contains(QString::fromUtf8("100 t, нс 0")));
    m_store->bottomAxisTitle.clear();
    m_chart->syncWithStore();
    QCOMPARE(m_chart->xAxis->label(), QString());
    const QString texts = svgTexts(*m_chart).join(' ');
    QVERIFY2(texts.contains(QString::fromUtf8("90 100 0 25")), qPrintable(texts));
    QVERIFY2(!texts.contains(QString::fromUtf8("Ось")), qPrintable(texts));
  }

  void printThatCannotStartRestoresEverything() {
    buildKnownChart(QSize(673, 315));
    QPrinter printer(QPrinter::HighResolution);
    const QString path = m_dir.filePath("no-such-folder/print.pdf");
    tarvik::view::setUpPdfPrinter(printer, path);
    PrintOptions options;
    options.orientation = PrintOrientation::Landscape;
    QString message;
    try {
      tarvik::view::printChart(*m_chart, *m_store, printer, options, m_chart->size());
    } catch (const tarvik::Error& e) {
      message = QString::fromUtf8(e.what());
    }
    QCOMPARE(message, QString::fromUtf8("Невозможно записать файл:") + path);
    QCOMPARE(m_chart->legend->brush().color(), kLegendFill);
    QVERIFY(m_store->legendColour == (Rgb{0x80, 0xFF, 0xFF}));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
    QVERIFY(!QFile::exists(path));
  }

  void errorWhileDrawingPropagatesAndRestoresEverything() {
    buildKnownChart(QSize(673, 315));
    QPrinter printer(QPrinter::HighResolution);
    const QString path = m_dir.filePath("broken.pdf");
    tarvik::view::setUpPdfPrinter(printer, path);
    printer.setPageOrientation(QPageLayout::Landscape);
    m_chart->setAfterRepaint([&printer](QCPPainter& painter, const QRect&) {
      if (painter.device() == &printer) {
        throw std::runtime_error("the page went away");
      }
    });
    PrintOptions options;  // portrait
    QString message;
    try {
      tarvik::view::printChart(*m_chart, *m_store, printer, options, m_chart->size());
    } catch (const std::runtime_error& e) {
      message = e.what();
    }
    QCOMPARE(message, QString("the page went away"));
    QCOMPARE(m_chart->legend->brush().color(), kLegendFill);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
  }

  void pdfPrinterPageIsTheWholeA4SheetAt600Dpi() {
    QPrinter printer(QPrinter::HighResolution);
    tarvik::view::setUpPdfPrinter(printer, m_dir.filePath("sheet.pdf"));
    QCOMPARE(tarvik::view::printablePagePixels(printer), QSize(4961, 7016));
    printer.setPageOrientation(QPageLayout::Landscape);
    QCOMPARE(tarvik::view::printablePagePixels(printer), QSize(7016, 4961));
  }
};

QTEST_MAIN(PictureTest)
#include "PictureTest.moc"
