// The window's graph commands: the open command's effect on the indicator and the menus,
// closing graphs, choosing the active graph, moving it, the legend and log switches.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
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
#include <new>

#include "GuiTestSupport.h"
#include "WindowTestSupport.h"
#include "app/GuiUi.h"
#include "core/Error.h"
#include "view/ChartView.h"

using tarvik::CommandContext;
using tarvik::app::TfmChart;
using tarvik::testing::enabled;
using tarvik::testing::kScope;
using tarvik::testing::openScope;

class WindowCommandsTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }

 private slots:
  void openingTheExampleActivatesTheLastGraph() {
    TfmChart w({}, settingsPath());
    openScope(w);
    QCOMPARE(w.store().count(), std::size_t{4});
    QCOMPARE(w.store().activeIndex(), 3);
    auto* label = w.findChild<QLabel*>("Label1");
    QCOMPARE(label->text(), QString("Активен график № 4 (10000 точек)"));
    const QColor colour(0, 128, 0);  // the fourth colour of the palette
    QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    QCOMPARE(w.findChild<QLabel*>("paColor")->palette().color(QPalette::Window), colour);
    QVERIFY(enabled(w, "Edit1"));
    QVERIFY(enabled(w, "mnVid"));
  }

  void fileMenuItemsFollowTheGraphCount() {
    TfmChart w({}, settingsPath());
    auto* file = w.findChild<QMenu*>("File1");
    const char* items[] = {
        "Save1",          "Close1",           "CloseAll1", "SaveaBitmap1", "CopytoClipboardBMP1",
        "SaveaMetafile1", "CopytoClipboard1", "Print1"};
    emit file->aboutToShow();
    for (const char* n : items) {
      QVERIFY2(!enabled(w, n), n);
    }
    QVERIFY(enabled(w, "Open1"));
    openScope(w);
    emit file->aboutToShow();
    for (const char* n : items) {
      QVERIFY2(enabled(w, n), n);
    }
    w.findChild<QAction*>("CloseAll1")->trigger();
    QCOMPARE(w.store().count(), std::size_t{0});
    QVERIFY(w.findChild<QLabel*>("Label1")->text().isEmpty());
    QVERIFY(!enabled(w, "Edit1"));
    emit file->aboutToShow();
    QVERIFY(!enabled(w, "Save1"));
  }

  void closeGraphsAndChooseActiveThroughTheDialog() {
    TfmChart w({}, settingsPath());
    openScope(w);
    tarvik::testing::onNextModal([](QWidget* dialog) {
      QCOMPARE(dialog->windowTitle(), QString("Закрыть график"));
      auto* list = dialog->findChild<QListWidget*>("ListBox1");
      list->clearSelection();
      list->item(0)->setSelected(true);
      dialog->findChild<QPushButton*>("btnOK")->click();
    });
    w.findChild<QAction*>("Close1")->trigger();
    QCOMPARE(w.store().count(), std::size_t{3});
    QCOMPARE(w.store().graph(0).title, std::string("CH2"));

    tarvik::testing::onNextModal([](QWidget* dialog) {
      QCOMPARE(dialog->windowTitle(), QString("Сделать активным график"));
      auto* list = dialog->findChild<QListWidget*>("ListBox1");
      list->clearSelection();
      list->item(0)->setSelected(true);
      list->item(1)->setSelected(true);
      dialog->findChild<QPushButton*>("btnOK")->click();
    });
    QTest::mouseClick(w.findChild<QLabel*>("Label1"), Qt::LeftButton);
    QCOMPARE(w.store().activeIndex(), 1);  // the last selected entry
    QVERIFY(w.findChild<QLabel*>("Label1")->text().startsWith("Активен график № 2 "));
  }

  void swatchClickChangesTheActiveColour() {
    TfmChart w({}, settingsPath());
    QTest::mouseClick(w.findChild<QLabel*>("paColor"), Qt::LeftButton);  // no graph: nothing
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    openScope(w);
    const QColor chosen(0x12, 0x34, 0x56);
    tarvik::testing::onNextModal([chosen](QWidget* dialog) {
      auto* colours = qobject_cast<QColorDialog*>(dialog);
      QVERIFY(colours != nullptr);
      colours->setCurrentColor(chosen);
      colours->accept();
    });
    QTest::mouseClick(w.findChild<QLabel*>("paColor"), Qt::LeftButton);
    QCOMPARE(w.store().graph(3).colour, (tarvik::Rgb{0x12, 0x34, 0x56}));
    QCOMPARE(w.findChild<QLabel*>("Label1")->palette().color(QPalette::WindowText), chosen);
    QCOMPARE(w.findChild<QLabel*>("paColor")->palette().color(QPalette::Window), chosen);
  }

  void moveActiveGraphUpAndDown() {
    TfmChart w({}, settingsPath());
    openScope(w);
    auto* up = w.findChild<QAbstractButton*>("SpeedButton7");
    auto* down = w.findChild<QAbstractButton*>("SpeedButton8");
    down->click();  // already last: nothing
    QCOMPARE(w.store().activeIndex(), 3);
    up->click();
    QCOMPARE(w.store().activeIndex(), 2);
    QCOMPARE(w.store().graph(2).title, std::string("CH4"));
    QCOMPARE(w.store().graph(3).title, std::string("CH3"));
    QVERIFY(w.findChild<QLabel*>("Label1")->text().startsWith("Активен график № 3 "));
  }

  void clicksOnLinesChooseTheActiveGraph() {
    TfmChart w({}, settingsPath());
    openScope(w);
    emit w.chart()->graphClicked(1, Qt::NoModifier);
    QCOMPARE(w.store().activeIndex(), 3);
    emit w.chart()->graphClicked(1, Qt::ControlModifier);
    QCOMPARE(w.store().activeIndex(), 1);
    w.findChild<QAbstractButton*>("btnEdit")->setChecked(true);
    emit w.chart()->graphClicked(2, Qt::ControlModifier);
    QCOMPARE(w.store().activeIndex(), 1);
  }

  void legendSwitchSetsEveryGraphsFlag() {
    TfmChart w({}, settingsPath());
    openScope(w);
    auto* legend = w.findChild<QAction*>("Legend1");
    legend->trigger();
    QVERIFY(!legend->isChecked());
    for (std::size_t i = 0; i < w.store().count(); ++i) {
      QVERIFY(!w.store().graph(i).showInLegend);
    }
    w.findChild<QAbstractButton*>("SpeedButton1")->click();
    QVERIFY(legend->isChecked());
    QVERIFY(w.store().graph(0).showInLegend);
    auto* position = w.findChild<QAbstractButton*>("SpeedButton9");
    position->click();
    QCOMPARE(w.chart()->legendAlignment(), tarvik::view::LegendAlignment::Right);
    position->click();
    QCOMPARE(w.chart()->legendAlignment(), tarvik::view::LegendAlignment::Left);
    // The Y values of the example go below zero: a log Y axis is refused silently.
    auto* logY = w.findChild<QAction*>("LogY1");
    logY->trigger();
    QVERIFY(!logY->isChecked());
  }

  // A command that runs out of memory after appending graphs: the window says so and the
  // graphs, the active one and the unnamed-graph counter are as before it; no undo step.
  void aCommandShortOfMemoryLeavesNoGraphOfItsOwn() {
    TfmChart w({}, settingsPath());
    openScope(w);
    const int counter = w.store().unnamedCounter();
    const std::size_t steps = w.store().history().undoCount();
    tarvik::testing::SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen);
    w.runGuarded(
        [](CommandContext& ctx) {
          ctx.store.appendGraph("half");
          ctx.store.appendGraph("made");
          throw std::bad_alloc();
        },
        QStringLiteral("Сплайн"));
    QCOMPARE(seen.text, QString("Недостаточно памяти"));
    QCOMPARE(w.store().count(), std::size_t{4});
    QCOMPARE(w.store().activeIndex(), 3);
    QCOMPARE(w.store().unnamedCounter(), counter);
    QCOMPARE(w.store().history().undoCount(), steps);
  }
};

QTEST_MAIN(WindowCommandsTest)
#include "WindowCommandsTest.moc"
