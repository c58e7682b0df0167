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
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest/QtTest>

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
    const QString pdfPath = m_dir.filePath("chart.pdf");
    SeenFileDialog seen;
    answerFileDialog(&seen, pdfPath);
    QVERIFY(m_window->runCommand("SaveaPdf1"));
    QCOMPARE(seen.filters, QStringList({"Файлы PDF (*.pdf)", "Все файлы (*)"}));
    QFile pdf(pdfPath);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    QVERIFY(bytes.contains("/MediaBox [0 0 842.000000 595.000000]"));  // A4 as the options turn it

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
