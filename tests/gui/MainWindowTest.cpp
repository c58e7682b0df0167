// The main window: every named element in its place and state, the menus following the
// graph count, the open command's effect on the indicator, and the command dispatcher.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QDropEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/GuiUi.h"
#include "core/Error.h"
#include "io/FileCommands.h"
#include "view/ChartView.h"

using tarvik::CommandContext;
using tarvik::app::TfmChart;

namespace {

const QString kScope = QString(TARVIK_EXAMPLES_DIR) + "/pulse_scope.csv";

// Shown state of an element as the window would show it.
bool shown(TfmChart& w, const QString& name) {
  if (auto* action = w.findChild<QAction*>(name)) {
    return action->isVisible();
  }
  auto* widget = w.findChild<QWidget*>(name);
  if (widget == nullptr) {
    return false;
  }
  // A toolbar shows its widgets only once laid out; its action says whether it will.
  if (auto* bar = qobject_cast<QToolBar*>(widget->parentWidget())) {
    for (QAction* action : bar->actions()) {
      if (bar->widgetForAction(action) == widget) {
        return action->isVisible();
      }
    }
  }
  return widget->isVisibleTo(&w);
}

bool enabled(TfmChart& w, const char* name) { return w.findChild<QAction*>(name)->isEnabled(); }

QStringList actionNames(const QList<QAction*>& actions) {
  QStringList names;
  for (QAction* a : actions) {
    names << (a->isSeparator() ? QString("-") : a->objectName());
  }
  return names;
}

void openScope(TfmChart& w) {
  const std::string path = kScope.toStdString();
  w.runGuarded([&path](CommandContext& ctx) { tarvik::openFiles(ctx, {path}); });
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }

 private slots:
  void everyElementIsThereWithItsShownState_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("visible");
    const char* visible[] = {
        "btnExit", "btnOpen", "SpeedButton3", "SpeedButton2", "btnEdit", "SpeedButton1",
        "SpeedButton4", "Label2", "Edit2", "SpeedButton5", "BitBtn2", "BitBtn3", "BitBtn1",
        "SpeedButton6", "SpeedButton7", "SpeedButton8", "ToolButton1", "ToolButton2",
        "ToolButton3", "ToolButton4", "ToolButton5", "ToolButton6", "ToolButton7",
        "ToolButton8", "ToolButton9", "ToolButton11", "ToolButton12", "ToolButton13",
        "ToolButton14", "ToolButton15", "ToolButton16", "ToolButton18", "ToolButton19",
        "ToolButton20", "btnSpline", "ToolButton26", "ToolButton27", "ToolButton28",
        "ToolButton30", "cbFixLine", "ToolButton32", "rb01", "rb05", "Chart", "lbCoopd",
        "SpeedButton9", "paColor", "Label1", "StatusBar1", "File1", "N14", "ImpRect", "Re1",
        "Im1", "N29", "N28", "SinXX1", "Open1", "Save1", "N12", "SaveaBitmap1",
        "CopytoClipboardBMP1", "SaveaMetafile1", "CopytoClipboard1", "Close1", "CloseAll1",
        "N13", "PrintOption1", "Print1", "N38", "N40", "Exit1", "mnVid", "N26", "Legengs1",
        "Titles1", "Lines1", "Fon1", "LogX1", "LogY1", "Legend1", "N4", "mnIzmerit", "N35",
        "Edit1", "mnSelectActive", "N33", "N21", "N25", "Y2", "Help1", "About1"};
    const char* hidden[] = {"btnStop", "Button1", "ToolButton25", "ToolButton23", "ToolButton22",
                            "ToolButton24", "ToolButton37", "ToolButton31", "btnUI", "N31",
                            "N32", "N42", "N16", "mnExport", "X", "Y1", "Summa", "N17", "N37",
                            "N1", "N34"};
    for (const char* n : visible) {
      QTest::newRow(n) << QString(n) << true;
    }
    for (const char* n : hidden) {
      QTest::newRow(n) << QString(n) << false;
    }
  }
  void everyElementIsThereWithItsShownState() {
    QFETCH(QString, name);
    QFETCH(bool, visible);
    TfmChart w({}, settingsPath());
    QVERIFY2(w.findChild<QObject*>(name) != nullptr, qPrintable(name));
    QCOMPARE(shown(w, name), visible);
  }

  // Commands of hidden elements still exist in the tree, reachable by name.
  void hiddenSubmenusKeepTheirItems() {
    TfmChart w({}, settingsPath());
    for (const char* n : {"CdvigX", "MulX", "N22", "N36", "SdvigY", "MulY", "N15", "KorY",
                          "KvadratY", "Modul", "N11", "Y1Y1", "N23", "UBIA1", "mnDiffer", "N5",
                          "mnSpectr", "N18", "RC2", "RC1", "RC3", "mnExport2Db"}) {
      QVERIFY2(w.findChild<QAction*>(n) != nullptr, n);
    }
    QCOMPARE(w.findChild<QAction*>("UBIA1")->text(), QString("\"Ларен\": U(B)-->I(A)"));
  }

  void ordersOfToolbarsAndMenus() {
    TfmChart w({}, settingsPath());
    QCOMPARE(actionNames(w.findChild<QToolBar*>("ToolBar1")->actions()),
             QStringList({"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton4",
                          "ToolButton5", "ToolButton6", "ToolButton7", "ToolButton8",
                          "ToolButton25", "ToolButton9", "-", "ToolButton11", "ToolButton12",
                          "ToolButton13", "ToolButton14", "ToolButton15", "ToolButton16", "-",
                          "ToolButton18", "ToolButton19", "ToolButton20", "-", "ToolButton23",
                          "ToolButton22", "ToolButton24", "-", "ToolButton37", "btnSpline"}));
    QCOMPARE(actionNames(w.findChild<QMenu*>("File1")->actions()),
             QStringList({"N14", "Open1", "Save1", "N42", "N12", "N16", "-", "Close1",
                          "CloseAll1", "-", "N13", "-", "N38", "-", "N40", "-", "Exit1"}));
    QCOMPARE(actionNames(w.menuBar()->actions()),
             QStringList({"File1", "mnVid", "Edit1", "Help1"}));
    QStringList panel;
    for (QObject* child : w.findChild<QWidget*>("Panel1")->children()) {
      if (child->isWidgetType()) {
        panel << child->objectName();
      }
    }
    QCOMPARE(panel, QStringList({"btnExit", "btnOpen", "SpeedButton3", "SpeedButton2",
                                 "btnEdit", "SpeedButton1", "SpeedButton4", "Label2", "Edit2",
                                 "SpeedButton5", "BitBtn2", "BitBtn3", "BitBtn1", "SpeedButton6",
                                 "SpeedButton7", "SpeedButton8", "btnStop", "Button1"}));
  }

  void captionsHintsAndShortcuts() {
    TfmChart w({}, settingsPath());
    auto* edit = w.findChild<QAbstractButton*>("btnEdit");
    QCOMPARE(edit->toolTip(), QString("Редактировать активный график"));
    QCOMPARE(edit->statusTip(),
             QString("При нажатой кнопке мышью можно редактировать активный график"));
    QVERIFY(edit->isCheckable() && !edit->isChecked());
    QVERIFY(w.findChild<QAbstractButton*>("SpeedButton4")->isCheckable());
    // Same hint, different axis.
    for (const char* n : {"ToolButton2", "ToolButton20"}) {
      QCOMPARE(w.findChild<QAction*>(n)->toolTip(), QString("Умножить"));
    }
    for (const char* n : {"ToolButton3", "ToolButton19"}) {
      QCOMPARE(w.findChild<QAction*>(n)->toolTip(), QString("Разделить"));
    }
    QCOMPARE(w.findChild<QLabel*>("Label1")->statusTip(),
             QString("Щелкните для выбора активного графика"));
    QCOMPARE(w.findChild<QLabel*>("Label1")->toolTip(), QString());
    QCOMPARE(w.findChild<QLineEdit*>("Edit2")->text(), QString("0.0"));
    QCOMPARE(w.findChild<QAbstractButton*>("btnStop")->text(), QString("СТОП"));
    QCOMPARE(w.findChild<QAbstractButton*>("BitBtn3")->text(), QString("All"));
    QVERIFY(w.findChild<QAbstractButton*>("rb05")->isChecked());
    QVERIFY(!w.findChild<QAbstractButton*>("rb01")->isChecked());
    QVERIFY(!w.findChild<QCheckBox*>("cbFixLine")->isChecked());
    QCOMPARE(w.findChild<QAction*>("CopytoClipboardBMP1")->shortcut(), QKeySequence("Ctrl+B"));
    QCOMPARE(w.findChild<QAction*>("CopytoClipboard1")->shortcut(), QKeySequence("Ctrl+W"));
    QVERIFY(w.findChild<QAction*>("Legend1")->isChecked());
    QVERIFY(!w.findChild<QAction*>("LogX1")->isChecked());
    QCOMPARE(w.findChild<QAction*>("Exit1")->text(), QString("Закрыть"));
    QCOMPARE(w.findChild<QMenu*>("Edit1")->title(), QString("Редактировать"));
    QVERIFY(!w.findChild<QAction*>("ToolButton15")->icon().isNull());
    QVERIFY(!QApplication::windowIcon().isNull() || !QIcon(":/icons/tarvik.svg").isNull());
  }

  void startsEmptyWithMenusDisabled() {
    TfmChart w({}, settingsPath());
    QCOMPARE(w.windowTitle(), QString("График"));
    QVERIFY(!enabled(w, "Edit1"));
    QVERIFY(!enabled(w, "mnVid"));
    QVERIFY(w.findChild<QLabel*>("Label1")->text().isEmpty());
    QCOMPARE(w.findChild<QLabel*>("StatusText")->text(), QString("Графики"));
    QCOMPARE(w.store().activeIndex(), -1);
  }

  void openingTheExampleActivatesTheLastGraph() {
    TfmChart w({}, settingsPath());
    openScope(w);
    QCOMPARE(w.store().count(), std::size_t{4});
    QCOMPARE(w.store().activeIndex(), 3);
    auto* label = w.findChild<QLabel*>("Label1");
    QCOMPARE(label->text(), QString("Активен график № 4 (%1 точек)").arg(w.store().graph(3).size()));
    const QColor colour(0, 128, 0);  // the fourth colour of the palette
    QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    QCOMPARE(w.findChild<QLabel*>("paColor")->palette().color(QPalette::Window), colour);
    QVERIFY(enabled(w, "Edit1"));
    QVERIFY(enabled(w, "mnVid"));
  }

  void fileMenuItemsFollowTheGraphCount() {
    TfmChart w({}, settingsPath());
    auto* file = w.findChild<QMenu*>("File1");
    const char* items[] = {"Save1", "Close1", "CloseAll1", "SaveaBitmap1",
                           "CopytoClipboardBMP1", "SaveaMetafile1", "CopytoClipboard1", "Print1"};
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
    // The Y values of the example go below zero: a log Y axis is refused silently.
    auto* logY = w.findChild<QAction*>("LogY1");
    logY->trigger();
    QVERIFY(!logY->isChecked());
  }

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

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
