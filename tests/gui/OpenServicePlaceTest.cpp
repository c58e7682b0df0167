// Where the open service listens: one socket per desktop session, in the user's runtime
// folder or else in a private folder the program makes and checks; without a window.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "app/OpenService.h"
#include "app/OpenServicePlace.h"

using tarvik::app::ServiceSession;

namespace {

QString socketFolder(const QString& path) { return QFileInfo(path).path(); }

mode_t modeOf(const QString& path) {
  struct stat info {};
  ::lstat(QFile::encodeName(path).constData(), &info);
  return info.st_mode;  // the kind of file and its access bits
}

}  // namespace

class OpenServicePlaceTest : public QObject {
  Q_OBJECT

 private slots:
  // Sessions of one user on different displays get different sockets; the same session
  // always the same one, whatever screen of the display it names.
  void theSocketIsNamedAfterTheSession() {
    QTemporaryDir runtime;  // made with mode 0700, as the runtime folder is
    const auto place = [&](const QString& wayland, const QString& display, const QString& bus) {
      return tarvik::app::openServiceSocketPath({runtime.path(), wayland, display, bus, "/nowhere"},
                                                "tarvik");
    };
    const QString first = place({}, ":0", {});
    QCOMPARE(socketFolder(first), runtime.path());
    QVERIFY(QRegularExpression("^tarvik-ddeChart-[0-9a-f]{16}$")
                .match(QFileInfo(first).fileName())
                .hasMatch());

    QCOMPARE(place({}, ":0", {}), first);
    QCOMPARE(place({}, ":0.1", "unix:path=/run/a"), first);
    QVERIFY(place({}, ":1", {}) != first);
    QVERIFY(place({}, "localhost:10.0", {}) != first);
    // Under Wayland the X display of its compatibility server is not the key.
    QCOMPARE(place("wayland-0", ":0", {}), place("wayland-0", ":1", {}));
    QVERIFY(place("wayland-0", ":0", {}) != place("wayland-1", ":0", {}));
    // Without a display, the session bus tells the sessions apart.
    QVERIFY(place({}, {}, "unix:path=/run/a") != place({}, {}, "unix:path=/run/b"));
    QVERIFY(place({}, {}, "unix:path=/run/a") != place({}, {}, {}));
  }

  // The running program finds its socket through its own environment.
  void theServiceNameComesFromTheEnvironment() {
    QTemporaryDir runtime;
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray savedWayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray savedDisplay = qgetenv("DISPLAY");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":7");
    const QString onSeven = tarvik::app::openServiceName();
    qputenv("DISPLAY", ":8");
    const QString onEight = tarvik::app::openServiceName();
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    qputenv("WAYLAND_DISPLAY", savedWayland);
    qputenv("DISPLAY", savedDisplay);

    QCOMPARE(socketFolder(onSeven), runtime.path());
    QCOMPARE(socketFolder(onEight), runtime.path());
    QVERIFY(onSeven != onEight);
  }

  // A runtime folder that is missing, not private, or given as a relative path gives way
  // to the program's own folder in the temporary folder, made private.
  void withoutAPrivateRuntimeFolderTheOwnFolderIsMade() {
    QTemporaryDir temp;
    QTemporaryDir open;
    QCOMPARE(::chmod(QFile::encodeName(open.path()).constData(), 0755), 0);
    const QString own = temp.filePath("tarvik-" + QString::number(::geteuid()));
    for (const QString& runtime : {QString(), open.path(), QString("run/user")}) {
      const QString path =
          tarvik::app::openServiceSocketPath({runtime, {}, ":0", {}, temp.path()}, "tarvik");
      QCOMPARE(socketFolder(path), own);
      QCOMPARE(modeOf(own), mode_t(S_IFDIR | 0700));
    }
  }

  // Names in the temporary folder can be taken by anyone first: the program's folder is
  // used only when it is a folder of this user that nobody else may enter.
  void aFallbackFolderThatIsNotPrivateIsRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("absent: made") << "absent";
    QTest::newRow("private folder of ours") << "private";
    QTest::newRow("open to others") << "open";
    QTest::newRow("readable by the group") << "group";
    QTest::newRow("of another user") << "foreign";
    QTest::newRow("link to a private folder") << "link";
    QTest::newRow("a file") << "file";
  }
  void aFallbackFolderThatIsNotPrivateIsRefused() {
    QFETCH(QString, kind);
    QTemporaryDir temp;
    QTemporaryDir elsewhere;  // private, ours
    const QString own = temp.filePath("tarvik-" + QString::number(::geteuid()));
    const QByteArray file = QFile::encodeName(own);
    if (kind == "private" || kind == "open" || kind == "group" || kind == "foreign") {
      QCOMPARE(::mkdir(file.constData(), 0700), 0);
    }
    if (kind == "open") {
      QCOMPARE(::chmod(file.constData(), 0777), 0);
    } else if (kind == "group") {
      QCOMPARE(::chmod(file.constData(), 0750), 0);
    } else if (kind == "foreign" && ::chown(file.constData(), 65534, 65534) != 0) {
      QSKIP("only the administrator can give a folder to another user");
    } else if (kind == "link") {
      QVERIFY(QFile::link(elsewhere.path(), own));
    } else if (kind == "file") {
      QFile made(own);
      QVERIFY(made.open(QIODevice::WriteOnly));
    }
    const ServiceSession session{{}, {}, ":0", {}, temp.path()};
    const QString path = tarvik::app::openServiceSocketPath(session, "tarvik");
    const bool safe = kind == "absent" || kind == "private";
    QCOMPARE(path.isEmpty(), !safe);
    QCOMPARE(tarvik::app::isPrivateFolder(own), safe);
    if (safe) {
      QCOMPARE(socketFolder(path), own);
      QCOMPARE(modeOf(own), mode_t(S_IFDIR | 0700));
    }
  }

  void aPathTooLongForALocalSocketIsRefused() {
    QTemporaryDir temp;
    const QString deep = temp.filePath(QString(90, 'd'));
    QVERIFY(QDir().mkpath(deep));
    QVERIFY(tarvik::app::openServiceSocketPath({{}, {}, ":0", {}, deep}, "tarvik").isEmpty());
    QVERIFY(
        !tarvik::app::openServiceSocketPath({{}, {}, ":0", {}, temp.path()}, "tarvik").isEmpty());
  }
};

QTEST_MAIN(OpenServicePlaceTest)
#include "OpenServicePlaceTest.moc"
