// The command dispatcher and the window's lifecycle: errors shown in one place, a long
// command with only the stop button live, the command line, dropped files, the caption.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "GuiTestSupport.h"
#include "WindowTestSupport.h"
#include "app/GuiUi.h"
#include "core/Error.h"
#include "view/ChartView.h"

using tarvik::CommandContext;
using tarvik::app::TfmChart;
using tarvik::testing::kScope;
using tarvik::testing::openScope;

class WindowLifecycleTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }

 private slots:
  void errorsOfACommandAreShownAndContained() {
    TfmChart w({}, settingsPath());
    tarvik::testing::SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen);
    QVERIFY(w.runGuarded([](CommandContext&) { throw tarvik::IoError("Ошибка записи файла"); }));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.text, QString("Ошибка записи файла"));
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!w.commandRunning());
    bool ranAgain = false;
    QVERIFY(w.runGuarded([&ranAgain](CommandContext&) { ranAgain = true; }));
    QVERIFY(ranAgain);
  }

  void aLongCommandLeavesOnlyTheStopButtonLive() {
    TfmChart w({}, settingsPath());
    auto* stop = w.findChild<QAbstractButton*>("btnStop");
    bool nestedRan = false;
    w.runGuarded([&](CommandContext& ctx) {
      ctx.store.stopRequest = false;
      ctx.ui.progress("42%");
      QVERIFY(stop->isVisibleTo(&w));
      QVERIFY(stop->isEnabled());
      QVERIFY(!w.menuBar()->isEnabled());
      QVERIFY(!w.findChild<QToolBar*>("ToolBar1")->isEnabled());
      QVERIFY(!w.findChild<QWidget*>("btnOpen")->isEnabled());
      QCOMPARE(w.statusBar()->currentMessage(), QString("42%"));
      // A second command cannot start inside the first.
      QVERIFY(!w.runGuarded([&nestedRan](CommandContext&) { nestedRan = true; }));
      stop->click();
      QVERIFY(ctx.store.stopRequest);
      QVERIFY(!stop->isVisibleTo(&w));
    });
    QVERIFY(!nestedRan);
    QVERIFY(w.menuBar()->isEnabled());
    QVERIFY(w.findChild<QWidget*>("btnOpen")->isEnabled());
    QVERIFY(!stop->isVisibleTo(&w));
  }

  void dialogsAreCreatedOnceInTheirStartUpOrder() {
    TfmChart w({}, settingsPath());
    QStringList created;
    for (QObject* child : w.children()) {  // children are kept in creation order
      auto* dialog = qobject_cast<QDialog*>(child);
      if (dialog && dialog->objectName().startsWith("fm")) {  // not the colour dialog
        created << dialog->objectName();
      }
    }
    QCOMPARE(created, (QStringList{"fm3expDLG", "fmAboutChart", "fmBackSpectr", "fmFileAssoc",
                                   "fmLegend", "fmLines", "fmEditComments", "fmPolarDielectric",
                                   "fmPrinOptions", "fmChartRC", "fmSelectTwoGr", "fmSelectGr",
                                   "fmSelectGrParam", "fmShowTextGr", "fmSpectr", "fmValue",
                                   "fmCalcZ", "fmDistance", "fmChartSelectUI", "fmFilter"}));
  }

  void commandLineFileIsOpenedAtCreation() {
    TfmChart opened({kScope}, settingsPath());
    QCOMPARE(opened.store().count(), std::size_t{4});
    QCOMPARE(opened.store().activeIndex(), 3);

    const QString fdt = m_dir.filePath("x.fdt");
    QFile::copy(kScope, fdt);
    TfmChart skipped({fdt}, settingsPath());
    QCOMPARE(skipped.store().count(), std::size_t{0});
    TfmChart missing({m_dir.filePath("nothing.grf")}, settingsPath());
    QCOMPARE(missing.store().count(), std::size_t{0});
  }

  void droppedFilesAreOpened() {
    TfmChart w({}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(kScope)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    QTRY_COMPARE(w.store().count(), std::size_t{4});
  }

  void captionReportsTheChartSize() {
    QCOMPARE(TfmChart::captionFor(QSize(673, 315), '.'), QString("График 673x315 (17.8x8.3) см"));
    TfmChart w({}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(700, 520);
    QTRY_COMPARE(w.windowTitle(), TfmChart::captionFor(w.chart()->size(), '.'));
    QVERIFY(w.windowTitle() != "График");
  }
};

QTEST_MAIN(WindowLifecycleTest)
#include "WindowLifecycleTest.moc"
