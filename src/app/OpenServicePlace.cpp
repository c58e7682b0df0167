#include "app/OpenServicePlace.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <cerrno>

namespace tarvik::app {

namespace {

// Hex digits of the session hash in the socket's name: 64 bits tell sessions apart.
constexpr qsizetype kHashDigits = 16;

// ":0.0" → ":0", "host:10.1" → "host:10": the screen number names a part of one display.
QString withoutScreen(const QString& display) {
  const qsizetype colon = display.lastIndexOf(':');
  const qsizetype dot = display.indexOf('.', colon + 1);
  return colon >= 0 && dot > colon ? display.left(dot) : display;
}

bool fitsLocalSocket(const QString& path) {
  return static_cast<std::size_t>(QFile::encodeName(path).size()) < sizeof(sockaddr_un{}.sun_path);
}

}  // namespace

ServiceSession currentServiceSession() {
  return {qEnvironmentVariable("XDG_RUNTIME_DIR"), qEnvironmentVariable("WAYLAND_DISPLAY"),
          qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
          QDir::tempPath()};
}

QString sessionKey(const ServiceSession& session) {
  if (!session.waylandDisplay.isEmpty()) {
    return "wayland:" + session.waylandDisplay;
  }
  if (!session.display.isEmpty()) {
    return "x11:" + withoutScreen(session.display);
  }
  if (!session.sessionBus.isEmpty()) {
    return "bus:" + session.sessionBus;
  }
  return {};
}

bool isPrivateFolder(const QString& path) {
  struct stat info {};
  if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0) {
    return false;
  }
  return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 0077) == 0;
}

QString makePrivateFolder(const QString& path) {
  if (path.isEmpty() ||
      (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)) {
    return {};
  }
  // Whatever was there first, or appeared meanwhile, is checked as it is now: a folder of
  // another user, or one made open to others, is not used.
  return isPrivateFolder(path) ? path : QString();
}

QString openServiceSocketPath(const ServiceSession& session, const QString& programName) {
  const QByteArray hash =
      QCryptographicHash::hash(sessionKey(session).toUtf8(), QCryptographicHash::Sha256);
  const QString name =
      programName + "-ddeChart-" + QString::fromLatin1(hash.toHex().left(kHashDigits));
  QString folder;
  if (QDir::isAbsolutePath(session.runtimeDir) && isPrivateFolder(session.runtimeDir) &&
      fitsLocalSocket(session.runtimeDir + "/" + name)) {
    folder = session.runtimeDir;
  } else if (QDir::isAbsolutePath(session.tempDir)) {
    folder =
        makePrivateFolder(session.tempDir + "/" + programName + "-" + QString::number(::geteuid()));
  }
  if (folder.isEmpty() || !fitsLocalSocket(folder + "/" + name)) {
    return {};
  }
  return folder + "/" + name;
}

}  // namespace tarvik::app
