// The panel "Импульсы..." the way a user works it: opened by its menu item and its button,
// the table of a trapezoid train whose answers are known, the three ranges (the visible
// one following zoom and pan), a row click that moves the view, the table copied, the
// histogram and trend appended as the batch runner appends them, and the panel without an
// active graph.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <fstream>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/PulsePanel.h"
#include "core/Palette.h"
#include "io/FileCommands.h"
#include "view/ChartView.h"

using tarvik::CommandContext;
using tarvik::Graph;
using tarvik::PulseReport;
using tarvik::app::PulsePanel;
using tarvik::app::TfmChart;

namespace {

// Six trapezoids of period 50 on a unit grid: 0 up to 10, a straight rise to 1 at 20, 1 up
// to 40, a straight fall to 0 at 50; 0 again to X = 300. Histogram levels 0 and 1, so
// L = 0.1 at X = 11, M = 0.5 at 15, U = 0.9 at 19: rise and fall times 8, width 30,
// period 50.
std::vector<double> trapezoids() {
  std::vector<double> ys;
  for (int i = 0; i <= 300; ++i) {
    const int p = i % 50;
    ys.push_back(i == 300 || p < 10 ? 0.0
                 : p < 20           ? (p - 10) / 10.0
                 : p < 40           ? 1.0
                                    : 1 - (p - 40) / 10.0);
  }
  return ys;
}

void click(QWidget* w, QPoint at = {}) {
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at.isNull() ? w->rect().center() : at);
}

QStringList splitLines(const QString& text) { return text.split('\n', Qt::SkipEmptyParts); }

}  // namespace

class PulsePanelTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  std::unique_ptr<TfmChart> m_w;

  QString graphFile() const { return m_dir.filePath("t.grf"); }
  PulsePanel* panel() const { return m_w->pulsePanel(); }
  QTableView* table() const { return panel()->findChild<QTableView*>("tbPulses"); }

  void openTrapezoids() {
    {
      std::ofstream file(graphFile().toStdString(), std::ios::binary);
      file.precision(17);
      const std::vector<double> ys = trapezoids();
      for (std::size_t i = 0; i < ys.size(); ++i) {
        file << double(i) << ' ' << ys[i] << (i == 0 ? " tr" : "") << "\r\n";
      }
    }
    const std::string path = graphFile().toStdString();
    m_w->runGuarded([&path](CommandContext& ctx) { tarvik::openFiles(ctx, {path}); });
    QCOMPARE(m_w->store().count(), std::size_t(1));
  }

  // Waits (generously: a loaded machine) for the panel to show the result of its newest
  // request, after `change` has been made.
  bool resultAfter(const std::function<void()>& change) {
    QSignalSpy shown(panel(), &PulsePanel::resultShown);
    change();
    return shown.wait(30000);
  }

  // Opens the panel and waits for its first result.
  void openPanel() {
    click(m_w->findChild<QAbstractButton*>("btnPulses"));
    QVERIFY(panel() != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(panel()->report() != nullptr || !panel()->statusText().isEmpty(),
                             30000);
    QTRY_VERIFY_WITH_TIMEOUT(panel()->statusText() != "Измерение…", 30000);
  }

  // Chooses item `index` of a combo box as a user does: a click opens its list, the keys go
  // to the list that has the focus.
  void choose(QComboBox* box, int index) {
    click(box);
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget() != nullptr, 10000);
    QWidget* list = QApplication::focusWidget();
    QVERIFY(list != nullptr);
    for (int k = box->currentIndex(); k < index; ++k) {
      QTest::keyClick(list, Qt::Key_Down);
    }
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(box->currentIndex(), index, 10000);
  }

  void clickCell(int row, int column) {
    QTableView* view = table();
    view->scrollTo(view->model()->index(row, column));
    const QRect cell = view->visualRect(view->model()->index(row, column));
    click(view->viewport(), cell.center());
  }

  // What tarvik-batch prints for `commands` after opening the same graph file.
  QStringList batch(const QString& commands) {
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.start(TARVIK_BATCH_EXE, {"-e", "open t.grf; " + commands});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
      qWarning("%s", p.readAllStandardError().constData());
      return {};
    }
    return splitLines(QString::fromUtf8(p.readAllStandardOutput()));
  }

  static QStringList points(const Graph& g) {
    QStringList out;
    for (std::size_t i = 0; i < g.size(); ++i) {
      char line[64];
      std::snprintf(line, sizeof line, "%.17g\t%.17g", g.x(i), g.y(i));
      out << line;
    }
    return out;
  }

 private slots:
  void init() {
    m_w = std::make_unique<TfmChart>(QStringList{}, m_dir.filePath("tarvik.INI"));
    m_w->resize(900, 700);
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
  }
  void cleanup() { m_w.reset(); }

  void menuItemAndButtonOpenThePanel() {
    openTrapezoids();
    QAction* item = m_w->findChild<QAction*>("mnPulses");
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), QString("Импульсы..."));
    const QList<QAction*> view = m_w->findChild<QMenu*>("mnVid")->actions();
    QCOMPARE(view.indexOf(item), view.indexOf(m_w->findChild<QAction*>("mnCursors")) + 1);
    item->trigger();
    QVERIFY(panel() != nullptr);
    QVERIFY(panel()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(panel()->report() != nullptr, 30000);
    panel()->close();
    QVERIFY(!panel()->isVisible());
    click(m_w->findChild<QAbstractButton*>("btnPulses"));
    QVERIFY(panel()->isVisible());
    QCOMPARE(m_w->findChildren<PulsePanel*>().size(), 1);  // the same panel again
  }

  void tableOfATrapezoidTrainHoldsItsKnownAnswers() {
    openTrapezoids();
    openPanel();
    const PulseReport* r = panel()->report();
    QVERIFY(r != nullptr);
    QCOMPARE(r->levels.low, 0.0);
    QCOMPARE(r->levels.high, 1.0);
    QCOMPARE(r->transitionCount, std::size_t(12));
    QCOMPARE(r->pulseCount, std::size_t(6));
    QVERIFY(panel()->statusText().startsWith("Перепадов: 12, импульсов: 6; low 0, high 1"));
    const QAbstractItemModel* model = table()->model();
    QCOMPARE(model->rowCount(), 12 + 6 + 5 + 6);
    const auto cell = [model](int row, const QString& column) {
      for (int c = 0; c < model->columnCount(); ++c) {
        if (model->headerData(c, Qt::Horizontal).toString() == column) {
          return model->index(row, c).data().toString();
        }
      }
      return QString("<no column %1>").arg(column);
    };
    for (int k = 0; k < 12; ++k) {
      const bool rise = k % 2 == 0;
      QCOMPARE(cell(k, ""), QString(rise ? "rise" : "fall"));
      QCOMPARE(cell(k, "t_mid").toDouble(), 15 + 30 * (k % 2) + 50 * (k / 2));
      QCOMPARE(cell(k, rise ? "rise" : "fall").toDouble(), 8.0);
      QCOMPARE(cell(k, rise ? "fall" : "rise"), QString());  // not this edge's metric
    }
    for (int k = 0; k < 6; ++k) {
      QCOMPARE(cell(12 + k, ""), QString("+"));
      QCOMPARE(cell(12 + k, "width").toDouble(), 30.0);
      QCOMPARE(cell(12 + k, "period"), k == 5 ? QString("none") : QString("50"));
    }
    QCOMPARE(cell(18, ""), QString("count"));
    QCOMPARE(cell(18, "rise"), QString("6"));
    QCOMPARE(cell(18, "period"), QString("5"));
    QCOMPARE(cell(19, "width"), QString("30"));  // mean
    QCOMPARE(cell(20, "rise"), QString("0"));    // std
    QCOMPARE(cell(23, ""), QString("low"));
    QCOMPARE(cell(24, "уровень"), QString("1"));    // high
    QCOMPARE(cell(28, "уровень").toDouble(), 0.9);  // upper
  }

  void visibleRangeFollowsZoomAndPanAndCursorsBoundTheRange() {
    openTrapezoids();
    openPanel();
    QCOMPARE(panel()->report()->transitionCount, std::size_t(12));
    tarvik::view::ChartView* chart = m_w->chart();
    const Graph& g = m_w->store().graph(0);
    const auto expected = [&g](double lo, double hi) {
      return tarvik::measurePulseReport(g.xs(), g.ys(), {lo, hi}, {}).transitionCount;
    };
    choose(panel()->findChild<QComboBox*>("cbPulseRange"), 1);
    QVERIFY(resultAfter([this] { click(m_w->findChild<QAbstractButton*>("BitBtn1")); }));
    tarvik::XRange visible = chart->visibleXRange();
    QVERIFY(visible.upper - visible.lower < 300);
    QCOMPARE(panel()->report()->transitionCount, expected(visible.lower, visible.upper));
    QVERIFY(panel()->report()->transitionCount < 12);
    QVERIFY(resultAfter([chart] { chart->showXInterval(120, 200); }));  // a pan
    QCOMPARE(panel()->report()->transitionCount, expected(120, 200));
    QCOMPARE(panel()->report()->transitions.front().tMid, 145.0);

    QVERIFY(resultAfter([this] { choose(panel()->findChild<QComboBox*>("cbPulseRange"), 2); }));
    QCOMPARE(panel()->statusText(), QString("Курсоры выключены: включите их (Ctrl+K)"));
    QVERIFY(panel()->report() == nullptr);
    QVERIFY(resultAfter([this] { click(m_w->findChild<QAbstractButton*>("btnCursors")); }));
    QVERIFY(resultAfter([chart] {
      chart->setCursorX(0, 160);
      chart->setCursorX(1, 100);
    }));
    QCOMPARE(panel()->report()->transitionCount, expected(100, 160));
    QCOMPARE(panel()->report()->transitions.front().tMid, 115.0);
  }

  void aRowClickMovesTheViewToItsTransition() {
    openTrapezoids();
    openPanel();
    clickCell(3, 4);  // the second fall: t_mid 95, fall time 8
    tarvik::XRange visible = m_w->chart()->visibleXRange();
    QCOMPARE((visible.lower + visible.upper) / 2, 95.0);
    QCOMPARE(visible.upper - visible.lower, 160.0);
    clickCell(12 + 2, 0);  // the third pulse: 115 … 145
    visible = m_w->chart()->visibleXRange();
    QCOMPARE((visible.lower + visible.upper) / 2, 130.0);
    QCOMPARE(visible.upper - visible.lower, 60.0);
  }

  void copyPutsTheTableOnTheClipboardAsTheBatchPrintsIt() {
    openTrapezoids();
    openPanel();
    QApplication::clipboard()->clear();
    click(panel()->findChild<QAbstractButton*>("btnPulseCopy"));
    const QStringList copied = splitLines(QApplication::clipboard()->text());
    QCOMPARE(copied.size(), 1 + 12 + 6 + 5 + 6);
    QCOMPARE(copied.front(),
             QString("\tk\tуровень\tt_lower\tt_mid\tt_upper\tstart\tend\trise\tfall\tslew-rise\t"
                     "slew-fall\tovershoot\tundershoot\tpreshoot\tsettling\twidth\tperiod\tduty\t"
                     "frequency"));
    if (m_w->chart()->decimalSeparator() != '.') {
      QSKIP("the batch runner writes '.'; this locale's separator differs");
    }
    // Every transition line holds the batch's fields; so do pulses and statistics.
    const QStringList transitions = batch("transitions");
    QCOMPARE(transitions.size(), 12);
    for (int k = 0; k < 12; ++k) {
      const QStringList b = transitions[k].split('\t');
      const QStringList c = copied[1 + k].split('\t');
      const bool rise = b[1] == "rise";
      QCOMPARE(c[0], b[1]);
      QCOMPARE(c[1], b[0]);
      QCOMPARE((QStringList{c[3], c[4], c[5], c[rise ? 8 : 9], c[rise ? 10 : 11], c[12], c[13],
                            c[14], c[15]}),
               b.mid(2));
    }
    const QStringList pulses = batch("pulses");
    QCOMPARE(pulses.size(), 6);
    for (int k = 0; k < 6; ++k) {
      const QStringList b = pulses[k].split('\t');
      const QStringList c = copied[13 + k].split('\t');
      QCOMPARE((QStringList{c[1], c[0], c[6], c[7], c[16], c[17], c[18], c[19]}), b);
    }
    const QStringList stats = batch("pulse-stats");
    QCOMPARE(stats.size(), 12);
    for (int m = 0; m < 12; ++m) {
      const QStringList b = stats[m].split('\t');
      for (int s = 0; s < 5; ++s) {
        QCOMPARE(copied[19 + s].split('\t')[8 + m], b[1 + s]);
      }
    }
    const QStringList levels = batch("levels");
    QCOMPARE(levels.size(), 3);
    for (int l = 0; l < 3; ++l) {
      const QStringList c = copied[24 + l].split('\t');
      QCOMPARE(c[0] + '\t' + c[2], levels[l]);
    }
  }

  void histogramAndTrendAppendTheGraphsTheBatchAppends() {
    openTrapezoids();
    openPanel();
    tarvik::testing::SeenMessage seen;
    tarvik::testing::answerNextMessage(&seen);
    clickCell(0, 4);  // t_mid: not a metric
    click(panel()->findChild<QAbstractButton*>("btnPulseHistogram"));
    QTRY_COMPARE_WITH_TIMEOUT(seen.text, QString("Выберите в таблице столбец показателя"), 10000);
    QCOMPARE(m_w->store().count(), std::size_t(1));

    clickCell(12, 16);  // width
    click(panel()->findChild<QAbstractButton*>("btnPulseHistogram"));
    QTRY_COMPARE_WITH_TIMEOUT(m_w->store().count(), std::size_t(2), 10000);
    clickCell(0, 8);  // rise
    click(panel()->findChild<QAbstractButton*>("btnPulseTrend"));
    QTRY_COMPARE_WITH_TIMEOUT(m_w->store().count(), std::size_t(3), 10000);
    QCOMPARE(m_w->store().activeIndex(), 0);  // the measured graph stays active
    const QStringList out =
        batch("histogram metric=width; trend metric=rise; list; dump graph=2; dump graph=3");
    QVERIFY(out.size() > 3);
    for (int i = 1; i < 3; ++i) {
      QCOMPARE(QString::fromStdString(m_w->store().graph(std::size_t(i)).title),
               out[i].section('\t', 4, 4));
    }
    QCOMPARE(QString::fromStdString(m_w->store().graph(1).title),
             QString("Гистограмма: width (tr)"));
    QCOMPARE(QString::fromStdString(m_w->store().graph(2).title), QString("Тренд: rise (tr)"));
    const QStringList histogram = points(m_w->store().graph(1));
    const QStringList trend = points(m_w->store().graph(2));
    QCOMPARE(out.mid(3), histogram + trend);
    QCOMPARE(m_w->store().graph(1).colour, tarvik::newGraphColour(1));
    QCOMPARE(m_w->store().graph(2).colour, tarvik::newGraphColour(2));
    // Each is one undo step.
    QVERIFY(m_w->runCommand("mnUndo"));
    QCOMPARE(m_w->store().count(), std::size_t(2));
  }

  void withoutAnActiveGraphThePanelSaysSo() {
    openPanel();
    QCOMPARE(panel()->statusText(), QString("Нет активного графика"));
    QVERIFY(panel()->report() == nullptr);
    QCOMPARE(table()->model()->rowCount(), 0);
    QVERIFY(resultAfter([this] { openTrapezoids(); }));
    QVERIFY(panel()->report() != nullptr);
    QVERIFY(resultAfter([this] { m_w->runCommand("CloseAll1"); }));
    QCOMPARE(panel()->statusText(), QString("Нет активного графика"));
    QCOMPARE(table()->model()->rowCount(), 0);
  }

  void dataTheMeasurementIsNotDefinedOnIsNamed() {
    m_w->runGuarded([](CommandContext& ctx) {
      const std::size_t i = ctx.store.appendGraph("flat");
      for (int k = 0; k < 10; ++k) {
        ctx.store.graph(i).appendPoint(k, 1);
      }
      ctx.store.setActiveIndex(static_cast<int>(i));
    });
    openPanel();
    QCOMPARE(panel()->statusText(), QString(tarvik::kPulseFlat));
    QCOMPARE(table()->model()->rowCount(), 0);
  }
};

QTEST_MAIN(PulsePanelTest)
#include "PulsePanelTest.moc"
