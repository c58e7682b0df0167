#pragma once
// The chart as a picture: a bitmap, an SVG or PDF document of a given size, and the
// printed page. Every picture is the chart drawn by its own drawing code into the picture
// at the size asked for, so it shows what the chart would show at that size on screen.
#include <QByteArray>
#include <QImage>
#include <QPageLayout>
#include <QSize>
#include <QString>
#include <string>

#include "core/GraphStore.h"
#include "view/PrintLayout.h"

class QPaintDevice;
class QPrinter;

namespace tarvik::view {

class ChartView;

// The chart drawn at `size` logical pixels onto a bitmap of `devicePixelRatio` device pixels
// per logical pixel (1: as many pixels as the size). An empty size gives a null image.
QImage chartImage(ChartView& chart, QSize size, qreal devicePixelRatio = 1.0);

// Image file bytes in `format` ("BMP", "PNG"); throws tarvik::Error when it cannot be encoded.
QByteArray encodedImage(const QImage& image, const char* format);

// An SVG document of the chart drawn at `size` pixels: its page is that size at the screen's
// resolution (96 dots per inch offscreen), vector lines and texts, `title` as its title.
QByteArray chartSvg(ChartView& chart, QSize size, const QString& title);

// A one-page PDF document of the chart drawn at `size` pixels, the page that size at the
// screen's resolution.
QByteArray chartPdf(ChartView& chart, QSize size, const QString& title);

// Writes `bytes` to `path` through a new file that replaces the old one only when complete;
// throws tarvik::IoError ("Невозможно записать файл:PATH") when it cannot.
void writePictureFile(const std::string& path, const QByteArray& bytes);

// The job title of a print.
inline constexpr const char* kPrintJobTitle = "Печать графика";

// The printer's page orientation set from the print options ("Ориентация") for as long as
// it lives, and the orientation of before restored afterwards. The window holds one while
// the platform's print dialog or the print preview is shown, so they open on the options'
// orientation and the job keeps whatever the user chooses there.
class PrinterOrientation {
 public:
  PrinterOrientation(QPrinter& printer, PrintOrientation wanted);
  ~PrinterOrientation();
  PrinterOrientation(const PrinterOrientation&) = delete;
  PrinterOrientation& operator=(const PrinterOrientation&) = delete;

 private:
  QPrinter& m_printer;
  QPageLayout::Orientation m_saved;
};

// Prints the chart on `printer` with its page as it is set up (orientation included): the
// legend colour white and the busy cursor while it runs, one page with the chart laid out
// at the print rectangle's shape (printLayoutSize) and scaled into it evenly. Cursor and
// legend colour are restored in every case. A printer that cannot start or finish the job
// throws tarvik::Error after the job was aborted; an error while drawing aborts the job
// and propagates.
void printChart(ChartView& chart, GraphStore& store, QPrinter& printer, const PrintOptions& options,
                QSize onScreen);

// The page's printable area in printer pixels, from its size in millimetres: A4 without
// margins at 600 dots per inch is 4961 × 7016 (the toolkit's own pixel grid rounds the
// page to whole points first, 4958 × 7017; printChart maps one onto the other).
QSize printablePagePixels(const QPrinter& printer);

// A PDF printer as the print commands use it: A4, 600 dots per inch, the whole sheet
// printable (no margins), so its page is 4961 × 7016 pixels upright, writing to `path`.
void setUpPdfPrinter(QPrinter& printer, const QString& path);

// The chart printed by printChart onto the PDF printer above, turned as `options` say; the
// document's bytes.
QByteArray printedPdf(ChartView& chart, GraphStore& store, const PrintOptions& options,
                      QSize onScreen);

// The drawing step of printChart onto `page`, a device as large as the page's printable
// area (tests draw onto an image this way).
void paintPrintPage(ChartView& chart, QPaintDevice& page, const PrintOptions& options,
                    QSize onScreen);

}  // namespace tarvik::view
