// Undo and redo in the window, worked as a user works it: a button click, a Shift-drag on
// the chart and "Close all" each become one step; Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z go to
// the focused widget; the Edit menu's first two items name the steps.
#include <QAction>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/WindowActions.h"
#include "view/ChartView.h"

using tarvik::DocumentState;
using tarvik::Graph;
using tarvik::app::TfmChart;
using tarvik::testing::pressKey;

class UndoWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;

  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }

  // Two graphs made outside any command, so the history starts empty.
  static void addGraphs(TfmChart& w) {
    for (const char* title : {"pulse", "flat"}) {
      Graph& g = w.store().graph(w.store().appendGraph(title));
      for (int k = 0; k <= 20; ++k) {
        g.appendPoint(k, title[0] == 'p' ? (k <= 10 ? k : 20 - k) : 1.0);
      }
    }
    w.store().chart().redraw();
  }

  static QAction* action(TfmChart& w, const char* name) { return w.findChild<QAction*>(name); }

  static void click(TfmChart& w, const char* buttonName) {
    auto* button = w.findChild<QWidget*>(buttonName);
    QWidget* under = w.childAt(button->mapTo(&w, button->rect().center()));
    QVERIFY(under != nullptr);
    QTest::mouseClick(under, Qt::LeftButton, Qt::NoModifier, under->rect().center());
  }

 private slots:
  void stepsAreUndoneAndRedoneFromTheKeyboardAndNamedInTheEditMenu() {
    TfmChart w({}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    addGraphs(w);
    QVERIFY(!action(w, "mnUndo")->isEnabled());
    QVERIFY(!action(w, "mnRedo")->isEnabled());
    QCOMPARE(w.findChild<QMenu*>("Edit1")->actions().at(0)->objectName(), QString("mnUndo"));
    QCOMPARE(w.findChild<QMenu*>("Edit1")->actions().at(1)->objectName(), QString("mnRedo"));

    const DocumentState opened = w.store().state();
    click(w, "SpeedButton7");  // the active graph (the second) moves up
    QCOMPARE(w.store().graph(0).title, std::string("flat"));
    const DocumentState moved = w.store().state();
    QVERIFY(action(w, "mnUndo")->isEnabled());
    QCOMPARE(action(w, "mnUndo")->text(), QString("Отменить: Текущий график вверх"));

    pressKey(&w, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(w.store().state().sameAs(opened));
    QVERIFY(!action(w, "mnUndo")->isEnabled());
    QCOMPARE(action(w, "mnRedo")->text(), QString("Повторить: Текущий график вверх"));
    QCOMPARE(w.findChild<QLabel*>("Label1")->text(),
             QString("Активен график № 2 (21 точек)"));  // the indicator follows

    pressKey(&w, Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(w.store().state().sameAs(moved));
    pressKey(&w, Qt::Key_Z, Qt::ControlModifier);
    pressKey(&w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(w.store().state().sameAs(moved));
  }

  void aShiftDragOfTheGraphIsOneStepAndUndoGivesThePointsBack() {
    TfmChart w({}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    addGraphs(w);
    w.store().setActiveIndex(0);
    QCoreApplication::processEvents();
    const DocumentState before = w.store().state();
    tarvik::view::ChartView* chart = w.chart();
    const QPoint from = chart->axisRect()->rect().center();
    const QPoint to = from + QPoint(40, -30);
    QTest::mousePress(chart, Qt::LeftButton, Qt::ShiftModifier, from);
    QTest::mouseMove(chart, to);
    QTest::mouseRelease(chart, Qt::LeftButton, Qt::ShiftModifier, to);
    QVERIFY(!w.store().state().sameAs(before));
    QCOMPARE(action(w, "mnUndo")->text(), QString("Отменить: Сдвиг графика"));
    QCOMPARE(w.store().history().undoCount(), std::size_t{1});

    pressKey(&w, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(w.store().state().sameAs(before));

    // A measuring drag (Alt) changes nothing and leaves no step.
    QTest::mousePress(chart, Qt::LeftButton, Qt::AltModifier, from);
    QTest::mouseMove(chart, to);
    QTest::mouseRelease(chart, Qt::LeftButton, Qt::AltModifier, to);
    QCOMPARE(w.store().history().undoCount(), std::size_t{0});
  }

  void closeAllIsUndoneFromTheKeyboardWhileTheEditMenuIsDisabled() {
    TfmChart w({}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    addGraphs(w);
    const DocumentState before = w.store().state();
    QVERIFY(w.runCommand("CloseAll1"));
    QCOMPARE(w.store().count(), std::size_t{0});
    QVERIFY(!w.findChild<QMenu*>("Edit1")->menuAction()->isEnabled());
    pressKey(&w, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(w.store().state().sameAs(before));
    QVERIFY(w.findChild<QMenu*>("Edit1")->menuAction()->isEnabled());
  }

  // Every element bound to a command names its step after what it does (a toolbar button
  // by its hint), never by the catch-all caption.
  void everyCommandNamesItsStep() {
    TfmChart w({}, settingsPath());
    QCOMPARE(tarvik::app::stepCaption(w, "ToolButton15"), QString("Преобразование Фурье"));
    QCOMPARE(tarvik::app::stepCaption(w, "ToolButton16"),
             QString("Обратное преобразование Фурье"));
    QCOMPARE(tarvik::app::stepCaption(w, "mnSpectr"), QString("Спектр"));
    QCOMPARE(tarvik::app::stepCaption(w, "N18"), QString("Обратно из спектра"));
    QStringList unnamed;
    for (const auto& [name, handler] : w.commands().all()) {
      if (tarvik::app::stepCaption(w, name) == "Изменение") {
        unnamed << name;
      }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
  }
};

QTEST_MAIN(UndoWindowTest)
#include "UndoWindowTest.moc"
