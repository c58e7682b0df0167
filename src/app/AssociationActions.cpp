// The window's file associations: "Ассоциация файлов..." (N38) over the desktop's own store,
// the Old_Key backups kept in the settings file.
#include "app/AssociationActions.h"

#include <QCoreApplication>

#include "app/ChartMy.h"
#include "app/DesktopAssociations.h"
#include "app/WindowActions.h"
#include "dialogs/ChartExt.h"
#include "io/DesktopAssociationFiles.h"

namespace tarvik::app {

void runFileAssociations(dialogs::TfmFileAssoc& dialog, io::AssociationStore& store,
                         const std::string& executablePath) {
  dialog.setOnActivate(
      [&dialog, &store] { dialog.setStates(io::shownAssociations(store, dialog.states())); });
  dialog.exec();
  dialog.setOnActivate({});
  io::applyAssociations(store, dialog.states(), executablePath);
}

void installAssociationActions(TfmChart& window) {
  auto* dialog = window.findChild<dialogs::TfmFileAssoc*>(QString(), Qt::FindDirectChildrenOnly);
  window.commands().add("N38", [&window, dialog](CommandContext& ctx) {
    DesktopAssociationStore store(DesktopFolders::fromEnvironment(),
                                  window.settingsFile().settings());
    // A list that cannot be read would show wrong boxes and, once written, lose every
    // other program's defaults: the command stops before the dialog and writes nothing.
    if (!store.mimeAppsReadable()) {
      ctx.ui.message(MessageKind::Error,
                     io::mimeAppsUnreadableText(store.unreadableMimeAppsPath().toStdString()));
      return;
    }
    runFileAssociations(*dialog, store, QCoreApplication::applicationFilePath().toStdString());
  });
}

}  // namespace tarvik::app
