#include "app/OpenService.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "app/ChartMy.h"
#include "app/OpenServicePlace.h"
#include "app/RecentFiles.h"
#include "io/OpenMacro.h"

namespace tarvik::app {

namespace {

// A macro holds one path; anything longer than this without a line end is not a macro.
constexpr qint64 kMacroLimit = 64 * 1024;
constexpr int kRetryMs = 100;
// Connections the system queues before this service accepts them; they cost the window
// no descriptor while queued.
constexpr int kBacklog = 64;
const QByteArray kAnswer = "ok\n";

// The other end of a connected local socket runs as this user. Where the system cannot
// tell, the socket's private folder is the only guard.
bool peerIsThisUser(int descriptor) {
#ifdef Q_OS_LINUX
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    return false;
  }
  return peer.uid == getuid();
#else
  Q_UNUSED(descriptor);
  return true;
#endif
}

bool peerIsThisUser(const QLocalSocket& socket) {
  return peerIsThisUser(static_cast<int>(socket.socketDescriptor()));
}

// Bytes the peer has sent that nobody has read yet.
int unreadBytes(int descriptor) {
  int waiting = 0;
  return ::ioctl(descriptor, FIONREAD, &waiting) == 0 ? waiting : 0;
}

bool isOwnSocketFile(const QByteArray& file) {
  struct stat info {};
  return ::lstat(file.constData(), &info) == 0 && S_ISSOCK(info.st_mode) &&
         info.st_uid == ::geteuid();
}

int remainingMs(const QDeadlineTimer& deadline) {
  return static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
}

// True when something of this user answers on `serverName`.
bool serviceAnswers(const QString& serverName) {
  QLocalSocket probe;
  probe.connectToServer(serverName);
  const bool live = probe.waitForConnected(1000) && peerIsThisUser(probe);
  probe.abort();
  return live;
}

// Binds `listener` to the socket file `path`. Binding never replaces a file, so a live
// window's socket stays; the name is taken over only from a socket of this user that
// nobody answers on any more (an instance that ended without removing it).
bool bindOrTakeOver(int listener, const sockaddr_un& address, const QString& path) {
  const auto bindTo = [&] {
    return ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  };
  if (bindTo()) {
    return true;
  }
  const QByteArray file = QFile::encodeName(path);
  return errno == EADDRINUSE && !serviceAnswers(path) && isOwnSocketFile(file) &&
         ::unlink(file.constData()) == 0 && bindTo();
}

bool namesFileToOpen(const QString& argument) {
  const QFileInfo file(argument);
  return file.isFile() && !file.fileName().endsWith(".fdt");
}

}  // namespace

QString openServiceName() {
  const QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  return openServiceSocketPath(currentServiceSession(), program);
}

bool handOverPath(const QString& serverName, const QString& path, int timeoutMs) {
  const QByteArray encoded = QFile::encodeName(path);
  const std::string_view bytes(encoded.constData(), static_cast<std::size_t>(encoded.size()));
  if (serverName.isEmpty() || !canHandOverPath(bytes)) {
    return false;
  }
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  socket.connectToServer(serverName);
  if (!socket.waitForConnected(remainingMs(deadline)) || !peerIsThisUser(socket)) {
    return false;
  }
  socket.write(QByteArray::fromStdString(buildOpenMacro(bytes)));
  QByteArray answer;
  while (!answer.contains('\n') && !deadline.hasExpired()) {
    if (socket.bytesToWrite() > 0) {
      socket.waitForBytesWritten(remainingMs(deadline));
    } else if (socket.waitForReadyRead(remainingMs(deadline))) {
      answer += socket.readAll();
    } else {
      break;  // the listener closed or stayed silent
    }
  }
  socket.disconnectFromServer();
  return answer.startsWith(kAnswer);
}

QStringList handOverCommandLine(const QString& serverName, const QStringList& arguments) {
  QStringList files;
  for (const QString& argument : arguments) {
    if (namesFileToOpen(argument)) {
      files << QFileInfo(argument).absoluteFilePath();
    }
  }
  if (files.isEmpty()) {
    return arguments;
  }
  for (qsizetype i = 0; i < files.size(); ++i) {
    if (!handOverPath(serverName, files[i])) {
      // No window took it: this start opens the files itself, from its own command line
      // when nothing was handed over, else from the first file not taken.
      return i == 0 ? arguments : files.mid(i);
    }
  }
  return {};
}

OpenService::OpenService(Opener open, std::function<bool()> busy, QObject* parent,
                         OpenServiceLimits limits)
    : QObject(parent), m_open(std::move(open)), m_busy(std::move(busy)), m_limits(limits) {
  m_acceptRetry = new QTimer(this);
  m_acceptRetry->setSingleShot(true);
  m_acceptRetry->setInterval(m_limits.acceptRetryMs);
  connect(m_acceptRetry, &QTimer::timeout, this, [this] {
    if (isListening()) {
      m_incoming->setEnabled(true);
      acceptConnections();
    }
  });
  m_retry = new QTimer(this);
  m_retry->setSingleShot(true);
  m_retry->setInterval(kRetryMs);
  connect(m_retry, &QTimer::timeout, this, &OpenService::openPending);
}

OpenService::~OpenService() {
  // The connections close with their parent, after this object's own members are gone.
  for (QLocalSocket* socket : m_connections) {
    QObject::disconnect(socket, nullptr, this, nullptr);
  }
  stopListening();
}

bool OpenService::listen(const QString& serverName) {
  if (serverName.isEmpty() || isListening()) {
    return false;
  }
  // The name as the connecting side reads it: a full path, or a name in the temporary
  // folder.
  const QString path =
      QDir::isAbsolutePath(serverName) ? serverName : QDir::tempPath() + "/" + serverName;
  const QByteArray file = QFile::encodeName(path);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (static_cast<std::size_t>(file.size()) >= sizeof address.sun_path) {
    return false;
  }
  std::memcpy(address.sun_path, file.constData(), static_cast<std::size_t>(file.size()));
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener < 0) {
    return false;
  }
  const bool bound = bindOrTakeOver(listener, address, path);
  struct stat made {};
  if (!bound || ::chmod(file.constData(), 0600) != 0 || ::lstat(file.constData(), &made) != 0 ||
      ::listen(listener, kBacklog) != 0) {
    if (bound) {
      ::unlink(file.constData());
    }
    ::close(listener);
    return false;
  }
  m_listener = listener;
  m_path = path;
  m_socketDevice = static_cast<unsigned long long>(made.st_dev);
  m_socketInode = static_cast<unsigned long long>(made.st_ino);
  m_incoming = new QSocketNotifier(static_cast<qintptr>(listener), QSocketNotifier::Read, this);
  connect(m_incoming, &QSocketNotifier::activated, this, &OpenService::acceptConnections);
  return true;
}

void OpenService::stopListening() {
  if (!isListening()) {
    return;
  }
  delete m_incoming;
  m_incoming = nullptr;
  ::close(m_listener);
  m_listener = -1;
  // Removed only while it is still the file this service made: a later window may have
  // taken the name over.
  const QByteArray file = QFile::encodeName(m_path);
  struct stat now {};
  if (::lstat(file.constData(), &now) == 0 &&
      static_cast<unsigned long long>(now.st_dev) == m_socketDevice &&
      static_cast<unsigned long long>(now.st_ino) == m_socketInode) {
    ::unlink(file.constData());
  }
}

void OpenService::acceptConnections() {
  while (isListening()) {
    const int descriptor = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (descriptor >= 0) {
      adopt(descriptor);
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED) {
      continue;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return;
    }
    // No descriptor or memory left for now. The connection waits in the queue, and the
    // notifier would fire again at once: look again a little later, still listening.
    m_incoming->setEnabled(false);
    m_acceptRetry->start();
    return;
  }
}

void OpenService::adopt(int descriptor) {
  if (!peerIsThisUser(descriptor) ||
      (m_connections.size() >= static_cast<std::size_t>(m_limits.connections) && !makeRoom())) {
    ::close(descriptor);
    return;
  }
  auto* socket = new QLocalSocket(this);
  if (!socket->setSocketDescriptor(static_cast<qintptr>(descriptor))) {
    ::close(descriptor);
    delete socket;
    return;
  }
  m_connections.push_back(socket);
  connect(socket, &QLocalSocket::disconnected, this, [this, socket] { forget(socket); });
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMacro(socket); });
  // A sender that closes without a line end still hands its text over.
  connect(socket, &QLocalSocket::readChannelFinished, this, [this, socket] {
    if (socket->property("macroTaken").toBool() || socket->bytesAvailable() == 0) {
      return;
    }
    takeMacro(socket);
  });
  QTimer::singleShot(m_limits.connectionMs, socket, [this, socket] { drop(socket); });
}

// Closes the oldest connection that has sent nothing yet, so that a flood of idle
// connections cannot keep a real hand-over out. False when every one is busy.
bool OpenService::makeRoom() {
  const auto idle = std::find_if(m_connections.begin(), m_connections.end(), [](auto* socket) {
    return !socket->property("macroTaken").toBool() && socket->bytesAvailable() == 0 &&
           unreadBytes(static_cast<int>(socket->socketDescriptor())) == 0;
  });
  if (idle == m_connections.end()) {
    return false;
  }
  drop(*idle);
  return true;
}

// Closes a connection without taking what it has sent: a text cut short by the close is
// not a macro.
void OpenService::drop(QLocalSocket* socket) {
  QObject::disconnect(socket, nullptr, this, nullptr);
  socket->abort();
  forget(socket);
}

void OpenService::forget(QLocalSocket* socket) {
  const auto found = std::find(m_connections.begin(), m_connections.end(), socket);
  if (found != m_connections.end()) {
    m_connections.erase(found);
  }
  socket->deleteLater();
}

void OpenService::readMacro(QLocalSocket* socket) {
  if (socket->property("macroTaken").toBool()) {
    socket->readAll();  // the lines after the first are not used
    return;
  }
  if (socket->canReadLine()) {
    takeMacro(socket);
  } else if (socket->bytesAvailable() > kMacroLimit) {
    drop(socket);
  }
}

void OpenService::takeMacro(QLocalSocket* socket) {
  socket->setProperty("macroTaken", true);
  const QByteArray text = socket->readAll();
  const std::string path =
      pathFromOpenMacro(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
  m_pending.push_back(QFile::decodeName(QByteArray::fromStdString(path)));
  if (socket->state() == QLocalSocket::ConnectedState) {
    socket->write(kAnswer);
    socket->flush();
    socket->disconnectFromServer();  // one macro per connection: its place is free again
  }
  // Opened from the event loop, not inside the socket's signal.
  QTimer::singleShot(0, this, &OpenService::openPending);
}

void OpenService::openPending() {
  if (m_opening) {
    // A message box of the file being opened runs its own event loop: try again later.
    m_retry->start();
    return;
  }
  while (!m_pending.empty()) {
    if (m_busy && m_busy()) {
      m_retry->start();
      return;
    }
    const QString path = m_pending.front();
    m_pending.pop_front();
    m_opening = true;
    m_open(path);
    m_opening = false;
  }
}

OpenService* startWindowOpenService(TfmChart& window, const QString& serverName) {
  auto open = [&window](const QString& path) {
    readGraphFileInWindow(window, QFile::encodeName(path).toStdString());
    if (window.isMinimized()) {
      window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    }
    window.show();
    window.raise();
    window.activateWindow();
  };
  auto busy = [&window] {
    return QApplication::activeModalWidget() != nullptr || window.commandRunning();
  };
  auto* service = new OpenService(open, busy, &window);
  service->listen(serverName);
  return service;
}

}  // namespace tarvik::app
