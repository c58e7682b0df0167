#pragma once
// The open service: the running window listens on a per-user local socket named after the
// executable, and a second start of the program (or the desktop) hands it files to open,
// one open macro per connection. The socket file lives in the temporary folder and only
// its owner may connect; the server also checks the peer's user on every connection.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace tarvik::app {

class TfmChart;

// "<executable base name>-ddeChart-<user id>", the service of this program for this user.
QString openServiceName();

// Sends one open macro for `path` to the service `serverName` and waits for its answer.
// True when the running window took the path; false when nothing listens, the listener is
// not of this user, the path cannot go in a macro, or no answer came within `timeoutMs`.
// Blocking; for the start-up of a second instance, before any event loop runs.
bool handOverPath(const QString& serverName, const QString& path, int timeoutMs = 1000);

// The start-up of a second instance: the arguments naming files to open (existing files,
// not ".fdt") are handed over, as full paths, one macro each. Returns the arguments the
// program must still handle itself: empty when every file was handed over; `arguments`
// unchanged when they name no file to open or the window took none (no window runs, or
// it did not answer); otherwise the full paths from the first file the window did not
// take on.
QStringList handOverCommandLine(const QString& serverName, const QStringList& arguments);

// The listening side, owned by the window's program. Each macro's path goes to `open`
// (in the order received) once no modal dialog is shown and no command runs: opening a
// file under an open dialog would change the graph store beneath it.
class OpenService : public QObject {
  Q_OBJECT
 public:
  using Opener = std::function<void(const QString& path)>;
  // `busy` tells whether a path must wait (a modal dialog is up, a command runs).
  OpenService(Opener open, std::function<bool()> busy, QObject* parent = nullptr);
  ~OpenService() override;

  // Listens on `serverName` for this user only. A socket left by a crashed instance (one
  // that no longer answers) is removed and taken over; a live one is left alone and false
  // returned, as it is when the socket cannot be made.
  bool listen(const QString& serverName);
  bool isListening() const;
  // The socket file's path, once listening.
  QString socketPath() const;
  // Paths received and not yet opened.
  std::size_t pendingCount() const { return m_pending.size(); }

 private:
  void acceptConnections();
  void readMacro(QLocalSocket* socket);
  void takeMacro(QLocalSocket* socket);
  void openPending();

  Opener m_open;
  std::function<bool()> m_busy;
  QLocalServer* m_server = nullptr;
  QTimer* m_retry = nullptr;
  std::deque<QString> m_pending;
  bool m_opening = false;
};

// The service of the program's main window: each path is read as a graph file (its
// failure message included), recorded among the recent files, and the window is shown and
// raised. Waits while a modal dialog is shown or a command runs.
OpenService* startWindowOpenService(TfmChart& window, const QString& serverName);

}  // namespace tarvik::app
