#include "view/ChartPicture.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QSvgGenerator>
#include <QTemporaryDir>
#include <cmath>

#include "core/Error.h"
#include "io/AtomicFile.h"
#include "view/ChartView.h"

namespace tarvik::view {

namespace {

// The resolution the chart's texts are measured at: the one a plain bitmap has, which is
// the screen's (96 dots per inch offscreen).
int screenDpi() { return QImage(1, 1, QImage::Format_RGB32).logicalDpiY(); }

// While the chart is drawn onto a device of another resolution (a 600-dpi printer page),
// its fonts are given in pixels of the layout instead of points: a point-sized font would
// be resolved at the device's resolution and come out several times larger than the room
// the layout measured for it.
class LayoutPixelFonts {
 public:
  LayoutPixelFonts(ChartView& chart, int dpi) {
    for (QCPAxis* axis : chart.axisRect()->axes()) {
      keep(
          axis->labelFont(), [axis](const QFont& f) { axis->setLabelFont(f); }, dpi);
      keep(
          axis->tickLabelFont(), [axis](const QFont& f) { axis->setTickLabelFont(f); }, dpi);
    }
    QCPLegend* legend = chart.legend;
    keep(
        legend->font(), [legend](const QFont& f) { legend->setFont(f); }, dpi);
    for (int i = 0; i < legend->itemCount(); ++i) {
      QCPAbstractLegendItem* item = legend->item(i);
      keep(
          item->font(), [item](const QFont& f) { item->setFont(f); }, dpi);
    }
    for (QCPLayoutElement* element : chart.plotLayout()->elements(true)) {
      if (auto* text = qobject_cast<QCPTextElement*>(element)) {
        keep(
            text->font(), [text](const QFont& f) { text->setFont(f); }, dpi);
      }
    }
  }
  ~LayoutPixelFonts() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
      it->second(it->first);
    }
  }
  LayoutPixelFonts(const LayoutPixelFonts&) = delete;
  LayoutPixelFonts& operator=(const LayoutPixelFonts&) = delete;

 private:
  using Setter = std::function<void(const QFont&)>;
  void keep(const QFont& font, const Setter& set, int dpi) {
    if (font.pixelSize() > 0) {
      return;
    }
    m_saved.emplace_back(font, set);
    QFont pixels = font;
    pixels.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pointSizeF() * dpi / 72.0))));
    set(pixels);
  }
  std::vector<std::pair<QFont, Setter>> m_saved;
};

// Lays the chart out at `layout` pixels and draws it scaled into `target` of the painter's
// device. Vector devices get the line widths as lengths (scaled with the chart) and no
// cached bitmaps. The chart's own layout for the screen is restored by the next repaint.
void drawChart(ChartView& chart, QCPPainter& painter, const QRectF& target, QSize layout,
               bool vector) {
  if (layout.isEmpty() || target.isEmpty()) {
    return;
  }
  painter.save();
  painter.setMode(QCPPainter::pmNoCaching);
  painter.setMode(QCPPainter::pmVectorized, vector);
  painter.setMode(QCPPainter::pmNonCosmetic, vector);
  painter.translate(target.topLeft());
  painter.scale(target.width() / layout.width(), target.height() / layout.height());
  chart.toPainter(&painter, layout.width(), layout.height());
  painter.restore();
}

// Brings the chart's layout back to its own size once a picture was drawn at another one.
class ReplotAfterwards {
 public:
  explicit ReplotAfterwards(ChartView& chart) : m_chart(chart) {}
  ~ReplotAfterwards() {
    // Runs while an error of the picture may be on its way out: a repaint that fails too
    // must not end the program, and the next one brings the chart back.
    try {
      m_chart.replot();
    } catch (...) {
    }
  }
  ReplotAfterwards(const ReplotAfterwards&) = delete;
  ReplotAfterwards& operator=(const ReplotAfterwards&) = delete;

 private:
  ChartView& m_chart;
};

// The legend box white on paper; its colour of before comes back in every case.
class WhiteLegend {
 public:
  WhiteLegend(ChartView& chart, GraphStore& store)
      : m_chart(chart),
        m_store(store),
        m_savedColour(store.legendColour),
        m_savedBrush(chart.legend->brush()) {
    m_store.legendColour = Rgb{255, 255, 255};
    m_chart.legend->setBrush(QBrush(Qt::white));
  }
  ~WhiteLegend() {
    m_store.legendColour = m_savedColour;
    m_chart.legend->setBrush(m_savedBrush);
  }
  WhiteLegend(const WhiteLegend&) = delete;
  WhiteLegend& operator=(const WhiteLegend&) = delete;

 private:
  ChartView& m_chart;
  GraphStore& m_store;
  Rgb m_savedColour;
  QBrush m_savedBrush;
};

class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

std::string printerFailureText(const QPrinter& printer) {
  const QString file = printer.outputFileName();
  return file.isEmpty() ? std::string("Ошибка печати") : cannotWriteText(file.toStdString());
}

void drawPage(ChartView& chart, QCPPainter& painter, QSize page, int deviceDpi,
              const PrintOptions& options, QSize onScreen) {
  const PrintRect r = printRectangle(page.width(), page.height(), options.share);
  const PrintSize layout = printLayoutSize({onScreen.width(), onScreen.height()},
                                           {r.width(), r.height()}, options.scale);
  const int dpi = screenDpi();
  std::optional<LayoutPixelFonts> fonts;
  if (deviceDpi != dpi) {
    fonts.emplace(chart, dpi);
  }
  drawChart(chart, painter, QRectF(r.left, r.top, r.width(), r.height()),
            QSize(layout.width, layout.height), true);
}

}  // namespace

QImage chartImage(ChartView& chart, QSize size, qreal devicePixelRatio) {
  if (size.isEmpty() || !(devicePixelRatio > 0)) {
    return {};
  }
  const ReplotAfterwards replot(chart);
  const QSize pixels(static_cast<int>(std::lround(size.width() * devicePixelRatio)),
                     static_cast<int>(std::lround(size.height() * devicePixelRatio)));
  QImage image(pixels, QImage::Format_RGB32);
  if (image.isNull()) {
    throw Error("Недостаточно памяти для рисунка");
  }
  image.fill(Qt::white);
  QCPPainter painter(&image);
  // The painter maps logical pixels to the image's pixels.
  drawChart(chart, painter, QRectF(QPointF(0, 0), QSizeF(pixels)), size, false);
  painter.end();
  image.setDevicePixelRatio(devicePixelRatio);
  return image;
}

QByteArray encodedImage(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (image.isNull() || !image.save(&buffer, format)) {
    throw Error("Невозможно записать рисунок");
  }
  return bytes;
}

QByteArray chartSvg(ChartView& chart, QSize size, const QString& title) {
  const ReplotAfterwards replot(chart);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setResolution(screenDpi());
  svg.setTitle(title);
  QCPPainter painter;
  if (!painter.begin(&svg)) {
    throw Error("Невозможно записать рисунок");
  }
  drawChart(chart, painter, QRectF(QPointF(0, 0), QSizeF(size)), size, true);
  painter.end();
  return bytes;
}

QByteArray chartPdf(ChartView& chart, QSize size, const QString& title) {
  const ReplotAfterwards replot(chart);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const int dpi = screenDpi();
  {
    QPdfWriter pdf(&buffer);
    pdf.setResolution(dpi);
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("Tarvik"));
    const QSizeF points(size.width() * 72.0 / dpi, size.height() * 72.0 / dpi);
    pdf.setPageLayout(QPageLayout(
        QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point, QMarginsF(0, 0, 0, 0)));
    QCPPainter painter;
    if (!painter.begin(&pdf)) {
      throw Error("Невозможно записать рисунок");
    }
    drawChart(chart, painter, QRectF(0, 0, pdf.width(), pdf.height()), size, true);
    painter.end();
  }
  return bytes;
}

void writePictureFile(const std::string& path, const QByteArray& bytes) {
  AtomicFile file(path);
  file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  file.commit();
}

PrinterOrientation::PrinterOrientation(QPrinter& printer, PrintOrientation wanted)
    : m_printer(printer), m_saved(printer.pageLayout().orientation()) {
  m_printer.setPageOrientation(wanted == PrintOrientation::Landscape ? QPageLayout::Landscape
                                                                     : QPageLayout::Portrait);
}

PrinterOrientation::~PrinterOrientation() { m_printer.setPageOrientation(m_saved); }

void printChart(ChartView& chart, GraphStore& store, QPrinter& printer, const PrintOptions& options,
                QSize onScreen) {
  const ReplotAfterwards replot(chart);
  const WhiteLegend legend(chart, store);
  const BusyCursor busy;
  printer.setDocName(QString::fromUtf8(kPrintJobTitle));
  QCPPainter painter;
  if (!painter.begin(&printer)) {
    printer.abort();
    throw Error(printerFailureText(printer));
  }
  try {
    const QSize page = printablePagePixels(printer);
    painter.setWindow(QRect(QPoint(0, 0), page));
    painter.setViewport(QRect(0, 0, printer.width(), printer.height()));
    drawPage(chart, painter, page, printer.logicalDpiY(), options, onScreen);
  } catch (...) {
    printer.abort();
    painter.end();
    throw;
  }
  if (!painter.end() || printer.printerState() == QPrinter::Error) {
    throw Error(printerFailureText(printer));
  }
}

QSize printablePagePixels(const QPrinter& printer) {
  const QRectF area = printer.pageLayout().paintRect(QPageLayout::Millimeter);
  const double pixelsPerMm = printer.resolution() / 25.4;
  return QSize(static_cast<int>(std::lround(area.width() * pixelsPerMm)),
               static_cast<int>(std::lround(area.height() * pixelsPerMm)));
}

void setUpPdfPrinter(QPrinter& printer, const QString& path) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  printer.setResolution(600);
  printer.setFullPage(true);
  printer.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
}

QByteArray printedPdf(ChartView& chart, GraphStore& store, const PrintOptions& options,
                      QSize onScreen) {
  // The printer writes to a file of its own naming; the caller saves the bytes safely.
  const QTemporaryDir folder;
  if (!folder.isValid()) {
    throw Error("Невозможно создать временную папку");
  }
  const QString path = folder.filePath(QStringLiteral("print.pdf"));
  {
    QPrinter printer(QPrinter::HighResolution);
    setUpPdfPrinter(printer, path);
    const PrinterOrientation orientation(printer, options.orientation);
    printChart(chart, store, printer, options, onScreen);
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw Error(cannotWriteText(path.toStdString()));
  }
  return file.readAll();
}

void paintPrintPage(ChartView& chart, QPaintDevice& page, const PrintOptions& options,
                    QSize onScreen) {
  const ReplotAfterwards replot(chart);
  QCPPainter painter;
  if (!painter.begin(&page)) {
    throw Error("Ошибка печати");
  }
  drawPage(chart, painter, QSize(page.width(), page.height()), page.logicalDpiY(), options,
           onScreen);
  painter.end();
}

}  // namespace tarvik::view
