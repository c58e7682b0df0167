#include "app/DesktopAssociations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <utility>

#include "core/Error.h"
#include "io/AtomicFile.h"
#include "io/DesktopAssociationFiles.h"

namespace tarvik::app {

namespace {

constexpr const char* kOldKeySection = "Old_Key";
constexpr const char* kIconName = "tarvik";
constexpr int kToolTimeoutMs = 10000;

QString folderFromEnvironment(const char* variable, const QString& fallbackBelowHome) {
  const QString value = qEnvironmentVariable(variable);
  if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
    return value;
  }
  return QDir::homePath() + "/" + fallbackBelowHome;
}

QString settingsKey(const std::string& extension) {
  return QString(kOldKeySection) + "/" + QString::fromStdString(extension);
}

bool isAssociatedExtension(std::string_view text) {
  for (const std::string_view e : io::kAssociatedExtensions) {
    if (e == text) {
      return true;
    }
  }
  return false;
}

bool replaceFile(const QString& path, const std::string& text) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    return false;
  }
  try {
    AtomicFile file(path.toStdString());
    file.write(text);
    file.commit();
    return true;
  } catch (const Error&) {
    return false;
  }
}

void runTool(const QString& name, const QString& folder) {
  const QString program = QStandardPaths::findExecutable(name);
  if (program.isEmpty() || !QFileInfo(folder).isDir()) {
    return;
  }
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(program, {folder});
  if (process.waitForStarted() && !process.waitForFinished(kToolTimeoutMs)) {
    process.kill();
    process.waitForFinished();
  }
}

QStringList qStrings(const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& item : items) {
    list << QString::fromStdString(item);
  }
  return list;
}

std::vector<std::string> stdStrings(const QStringList& items) {
  std::vector<std::string> list;
  for (const QString& item : items) {
    list.push_back(item.toStdString());
  }
  return list;
}

}  // namespace

DesktopFolders DesktopFolders::fromEnvironment() {
  const io::MimeAppsFolders system = io::mimeAppsFoldersFromEnvironment();
  return {folderFromEnvironment("XDG_DATA_HOME", ".local/share"),
          folderFromEnvironment("XDG_CONFIG_HOME", ".config"), qStrings(system.configDirs),
          qStrings(system.dataDirs), qStrings(system.desktops)};
}

io::MimeAppsFolders DesktopFolders::mimeApps() const {
  return {configHome.toStdString(), stdStrings(configDirs), dataHome.toStdString(),
          stdStrings(dataDirs), stdStrings(desktops)};
}

void refreshDesktopDatabases(const QString& dataHome) {
  runTool("update-mime-database", dataHome + "/mime");
  runTool("update-desktop-database", dataHome + "/applications");
}

DesktopAssociationStore::DesktopAssociationStore(DesktopFolders folders, QSettings& settings,
                                                 QString iconResource)
    : m_folders(std::move(folders)),
      m_settings(settings),
      m_iconResource(std::move(iconResource)) {}

QString DesktopAssociationStore::mimeAppsPath() const {
  return m_folders.configHome + "/mimeapps.list";
}
QString DesktopAssociationStore::desktopEntryPath() const {
  return m_folders.dataHome + "/applications/" + QString::fromUtf8(io::kDesktopEntryId.data());
}
QString DesktopAssociationStore::mimePackagePath() const {
  return m_folders.dataHome + "/mime/packages/" + QString::fromUtf8(io::kMimePackageName.data());
}
QString DesktopAssociationStore::iconPath() const {
  return m_folders.dataHome + "/icons/hicolor/scalable/apps/" + kIconName + ".svg";
}

DesktopAssociationStore::Key DesktopAssociationStore::classify(const std::string& key) const {
  if (isAssociatedExtension(key)) {
    return {KeyKind::Extension, key};
  }
  const std::size_t slash = key.find('\\');
  if (slash != std::string::npos && isAssociatedExtension(key.substr(0, slash)) &&
      key.substr(slash + 1) == io::kOldKey) {
    return {KeyKind::OldKey, key.substr(0, slash)};
  }
  const std::string root(io::kAssociationClass);
  if (key == root || key.rfind(root + "\\", 0) == 0) {
    return {KeyKind::ClassTree, {}};
  }
  return {};
}

io::MimeAppsLists DesktopAssociationStore::mimeAppsLists() const {
  return io::MimeAppsLists(m_folders.mimeApps(), m_readMimeApps);
}

bool DesktopAssociationStore::mimeAppsReadable() const {
  return !mimeAppsLists().unreadableUserList().has_value();
}

QString DesktopAssociationStore::unreadableMimeAppsPath() const {
  const std::optional<std::string> path = mimeAppsLists().unreadableUserList();
  return path ? QString::fromStdString(*path) : QString();
}

std::optional<std::string> DesktopAssociationStore::mimeAppsValue(
    const std::string& extension) const {
  const io::MimeAppsLists lists = mimeAppsLists();
  if (lists.unreadableUserList()) {
    return std::nullopt;
  }
  return lists.effectiveDefault(io::mimeTypeOfExtension(extension));
}

bool DesktopAssociationStore::writeMimeAppsValue(const std::string& extension,
                                                 const std::optional<std::string>& value) {
  const io::MimeAppsLists lists = mimeAppsLists();
  if (lists.unreadableUserList()) {
    return false;  // the defaults of every other program are in there
  }
  const std::string type = io::mimeTypeOfExtension(extension);
  std::vector<io::MimeAppsEdit> edits;
  if (value) {
    if (std::optional<io::MimeAppsEdit> edit = lists.settingDefault(type, *value)) {
      edits.push_back(std::move(*edit));
    }
  } else {
    edits = lists.removingDefault(type, io::kDesktopEntryId);
  }
  bool written = !edits.empty();
  for (const io::MimeAppsEdit& edit : edits) {
    written = replaceFile(QString::fromStdString(edit.path), edit.text) && written;
  }
  return written;
}

bool DesktopAssociationStore::keyExists(const std::string& key) const {
  const Key k = classify(key);
  switch (k.kind) {
    case KeyKind::Extension:
      return m_created.count(key) != 0 || mimeAppsValue(k.extension).has_value();
    case KeyKind::OldKey:
      return m_created.count(key) != 0 || m_settings.contains(settingsKey(k.extension));
    case KeyKind::ClassTree:
      return m_created.count(key) != 0 || m_tree.count(key) != 0;
    case KeyKind::Other:
      break;
  }
  return false;
}

std::optional<std::string> DesktopAssociationStore::defaultValue(const std::string& key) const {
  const Key k = classify(key);
  if (k.kind == KeyKind::Extension) {
    std::optional<std::string> value = mimeAppsValue(k.extension);
    if (value && io::firstDesktopId(*value) == io::kDesktopEntryId) {
      return std::string(io::kAssociationClass);
    }
    return value;
  }
  if (k.kind == KeyKind::OldKey) {
    const QString name = settingsKey(k.extension);
    if (!m_settings.contains(name)) {
      return std::nullopt;
    }
    return m_settings.value(name).toString().toStdString();
  }
  if (k.kind == KeyKind::ClassTree) {
    const auto it = m_tree.find(key);
    if (it != m_tree.end()) {
      return it->second;
    }
  }
  return std::nullopt;
}

bool DesktopAssociationStore::createKey(const std::string& key) {
  if (classify(key).kind == KeyKind::Other) {
    return false;
  }
  if (!keyExists(key)) {
    m_created.insert(key);
  }
  return true;
}

bool DesktopAssociationStore::setDefaultValue(const std::string& key, const std::string& value) {
  const Key k = classify(key);
  if (k.kind == KeyKind::Other || !keyExists(key)) {
    return false;
  }
  bool written = true;
  if (k.kind == KeyKind::Extension) {
    const std::string listed =
        value == io::kAssociationClass ? std::string(io::kDesktopEntryId) + ";" : value;
    written = writeMimeAppsValue(k.extension, listed);
  } else if (k.kind == KeyKind::OldKey) {
    m_settings.setValue(settingsKey(k.extension), QString::fromStdString(value));
    m_settings.sync();
    written = m_settings.status() == QSettings::NoError;
  } else {
    m_tree[key] = value;
  }
  if (written) {
    m_created.erase(key);
  }
  return written;
}

bool DesktopAssociationStore::deleteKey(const std::string& key) {
  const Key k = classify(key);
  if (!keyExists(key)) {
    return false;
  }
  if (k.kind == KeyKind::Extension && !mimeAppsReadable()) {
    return false;  // nothing goes, not even the Old_Key, when the key itself cannot
  }
  m_created.erase(key);
  if (k.kind == KeyKind::Extension) {
    // The extension's key goes with its Old_Key, as a key goes with its subkeys.
    m_settings.remove(settingsKey(k.extension));
    m_settings.sync();
    m_created.erase(io::oldKeyOf(k.extension));
    return writeMimeAppsValue(k.extension, std::nullopt);
  }
  if (k.kind == KeyKind::OldKey) {
    m_settings.remove(settingsKey(k.extension));
    m_settings.sync();
    return true;
  }
  for (auto it = m_tree.begin(); it != m_tree.end();) {
    it = it->first == key || it->first.rfind(key + "\\", 0) == 0 ? m_tree.erase(it) : ++it;
  }
  return true;
}

void DesktopAssociationStore::finish() {
  if (writeDesktopFiles()) {
    installIcon();
    refreshDesktopDatabases(m_folders.dataHome);
  }
  m_tree.clear();
  m_created.clear();
}

bool DesktopAssociationStore::writeDesktopFiles() {
  const std::string root(io::kAssociationClass);
  const auto comment = m_tree.find(root);
  const auto command = m_tree.find(root + "\\shell\\open\\command");
  if (comment == m_tree.end() || command == m_tree.end()) {
    return false;
  }
  io::DesktopEntryFields fields;
  fields.name = "Tarvik";
  fields.comment = comment->second;
  fields.executablePath = command->second;
  fields.icon = kIconName;
  for (const std::string_view extension : io::kAssociatedExtensions) {
    fields.mimeTypes.push_back(io::mimeTypeOfExtension(extension));
  }
  for (const io::ScopeFileType& scope : io::kScopeFileTypes) {
    fields.mimeTypes.emplace_back(scope.mimeType);
  }
  const std::optional<std::string> entry = io::desktopEntryText(fields);
  const bool packageWritten =
      replaceFile(mimePackagePath(), io::mimePackageText(comment->second, kIconName));
  const bool entryWritten = entry.has_value() && replaceFile(desktopEntryPath(), *entry);
  return packageWritten || entryWritten;
}

void DesktopAssociationStore::installIcon() {
  if (QFileInfo::exists(iconPath())) {
    return;
  }
  QFile icon(m_iconResource);
  if (icon.open(QIODevice::ReadOnly)) {
    replaceFile(iconPath(), icon.readAll().toStdString());
  }
}

}  // namespace tarvik::app
