#pragma once
// The association store of a freedesktop desktop, for the current user:
//  - an extension's key is the default application of its MIME type that the desktop
//    follows: the "[Default Applications]" entry of the first default-application list
//    that names the type, in the desktop's lookup order (a current desktop's own list
//    before the general one, the user's before the system's). It is written into the
//    user's list that takes effect (the desktop's own list when that one names the type,
//    else $XDG_CONFIG_HOME/mimeapps.list). The program's own desktop entry reads and
//    writes as the class name "Tarvik.file", any other value (a list of desktop ids) as
//    it stands;
//  - an extension's Old_Key is the key of that extension in the settings file's section
//    "Old_Key";
//  - the class tree becomes, when the store is finished, the desktop entry
//    $XDG_DATA_HOME/applications/tarvik.desktop (Exec: the program's path and %F), the
//    shared-mime-info package $XDG_DATA_HOME/mime/packages/tarvik.xml declaring the
//    program's own types, and the icon in the user's icon theme folder; then the desktop's
//    caches are rebuilt by update-mime-database and update-desktop-database where they
//    are installed.
// The open service stands for the shell's "open" verb; the "print" verb has no
// counterpart in a desktop entry and is kept only in the tree's description.
#include <QSettings>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include "io/DesktopAssociationFiles.h"
#include "io/FileAssociations.h"

namespace tarvik::app {

struct DesktopFolders {
  QString dataHome;    // $XDG_DATA_HOME, or ~/.local/share
  QString configHome;  // $XDG_CONFIG_HOME, or ~/.config
  // Where the system's default-application lists are, and the current desktops, lowercased
  // ($XDG_CONFIG_DIRS, $XDG_DATA_DIRS, $XDG_CURRENT_DESKTOP); none unless given.
  QStringList configDirs{};
  QStringList dataDirs{};
  QStringList desktops{};
  // The folders of the current environment; a variable that is unset, empty or not an
  // absolute path gives the default below the home folder (or the system's folders).
  static DesktopFolders fromEnvironment();
  io::MimeAppsFolders mimeApps() const;
};

class DesktopAssociationStore final : public io::AssociationStore {
 public:
  // `settings` keeps the Old_Key section; `iconResource` is the program's SVG icon, copied
  // into the user's icon theme as "tarvik.svg" when no such file is there.
  DesktopAssociationStore(DesktopFolders folders, QSettings& settings,
                          QString iconResource = QStringLiteral(":/icons/tarvik.svg"));

  bool keyExists(const std::string& key) const override;
  std::optional<std::string> defaultValue(const std::string& key) const override;
  bool createKey(const std::string& key) override;
  bool setDefaultValue(const std::string& key, const std::string& value) override;
  bool deleteKey(const std::string& key) override;
  void finish() override;

  // False when one of the user's default-application lists is there but cannot be read:
  // the store then changes no extension's key (it would replace the list as if it were
  // empty, or could not tell which list takes effect).
  bool mimeAppsReadable() const;
  // The first of the user's lists that cannot be read (empty when all can).
  QString unreadableMimeAppsPath() const;
  // Replaces the reading of the default-application list (tests make it fail).
  void setMimeAppsReader(std::function<io::MimeAppsRead(const std::string&)> reader) {
    m_readMimeApps = std::move(reader);
  }

  // The user's general default-application list, $XDG_CONFIG_HOME/mimeapps.list.
  QString mimeAppsPath() const;
  QString desktopEntryPath() const;
  QString mimePackagePath() const;
  QString iconPath() const;

 private:
  enum class KeyKind { Extension, OldKey, ClassTree, Other };
  struct Key {
    KeyKind kind = KeyKind::Other;
    std::string extension;  // of an Extension or OldKey key
  };
  Key classify(const std::string& key) const;
  io::MimeAppsLists mimeAppsLists() const;

  std::optional<std::string> mimeAppsValue(const std::string& extension) const;
  bool writeMimeAppsValue(const std::string& extension, const std::optional<std::string>& value);
  bool writeDesktopFiles();
  void installIcon();

  DesktopFolders m_folders;
  QSettings& m_settings;
  QString m_iconResource;
  std::map<std::string, std::string> m_tree;  // the class tree written since the last finish
  std::set<std::string> m_created;            // keys made but not yet given a value
  std::function<io::MimeAppsRead(const std::string&)> m_readMimeApps = io::readMimeAppsFile;
};

// Runs update-mime-database and update-desktop-database on the user's folders below
// `dataHome`, each only when it is installed; started with an argument list, no shell,
// their output dropped. Waits for each at most a few seconds.
void refreshDesktopDatabases(const QString& dataHome);

}  // namespace tarvik::app
