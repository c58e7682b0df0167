#include "app/RecentFiles.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QTimer>

#include "app/ChartMy.h"
#include "app/WindowActions.h"
#include "io/FileCommands.h"

namespace tarvik::app {

namespace {

const QString kSection = "Recent";
constexpr const char* kMenuName = "mnRecent";

QString fromLocalPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// The window's port with the open dialog's answer kept: the open command chooses its files
// inside, and they are recorded once it has read them.
class OpenDialogRecorder final : public Ui {
 public:
  explicit OpenDialogRecorder(Ui& ui) : m_ui(ui) {}
  const std::vector<std::string>& chosen() const { return m_chosen; }

  std::optional<std::vector<std::string>> askOpenFiles(const FileDialogRequest& r) override {
    auto paths = m_ui.askOpenFiles(r);
    if (paths) {
      m_chosen.insert(m_chosen.end(), paths->begin(), paths->end());
    }
    return paths;
  }
  std::optional<std::vector<int>> chooseEntries(const GraphChoiceRequest& request) override {
    return m_ui.chooseEntries(request);
  }
  std::optional<std::string> askValueText(const std::string& caption) override {
    return m_ui.askValueText(caption);
  }
  bool editOptions(DialogOptions& options) override { return m_ui.editOptions(options); }
  void message(MessageKind kind, const std::string& text) override { m_ui.message(kind, text); }
  bool question(const std::string& text) override { return m_ui.question(text); }
  std::optional<std::string> askSaveFile(const FileDialogRequest& r) override {
    return m_ui.askSaveFile(r);
  }
  void rememberFolder(const std::string& folder) override { m_ui.rememberFolder(folder); }
  std::optional<Rgb> askColour() override { return m_ui.askColour(); }
  void progress(const std::string& text) override { m_ui.progress(text); }
  void setBusy(bool busy) override { m_ui.setBusy(busy); }
  char decimalSeparator() const override { return m_ui.decimalSeparator(); }

 private:
  Ui& m_ui;
  std::vector<std::string> m_chosen;
};

// Runs `read` as one command of the window and records `paths` afterwards, whatever the
// outcome: noteOpened keeps only the files that exist.
bool runRecorded(TfmChart& window, const std::vector<std::string>& paths,
                 const std::function<bool(CommandContext&)>& read) {
  bool allRead = false;
  window.runGuarded([&](CommandContext& ctx) { allRead = read(ctx); }, QStringLiteral("Открыть"));
  if (RecentFiles* recent = recentFilesOf(window)) {
    recent->noteOpened(paths);
  }
  return allRead;
}

}  // namespace

void RecentList::add(const QString& path) {
  m_paths.removeAll(path);
  m_paths.prepend(path);
  while (m_paths.size() > kLimit) {
    m_paths.removeLast();
  }
}

bool RecentList::remove(const QString& path) { return m_paths.removeAll(path) > 0; }

void RecentList::read(QSettings& settings) {
  m_paths.clear();
  settings.beginGroup(kSection);
  for (qsizetype i = 1; i <= kLimit; ++i) {
    const QString path = settings.value(QString("File%1").arg(i)).toString();
    if (!path.isEmpty() && !m_paths.contains(path)) {
      m_paths.append(path);
    }
  }
  settings.endGroup();
}

void RecentList::write(QSettings& settings) const {
  settings.remove(kSection);
  settings.beginGroup(kSection);
  for (qsizetype i = 0; i < m_paths.size(); ++i) {
    settings.setValue(QString("File%1").arg(i + 1), m_paths[i]);
  }
  settings.endGroup();
}

RecentFiles::RecentFiles(TfmChart& window) : QObject(&window), m_window(window) {
  setObjectName("RecentFiles");
  m_list.read(window.settingsFile().settings());
  auto* file1 = window.findChild<QMenu*>("File1");
  QAction* open1 = window.findChild<QAction*>("Open1");
  m_menu = new QMenu("Последние файлы", file1);
  m_menu->setObjectName(kMenuName);
  m_menu->menuAction()->setObjectName(kMenuName);
  if (file1 != nullptr) {
    const QList<QAction*> items = file1->actions();
    const qsizetype at = items.indexOf(open1);
    QAction* before = (at >= 0 && at + 1 < items.size()) ? items[at + 1] : nullptr;
    file1->insertMenu(before, m_menu);
  }
  rebuildMenu();
}

void RecentFiles::noteOpened(const std::vector<std::string>& paths) {
  bool changed = false;
  for (const std::string& path : paths) {
    const QFileInfo file(fromLocalPath(path));
    if (file.isFile()) {
      m_list.add(file.absoluteFilePath());
      changed = true;
    }
  }
  if (changed) {
    save();
  }
}

void RecentFiles::clear() {
  m_list.clear();
  save();
}

void RecentFiles::openEntry(const QString& path) {
  const std::string localPath = QFile::encodeName(path).toStdString();
  if (!QFileInfo(path).isFile() && m_list.remove(path)) {
    save();  // gone: reading it below shows the open failure message
  }
  openFilesInWindow(m_window, {localPath});
}

void RecentFiles::rebuildMenu() {
  m_menu->clear();
  const QStringList& paths = m_list.paths();
  for (qsizetype i = 0; i < paths.size(); ++i) {
    QString text = paths[i];
    text.replace('&', "&&");
    QAction* item = m_menu->addAction(QString("&%1 %2").arg((i + 1) % 10).arg(text));
    item->setData(paths[i]);
    const QString path = paths[i];
    // Opened once the menu has closed: the list, and this item with it, is rebuilt then.
    connect(item, &QAction::triggered, this,
            [this, path] { QTimer::singleShot(0, this, [this, path] { openEntry(path); }); });
  }
  m_menu->addSeparator();
  QAction* clearItem = m_menu->addAction("Очистить список");
  clearItem->setObjectName("mnRecentClear");
  clearItem->setEnabled(!paths.isEmpty());
  connect(clearItem, &QAction::triggered, this,
          [this] { QTimer::singleShot(0, this, &RecentFiles::clear); });
}

void RecentFiles::save() {
  QSettings& settings = m_window.settingsFile().settings();
  m_list.write(settings);
  settings.sync();
  rebuildMenu();
}

RecentFiles* recentFilesOf(const TfmChart& window) {
  return window.findChild<RecentFiles*>("RecentFiles", Qt::FindDirectChildrenOnly);
}

bool openFilesInWindow(TfmChart& window, const std::vector<std::string>& paths) {
  return runRecorded(window, paths,
                     [&paths](CommandContext& ctx) { return openFiles(ctx, paths); });
}

bool readGraphFileInWindow(TfmChart& window, const std::string& path) {
  return runRecorded(window, {path},
                     [&path](CommandContext& ctx) { return readGraphFile(ctx, path); });
}

void installRecentFiles(TfmChart& window) {
  auto* recent = new RecentFiles(window);
  // The open command's files are known only inside it: record what its dialog chose.
  for (const char* name : {"Open1", "btnOpen"}) {
    const CommandMap::Handler* open = window.commands().find(name);
    if (open == nullptr) {
      continue;
    }
    window.commands().add(name, [recent, open = *open](CommandContext& ctx) {
      OpenDialogRecorder recorder(ctx.ui);
      CommandContext recorded{ctx.store, recorder};
      try {
        open(recorded);
      } catch (...) {
        recent->noteOpened(recorder.chosen());  // the files read before the error stay open
        throw;
      }
      recent->noteOpened(recorder.chosen());
    });
  }
}

}  // namespace tarvik::app
