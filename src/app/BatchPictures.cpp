// The batch runner's picture commands, drawn by the window's own chart offscreen: the
// session's graphs, texts, colours and view go into a fresh chart of the size asked for,
// which then draws itself into the file as the window's chart draws itself on screen.
#include <QApplication>
#include <QFileInfo>
#include <QString>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "batch/BatchSession.h"
#include "batch/PictureCommands.h"
#include "core/Error.h"
#include "view/ChartPicture.h"
#include "view/ChartView.h"
#include "view/PrintLayout.h"

namespace tarvik::batch {

namespace {

// The size a picture gets without width= and height=, and the "on-screen" size the print
// path lays the chart out at.
constexpr int kDefaultWidth = 1000;
constexpr int kDefaultHeight = 600;
// Larger pictures are refused before anything is allocated.
constexpr int kMaxSide = 10000;

// The runner's standard error carries its own messages only: the toolkit's notes (a
// missing runtime folder, a painter that could not start) are dropped; its failures show
// as the command's error.
void quietToolkitMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
}

// The application object the chart needs, made on first use with the offscreen platform:
// a batch run never opens a window.
void ensureApplication() {
  if (QCoreApplication::instance() != nullptr) {
    return;
  }
  qInstallMessageHandler(quietToolkitMessages);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tarvik-batch";
  static char* argv[] = {name, nullptr};
  // Kept until the process ends; reachable, never destroyed behind the runner's back.
  static QApplication* application = new QApplication(argc, argv);
  (void)application;
  // The application object takes the user's locale for everything; the runner's own number
  // output stays in the "C" form.
  std::setlocale(LC_NUMERIC, "C");
}

// A chart drawing the session's store at `size`, with the session's view.
class OffscreenChartView {
 public:
  OffscreenChartView(BatchSession& s, QSize size) {
    m_chart.setAttribute(Qt::WA_DontShowOnScreen);
    m_chart.setDecimalSeparator(s.ui.decimalSeparator());
    m_chart.resize(size);
    m_chart.setStore(&s.store);
    m_chart.show();  // takes the size and lays the legend out for it
    m_chart.applyView(s.chart.view());
    m_chart.legendRelayout();
  }
  ~OffscreenChartView() { m_chart.setStore(nullptr); }
  OffscreenChartView(const OffscreenChartView&) = delete;
  OffscreenChartView& operator=(const OffscreenChartView&) = delete;

  view::ChartView& chart() { return m_chart; }

 private:
  bool m_applicationReady = (ensureApplication(), true);  // before the chart is made
  view::ChartView m_chart;
};

int sideArg(const BatchArgs& a, const std::string& name, int fallback) {
  if (!a.has(name)) {
    return fallback;
  }
  const int value = integerArg(a, name);
  if (value < 1 || value > kMaxSide) {
    throw UsageError(a.command + ": " + name + "= must lie between 1 and " +
                     std::to_string(kMaxSide));
  }
  return value;
}

std::string fileArg(const BatchArgs& a) {
  const std::optional<std::string> file = a.get("file");
  if (!file || file->empty()) {
    throw UsageError(a.command + ": file= is required");
  }
  return *file;
}

QString documentTitle(const GraphStore& store) {
  QStringList lines;
  for (const std::string& line : store.titleLines) {
    lines << QString::fromStdString(line);
  }
  const QString title = lines.join(QLatin1Char(' ')).trimmed();
  return title.isEmpty() ? QStringLiteral("График") : title;
}

void runPicture(BatchSession& s, const BatchArgs& a) {
  const std::string path = fileArg(a);
  const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
  if (suffix != "bmp" && suffix != "png" && suffix != "svg" && suffix != "pdf") {
    throw UsageError(a.command + ": file= must end in .bmp, .png, .svg or .pdf");
  }
  const QSize size(sideArg(a, "width", kDefaultWidth), sideArg(a, "height", kDefaultHeight));
  OffscreenChartView view(s, size);
  QByteArray bytes;
  if (suffix == "svg") {
    bytes = view::chartSvg(view.chart(), size, documentTitle(s.store));
  } else if (suffix == "pdf") {
    bytes = view::chartPdf(view.chart(), size, documentTitle(s.store));
  } else {
    const QImage image = view::chartImage(view.chart(), size, 1.0);
    bytes = view::encodedImage(image, suffix == "bmp" ? "BMP" : "PNG");
  }
  view::writePictureFile(path, bytes);
}

template <class T>
void readChoice(const BatchArgs& a, const std::string& name, const char* choices,
                std::optional<T> (*parse)(std::string_view), T& field) {
  if (const auto text = a.get(name)) {
    const std::optional<T> value = parse(*text);
    if (!value) {
      throw UsageError(a.command + ": " + name + "= takes " + choices + ", not \"" + *text + "\"");
    }
    field = *value;
  }
}

void runPrintPdf(BatchSession& s, const BatchArgs& a) {
  const std::string path = fileArg(a);
  // The print options persist for the run like the dialog's fields; each one given changes
  // only itself.
  view::PrintOptions& options = s.dialog<view::PrintOptions>();
  view::PrintOptions wanted = options;
  readChoice(a, "scale", "thin or screen", view::printScaleFromName, wanted.scale);
  readChoice(a, "orientation", "portrait or landscape", view::printOrientationFromName,
             wanted.orientation);
  readChoice(a, "size", "half or full", view::printPageShareFromName, wanted.share);
  options.scale = wanted.scale;
  options.orientation = wanted.orientation;
  options.share = wanted.share;
  const QSize onScreen(kDefaultWidth, kDefaultHeight);
  OffscreenChartView view(s, onScreen);
  view::writePictureFile(path, view::printedPdf(view.chart(), s.store, options, onScreen));
}

}  // namespace

void registerPictureCommands(BatchRegistry& registry) {
  registry.add(
      {"picture", "picture file=PATH [width=W height=H]", {"file", "width", "height"}, runPicture});
  registry.add({"print-pdf",
                "print-pdf file=PATH [scale=thin|screen] [orientation=portrait|landscape] "
                "[size=half|full]",
                {"file", "scale", "orientation", "size"},
                runPrintPdf});
}

}  // namespace tarvik::batch
