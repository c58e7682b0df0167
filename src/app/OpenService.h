#pragma once
// The open service: the running window listens on a local socket of its desktop session
// (see OpenServicePlace.h for where it lives), and a second start of the program (or the
// desktop) hands it files to open, one open macro per connection. Only the user's own
// processes may connect: the socket's folder is private and the peer's user is checked on
// every connection.
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QLocalSocket;
class QSocketNotifier;
class QTimer;

namespace tarvik::app {

class TfmChart;

// The full path of this program's service for the current desktop session; empty when no
// private folder for it can be found (then no window listens and every start opens its
// own files).
QString openServiceName();

// Sends one open macro for `path` to the service `serverName` and waits for its answer.
// True when the running window took the path; false when nothing listens, the listener is
// not of this user, the path cannot go in a macro, or no answer came within `timeoutMs`.
// Blocking; for the start-up of a second instance, before any event loop runs.
bool handOverPath(const QString& serverName, const QString& path, int timeoutMs = 1000);

// The start-up of a second instance: the arguments naming files to open (existing files,
// not ".fdt") are handed over, as full paths, one macro each, in order. Returns the
// arguments the program must still handle itself: empty when every file was handed over;
// `arguments` unchanged when they name no file to open or the window took none (no window
// runs, or it did not answer); otherwise the full paths from the first file the window did
// not take on.
QStringList handOverCommandLine(const QString& serverName, const QStringList& arguments);

// How many connections the service keeps and for how long.
struct OpenServiceLimits {
  // Connections open at once. A further one pushes out the oldest that has sent nothing
  // yet; when every open one is busy with its macro, the new one is closed at once.
  int connections = 32;
  // A connection must deliver its macro within this time from its acceptance.
  int connectionMs = 5000;
  // After the system refused to accept (no descriptor left), the next try comes this much
  // later; the service keeps listening meanwhile.
  int acceptRetryMs = 200;
};

// The listening side, owned by the window's program. Each macro's path goes to `open`
// (in the order received) once no modal dialog is shown and no command runs: opening a
// file under an open dialog would change the graph store beneath it.
class OpenService : public QObject {
  Q_OBJECT
 public:
  using Opener = std::function<void(const QString& path)>;
  // `busy` tells whether a path must wait (a modal dialog is up, a command runs).
  OpenService(Opener open, std::function<bool()> busy, QObject* parent = nullptr,
              OpenServiceLimits limits = {});
  ~OpenService() override;

  // Listens on `serverName` (a full path, or a name in the temporary folder) for this
  // user only. A socket left by a crashed instance (one that no longer answers) is
  // replaced; a live one is left alone and false returned, as it is when the socket cannot
  // be made.
  bool listen(const QString& serverName);
  bool isListening() const { return m_listener >= 0; }
  // The socket file's path, once listening.
  QString socketPath() const { return m_path; }
  // Paths received and not yet opened.
  std::size_t pendingCount() const { return m_pending.size(); }
  // Connections open now.
  std::size_t connectionCount() const { return m_connections.size(); }

 private:
  void acceptConnections();
  void adopt(int descriptor);
  bool makeRoom();
  void drop(QLocalSocket* socket);
  void forget(QLocalSocket* socket);
  void readMacro(QLocalSocket* socket);
  void takeMacro(QLocalSocket* socket);
  void openPending();
  void stopListening();

  Opener m_open;
  std::function<bool()> m_busy;
  OpenServiceLimits m_limits;
  int m_listener = -1;
  QString m_path;
  unsigned long long m_socketDevice = 0;  // the socket file made by listen, to remove only it
  unsigned long long m_socketInode = 0;
  QSocketNotifier* m_incoming = nullptr;
  QTimer* m_acceptRetry = nullptr;
  std::deque<QLocalSocket*> m_connections;  // oldest first
  QTimer* m_retry = nullptr;
  std::deque<QString> m_pending;
  bool m_opening = false;
};

// The service of the program's main window: each path is read as a graph file (its
// failure message included), recorded among the recent files, and the window is shown and
// raised. Waits while a modal dialog is shown or a command runs.
OpenService* startWindowOpenService(TfmChart& window, const QString& serverName);

}  // namespace tarvik::app
