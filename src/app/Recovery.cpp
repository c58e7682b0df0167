#include "app/Recovery.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>
#include <algorithm>
#include <exception>

#include "app/ChartMy.h"
#include "app/GuiUi.h"
#include "app/WindowActions.h"
#include "io/SessionFile.h"
#include "io/UserFolders.h"

namespace tarvik::app {

namespace {

constexpr const char* kUnreadableCopy = "Копия графиков прошлого сеанса не читается и удалена.";
constexpr const char* kNewerCopy =
    "Копия графиков прошлого сеанса записана более новой версией программы и оставлена для "
    "неё.";
constexpr const char* kCopyNotWritten = "Копия графиков для восстановления не записана: ";
constexpr int kMaxWindowsPerProcess = 1000;

// A lock that only a dead owner makes stale: a live window keeps its copy however long
// it has been since the lock was taken.
std::unique_ptr<QLockFile> ownerLock(const QString& folder) {
  auto lock = std::make_unique<QLockFile>(folder + ".lock");
  lock->setStaleLockTime(0);
  return lock;
}

// The recovered graphs first; graphs the window already shows (a file named on the
// command line) follow them and the active one stays active.
DocumentState withOpenGraphs(DocumentState recovered, const DocumentState& open) {
  if (open.graphs.empty()) {
    return recovered;
  }
  const int offset = static_cast<int>(recovered.graphs.size());
  recovered.graphs.insert(recovered.graphs.end(), open.graphs.begin(), open.graphs.end());
  recovered.sourceFiles.resize(static_cast<std::size_t>(offset));
  recovered.sourceFiles.insert(recovered.sourceFiles.end(), open.sourceFiles.begin(),
                               open.sourceFiles.end());
  recovered.sourceFiles.resize(recovered.graphs.size());
  if (open.active >= 0) {
    recovered.active = offset + open.active;
  }
  recovered.unnamedCounter = std::max(recovered.unnamedCounter, open.unnamedCounter);
  return recovered;
}

}  // namespace

QString defaultRecoveryFolder() {
  return QString::fromStdString(io::userDataFolder()) + "/recovery";
}

std::vector<RecoveryLeftover> claimLeftovers(const QString& recoveryFolder) {
  std::vector<RecoveryLeftover> leftovers;
  const QFileInfoList folders =
      QDir(recoveryFolder).entryInfoList({"window-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QFileInfo& folder : folders) {
    RecoveryLeftover leftover;
    leftover.folder = folder.absoluteFilePath();
    leftover.lock = ownerLock(leftover.folder);
    // A live window holds its lock; so does another start dealing with the same folder.
    if (!leftover.lock->tryLock(0)) {
      continue;
    }
    leftover.sessionPath = leftover.folder + "/" + kRecoverySessionName;
    const QFileInfo copy(leftover.sessionPath);
    if (!copy.isFile()) {
      discardLeftover(leftover);  // ended before its first copy: nothing to offer
      continue;
    }
    leftover.modifiedMs = copy.lastModified().toMSecsSinceEpoch();
    leftovers.push_back(std::move(leftover));
  }
  std::stable_sort(leftovers.begin(), leftovers.end(),
                   [](const RecoveryLeftover& a, const RecoveryLeftover& b) {
                     return a.modifiedMs > b.modifiedMs;
                   });
  return leftovers;
}

void discardLeftover(RecoveryLeftover& leftover) {
  QDir(leftover.folder).removeRecursively();
  if (leftover.lock) {
    leftover.lock->unlock();
  }
}

RecoveryKeeper::RecoveryKeeper(TfmChart& window, const QString& recoveryFolder)
    : m_window(window), m_recoveryFolder(recoveryFolder) {
  m_timer.setInterval(kDefaultIntervalMs);
  connect(&m_timer, &QTimer::timeout, this, &RecoveryKeeper::saveIfChanged);
  m_timer.start();
}

RecoveryKeeper::~RecoveryKeeper() { endCleanly(); }

bool RecoveryKeeper::takeOwnFolder() {
  if (!m_folder.isEmpty()) {
    return true;
  }
  if (!io::makeFolders(m_recoveryFolder.toStdString())) {
    return false;  // no data folder: the window runs without a copy
  }
  const QString base =
      QString("%1/window-%2").arg(m_recoveryFolder).arg(QCoreApplication::applicationPid());
  for (int n = 1; n <= kMaxWindowsPerProcess; ++n) {
    const QString folder = n == 1 ? base : QString("%1-%2").arg(base).arg(n);
    std::unique_ptr<QLockFile> lock = ownerLock(folder);
    if (!lock->tryLock(0)) {
      if (lock->error() != QLockFile::LockFailedError) {
        return false;  // the folder refuses lock files
      }
      continue;  // another window of this process
    }
    // A folder without a live owner under this name was left by a crashed process that
    // had the same id: it waits for a start that offers it.
    if (QFileInfo::exists(folder) || !io::makeFolders(folder.toStdString())) {
      lock->unlock();
      continue;
    }
    m_folder = folder;
    m_lock = std::move(lock);
    return true;
  }
  return false;
}

void RecoveryKeeper::setIntervalMs(int ms) { m_timer.setInterval(ms); }

QString RecoveryKeeper::sessionPath() const {
  return m_folder.isEmpty() ? QString() : m_folder + "/" + kRecoverySessionName;
}

void RecoveryKeeper::saveIfChanged() {
  if (m_ended || writing() || m_window.commandRunning() || m_window.store().stepOpen()) {
    return;  // a command's half-done document is not a state worth keeping
  }
  DocumentState state = m_window.store().state();
  if (state.graphs.empty()) {
    removeCopy();
    m_lastWritten = std::move(state);
    return;
  }
  if (state.sameAs(m_lastWritten) && QFileInfo::exists(sessionPath())) {
    return;
  }
  // The folder is taken with the first copy, so a window that never has graphs leaves
  // no trace in the data folder.
  if (!takeOwnFolder()) {
    return;
  }
  startWrite(std::move(state));
}

void RecoveryKeeper::startWrite(DocumentState state) {
  const SessionView view = sessionViewOf(m_window);
  m_inFlight = state;  // shares the point blocks; no points are copied
  const std::string path = sessionPath().toStdString();
  // The worker owns its snapshot: the window may change and drop its graphs meanwhile,
  // the shared blocks it writes from are never written to.
  m_worker = std::thread([this, path, snapshot = std::move(state), view] {
    bool ok = true;
    QString error;
    try {
      writeSession(path, snapshot, view);
    } catch (const std::exception& e) {
      ok = false;
      error = QString::fromUtf8(e.what());
    } catch (...) {
      ok = false;
      error = "Ошибка";
    }
    QMetaObject::invokeMethod(
        this, [this, ok, error] { finishWrite(ok, error); }, Qt::QueuedConnection);
  });
}

void RecoveryKeeper::finishWrite(bool ok, const QString& error) {
  if (!m_worker.joinable()) {
    return;  // endCleanly waited for this write already
  }
  m_worker.join();
  if (ok) {
    m_lastWritten = std::move(m_inFlight);
    m_lastError.clear();
  } else {
    // Tried again at the next look; said once, in the status bar, not in a box every
    // half minute.
    if (m_lastError.isEmpty()) {
      m_window.statusBar()->showMessage(kCopyNotWritten + error, 10000);
    }
    m_lastError = error;
  }
  m_inFlight = DocumentState{};
  emit copyWritten(ok);
}

void RecoveryKeeper::removeCopy() {
  if (!m_folder.isEmpty()) {
    QFile::remove(sessionPath());
  }
}

void RecoveryKeeper::endCleanly() {
  if (m_ended) {
    return;
  }
  m_ended = true;
  m_timer.stop();
  if (m_worker.joinable()) {
    m_worker.join();
  }
  if (!m_folder.isEmpty()) {
    QDir(m_folder).removeRecursively();
  }
  if (m_lock) {
    m_lock->unlock();
  }
  QDir().rmdir(m_recoveryFolder);  // only when no other window keeps a copy there
}

void RecoveryKeeper::offerLeftovers() {
  std::vector<RecoveryLeftover> leftovers = claimLeftovers(m_recoveryFolder);
  for (RecoveryLeftover& leftover : leftovers) {
    if (offerOne(leftover)) {
      break;  // the rest keep their folders; their locks go with `leftovers`
    }
  }
}

bool RecoveryKeeper::offerOne(RecoveryLeftover& leftover) {
  Session session;
  try {
    session = readSession(leftover.sessionPath.toStdString());
  } catch (const NewerSessionError& e) {
    // Not ours to read, nor to delete: the version that wrote it offers it at its start.
    m_window.ui().message(MessageKind::Info, std::string(kNewerCopy) + "\n" + e.what());
    if (leftover.lock) {
      leftover.lock->unlock();
    }
    return false;
  } catch (const std::exception& e) {
    m_window.ui().message(MessageKind::Error, std::string(kUnreadableCopy) + "\n" + e.what());
    discardLeftover(leftover);
    return false;
  }
  if (!m_window.ui().question(kRecoveryQuestion)) {
    discardLeftover(leftover);
    return false;
  }
  session.document = withOpenGraphs(std::move(session.document), m_window.store().state());
  m_window.runGuarded([this, &session](CommandContext&) { applySession(m_window, session); },
                      QStringLiteral("Восстановление графиков"));
  // Until this window writes a copy of its own, the recovered one stands in for it, so a
  // second crash right now loses nothing.
  if (takeOwnFolder() && !writing()) {
    QFile::rename(leftover.sessionPath, sessionPath());
  }
  discardLeftover(leftover);
  return true;
}

}  // namespace tarvik::app
