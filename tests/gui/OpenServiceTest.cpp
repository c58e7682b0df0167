// The open service: a second start hands files to the running window through a local
// socket of the desktop session, one open macro each; the window opens them (waiting while
// a modal dialog is up), shows itself, and a socket left behind by a crash is taken over.
// Idle or surplus connections and a lack of descriptors do not take the service down.
#include <fcntl.h>
#include <sys/resource.h>
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
#include <vector>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/OpenService.h"
#include "app/OpenServicePlace.h"
#include "app/RecentFiles.h"
#include "io/OpenMacro.h"

using tarvik::app::OpenService;
using tarvik::app::OpenServiceLimits;
using tarvik::app::TfmChart;

namespace {

const QString kGrf = QString(TARVIK_EXAMPLES_DIR) + "/pulse.grf";
const QString kScope = QString(TARVIK_EXAMPLES_DIR) + "/pulse_scope.csv";
const QString kTwoColumn = QString(TARVIK_EXAMPLES_DIR) + "/pulse_two_column.csv";

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

// Lowers the process's descriptor limit so that only about `free` more can be opened, as
// in a window that has nearly run out of them; with `free` 0 every remaining one is taken
// as well, so the next accept fails. The limit and the descriptors are given back at the
// end.
class DescriptorShortage {
 public:
  explicit DescriptorShortage(int free) {
    ::getrlimit(RLIMIT_NOFILE, &m_saved);
    const int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);  // every lower one is in use
    ::close(lowest);
    rlimit lowered = m_saved;
    lowered.rlim_cur = static_cast<rlim_t>(lowest + free);
    ::setrlimit(RLIMIT_NOFILE, &lowered);
    for (int taken = 0; free == 0;) {
      if ((taken = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) < 0) {
        break;
      }
      m_taken.push_back(taken);
    }
  }
  ~DescriptorShortage() { end(); }
  void end() {
    for (const int taken : m_taken) {
      ::close(taken);
    }
    m_taken.clear();
    ::setrlimit(RLIMIT_NOFILE, &m_saved);
  }
  DescriptorShortage(const DescriptorShortage&) = delete;
  DescriptorShortage& operator=(const DescriptorShortage&) = delete;

 private:
  rlimit m_saved{};
  std::vector<int> m_taken;
};

// A service outside any window, with its paths collected in order.
struct CollectingService {
  explicit CollectingService(OpenServiceLimits limits = {})
      : service([this](const QString& path) { opened << path; }, {}, nullptr, limits) {}
  QStringList opened;
  OpenService service;
};

// Connections that send nothing; the service accepts them as they come, so that none waits
// for room in the system's queue.
std::vector<std::unique_ptr<QLocalSocket>> idleConnections(const QString& name, int count) {
  std::vector<std::unique_ptr<QLocalSocket>> idle;
  for (int i = 0; i < count; ++i) {
    idle.push_back(send(name, {}));
    QCoreApplication::processEvents();
  }
  return idle;
}

QStringList sourcesOf(TfmChart& w) {
  QStringList sources;
  for (const std::string& source : w.store().sourceFiles()) {
    sources << QString::fromStdString(source);
  }
  return sources;
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

  // Every file of one start opens, in order, whether a window of the session runs and
  // takes them through the session's socket or the start opens them itself.
  void everyFileOfAStartOpensInOrder() {
    QTemporaryDir runtime;
    const QString name =
        tarvik::app::openServiceSocketPath({runtime.path(), {}, ":5", {}, m_dir->path()}, "t");
    const QStringList arguments{kScope, m_dir->filePath("missing.grf"), kGrf, kTwoColumn};
    const QStringList expected{"pulse_scope.grf", "pulse_scope.grf", "pulse_scope.grf",
                               "pulse_scope.grf", "pulse.grf",       "pulse_two_column.grf"};

    TfmChart alone(tarvik::app::handOverCommandLine(name, arguments), settingsPath());
    QCOMPARE(sourcesOf(alone), expected);

    TfmChart w({}, settingsPath());
    OpenService* service = tarvik::app::startWindowOpenService(w, name);
    QCOMPARE(service->socketPath(), name);
    QVERIFY(
        whileServing([&] { return tarvik::app::handOverCommandLine(name, arguments); }).isEmpty());
    QTRY_COMPARE(sourcesOf(w), expected);
  }

  // A connection that sends no macro, or one cut short, within its time is closed, and
  // what it sent is not taken for a macro.
  void anIdleConnectionIsClosedAfterItsTime() {
    OpenServiceLimits limits;
    limits.connectionMs = 200;
    CollectingService s(limits);
    const QString name = uniqueServiceName();
    QVERIFY(s.service.listen(name));
    auto idle = send(name, {});
    auto cutShort = send(name, macroFor(kGrf).chopped(1));
    QTRY_COMPARE(s.service.connectionCount(), std::size_t{2});
    QTRY_COMPARE(idle->state(), QLocalSocket::UnconnectedState);
    QTRY_COMPARE(cutShort->state(), QLocalSocket::UnconnectedState);
    QCOMPARE(s.service.connectionCount(), std::size_t{0});
    QTest::qWait(100);
    QVERIFY(s.opened.isEmpty());
  }

  // Far more idle connections than the service keeps, in a window short of descriptors:
  // it holds only its share, the oldest idle ones make way, and a hand-over still gets
  // through at once.
  void aFloodOfIdleConnectionsLeavesRoomForAHandOver() {
    CollectingService s;
    const QString name = uniqueServiceName();
    QVERIFY(s.service.listen(name));
    const int cap = OpenServiceLimits{}.connections;
    DescriptorShortage shortage(100 + cap + 16);
    auto idle = idleConnections(name, 100);
    QTRY_COMPARE(s.service.connectionCount(), static_cast<std::size_t>(cap));
    QVERIFY(whileServing([&] { return tarvik::app::handOverPath(name, kGrf); }));
    QTRY_COMPARE(s.opened, QStringList{kGrf});
    QVERIFY(s.service.connectionCount() <= static_cast<std::size_t>(cap));
    QVERIFY(s.service.isListening());
    QVERIFY(QFileInfo::exists(s.service.socketPath()));
  }

  // With no descriptor left the connection cannot be accepted; the service keeps its
  // socket and takes the connection once descriptors are free again.
  void aFailedAcceptLeavesTheServiceListening() {
    CollectingService s;
    const QString name = uniqueServiceName();
    QVERIFY(s.service.listen(name));
    auto client = send(name, macroFor(kGrf));  // queued: not accepted yet
    QCOMPARE(client->state(), QLocalSocket::ConnectedState);
    {
      DescriptorShortage shortage(0);
      QTest::qWait(300);
      QCOMPARE(s.service.connectionCount(), std::size_t{0});
      QVERIFY(s.service.isListening());
      QVERIFY(QFileInfo::exists(s.service.socketPath()));
    }
    QTRY_COMPARE(s.opened, QStringList{kGrf});
    QTRY_VERIFY(client->bytesAvailable() >= 3);
    QCOMPARE(client->readAll(), QByteArray("ok\n"));
    QVERIFY(whileServing([&] { return tarvik::app::handOverPath(name, kScope); }));
    QTRY_COMPARE(s.opened, (QStringList{kGrf, kScope}));
  }
};

QTEST_MAIN(OpenServiceTest)
#include "OpenServiceTest.moc"
