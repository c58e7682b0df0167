#pragma once
// Where the open service of a desktop session listens. One user may have several desktop
// sessions at once (two displays, a remote session); each has its own window and its own
// socket, so the name carries a hash of the session's display. The socket lives in the
// user's runtime folder, which only the user can enter; without one, in a private folder
// in the temporary folder that this program makes and checks itself, because anyone can
// create names there first.
#include <QString>

namespace tarvik::app {

// What decides the place, as read from the environment; plain values so that the rule can
// be tried on any of them.
struct ServiceSession {
  QString runtimeDir;      // $XDG_RUNTIME_DIR
  QString waylandDisplay;  // $WAYLAND_DISPLAY
  QString display;         // $DISPLAY
  QString sessionBus;      // $DBUS_SESSION_BUS_ADDRESS
  QString tempDir;         // the system's temporary folder
};

// The session this process runs in.
ServiceSession currentServiceSession();

// The text that tells one desktop session from another: the Wayland display, else the X
// display without its screen number (":0.0" and ":0" are one display), else the session
// bus address; empty outside any session.
QString sessionKey(const ServiceSession& session);

// True when `path` is a folder itself (not a symbolic link to one), owned by this user,
// that nobody else may read, write or enter.
bool isPrivateFolder(const QString& path);

// Makes the folder `path` (mode 0700) when it does not exist yet and returns it when it
// is private; empty when it cannot be made or is not private (another user's, open to
// others, a link, a file).
QString makePrivateFolder(const QString& path);

// The full path of the service's socket for `programName` (the executable's base name) in
// `session`: "<runtime folder>/<program>-ddeChart-<session hash>" when the runtime folder
// is private, else the same name in "<temporary folder>/<program>-<user id>". Empty when
// neither folder is private or the path is too long for a local socket.
QString openServiceSocketPath(const ServiceSession& session, const QString& programName);

}  // namespace tarvik::app
