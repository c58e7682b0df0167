// The main window's layout as a user meets it: the top panel and the toolbars sharing rows
// where they fit, the least window size that keeps the plot readable with many graphs, the
// legend that leaves the room under the X axis when it would crowd the plot out, the cursor
// table in its four columns with units, and the check item that shows the commands the
// design hides.
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <algorithm>

#include "GuiTestSupport.h"
#include "WindowTestSupport.h"
#include "app/ChartMyCursors.h"
#include "app/RecentFiles.h"
#include "view/ChartView.h"

using tarvik::app::TfmChart;

namespace {

const QString kGrf = QString(TARVIK_EXAMPLES_DIR) + "/pulse.grf";

// Nine graphs: the four-channel scope file twice and one plain graph file.
void openNineGraphs(TfmChart& w) {
  const std::string scope = tarvik::testing::kScope.toStdString();
  tarvik::app::openFilesInWindow(w, {scope, scope, kGrf.toStdString()});
}

// The three bars above the chart, in their order.
QList<QWidget*> bars(TfmChart& w) {
  return {w.findChild<QWidget*>("Panel1"), w.findChild<QWidget*>("ToolBar1"),
          w.findChild<QWidget*>("ToolBar2")};
}

void settle(TfmChart& w) {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::processEvents();
    QTest::qWait(20);
  }
  w.chart()->replot(QCustomPlot::rpImmediateRefresh);
}

int plotHeight(TfmChart& w) { return w.chart()->axisRect()->height(); }

// Clicks the menu-bar title of `menu`, then its item `item`, as the mouse does.
bool clickMenuItem(TfmChart& w, QMenu* menu, QAction* item) {
  QMenuBar* bar = w.menuBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                    bar->actionGeometry(menu->menuAction()).center());
  if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 10000)) {
    return false;
  }
  QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(item).center());
  return QTest::qWaitFor([menu] { return !menu->isVisible(); }, 10000);
}

}  // namespace

class WindowLayoutTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString settingsPath() const { return m_dir.filePath("tarvik.INI"); }

 private slots:
  void initTestCase() {
    qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8());
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
  }
  void cleanup() { QFile::remove(settingsPath()); }

  void toolbarsShareARowWhenTheyFitAndKeepTheirOrder() {
    TfmChart w({}, settingsPath());
    w.resize(1590, 900);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    settle(w);
    QList<int> tops;
    for (QWidget* bar : bars(w)) {
      tops << bar->geometry().top();
      // Each bar whole: as wide as its contents.
      QVERIFY2(bar->width() >= bar->sizeHint().width(), qPrintable(bar->objectName()));
    }
    QList<int> rows = tops;
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QVERIFY2(rows.size() <= 2, qPrintable(QString("%1 rows").arg(rows.size())));
    // The order holds: a bar stands right of the one before it, or lower.
    const QList<QWidget*> b = bars(w);
    for (int i = 1; i < b.size(); ++i) {
      const QRect before = b[i - 1]->geometry();
      const QRect now = b[i]->geometry();
      QVERIFY(now.top() > before.top() ||
              (now.top() == before.top() && now.left() > before.left()));
    }
    // The chart takes what the bars leave of the window's height.
    QVERIFY2(w.chart()->height() > w.height() * 7 / 10,
             qPrintable(QString::number(w.chart()->height())));
    if (!qEnvironmentVariableIsEmpty("TARVIK_SHOTS")) {
      w.grab().save(qEnvironmentVariable("TARVIK_SHOTS") + "/window-1590.png");
    }
  }

  void leastWindowSizeKeepsThePlotAndEveryBarWhole() {
    TfmChart w({}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    openNineGraphs(w);
    QCOMPARE(w.store().count(), std::size_t(9));
    w.resize(300, 200);  // a user drags the corner as far as it goes
    settle(w);
    const QSize least = w.size();
    QVERIFY2(least.width() > 300 && least.height() > 200,
             qPrintable(QString("%1x%2").arg(least.width()).arg(least.height())));
    QVERIFY2(plotHeight(w) >= tarvik::view::kMinPlotHeightPx,
             qPrintable(QString::number(plotHeight(w))));
    for (QWidget* bar : bars(w)) {
      QVERIFY2(bar->isVisible() && bar->width() >= bar->sizeHint().width(),
               qPrintable(bar->objectName()));
    }
    // Nine rows under the X axis would crowd the plot out: the legend stands at the right.
    QCOMPARE(w.chart()->legendAlignment(), tarvik::view::LegendAlignment::Left);
    QVERIFY(w.chart()->legendPlacedRight());
    QVERIFY(w.chart()->legend->outerRect().bottom() <= w.chart()->height());
    if (!qEnvironmentVariableIsEmpty("TARVIK_SHOTS")) {
      w.grab().save(qEnvironmentVariable("TARVIK_SHOTS") + "/window-least.png");
    }

    // At the start size the plot keeps its height too, wherever the legend goes.
    w.resize(683, 506);
    settle(w);
    QVERIFY2(plotHeight(w) >= tarvik::view::kMinPlotHeightPx,
             qPrintable(QString::number(plotHeight(w))));
    // Tall enough again, the legend goes back under the X axis.
    w.resize(900, 900);
    settle(w);
    QVERIFY(!w.chart()->legendPlacedRight());
    QVERIFY(w.chart()->legend->outerRect().top() > w.chart()->axisRect()->rect().bottom());
  }

  void cursorTableStandsInFourColumnsWithUnits() {
    TfmChart w({}, settingsPath());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    tarvik::app::openFilesInWindow(w, {kGrf.toStdString()});
    w.store().yAxisTitle = "U, кВ";
    auto* cursors = w.findChild<QAbstractButton*>("btnCursors");
    QTest::mouseClick(cursors, Qt::LeftButton, Qt::NoModifier, cursors->rect().center());
    settle(w);
    tarvik::app::CursorPanel* panel = w.cursorPanel();
    QVERIFY(panel->isVisible());
    auto at = [panel](std::size_t i) {
      QLabel* label = panel->valueLabel(i);
      return label->mapTo(panel, QPoint(0, 0));
    };
    // Columns: X1 X2 ΔX 1/ΔX | Y1 Y2 ΔY | count min max p2p | mean RMS integral.
    const std::size_t starts[] = {0, 4, 7, 11, 14};
    for (int g = 0; g < 4; ++g) {
      for (std::size_t i = starts[g]; i < starts[g + 1]; ++i) {
        QCOMPARE(at(i).x(), at(starts[g]).x());  // one column
        if (i > starts[g]) {
          QVERIFY(at(i).y() > at(i - 1).y());  // top to bottom
        }
      }
      if (g > 0) {
        QVERIFY(at(starts[g]).x() > at(starts[g - 1]).x());
        QCOMPARE(at(starts[g]).y(), at(0).y());  // every column starts in the first row
      }
    }
    QVERIFY(panel->minimumSizeHint().width() <= panel->width());
    QCOMPARE(panel->unitText(0), QString("нс"));
    QCOMPARE(panel->unitText(3), QString("1/нс"));
    QCOMPARE(panel->unitText(5), QString("кВ"));
    QCOMPARE(panel->unitText(7), QString());
    QCOMPARE(panel->unitText(12), QString("кВ"));
    QCOMPARE(panel->unitText(13), QString("кВ·нс"));
    if (!qEnvironmentVariableIsEmpty("TARVIK_SHOTS")) {
      w.grab().save(qEnvironmentVariable("TARVIK_SHOTS") + "/cursor-table.png");
    }
  }

  void hiddenCommandsShowInTheirPlacesFromTheViewMenuAndTheChoiceIsKept() {
    const char* hiddenItems[] = {"N31", "N32", "X", "Y1", "Summa", "N34", "N42"};
    const char* hiddenButtons[] = {"ToolButton25", "ToolButton31", "ToolButton37", "btnUI"};
    {
      TfmChart w({}, settingsPath());
      w.show();
      QVERIFY(QTest::qWaitForWindowExposed(&w));
      for (const char* name : hiddenItems) {
        QVERIFY2(!w.findChild<QAction*>(name)->isVisible(), name);
      }
      for (const char* name : hiddenButtons) {
        QVERIFY2(!w.findChild<QWidget*>(name)->isVisible(), name);
      }
      tarvik::testing::openScope(w);  // the "Вид" menu opens only with graphs
      auto* vid = w.findChild<QMenu*>("mnVid");
      QAction* show = w.findChild<QAction*>("mnShowHidden");
      QVERIFY(show != nullptr && show->isCheckable() && !show->isChecked());
      QCOMPARE(show->text(), QString("Показать скрытые команды"));
      QVERIFY(clickMenuItem(w, vid, show));
      QVERIFY(show->isChecked());
      settle(w);
      for (const char* name : hiddenItems) {
        QVERIFY2(w.findChild<QAction*>(name)->isVisible(), name);
      }
      for (const char* name : hiddenButtons) {
        QVERIFY2(w.findChild<QWidget*>(name)->isVisible(), name);
      }
      QVERIFY(w.findChild<QWidget*>("Button1")->isVisible());   // "FFT" on the top panel
      QVERIFY(!w.findChild<QWidget*>("btnStop")->isVisible());  // shown by long loops only
      // In its listed place: the B-spline button between "Поменять местами X и Y" and
      // the Catmull–Rom "Сплайн".
      const int spline37 = w.findChild<QWidget*>("ToolButton37")->x();
      QVERIFY(w.findChild<QWidget*>("ToolButton24")->x() < spline37);
      QVERIFY(spline37 < w.findChild<QWidget*>("btnSpline")->x());
      QVERIFY(w.findChild<QWidget*>("ToolButton8")->x() <
              w.findChild<QWidget*>("ToolButton25")->x());
      if (!qEnvironmentVariableIsEmpty("TARVIK_SHOTS")) {
        w.grab().save(qEnvironmentVariable("TARVIK_SHOTS") + "/hidden-commands-shown.png");
      }
    }
    QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).value("Vid/mnShowHidden").toBool(),
             true);
    TfmChart again({}, settingsPath());
    again.show();
    QVERIFY(again.findChild<QAction*>("mnShowHidden")->isChecked());
    QVERIFY(again.findChild<QAction*>("N31")->isVisible());
    QVERIFY(again.findChild<QWidget*>("ToolButton37")->isVisible());
    // Off again: hidden as designed.
    again.findChild<QAction*>("mnShowHidden")->trigger();
    QVERIFY(!again.findChild<QAction*>("N31")->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!again.findChild<QWidget*>("ToolButton37")->isVisible(), 10000);
    QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).value("Vid/mnShowHidden").toBool(),
             false);
  }
};

QTEST_MAIN(WindowLayoutTest)
#include "WindowLayoutTest.moc"
