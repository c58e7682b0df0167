#pragma once
// The recent files of the File menu: "Последние файлы", the last files opened by any way
// (the open dialog, the command line, a drop, the open service), newest first, kept in
// the settings file's section "Recent".
#include <QObject>
#include <QStringList>
#include <string>
#include <vector>

class QMenu;
class QSettings;

namespace tarvik::app {

class TfmChart;

// The list itself: full paths, newest first, each once, at most kLimit.
class RecentList {
 public:
  static constexpr qsizetype kLimit = 10;

  // Puts `path` first (moving it there when it is already listed) and drops the oldest
  // beyond the limit.
  void add(const QString& path);
  // False when `path` was not listed.
  bool remove(const QString& path);
  void clear() { m_paths.clear(); }
  const QStringList& paths() const { return m_paths; }

  // Section "Recent": keys File1 (newest) to File10. Empty values and repeats are skipped
  // on reading, and no more than the limit are kept.
  void read(QSettings& settings);
  void write(QSettings& settings) const;

 private:
  QStringList m_paths;
};

// The submenu `mnRecent` of the window's File menu, right after its open item, and the
// list behind it. Choosing an entry opens that file; one that is gone is dropped from the
// list and the open failure message shown. "Очистить список" ends the submenu.
class RecentFiles : public QObject {
  Q_OBJECT
 public:
  explicit RecentFiles(TfmChart& window);

  const QStringList& paths() const { return m_list.paths(); }
  QMenu* menu() const { return m_menu; }
  // Records those of `paths` that name existing files, in order (so the last is newest).
  void noteOpened(const std::vector<std::string>& paths);
  void clear();

 private:
  void openEntry(const QString& path);
  void rebuildMenu();
  void save();

  TfmChart& m_window;
  RecentList m_list;
  QMenu* m_menu = nullptr;
};

// The window's recent files (created by installRecentFiles), or nullptr.
RecentFiles* recentFilesOf(const TfmChart& window);

// Opens `paths` in the window as one command, as the open command does after its dialog,
// and records them among the recent files. False when a file could not be read.
bool openFilesInWindow(TfmChart& window, const std::vector<std::string>& paths);
// "Read graph file" for `path` as one command (the open service's way), recorded the same.
bool readGraphFileInWindow(TfmChart& window, const std::string& path);

}  // namespace tarvik::app
