// The window's picture and print commands: their menu places, the save dialogs with their
// filters and remembered folders, the files and the clipboard they fill, the print options
// kept for the run, the platform's print dialog and the about box.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest/QtTest>
#include <climits>

#include "GuiTestSupport.h"
#include "WindowTestSupport.h"
#include "dialogs/ChartAbt.h"
#include "dialogs/ChartPrO.h"
#include "view/ChartView.h"

using tarvik::app::TfmChart;
using tarvik::testing::onNextModal;

namespace {

QStringList itemNames(const QMenu* menu) {
  QStringList names;
  for (const QAction* a : menu->actions()) {
    names << (a->isSeparator() ? QString("-") : a->objectName());
  }
  return names;
}

struct SeenFileDialog {
  QString name, title, suffix, directory;
  QStringList filters;
};

// Answers the next file dialog by typing `path` where the keyboard focus is and pressing
// Enter (or Escape when `path` is empty), recording how the dialog was set up.
void answerFileDialog(SeenFileDialog* seen, const QString& path) {
  onNextModal([seen, path](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    if (dialog == nullptr) {
      w->close();
      return;
    }
    seen->name = dialog->objectName();
    seen->title = dialog->windowTitle();
    seen->suffix = dialog->defaultSuffix();
    seen->directory = dialog->directory().absolutePath();
    seen->filters = dialog->nameFilters();
    // The offscreen platform has no window manager to give the new dialog the focus.
    QApplication::setActiveWindow(dialog);
    if (path.isEmpty()) {
      tarvik::testing::pressKey(dialog, Qt::Key_Escape);
      return;
    }
    tarvik::testing::typeText(dialog, path);
    tarvik::testing::pressKey(dialog, Qt::Key_Return);
  });
}

// Clicks the round mark of the radio button captioned `text` of `dialog` where it stands on
// screen (the button's row is wider than its mark and caption, which alone take clicks).
void clickRadio(QWidget* dialog, const QString& text) {
  for (QRadioButton* button : dialog->findChildren<QRadioButton*>()) {
    if (button->text() == text) {
      const QPoint centre = button->mapTo(dialog, QPoint(8, button->height() / 2));
      QWidget* under = dialog->childAt(centre);
      QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(dialog, centre));
      return;
    }
  }
  QFAIL(qPrintable("no radio button " + text));
}

// A PDF text string: UTF-16 with its byte-order mark.
QByteArray utf16Text(const QString& text) {
  QByteArray bytes("\xFE\xFF");
  for (const QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() >> 8)).append(static_cast<char>(c.unicode() & 0xFF));
  }
  return bytes;
}

// Bounding box of the pixels of `image` inside `area` that `wanted` accepts.
template <class Wanted>
QRect boxWhere(const QImage& image, const QRect& area, Wanted wanted) {
  int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
  for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y) {
    for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x) {
      if (wanted(image.pixelColor(x, y))) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

tarvik::dialogs::TfmPrinOptions* printOptionsOf(TfmChart& window) {
  return dynamic_cast<tarvik::dialogs::TfmPrinOptions*>(
      window.dialogRegistry().find("TfmPrinOptions"));
}

}  // namespace

class PictureWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  TfmChart* m_window = nullptr;

  QSize chartSize() const { return m_window->chart()->size(); }

 private slots:
  void init() {
    m_window = new TfmChart({}, m_dir.filePath("tarvik.INI"));
    tarvik::testing::openScope(*m_window);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
  }
  void cleanup() {
    delete m_window;
    m_window = nullptr;
  }

  void menuItemsBesideTheListedOnes() {
    QCOMPARE(itemNames(m_window->findChild<QMenu*>("N12")),
             QStringList({"SaveaBitmap1", "CopytoClipboardBMP1", "SaveaMetafile1",
                          "CopytoClipboard1", "SaveaPdf1", "SaveaPng1"}));
    QCOMPARE(itemNames(m_window->findChild<QMenu*>("N13")),
             QStringList({"PrintOption1", "Print1", "PrintPreview1"}));
  }

  void bitmapIsSavedAtTheChartsSizeAndTheFolderRemembered() {
    QTemporaryDir folder;
    const QString path = folder.filePath("chart.bmp");
    SeenFileDialog seen;
    answerFileDialog(&seen, path);
    QVERIFY(m_window->runCommand("SaveaBitmap1"));
    QCOMPARE(seen.name, QString("SaveBMP"));
    QCOMPARE(seen.title, QString("Сохранение графика в виде рисунка BMP"));
    QCOMPARE(seen.filters, QStringList({"Файлы BMP (*.bmp)", "Все файлы (*)"}));
    QCOMPARE(seen.suffix, QString("bmp"));
    QImage image;
    QVERIFY(image.load(path, "BMP"));
    QCOMPARE(image.size(), chartSize());

    // The dialog opens in that folder next time; cancel writes nothing.
    SeenFileDialog again;
    answerFileDialog(&again, QString());
    QFile::remove(path);
    QVERIFY(m_window->runCommand("SaveaBitmap1"));
    QCOMPARE(again.directory, QFileInfo(folder.path()).absoluteFilePath());
    QVERIFY(!QFile::exists(path));
  }

  void metafileItemsGiveSvg() {
    const QString base = m_dir.filePath("chart");
    SeenFileDialog seen;
    answerFileDialog(&seen, base);
    QVERIFY(m_window->runCommand("SaveaMetafile1"));
    QCOMPARE(seen.name, QString("SaveWMF"));
    QCOMPARE(seen.title, QString("Сохранение графика в виде рисунка WMF"));
    QCOMPARE(seen.filters, QStringList({"Файлы SVG (*.svg)", "Все файлы (*)"}));
    QFile file(base + ".svg");  // the default extension is added
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(file.readAll());
    QVERIFY(svg.readNextStartElement());
    QCOMPARE(svg.name().toString(), QString("svg"));
    QCOMPARE(svg.attributes().value("viewBox").toString(),
             QString("0 0 %1 %2").arg(chartSize().width()).arg(chartSize().height()));

    QApplication::clipboard()->clear();
    QVERIFY(m_window->runCommand("CopytoClipboard1"));
    const QMimeData* data = QApplication::clipboard()->mimeData();
    QVERIFY(data != nullptr);
    QVERIFY2(data->hasFormat("image/svg+xml"), qPrintable(data->formats().join(",")));
    QXmlStreamReader copied(data->data("image/svg+xml"));
    QVERIFY(copied.readNextStartElement());
    QCOMPARE(copied.name().toString(), QString("svg"));
    QCOMPARE(QImage::fromData(data->data("image/png"), "PNG").size(), chartSize());
  }

  void bitmapOnTheClipboardHasTheChartsSize() {
    QApplication::clipboard()->clear();
    QVERIFY(m_window->runCommand("CopytoClipboardBMP1"));
    const QImage image = QApplication::clipboard()->image();
    QCOMPARE(image.size(), chartSize());
    // The chart's pixels, not an empty bitmap: the first graph's black line and the white
    // panel are both there.
    QVERIFY(image.pixelColor(1, 1) == QColor(Qt::white));
    bool dark = false;
    for (int x = 0; x < image.width() && !dark; ++x) {
      dark = qGray(image.pixel(x, image.height() / 3)) < 64;
    }
    QVERIFY(dark);
  }

  void pdfAndPngFiles() {
    auto* options = dynamic_cast<tarvik::dialogs::TfmPrinOptions*>(
        m_window->dialogRegistry().find("TfmPrinOptions"));
    QVERIFY(options != nullptr);
    tarvik::view::PrintOptions landscape;
    landscape.orientation = tarvik::view::PrintOrientation::Landscape;
    options->setOptions(landscape);
    m_window->store().titleLines = {"Импульс 7"};
    const QString pdfPath = m_dir.filePath("chart.pdf");
    SeenFileDialog seen;
    answerFileDialog(&seen, pdfPath);
    QVERIFY(m_window->runCommand("SaveaPdf1"));
    QCOMPARE(seen.filters, QStringList({"Файлы PDF (*.pdf)", "Все файлы (*)"}));
    QFile pdf(pdfPath);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    // The chart on a page of its own size (pixels at 96 dpi in points), whatever the print
    // options say, titled by the chart's title.
    const QRegularExpressionMatch box =
        QRegularExpression(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])").match(QString::fromLatin1(bytes));
    QVERIFY(box.hasMatch());
    // Page sizes are whole points.
    QVERIFY2(qAbs(box.captured(1).toDouble() - chartSize().width() * 0.75) <= 0.5 &&
                 qAbs(box.captured(2).toDouble() - chartSize().height() * 0.75) <= 0.5,
             qPrintable(box.captured(0) + QString(" for %1 x %2 pixels")
                                              .arg(chartSize().width())
                                              .arg(chartSize().height())));
    QCOMPARE(bytes.count("/Type /Page\n"), 1);
    QVERIFY(bytes.contains("/Title (" + utf16Text("Импульс 7") + ")"));
    QVERIFY(!bytes.contains(utf16Text("Печать графика")));

    const QString pngPath = m_dir.filePath("chart.png");
    answerFileDialog(&seen, pngPath);
    QVERIFY(m_window->runCommand("SaveaPng1"));
    QCOMPARE(seen.name, QString("SavePNG"));
    QImage png;
    QVERIFY(png.load(pngPath, "PNG"));
    QCOMPARE(png.size(), chartSize() * m_window->chart()->devicePixelRatioF());
  }

  void printOptionsKeepTheirChoicesForTheRun() {
    QList<int> first, second;
    onNextModal([&first](QWidget* w) {
      auto* dialog = qobject_cast<tarvik::dialogs::TfmPrinOptions*>(w);
      QVERIFY(dialog != nullptr);
      for (int group = 1; group <= 3; ++group) {
        first << dialog->radioGroup(group)->checkedId();
      }
      clickRadio(dialog, "Ландшафт");
      clickRadio(dialog, "Целая страница");
      tarvik::testing::pressKey(dialog, Qt::Key_Return);
    });
    QVERIFY(m_window->runCommand("PrintOption1"));
    onNextModal([&second](QWidget* w) {
      auto* dialog = qobject_cast<tarvik::dialogs::TfmPrinOptions*>(w);
      QVERIFY(dialog != nullptr);
      for (int group = 1; group <= 3; ++group) {
        second << dialog->radioGroup(group)->checkedId();
      }
      tarvik::testing::pressKey(dialog, Qt::Key_Escape);
    });
    QVERIFY(m_window->runCommand("PrintOption1"));
    QCOMPARE(first, QList<int>({0, 0, 0}));
    QCOMPARE(second, QList<int>({0, 1, 1}));
  }

  void printAndPreviewShowThePlatformDialogs() {
    bool printDialog = false, preview = false;
    onNextModal([&printDialog](QWidget* w) {
      printDialog = qobject_cast<QPrintDialog*>(w) != nullptr;
      qobject_cast<QDialog*>(w)->reject();
    });
    QVERIFY(m_window->runCommand("Print1"));
    QVERIFY(printDialog);
    onNextModal([&preview](QWidget* w) {
      preview = qobject_cast<QPrintPreviewDialog*>(w) != nullptr;
      qobject_cast<QDialog*>(w)->reject();
    });
    QVERIFY(m_window->runCommand("PrintPreview1"));
    QVERIFY(preview);
    // The preview drew the chart through the print path, which put everything back.
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(m_window->chart()->legend->brush().color(), QColor(Qt::white));
  }

  // The print dialog opens on the options' orientation; the page is printed the way the
  // user leaves the dialog (here turned back to portrait and sent to a PDF file).
  void printDialogOpensOnTheOptionsOrientationAndKeepsTheUsersChoice() {
    tarvik::view::PrintOptions landscape;
    landscape.orientation = tarvik::view::PrintOrientation::Landscape;
    printOptionsOf(*m_window)->setOptions(landscape);
    const QString path = m_dir.filePath("printed.pdf");
    QPageLayout::Orientation shown = QPageLayout::Portrait;
    bool printDialog = false;
    onNextModal([&](QWidget* w) {
      auto* dialog = qobject_cast<QPrintDialog*>(w);
      printDialog = dialog != nullptr;
      if (dialog == nullptr) {
        w->close();
        return;
      }
      QPrinter* printer = dialog->printer();
      shown = printer->pageLayout().orientation();
      // What the user chooses in the dialog: a PDF file, A4, portrait.
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(path);
      printer->setPageSize(QPageSize(QPageSize::A4));
      printer->setPageOrientation(QPageLayout::Portrait);
      dialog->done(QDialog::Accepted);
    });
    QVERIFY(m_window->runCommand("Print1"));
    QVERIFY(printDialog);
    QCOMPARE(shown, QPageLayout::Landscape);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.contains("/MediaBox [0 0 595"));  // A4 upright, as chosen in the dialog
  }

  // "Ландшафт" and "Целая страница": the preview shows a landscape sheet with the chart
  // over the whole area inside the margins, as the printer gets it.
  void previewShowsThePageThePrinterGets() {
    tarvik::view::PrintOptions options;
    options.orientation = tarvik::view::PrintOrientation::Landscape;
    options.share = tarvik::view::PrintPageShare::WholePage;
    printOptionsOf(*m_window)->setOptions(options);
    QPageLayout::Orientation shownOrientation = QPageLayout::Portrait;
    int pages = 0;
    QImage shot;
    onNextModal([&](QWidget* w) {
      auto* dialog = qobject_cast<QPrintPreviewDialog*>(w);
      auto* preview = dialog != nullptr ? dialog->findChild<QPrintPreviewWidget*>() : nullptr;
      if (preview == nullptr) {
        w->close();
        return;
      }
      dialog->resize(900, 700);
      preview->setViewMode(QPrintPreviewWidget::SinglePageView);
      preview->fitInView();
      QApplication::processEvents();
      shownOrientation = preview->orientation();
      pages = preview->pageCount();
      shot = preview->grab().toImage();
      if (!qEnvironmentVariableIsEmpty("TARVIK_SHOTS")) {
        dialog->grab().save(qEnvironmentVariable("TARVIK_SHOTS") + "/print-preview.png");
      }
      dialog->reject();
    });
    QVERIFY(m_window->runCommand("PrintPreview1"));
    QCOMPARE(shownOrientation, QPageLayout::Landscape);
    QCOMPARE(pages, 1);
    QVERIFY(!shot.isNull());
    // The sheet is the white area of the preview; the chart's dark ink (axes, labels,
    // grid, legend text) spans the area inside its 5 % margins.
    const QRect sheet =
        boxWhere(shot, shot.rect(), [](const QColor& c) { return c == QColor(Qt::white); });
    QVERIFY2(sheet.width() > sheet.height() * 5 / 4,
             qPrintable(QString("%1 x %2").arg(sheet.width()).arg(sheet.height())));
    const QRect ink = boxWhere(shot, sheet.adjusted(2, 2, -2, -2),
                               [](const QColor& c) { return qGray(c.rgb()) < 128; });
    QVERIFY(!ink.isEmpty());
    const auto share = [&](int from, int length, int edge) { return double(edge - from) / length; };
    QVERIFY2(share(sheet.top(), sheet.height(), ink.bottom()) > 0.8,
             qPrintable(QString("ink ends at %1 of the sheet's height")
                            .arg(share(sheet.top(), sheet.height(), ink.bottom()))));
    QVERIFY(share(sheet.left(), sheet.width(), ink.right()) > 0.85);
  }

  void aboutBoxExactlyAsDescribed() {
    QString caption;
    QStringList texts;
    QString button;
    bool isDefault = false, bold = false, icon = false;
    onNextModal([&](QWidget* w) {
      auto* about = qobject_cast<tarvik::dialogs::TfmAboutChart*>(w);
      QVERIFY(about != nullptr);
      caption = about->windowTitle();
      for (QLabel* label : about->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
          texts << label->text();
        }
      }
      icon = !about->programIcon()->pixmap().isNull();
      button = about->closeButton()->text();
      isDefault = about->closeButton()->isDefault();
      bold = about->closeButton()->font().bold();
      about->grab().save("/tmp/h2-about.png");
      tarvik::testing::pressKey(about, Qt::Key_Escape);
    });
    QVERIFY(m_window->runCommand("About1"));
    QCOMPARE(caption, QString("О программе"));
    QCOMPARE(texts, QStringList({"Tarvik", "Программа обработки сигналов", "Версия 1"}));
    QVERIFY(icon);
    QCOMPARE(button, QString("ЗАКРЫТЬ"));
    QVERIFY(isDefault);
    QVERIFY(bold);
    // Enter closes it too.
    bool closed = false;
    onNextModal([&closed](QWidget* w) {
      tarvik::testing::pressKey(w, Qt::Key_Return);
      closed = !w->isVisible();
    });
    QVERIFY(m_window->runCommand("About1"));
    QVERIFY(closed);
  }
};

QTEST_MAIN(PictureWindowTest)
#include "PictureWindowTest.moc"
