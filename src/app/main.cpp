// The desktop program: the main window on the graph store, with Qt's own dialogs and
// buttons in Russian like the rest of the interface.
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstring>

#include "app/ChartMy.h"
#include "app/OpenService.h"
#include "app/Recovery.h"

int main(int argc, char** argv) {
  // "--version" answers before any window system is needed, so that an installed copy can
  // be checked from a script.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("tarvik %s\n", TARVIK_VERSION);
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(":/icons/tarvik.svg"));

  QTranslator qtTranslator;
  if (qtTranslator.load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslator);
  }

  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  // A window of this desktop session already runs: it opens the files, and this start
  // ends. Files it did not take are opened here, every one, in order.
  const QString service = tarvik::app::openServiceName();
  const QStringList remaining = tarvik::app::handOverCommandLine(service, arguments);
  if (!arguments.isEmpty() && remaining.isEmpty()) {
    return 0;
  }
  tarvik::app::TfmChart window(remaining);
  window.show();
  tarvik::app::startWindowOpenService(window, service);
  // Copies of the graphs left behind by windows that crashed or were killed.
  window.recovery().offerLeftovers();
  return QApplication::exec();
}
