// Crash recovery in the window: the background copy of the document, its removal at a
// clean close, and a start that finds a copy left by a window that is gone.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestSupport.h"
#include "WindowTestSupport.h"
#include "app/Recovery.h"
#include "io/SessionFile.h"
#include "io/SessionHdf5.h"

using tarvik::CommandContext;
using tarvik::DocumentState;
using tarvik::Graph;
using tarvik::app::RecoveryKeeper;
using tarvik::app::TfmChart;
using tarvik::testing::openScope;
using tarvik::testing::SeenMessage;

namespace {

DocumentState smallDocument(double scale) {
  DocumentState document;
  for (int k = 0; k < 2; ++k) {
    Graph graph;
    graph.setPoints({0.0, 1.0, 2.0}, {scale * k, -0.0, scale});
    graph.title = "Восстановленный " + std::to_string(k);
    document.graphs.push_back(std::move(graph));
    document.sourceFiles.push_back("Без имени-" + std::to_string(k + 1));
  }
  document.active = 1;
  document.unnamedCounter = 3;
  return document;
}

// A window process that lives until killed: it holds the lock of its folder and has
// written one copy. Returns its pid; `folder` is its recovery folder.
pid_t startOtherWindow(const QString& recoveryFolder, const DocumentState& document,
                       QString* folder) {
  int ready[2];
  if (::pipe(ready) != 0) {
    return -1;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    const QString own = QString("%1/window-%2").arg(recoveryFolder).arg(::getpid());
    QLockFile lock(own + ".lock");
    lock.setStaleLockTime(0);
    if (!QDir().mkpath(recoveryFolder) || !lock.tryLock(0) || !QDir().mkpath(own)) {
      ::_exit(2);
    }
    try {
      tarvik::writeSession((own + "/session.h5").toStdString(), document, {});
    } catch (...) {
      ::_exit(3);
    }
    const char byte = 'k';
    if (::write(ready[1], &byte, 1) != 1) {
      ::_exit(4);
    }
    for (;;) {
      ::pause();
    }
  }
  ::close(ready[1]);
  char byte = 0;
  const bool started = child > 0 && ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  *folder = QString("%1/window-%2").arg(recoveryFolder).arg(child);
  return started ? child : -1;
}

// Changes the format version of a session in place, as a later program would write it.
bool setSessionVersion(const std::string& path, int version) {
  const auto lock = tarvik::hdf5::libraryLock();
  const hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
  const hid_t attribute = file >= 0 ? H5Aopen(file, "format_version", H5P_DEFAULT) : -1;
  const bool written = attribute >= 0 && H5Awrite(attribute, H5T_NATIVE_INT, &version) >= 0;
  if (attribute >= 0) {
    H5Aclose(attribute);
  }
  return file >= 0 && H5Fclose(file) >= 0 && written;
}

void killWindow(pid_t child) {
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
}

}  // namespace

class RecoveryTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }
  QString recoveryFolder() const { return m_dir.filePath("data/tarvik/recovery"); }

  static bool sameAsStore(const QString& path, TfmChart& w) {
    return tarvik::readSession(path.toStdString()).document.sameAs(w.store().state());
  }

 private slots:
  void initTestCase() {
    // The data folder of every window here; the user's own is never touched.
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
  }

  void cleanup() { QDir(recoveryFolder()).removeRecursively(); }

  void theCopyFollowsTheDocumentAndACleanCloseRemovesIt() {
    TfmChart w({}, settingsPath());
    RecoveryKeeper& keeper = w.recovery();
    keeper.setIntervalMs(20);
    QSignalSpy written(&keeper, &RecoveryKeeper::copyWritten);

    QTest::qWait(100);  // an empty document leaves no trace
    QVERIFY(!QFileInfo::exists(recoveryFolder()));

    openScope(w);
    QTRY_VERIFY_WITH_TIMEOUT(written.count() > 0, 10000);
    QVERIFY2(written.takeFirst().at(0).toBool(), qPrintable(keeper.lastError()));
    QVERIFY(keeper.folder().startsWith(recoveryFolder()));
    QVERIFY(sameAsStore(keeper.sessionPath(), w));

    // While a command runs its half-done document is never copied.
    QTRY_VERIFY_WITH_TIMEOUT(!keeper.writing(), 10000);
    written.clear();
    w.runGuarded([](CommandContext& ctx) {
      ctx.store.graph(0).ysMutable()[0] += 1.0;
      QTest::qWait(150);
    });
    QCOMPARE(written.count(), 0);
    QVERIFY(!sameAsStore(keeper.sessionPath(), w));
    QTRY_COMPARE_WITH_TIMEOUT(written.count(), 1, 10000);
    QVERIFY(sameAsStore(keeper.sessionPath(), w));

    // An unchanged document is not written again.
    QTest::qWait(150);
    QCOMPARE(written.count(), 1);

    const QString folder = keeper.folder();
    w.close();
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(!QFileInfo::exists(folder + ".lock"));
    QVERIFY(!QFileInfo::exists(recoveryFolder()));
  }

  void closingAllGraphsRemovesTheCopy() {
    TfmChart w({}, settingsPath());
    w.recovery().setIntervalMs(20);
    openScope(w);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(w.recovery().sessionPath()), 10000);
    w.runGuarded([](CommandContext& ctx) { ctx.store.closeAll(); });
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(w.recovery().sessionPath()), 10000);
  }

  void aLiveWindowsCopyIsNeverClaimed() {
    // A second window of this process and a window of another process, both alive.
    TfmChart first({}, settingsPath());
    first.recovery().setIntervalMs(20);
    openScope(first);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(first.recovery().sessionPath()), 10000);
    QString otherFolder;
    const pid_t other = startOtherWindow(recoveryFolder(), smallDocument(1.0), &otherFolder);
    QVERIFY(other > 0);

    TfmChart second({}, settingsPath());
    second.recovery().setIntervalMs(20);
    openScope(second);
    second.runGuarded([](CommandContext& ctx) { ctx.store.closeGraphs({0}); });
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(second.recovery().sessionPath()), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!second.recovery().writing(), 10000);
    QVERIFY(second.recovery().folder() != first.recovery().folder());
    QVERIFY(tarvik::app::claimLeftovers(recoveryFolder()).empty());
    QVERIFY(sameAsStore(first.recovery().sessionPath(), first));
    QVERIFY(sameAsStore(second.recovery().sessionPath(), second));
    QVERIFY(QFileInfo::exists(otherFolder + "/session.h5"));
    killWindow(other);
  }

  void yesRestoresACopyLeftByADeadWindow() {
    const DocumentState lost = smallDocument(2.5);
    QString otherFolder;
    const pid_t other = startOtherWindow(recoveryFolder(), lost, &otherFolder);
    QVERIFY(other > 0);
    killWindow(other);

    // The window was started with a file: its graphs stay, after the recovered ones.
    TfmChart w({}, settingsPath());
    openScope(w);
    const std::size_t opened = w.store().count();
    const int openActive = w.store().activeIndex();
    SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen, QMessageBox::Yes);
    w.recovery().offerLeftovers();

    QCOMPARE(seen.text, QString(tarvik::app::kRecoveryQuestion));
    QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(w.store().count(), lost.graphs.size() + opened);
    for (std::size_t i = 0; i < lost.graphs.size(); ++i) {
      QVERIFY(w.store().graph(i).samePoints(lost.graphs[i]));
      QCOMPARE(w.store().graph(i).title, lost.graphs[i].title);
      QCOMPARE(w.store().sourceFile(i), lost.sourceFiles[i]);
    }
    QCOMPARE(w.store().activeIndex(), static_cast<int>(lost.graphs.size()) + openActive);
    // The dead window's folder is gone; its copy stands in for this window's own.
    QVERIFY(!QFileInfo::exists(otherFolder));
    QVERIFY(QFileInfo::exists(w.recovery().sessionPath()));
  }

  void noRemovesTheCopyAndChangesNothing() {
    QString otherFolder;
    const pid_t other = startOtherWindow(recoveryFolder(), smallDocument(1.0), &otherFolder);
    QVERIFY(other > 0);
    killWindow(other);

    TfmChart w({}, settingsPath());
    SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen, QMessageBox::No);
    w.recovery().offerLeftovers();
    QCOMPARE(seen.text, QString(tarvik::app::kRecoveryQuestion));
    QVERIFY(w.store().empty());
    QVERIFY(!QFileInfo::exists(otherFolder));
    QVERIFY(!QFileInfo::exists(otherFolder + ".lock"));
  }

  void anUnreadableCopyIsReportedAndRemoved() {
    // No lock file at all: the owner is as gone as one whose lock is stale.
    const QString folder = recoveryFolder() + "/window-1";
    QVERIFY(QDir().mkpath(folder));
    QFile garbage(folder + "/session.h5");
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("\x89HDF\r\n\x1a\n truncated");
    garbage.close();

    TfmChart w({}, settingsPath());
    SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen);
    w.recovery().offerLeftovers();
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QVERIFY(seen.text.startsWith("Копия графиков прошлого сеанса не читается и удалена."));
    QVERIFY(w.store().empty());
    QVERIFY(!QFileInfo::exists(folder));
  }

  void aCopyOfANewerVersionIsKeptForIt() {
    const QString folder = recoveryFolder() + "/window-2";
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + "/session.h5";
    tarvik::writeSession(path.toStdString(), smallDocument(2.0), {});
    // The version number of a later program, written as the program writes its own.
    QVERIFY(setSessionVersion(path.toStdString(), tarvik::kSessionFormatVersion + 1));
    const QByteArray bytes = [&] {
      QFile file(path);
      return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    TfmChart w({}, settingsPath());
    SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen);
    w.recovery().offerLeftovers();
    QCOMPARE(seen.icon, QMessageBox::Information);
    QVERIFY(seen.text.startsWith("Копия графиков прошлого сеанса записана более новой версией"));
    QVERIFY(w.store().empty());
    QFile kept(path);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), bytes);
    // Not claimed for good: a later start (of the newer version) finds it again.
    QCOMPARE(tarvik::app::claimLeftovers(recoveryFolder()).size(), std::size_t{1});
  }

  void leftoversAreClaimedNewestFirstAndEmptyOnesDropped() {
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto& [name, ageSeconds] :
         {std::pair{"window-11", 300}, std::pair{"window-12", 10}, std::pair{"window-13", 100}}) {
      const QString folder = recoveryFolder() + "/" + name;
      QVERIFY(QDir().mkpath(folder));
      QFile copy(folder + "/session.h5");
      QVERIFY(copy.open(QIODevice::WriteOnly));
      QVERIFY(copy.setFileTime(now.addSecs(-ageSeconds), QFileDevice::FileModificationTime));
    }
    QVERIFY(QDir().mkpath(recoveryFolder() + "/window-14/more"));  // died before its first copy

    std::vector<tarvik::app::RecoveryLeftover> claimed =
        tarvik::app::claimLeftovers(recoveryFolder());
    QStringList order;
    for (const auto& leftover : claimed) {
      order << QFileInfo(leftover.folder).fileName();
    }
    QCOMPARE(order, QStringList({"window-12", "window-13", "window-11"}));
    QVERIFY(!QFileInfo::exists(recoveryFolder() + "/window-14"));
    // Claimed folders are held: a second start at the same moment does not get them.
    QVERIFY(tarvik::app::claimLeftovers(recoveryFolder()).empty());
  }
};

QTEST_MAIN(RecoveryTest)
#include "RecoveryTest.moc"
