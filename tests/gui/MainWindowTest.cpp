// The main window: every named element in its place, order and shown state, with its
// caption, hint and shortcut; the start state with no graph.
#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
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
using tarvik::testing::enabled;

namespace {

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

QStringList actionNames(const QList<QAction*>& actions) {
  QStringList names;
  for (QAction* a : actions) {
    names << (a->isSeparator() ? QString("-") : a->objectName());
  }
  return names;
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
    const char* visible[] = {"btnExit",
                             "btnOpen",
                             "SpeedButton3",
                             "SpeedButton2",
                             "btnEdit",
                             "SpeedButton1",
                             "SpeedButton4",
                             "Label2",
                             "Edit2",
                             "SpeedButton5",
                             "BitBtn2",
                             "BitBtn3",
                             "BitBtn1",
                             "SpeedButton6",
                             "SpeedButton7",
                             "SpeedButton8",
                             "ToolButton1",
                             "ToolButton2",
                             "ToolButton3",
                             "ToolButton4",
                             "ToolButton5",
                             "ToolButton6",
                             "ToolButton7",
                             "ToolButton8",
                             "ToolButton9",
                             "ToolButton11",
                             "ToolButton12",
                             "ToolButton13",
                             "ToolButton14",
                             "ToolButton15",
                             "ToolButton16",
                             "ToolButton18",
                             "ToolButton19",
                             "ToolButton20",
                             "btnSpline",
                             "ToolButton26",
                             "ToolButton27",
                             "ToolButton28",
                             "ToolButton30",
                             "cbFixLine",
                             "ToolButton32",
                             "rb01",
                             "rb05",
                             "btnCursors",
                             "btnPulses",
                             "Chart",
                             "lbCoopd",
                             "SpeedButton9",
                             "paColor",
                             "Label1",
                             "StatusBar1",
                             "File1",
                             "N14",
                             "ImpRect",
                             "Re1",
                             "Im1",
                             "N29",
                             "N28",
                             "SinXX1",
                             "Open1",
                             "Save1",
                             "N12",
                             "SaveaBitmap1",
                             "CopytoClipboardBMP1",
                             "SaveaMetafile1",
                             "CopytoClipboard1",
                             "Close1",
                             "CloseAll1",
                             "N13",
                             "PrintOption1",
                             "Print1",
                             "N38",
                             "N40",
                             "Exit1",
                             "mnVid",
                             "N26",
                             "Legengs1",
                             "Titles1",
                             "Lines1",
                             "Fon1",
                             "LogX1",
                             "LogY1",
                             "Legend1",
                             "N4",
                             "mnIzmerit",
                             "mnCursors",
                             "mnPulses",
                             "N35",
                             "Edit1",
                             "mnUndo",
                             "mnRedo",
                             "mnSelectActive",
                             "N33",
                             "N21",
                             "N25",
                             "Y2",
                             "Help1",
                             "About1"};
    const char* hidden[] = {
        "btnStop",      "Button1",      "ToolButton25", "ToolButton23", "ToolButton22",
        "ToolButton24", "ToolButton37", "ToolButton31", "btnUI",        "N31",
        "N32",          "N42",          "N16",          "mnExport",     "X",
        "Y1",           "Summa",        "N17",          "N37",          "N1",
        "N34",          "pnCursors"};
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
    for (const char* n :
         {"CdvigX",   "MulX",  "N22", "N36",  "SdvigY", "MulY",       "N15",      "KorY",
          "KvadratY", "Modul", "N11", "Y1Y1", "N23",    "UBIA1",      "mnDiffer", "N5",
          "mnSpectr", "N18",   "RC2", "RC1",  "RC3",    "mnExport2Db"}) {
      QVERIFY2(w.findChild<QAction*>(n) != nullptr, n);
    }
    QCOMPARE(w.findChild<QAction*>("UBIA1")->text(), QString("\"Ларен\": U(B)-->I(A)"));
  }

  void ordersOfToolbarsAndMenus() {
    TfmChart w({}, settingsPath());
    QCOMPARE(actionNames(w.findChild<QToolBar*>("ToolBar1")->actions()),
             QStringList({"ToolButton1",
                          "ToolButton2",
                          "ToolButton3",
                          "ToolButton4",
                          "ToolButton5",
                          "ToolButton6",
                          "ToolButton7",
                          "ToolButton8",
                          "ToolButton25",
                          "ToolButton9",
                          "-",
                          "ToolButton11",
                          "ToolButton12",
                          "ToolButton13",
                          "ToolButton14",
                          "ToolButton15",
                          "ToolButton16",
                          "-",
                          "ToolButton18",
                          "ToolButton19",
                          "ToolButton20",
                          "-",
                          "ToolButton23",
                          "ToolButton22",
                          "ToolButton24",
                          "-",
                          "ToolButton37",
                          "btnSpline"}));
    QCOMPARE(actionNames(w.findChild<QMenu*>("File1")->actions()),
             QStringList({"N14", "Open1", "mnRecent", "Save1", "N42", "mnSaveSession",
                          "mnOpenSession", "N12", "N16", "-", "Close1",
                          "CloseAll1", "-", "N13", "-", "N38", "-", "N40", "-", "Exit1"}));
    QCOMPARE(actionNames(w.menuBar()->actions()),
             QStringList({"File1", "mnVid", "Edit1", "Help1"}));
    QStringList panel;
    for (QObject* child : w.findChild<QWidget*>("Panel1")->children()) {
      if (child->isWidgetType()) {
        panel << child->objectName();
      }
    }
    QCOMPARE(panel, QStringList({"btnExit", "btnOpen", "SpeedButton3", "SpeedButton2", "btnEdit",
                                 "SpeedButton1", "SpeedButton4", "Label2", "Edit2", "SpeedButton5",
                                 "BitBtn2", "BitBtn3", "BitBtn1", "SpeedButton6", "SpeedButton7",
                                 "SpeedButton8", "btnStop", "Button1"}));
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
    QCOMPARE(w.findChild<QMenu*>("Edit1")->title().remove('&'), QString("Редактировать"));
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

  // What a screen reader announces for a button that shows only an image: the tool tip of
  // its hint (the status-line text where the hint has no tool tip).
  void iconButtonsAreNamedByTheirHint() {
    TfmChart w({}, settingsPath());
    int iconButtons = 0;
    for (QAbstractButton* button : w.findChildren<QAbstractButton*>()) {
      if (button->window() != &w || button->icon().isNull() ||
          button->objectName().startsWith("qt_")) {
        continue;
      }
      ++iconButtons;
      const QString expected =
          button->toolTip().isEmpty() ? button->statusTip() : button->toolTip();
      QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(button);
      QVERIFY(reader != nullptr);
      const QString announced = reader->text(QAccessible::Name);
      QVERIFY2(!announced.isEmpty(), qPrintable(button->objectName()));
      // Buttons that share a hint are named apart by their axis; a captioned button's
      // name holds its caption.
      const QString name = button->objectName();
      if (name == "ToolButton2" || name == "ToolButton3") {
        QVERIFY2(announced == expected + " по Y", qPrintable(name + ": " + announced));
      } else if (name == "ToolButton19" || name == "ToolButton20") {
        QVERIFY2(announced == expected + " по X", qPrintable(name + ": " + announced));
      } else if (const auto* tool = qobject_cast<QToolButton*>(button);
                 tool != nullptr && tool->toolButtonStyle() == Qt::ToolButtonTextOnly) {
        QVERIFY2(announced.contains(button->text()), qPrintable(name + ": " + announced));
      } else {
        QVERIFY2(announced == expected, qPrintable(name + ": " + announced));
      }
    }
    // The top panel's speed buttons, both toolbars' image buttons (hidden ones too), the
    // legend position switch, the cursor switch and the pulse panel's button.
    QCOMPARE(iconButtons, 48);
    QCOMPARE(w.findChild<QWidget*>("SpeedButton9")->accessibleName(),
             QString("Переключатель положения легенд"));
    QCOMPARE(w.findChild<QWidget*>("ToolButton20")->accessibleName(), QString("Умножить по X"));
    QCOMPARE(w.findChild<QWidget*>("BitBtn3")->accessibleName(), QString("All — Показать все"));
    QCOMPARE(w.findChild<QWidget*>("paColor")->accessibleName(),
             QString("Цвет активного графика"));
  }

  // The chart's hint is the longest text of the status line: at the start size it shows
  // whole (wrapped), and showing it does not change the height of the bar or the chart.
  void statusLineShowsTheChartHintWhole() {
    TfmChart w({}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.size(), QSize(683, 506));
    auto* chart = w.findChild<QWidget*>("Chart");
    const int chartHeight = chart->height();
    QStatusTipEvent hover(chart->statusTip());  // what the pointer entering the chart sends
    QApplication::sendEvent(chart, &hover);
    QApplication::processEvents();

    auto* text = w.findChild<QLabel*>("StatusText");
    QVERIFY(text->isVisible());
    QCOMPARE(text->text(), chart->statusTip());
    const QRect room = text->contentsRect();
    QVERIFY2(text->heightForWidth(room.width()) <= room.height(),
             qPrintable(QString("needs %1 px, has %2")
                            .arg(text->heightForWidth(room.width()))
                            .arg(room.height())));
    QVERIFY(text->geometry().right() < w.statusBar()->width());
    QCOMPARE(chart->height(), chartHeight);

    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(chart, &leave);
    QCOMPARE(text->text(), QString("Графики"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
