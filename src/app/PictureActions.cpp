// The window's picture and print commands: the chart saved or copied as a bitmap, an SVG
// picture (the two metafile items), a PDF picture or a PNG picture, the print options,
// printing with the platform's print dialog, the print preview and the about box.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/ChartMy.h"
#include "app/GuiUi.h"
#include "app/WindowActions.h"
#include "core/Error.h"
#include "dialogs/ChartAbt.h"
#include "dialogs/ChartPrO.h"
#include "view/ChartPicture.h"
#include "view/ChartView.h"

namespace tarvik::app {

namespace {

// A save dialog of the window; each remembers the folder of the last file saved through it
// for the rest of the run.
struct SaveDialogFields {
  const char* name;
  const char* title;
  const char* pattern;  // the first filter entry; the second is "*.*"
  const char* extension;
};

constexpr SaveDialogFields kSaveBMP{"SaveBMP", "Сохранение графика в виде рисунка BMP", "*.bmp",
                                    "bmp"};
// Vector pictures are SVG on this platform; the dialog keeps its caption.
constexpr SaveDialogFields kSaveWMF{"SaveWMF", "Сохранение графика в виде рисунка WMF", "*.svg",
                                    "svg"};
constexpr SaveDialogFields kSavePDF{"SavePDF", "Сохранение графика в виде документа PDF", "*.pdf",
                                    "pdf"};
constexpr SaveDialogFields kSavePNG{"SavePNG", "Сохранение графика в виде рисунка PNG", "*.png",
                                    "png"};

class PictureCommands {
 public:
  explicit PictureCommands(TfmChart& window)
      : m_window(window),
        m_fmPrinOptions(
            dynamic_cast<dialogs::TfmPrinOptions*>(window.dialogRegistry().find("TfmPrinOptions"))),
        m_fmAboutChart(
            window.findChild<dialogs::TfmAboutChart*>(QString(), Qt::FindDirectChildrenOnly)) {}

  void install(const std::shared_ptr<PictureCommands>& self);

 private:
  view::ChartView& chart() const { return *m_window.chart(); }
  QSize onScreen() const { return chart().size(); }
  QString documentTitle() const;
  // Runs the save dialog; the chosen path, or nothing on cancel.
  std::optional<std::string> askFile(const SaveDialogFields& fields);

  void saveBitmap();
  void copyBitmap();
  void saveSvg();
  void copySvg();
  void savePdf();
  void savePng();
  void print(CommandContext& ctx);
  void preview(CommandContext& ctx);
  QPrinter& printer();

  TfmChart& m_window;
  dialogs::TfmPrinOptions* m_fmPrinOptions;
  dialogs::TfmAboutChart* m_fmAboutChart;
  std::map<std::string, QString> m_folders;  // by dialog name
  std::unique_ptr<QPrinter> m_printer;       // the window's printer, kept for the run
};

QString PictureCommands::documentTitle() const {
  QStringList lines;
  for (const std::string& line : m_window.store().titleLines) {
    lines << QString::fromStdString(line);
  }
  const QString title = lines.join(QLatin1Char(' ')).trimmed();
  return title.isEmpty() ? QStringLiteral("График") : title;
}

std::optional<std::string> PictureCommands::askFile(const SaveDialogFields& fields) {
  QFileDialog dialog(&m_window, QString::fromUtf8(fields.title), m_folders[fields.name]);
  dialog.setObjectName(fields.name);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({toQtFileFilter(fields.pattern), toQtFileFilter("*.*")});
  dialog.setDefaultSuffix(QString::fromUtf8(fields.extension));
  fitFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  const QString path = dialog.selectedFiles().first();
  m_folders[fields.name] = QFileInfo(path).absolutePath();
  return path.toStdString();
}

void PictureCommands::saveBitmap() {
  if (const auto path = askFile(kSaveBMP)) {
    // As many pixels as the chart has logical pixels on screen, on any screen.
    const QImage image = view::chartImage(chart(), onScreen(), 1.0);
    view::writePictureFile(*path, view::encodedImage(image, "BMP"));
  }
}

void PictureCommands::copyBitmap() {
  QApplication::clipboard()->setImage(view::chartImage(chart(), onScreen(), 1.0));
}

void PictureCommands::saveSvg() {
  if (const auto path = askFile(kSaveWMF)) {
    view::writePictureFile(*path, view::chartSvg(chart(), onScreen(), documentTitle()));
  }
}

void PictureCommands::copySvg() {
  auto data = std::make_unique<QMimeData>();
  data->setData(QStringLiteral("image/svg+xml"),
                view::chartSvg(chart(), onScreen(), documentTitle()));
  const QImage image = view::chartImage(chart(), onScreen(), 1.0);
  data->setData(QStringLiteral("image/png"), view::encodedImage(image, "PNG"));
  data->setImageData(image);
  QApplication::clipboard()->setMimeData(data.release());
}

// The chart as a picture in a PDF document: one page of the chart's size, titled by the
// chart's title, as the batch runner's `picture file=x.pdf` writes it. Printing into a
// PDF file is the print path's (the platform's print dialog offers it).
void PictureCommands::savePdf() {
  if (const auto path = askFile(kSavePDF)) {
    view::writePictureFile(*path, view::chartPdf(chart(), onScreen(), documentTitle()));
  }
}

void PictureCommands::savePng() {
  if (const auto path = askFile(kSavePNG)) {
    // The on-screen size in the screen's device pixels, as sharp as the chart looks.
    const QImage image = view::chartImage(chart(), onScreen(), chart().devicePixelRatioF());
    view::writePictureFile(*path, view::encodedImage(image, "PNG"));
  }
}

QPrinter& PictureCommands::printer() {
  if (!m_printer) {
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  }
  return *m_printer;
}

// The platform's print dialog opens on the print options' orientation; the job is printed
// as the user leaves the dialog, turned or not. The printer's orientation of before comes
// back afterwards.
void PictureCommands::print(CommandContext& ctx) {
  const view::PrintOptions options = m_fmPrinOptions->options();
  const view::PrinterOrientation orientation(printer(), options.orientation);
  QPrintDialog dialog(&printer(), &m_window);
  dialog.setObjectName("PrintDialog1");
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  view::printChart(chart(), ctx.store, printer(), options, onScreen());
}

// The preview draws through the print path on the printer's own page, set up as for
// printing: what it shows is what the printer gets, also after the user turns the page in
// the preview.
void PictureCommands::preview(CommandContext& ctx) {
  const view::PrinterOrientation orientation(printer(), m_fmPrinOptions->options().orientation);
  QPrintPreviewDialog dialog(&printer(), &m_window);
  dialog.setObjectName("PrintPreview");
  std::string failure;
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [this, &ctx, &failure](QPrinter* target) {
                     // An error must not cross the dialog's event loop: it is shown after.
                     try {
                       view::printChart(chart(), ctx.store, *target, m_fmPrinOptions->options(),
                                        onScreen());
                     } catch (const std::exception& e) {
                       if (failure.empty()) {
                         failure = e.what();
                       }
                     }
                   });
  dialog.exec();
  if (!failure.empty()) {
    throw Error(failure);
  }
}

void PictureCommands::install(const std::shared_ptr<PictureCommands>& self) {
  CommandMap& map = m_window.commands();
  map.add("SaveaBitmap1", [self](CommandContext&) { self->saveBitmap(); });
  map.add("CopytoClipboardBMP1", [self](CommandContext&) { self->copyBitmap(); });
  map.add("SaveaMetafile1", [self](CommandContext&) { self->saveSvg(); });
  map.add("CopytoClipboard1", [self](CommandContext&) { self->copySvg(); });
  map.add("SaveaPdf1", [self](CommandContext&) { self->savePdf(); });
  map.add("SaveaPng1", [self](CommandContext&) { self->savePng(); });
  map.add("PrintOption1", [self](CommandContext&) {
    view::PrintOptions options = self->m_fmPrinOptions->options();
    self->m_fmPrinOptions->run(options);
  });
  map.add("Print1", [self](CommandContext& ctx) { self->print(ctx); });
  map.add("PrintPreview1", [self](CommandContext& ctx) { self->preview(ctx); });
  map.add("About1", [self](CommandContext&) { self->m_fmAboutChart->exec(); });

  // The added picture items follow the listed ones: offered only while graphs exist.
  if (auto* file1 = m_window.findChild<QMenu*>("File1")) {
    QObject::connect(file1, &QMenu::aboutToShow, file1, [this] {
      const bool any = !m_window.store().empty();
      for (const char* name : {"SaveaPdf1", "SaveaPng1", "PrintPreview1"}) {
        if (auto* action = m_window.findChild<QAction*>(name)) {
          action->setEnabled(any);
        }
      }
    });
  }
}

}  // namespace

void installPictureActions(TfmChart& window) {
  auto commands = std::make_shared<PictureCommands>(window);
  commands->install(commands);
}

}  // namespace tarvik::app
