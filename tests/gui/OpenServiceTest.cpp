// The open service: a second start hands files to the running window through a per-user
// local socket, one open macro each; the window opens them (waiting while a modal dialog
// is up), shows itself, and a socket left behind by a crash is taken over.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/OpenService.h"
#include "app/RecentFiles.h"
#include "io/OpenMacro.h"

using tarvik::app::OpenService;
using tarvik::app::TfmChart;

namespace {

const QString kGrf = QString(TARVIK_EXAMPLES_DIR) + "/pulse.grf";
const QString kScope = QString(TARVIK_EXAMPLES_DIR) + "/pulse_scope.csv";

QString uniqueServiceName() {
  return "tarvik-test-" + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

QByteArray macroFor(const QString& path) {
  return QByteArray::fromStdString(tarvik::buildOpenMacro(QFile::encodeName(path).toStdString()));
}

// Sends `bytes` on a fresh connection to `name` from the test's own thread; the socket
// lives until the test ends so its answer can be read.
std::unique_ptr<QLocalSocket> send(const QString& name, const QByteArray& bytes) {
  auto socket = std::make_unique<QLocalSocket>();
  socket->connectToServer(name);
  if (socket->waitForConnected(1000)) {
    socket->write(bytes);
    socket->flush();
  }
  return socket;
}

// Runs `work` on another thread (the hand-over blocks, as it does in a second process)
// while this thread serves the window's events.
template <typename Work>
auto whileServing(Work work) {
  auto result = std::async(std::launch::async, work);
  while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
    QTest::qWait(10);
  }
  return result.get();
}

// A socket file nobody listens on, as a crashed instance leaves it.
bool leaveStaleSocket(const QString& path) {
  const QByteArray file = QFile::encodeName(path);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (static_cast<std::size_t>(file.size()) >= sizeof address.sun_path) {
    return false;
  }
  std::memcpy(address.sun_path, file.constData(), static_cast<std::size_t>(file.size()));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound && QFileInfo::exists(path);
}

}  // namespace

class OpenServiceTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_dir;
  QString settingsPath() const { return m_dir->filePath("tarvik.INI"); }

 private slots:
  void init() { m_dir = std::make_unique<QTemporaryDir>(); }

  void aMacroOpensTheFileShowsTheWindowAndIsAnswered() {
    TfmChart w({}, settingsPath());
    const QString name = uniqueServiceName();
    OpenService* service = tarvik::app::startWindowOpenService(w, name);
    QVERIFY(service->isListening());
    QCOMPARE(service->socketPath(), QDir::tempPath() + "/" + name);
    QVERIFY(!w.isVisible());

    auto client = send(name, macroFor(kGrf));
    QTRY_COMPARE(w.store().count(), std::size_t{1});
    QCOMPARE(w.store().activeIndex(), 0);
    QVERIFY(w.isVisible());
    QTRY_VERIFY(client->bytesAvailable() >= 3);
    QCOMPARE(client->readAll(), QByteArray("ok\n"));
    QCOMPARE(tarvik::app::recentFilesOf(w)->paths(), QStringList{kGrf});
  }

  // Lines after the first are not read as further files; a sender that closes without a
  // line end still hands its path over; a probe that sends nothing opens nothing.
  void onlyTheFirstLineOfEachConnectionCounts() {
    TfmChart w({}, settingsPath());
    const QString name = uniqueServiceName();
    tarvik::app::startWindowOpenService(w, name);

    auto probe = send(name, {});
    probe->disconnectFromServer();
    auto twoLines = send(name, macroFor(kGrf) + macroFor(kGrf));
    QTRY_COMPARE(w.store().count(), std::size_t{1});
    auto noLineEnd = send(name, macroFor(kGrf).chopped(1));
    noLineEnd->disconnectFromServer();
    QTRY_COMPARE(w.store().count(), std::size_t{2});
    QTest::qWait(200);
    QCOMPARE(w.store().count(), std::size_t{2});
  }

  void aShortMacroGivesTheOpenFailureMessage() {
    TfmChart w({}, settingsPath());
    const QString name = uniqueServiceName();
    tarvik::app::startWindowOpenService(w, name);
    tarvik::testing::SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen);
    auto client = send(name, "[open(\"\")]\n");
    QTRY_COMPARE(seen.text, QString("Невозможно открыть файл:"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(w.store().count(), std::size_t{0});
    QVERIFY(tarvik::app::recentFilesOf(w)->paths().isEmpty());
  }

  // A second start hands every file of its command line over, as full paths, and has
  // nothing left to open itself; arguments that name no file are left to it.
  void aSecondStartHandsItsFilesOver() {
    TfmChart w({}, settingsPath());
    const QString name = uniqueServiceName();
    tarvik::app::startWindowOpenService(w, name);
    const QString relativeGrf = QDir::current().relativeFilePath(kGrf);
    const QStringList arguments{relativeGrf, m_dir->filePath("missing.grf"), kScope};

    const QStringList left =
        whileServing([&] { return tarvik::app::handOverCommandLine(name, arguments); });
    QVERIFY(left.isEmpty());
    QTRY_COMPARE(w.store().count(), std::size_t{5});  // one graph, then four channels
    QCOMPARE(w.store().sourceFile(0), std::string("pulse.grf"));
    QCOMPARE(tarvik::app::recentFilesOf(w)->paths(), (QStringList{kScope, kGrf}));

    const QStringList noFiles{m_dir->filePath("missing.grf"), "x.fdt"};
    QCOMPARE(whileServing([&] { return tarvik::app::handOverCommandLine(name, noFiles); }),
             noFiles);
  }

  // Nothing listening, or a listener that never answers: the start keeps its own command
  // line and opens its file itself as it would alone.
  void withoutAnAnswerTheStartKeepsItsFiles() {
    const QString name = uniqueServiceName();
    const QStringList arguments{QDir::current().relativeFilePath(kGrf), kScope};
    QCOMPARE(tarvik::app::handOverCommandLine(name, arguments), arguments);

    QLocalServer silent;
    QVERIFY(silent.listen(name));
    QVERIFY(!whileServing([&] { return tarvik::app::handOverPath(name, kGrf, 300); }));
    QCOMPARE(whileServing([&] { return tarvik::app::handOverCommandLine(name, arguments); }),
             arguments);
  }

  void aStaleSocketIsTakenOverAndALiveOneIsNot() {
    const QString name = uniqueServiceName();
    const QString path = QDir::tempPath() + "/" + name;
    QVERIFY(leaveStaleSocket(path));

    TfmChart w({}, settingsPath());
    OpenService* service = tarvik::app::startWindowOpenService(w, name);
    QVERIFY(service->isListening());
    QVERIFY(whileServing([&] { return tarvik::app::handOverPath(name, kGrf); }));
    QTRY_COMPARE(w.store().count(), std::size_t{1});
    const QFile::Permissions others = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther |
                                      QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup;
    QCOMPARE(QFileInfo(path).permissions() & others, QFile::Permissions());

    // A second window of the same user finds the first one alive and leaves it serving.
    TfmChart second({}, m_dir->filePath("second.INI"));
    OpenService* secondService = tarvik::app::startWindowOpenService(second, name);
    QVERIFY(!secondService->isListening());
    QVERIFY(whileServing([&] { return tarvik::app::handOverPath(name, kGrf); }));
    QTRY_COMPARE(w.store().count(), std::size_t{2});
    QCOMPARE(second.store().count(), std::size_t{0});
  }

  // A file arriving while a modal dialog is open waits until the dialog has closed.
  void aFileArrivingUnderAModalDialogWaitsForIt() {
    TfmChart w({}, settingsPath());
    w.show();
    const QString name = uniqueServiceName();
    OpenService* service = tarvik::app::startWindowOpenService(w, name);
    QDialog dialog(&w);
    std::unique_ptr<QLocalSocket> client;
    std::size_t graphsUnderDialog = 99;
    std::size_t pendingUnderDialog = 0;
    tarvik::testing::onNextModal([&](QWidget* modal) {
      client = send(name, macroFor(kGrf));
      QTest::qWait(300);
      graphsUnderDialog = w.store().count();
      pendingUnderDialog = service->pendingCount();
      modal->close();
    });
    dialog.exec();
    QCOMPARE(graphsUnderDialog, std::size_t{0});
    QCOMPARE(pendingUnderDialog, std::size_t{1});
    QTRY_COMPARE(w.store().count(), std::size_t{1});
    QCOMPARE(service->pendingCount(), std::size_t{0});
  }
};

QTEST_MAIN(OpenServiceTest)
#include "OpenServiceTest.moc"
