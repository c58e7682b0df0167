// A large file read in the window: the status bar shows the percentage and "СТОП" is live
// while it is read; stopping keeps nothing of the file, and reading it through keeps it
// whole. Driven as a user does: Ctrl+O, the path typed into the open dialog, Return, then a
// click on the stop button where it shows.
#include <QFileDialog>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest/QtTest>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "io/FileCommands.h"

using tarvik::app::TfmChart;

class LargeReadWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString m_path;
  std::size_t m_lines = 0;

  // Answers the open dialog with the path, typed where the keyboard focus is.
  void answerOpenDialog() {
    const QString path = m_path;
    tarvik::testing::onNextModal([path](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr) {
        modal->close();
        return;
      }
      QApplication::setActiveWindow(dialog);
      tarvik::testing::typeText(dialog, path);
      tarvik::testing::pressKey(dialog, Qt::Key_Return);
    });
  }

 private slots:
  void initTestCase() {
    // A plain graph file just over the size from which reading shows its progress.
    m_path = m_dir.filePath("long.grf");
    std::ofstream out(m_path.toStdString(), std::ios::binary);
    std::vector<char> line(64);
    std::size_t bytes = 0;
    while (bytes < tarvik::kReadProgressBytes + (std::size_t{4} << 20)) {
      const int n = std::snprintf(line.data(), line.size(), "%.9e %.9e\r\n",
                                  static_cast<double>(m_lines) * 1e-9,
                                  std::sin(static_cast<double>(m_lines) * 1e-3));
      out.write(line.data(), n);
      bytes += static_cast<std::size_t>(n);
      ++m_lines;
    }
  }

  void stopDuringTheReadKeepsNothingOfTheFile() {
    TfmChart w({}, m_dir.filePath("tarvik.INI"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* stop = w.findChild<QAbstractButton*>("btnStop");
    QString progressSeen;
    bool stopWasShown = false;
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, &w, [&] {
      const QString message = w.statusBar()->currentMessage();
      if (!stopWasShown && stop->isVisible() && message.startsWith(tarvik::kReadProgress)) {
        stopWasShown = true;
        progressSeen = message;
        QWidget* under = w.childAt(stop->mapTo(&w, stop->rect().center()));
        QTest::mouseClick(under, Qt::LeftButton, Qt::NoModifier, under->rect().center());
      }
    });
    watch.start();
    answerOpenDialog();
    tarvik::testing::pressKey(&w, Qt::Key_O, Qt::ControlModifier);
    QTRY_VERIFY(!w.commandRunning());
    watch.stop();
    QVERIFY2(stopWasShown, "the stop button never showed during the read");
    QVERIFY(progressSeen.endsWith(" %"));
    QCOMPARE(w.store().count(), std::size_t{0});
    QVERIFY(!stop->isVisible());
  }

  void aReadNotStoppedKeepsTheWholeFile() {
    TfmChart w({}, m_dir.filePath("tarvik.INI"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QStringList percentages;
    connect(w.statusBar(), &QStatusBar::messageChanged, &w, [&](const QString& message) {
      if (message.startsWith(tarvik::kReadProgress)) {
        percentages << message;
      }
    });
    answerOpenDialog();
    tarvik::testing::pressKey(&w, Qt::Key_O, Qt::ControlModifier);
    QTRY_VERIFY(!w.commandRunning());
    QVERIFY2(percentages.size() >= 2, qPrintable(percentages.join(", ")));
    // The reading ends at 100 % and leaves the status bar to the window's own texts.
    QCOMPARE(percentages.last(), QString(tarvik::kReadProgress) + "100 %");
    QVERIFY(!w.statusBar()->currentMessage().startsWith(tarvik::kReadProgress));
    QCOMPARE(w.store().count(), std::size_t{1});
    QCOMPARE(w.store().graph(0).size(), m_lines);
  }
};

QTEST_MAIN(LargeReadWindowTest)
#include "LargeReadWindowTest.moc"
