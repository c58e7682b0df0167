// The desktop program: the main window on the graph store, with Qt's own dialogs and
// buttons in Russian like the rest of the interface.
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/ChartMy.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(":/icons/tarvik.svg"));

  QTranslator qtTranslator;
  if (qtTranslator.load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslator);
  }

  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  tarvik::app::TfmChart window(arguments);
  window.show();
  return QApplication::exec();
}
