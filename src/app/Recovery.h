#pragma once
// Crash recovery: while the window runs, its document is kept as a session file in the
// user's data folder, written in the background after changes, so a crash, a kill or a
// power cut costs at most the last half minute of work. A clean close removes the copy.
//
// Layout: "<data folder>/recovery/" holds one folder per running window ("window-<pid>",
// with "-2", "-3", ... when that name is taken) and beside it that folder's lock file
// ("window-<pid>.lock", a QLockFile held while the window lives). The window's copy is
// "session.h5" inside its folder; the temporary file of a write in progress lives there
// too, so a copy whose write was killed leaves its temporary in a folder that is removed
// whole. A folder whose lock is stale (its process is gone) was left behind by a crash;
// the next start offers its copy and then removes the folder.
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/DocumentState.h"

namespace tarvik::app {

class TfmChart;

// A folder left behind by a window that did not close normally, claimed by this process
// (its lock is held) until it is dealt with.
struct RecoveryLeftover {
  QString folder;       // the window's folder
  QString sessionPath;  // its copy, "session.h5"; may be missing
  qint64 modifiedMs = 0;
  std::unique_ptr<QLockFile> lock;
};

// The name of a window's copy inside its folder.
inline constexpr const char* kRecoverySessionName = "session.h5";
// The question of a start that finds a copy left behind.
inline constexpr const char* kRecoveryQuestion = "Восстановить графики прошлого сеанса?";

// "<user data folder>/recovery": the data folder follows XDG_DATA_HOME as the value
// history's does, so tests that set it never touch the user's own folder.
QString defaultRecoveryFolder();

// Claims the window folders under `recoveryFolder` whose owners are gone (their locks are
// stale or missing), newest copy first. Folders of live windows, this process's included,
// are left alone. Folders without a copy (a crash before the first write) are removed at
// once and not returned.
std::vector<RecoveryLeftover> claimLeftovers(const QString& recoveryFolder);

// Removes a claimed folder with everything in it and releases its lock.
void discardLeftover(RecoveryLeftover& leftover);

class RecoveryKeeper : public QObject {
  Q_OBJECT
 public:
  // At most one copy every 30 s.
  static constexpr int kDefaultIntervalMs = 30000;

  // Starts the timer; the window's folder under `recoveryFolder` is taken with its first
  // copy.
  explicit RecoveryKeeper(TfmChart& window,
                          const QString& recoveryFolder = defaultRecoveryFolder());
  ~RecoveryKeeper() override;

  // How often the document is looked at (tests shorten it).
  void setIntervalMs(int ms);

  // This window's folder and its copy; empty before the first copy.
  const QString& folder() const { return m_folder; }
  QString sessionPath() const;
  bool writing() const { return m_worker.joinable(); }
  // The message of the last write that failed; empty after a success.
  const QString& lastError() const { return m_lastError; }

  // One look at the document: when no command runs and no write is under way, and the
  // document differs from the copy last written, a new copy is started on a worker
  // thread. A document without graphs keeps no copy (the old one is removed).
  void saveIfChanged();

  // The clean end: waits for a write under way, removes this window's folder and lock,
  // and stops looking. Called when the window closes normally; later calls do nothing.
  void endCleanly();

  // Offers the copies left behind by windows that did not close, newest first, with the
  // question kRecoveryQuestion: Yes loads that copy into this window (graphs the window
  // already shows stay after the recovered ones) and asks no more, so older copies wait
  // for a later start; No removes that copy and goes on to the next. A copy that cannot be
  // read is reported briefly and removed.
  void offerLeftovers();

 signals:
  // A background write ended; `ok` false when it failed (lastError() says why).
  void copyWritten(bool ok);

 private:
  bool takeOwnFolder();
  void startWrite(DocumentState state);
  void finishWrite(bool ok, const QString& error);
  void removeCopy();
  bool offerOne(RecoveryLeftover& leftover);

  TfmChart& m_window;
  QString m_recoveryFolder;
  QString m_folder;
  std::unique_ptr<QLockFile> m_lock;
  QTimer m_timer;
  std::thread m_worker;
  DocumentState m_lastWritten;  // what the copy on disk holds
  DocumentState m_inFlight;     // what the write under way holds
  QString m_lastError;
  bool m_ended = false;
};

}  // namespace tarvik::app
