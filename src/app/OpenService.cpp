#include "app/OpenService.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <string>

#include "app/ChartMy.h"
#include "app/RecentFiles.h"
#include "io/OpenMacro.h"

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tarvik::app {

namespace {

// A macro holds one path; anything longer than this without a line end is not a macro.
constexpr qint64 kMacroLimit = 64 * 1024;
constexpr int kRetryMs = 100;
const QByteArray kAnswer = "ok\n";

// The other end of a connected local socket runs as this user. Where the system cannot
// tell, the socket file's access mode is the only guard.
bool peerIsThisUser(const QLocalSocket& socket) {
#ifdef Q_OS_LINUX
  ucred peer{};
  socklen_t size = sizeof peer;
  const auto fd = static_cast<int>(socket.socketDescriptor());
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    return false;
  }
  return peer.uid == getuid();
#else
  Q_UNUSED(socket);
  return true;
#endif
}

QString userId() {
#ifdef Q_OS_UNIX
  return QString::number(getuid());
#else
  return qEnvironmentVariable("USERNAME");
#endif
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

bool namesFileToOpen(const QString& argument) {
  const QFileInfo file(argument);
  return file.isFile() && !file.fileName().endsWith(".fdt");
}

}  // namespace

QString openServiceName() {
  const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  return base + "-ddeChart-" + userId();
}

bool handOverPath(const QString& serverName, const QString& path, int timeoutMs) {
  const QByteArray encoded = QFile::encodeName(path);
  const std::string_view bytes(encoded.constData(), static_cast<std::size_t>(encoded.size()));
  if (!canHandOverPath(bytes)) {
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

OpenService::OpenService(Opener open, std::function<bool()> busy, QObject* parent)
    : QObject(parent), m_open(std::move(open)), m_busy(std::move(busy)) {
  m_server = new QLocalServer(this);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  connect(m_server, &QLocalServer::newConnection, this, &OpenService::acceptConnections);
  m_retry = new QTimer(this);
  m_retry->setSingleShot(true);
  m_retry->setInterval(kRetryMs);
  connect(m_retry, &QTimer::timeout, this, &OpenService::openPending);
}

OpenService::~OpenService() { m_server->close(); }

bool OpenService::listen(const QString& serverName) {
  // Asked first: making the socket with an access mode replaces any file of that name, a
  // live window's socket included.
  if (serviceAnswers(serverName)) {
    return false;
  }
  // A socket file left by an instance that ended without closing it: nobody answers there.
  QLocalServer::removeServer(serverName);
  return m_server->listen(serverName);
}

bool OpenService::isListening() const { return m_server->isListening(); }

QString OpenService::socketPath() const { return m_server->fullServerName(); }

void OpenService::acceptConnections() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!peerIsThisUser(*socket)) {
      socket->abort();
      continue;
    }
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMacro(socket); });
    // A sender that closes without a line end still hands its text over.
    connect(socket, &QLocalSocket::readChannelFinished, this, [this, socket] {
      if (socket->property("macroTaken").toBool() || socket->bytesAvailable() == 0) {
        return;
      }
      takeMacro(socket);
    });
  }
}

void OpenService::readMacro(QLocalSocket* socket) {
  if (socket->property("macroTaken").toBool()) {
    socket->readAll();  // the lines after the first are not used
    return;
  }
  if (socket->canReadLine()) {
    takeMacro(socket);
  } else if (socket->bytesAvailable() > kMacroLimit) {
    socket->abort();
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
