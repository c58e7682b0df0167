// The chart under the mouse, driven by synthetic events at pixel positions computed from
// axis values: the zoom box and its undo, the right-drag scroll, the wheel, the gestures
// (pan, measure, freehand edit) and the two cursors.
#include <QtTest/QtTest>
#include <cmath>

#include "core/GraphStore.h"
#include "core/UndoStep.h"
#include "view/ChartView.h"

using tarvik::Graph;
using tarvik::GraphStore;
using tarvik::view::ChartView;

class ChartMouseTest : public QObject {
  Q_OBJECT

 private:
  GraphStore* m_store = nullptr;
  ChartView* m_chart = nullptr;
  int m_replots = 0;

  // A triangle pulse 0 → 10 → 0 over X = 0 … 20 and a flat line at 1.
  void addGraphs() {
    Graph& pulse = m_store->graph(m_store->appendGraph("pulse"));
    for (int k = 0; k <= 20; ++k) {
      pulse.appendPoint(k, k <= 10 ? k : 20 - k);
    }
    Graph& flat = m_store->graph(m_store->appendGraph("flat"));
    for (int k = 0; k <= 20; ++k) {
      flat.appendPoint(k, 1);
    }
    m_store->setActiveIndex(0);
  }

  QPoint at(double x, double y) const {
    return {static_cast<int>(std::lround(m_chart->xAxis->coordToPixel(x))),
            static_cast<int>(std::lround(m_chart->yAxis->coordToPixel(y)))};
  }
  QRect plot() const { return m_chart->axisRect()->rect(); }
  QCPRange xRange() const { return m_chart->xAxis->range(); }
  QCPRange yRange() const { return m_chart->yAxis->range(); }

  void drag(Qt::MouseButton button, Qt::KeyboardModifiers keys, QPoint from, QPoint to) {
    QTest::mousePress(m_chart, button, keys, from);
    QTest::mouseMove(m_chart, (from + to) / 2);
    QTest::mouseMove(m_chart, to);
    QTest::mouseRelease(m_chart, button, keys, to);
  }

  void wheel(QPoint point, int delta, Qt::KeyboardModifiers keys) {
    QWheelEvent event(point, m_chart->mapToGlobal(point), QPoint(), QPoint(0, delta), Qt::NoButton,
                      keys, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_chart, &event);
  }

 private slots:
  void init() {
    m_store = new GraphStore;
    addGraphs();
    m_chart = new ChartView;
    m_chart->resize(800, 500);
    m_chart->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_chart));
    m_chart->setStore(m_store);
    m_replots = 0;
    connect(m_chart, &QCustomPlot::beforeReplot, this, [this] { ++m_replots; });
  }

  void cleanup() {
    delete m_chart;
    delete m_store;
  }

  void dragDownRightZoomsToTheBoxAndOtherDirectionsUndo() {
    const QCPRange x0 = xRange();
    const QCPRange y0 = yRange();
    const QPoint from = plot().topLeft() + QPoint(60, 40);
    const QPoint to = from + QPoint(200, 150);
    const double left = m_chart->xAxis->pixelToCoord(from.x());
    const double right = m_chart->xAxis->pixelToCoord(to.x());
    const double top = m_chart->yAxis->pixelToCoord(from.y());
    const double bottom = m_chart->yAxis->pixelToCoord(to.y());

    // While dragging, the box is drawn on the overlay and the graphs are not repainted.
    QTest::mousePress(m_chart, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(m_chart, to);
    QCOMPARE(m_chart->zoomBox(), QRect(from, to));
    QCOMPARE(m_replots, 0);
    if (!qEnvironmentVariableIsEmpty("TARVIK_SHOTS")) {
      m_chart->grab().save(qEnvironmentVariable("TARVIK_SHOTS") + "/chart-zoom-box.png");
    }
    QTest::mouseRelease(m_chart, Qt::LeftButton, Qt::NoModifier, to);
    QVERIFY(!m_chart->zoomBox());
    QCOMPARE(xRange().lower, left);
    QCOMPARE(xRange().upper, right);
    QCOMPARE(yRange().lower, bottom);
    QCOMPARE(yRange().upper, top);
    QVERIFY(m_chart->zoomed());

    // 16 px is not enough in either direction: nothing happens.
    const QCPRange zoomedX = xRange();
    drag(Qt::LeftButton, Qt::NoModifier, from, from + QPoint(16, 100));
    QCOMPARE(xRange(), zoomedX);

    // Up and to the left (any direction but down-right) undoes the zoom.
    drag(Qt::LeftButton, Qt::NoModifier, to, from);
    QCOMPARE(xRange(), x0);
    QCOMPARE(yRange(), y0);
    QVERIFY(!m_chart->zoomed());
    drag(Qt::LeftButton, Qt::NoModifier, from + QPoint(0, 100), from + QPoint(100, 0));
    QCOMPARE(xRange(), x0);
  }

  void rightDragScrollsAndShowAllReturns() {
    const QCPRange x0 = xRange();
    const QCPRange y0 = yRange();
    const QPoint from = plot().center();
    const double valueThere = m_chart->xAxis->pixelToCoord(from.x());
    drag(Qt::RightButton, Qt::NoModifier, from, from + QPoint(100, 0));
    // The value that was under the pointer moved with it.
    QVERIFY(std::abs(m_chart->xAxis->pixelToCoord(from.x() + 100) - valueThere) < 1e-9);
    QCOMPARE(xRange().size(), x0.size());
    QVERIFY(xRange().lower < x0.lower);
    QVERIFY(m_chart->zoomed());
    m_chart->showWholeExtent();
    QCOMPARE(xRange(), x0);
    QCOMPARE(yRange(), y0);
  }

  void wheelScrollsVerticallyAndCtrlWheelZoomsAroundThePointer() {
    const QCPRange x0 = xRange();
    const QCPRange y0 = yRange();
    wheel(plot().center(), 120, Qt::NoModifier);
    QCOMPARE(xRange(), x0);
    QVERIFY(std::abs(yRange().lower - (y0.lower + 0.03 * y0.size())) < 1e-9);
    QVERIFY(std::abs(yRange().upper - (y0.upper + 0.03 * y0.size())) < 1e-9);

    const QPoint pointer = plot().topLeft() + QPoint(100, 50);
    const double anchor = m_chart->xAxis->pixelToCoord(pointer.x());
    wheel(pointer, 120, Qt::ControlModifier);
    QVERIFY(xRange().size() < x0.size());
    QVERIFY(std::abs(m_chart->xAxis->pixelToCoord(pointer.x()) - anchor) < 1e-9);
    // Both were one view change: "All" returns to the view before the first.
    m_chart->showWholeExtent();
    QCOMPARE(xRange(), x0);
    QCOMPARE(yRange(), y0);
  }

  void shiftDragMovesTheActiveGraphOnly() {
    QString readout;
    connect(m_chart, &ChartView::readoutChanged, this,
            [&readout](const QString& t) { readout = t; });
    const QPoint from = at(1.0, 2.0);
    const QPoint to = at(1.5, 1.0);
    const double dx = m_chart->xAxis->pixelToCoord(to.x()) - m_chart->xAxis->pixelToCoord(from.x());
    const double dy = m_chart->yAxis->pixelToCoord(to.y()) - m_chart->yAxis->pixelToCoord(from.y());
    QTest::mousePress(m_chart, Qt::LeftButton, Qt::ShiftModifier, from);
    QTest::mouseMove(m_chart, to);
    QVERIFY(m_chart->gestures().rubberBand().has_value());
    QVERIFY(readout.startsWith("X: "));
    QTest::mouseRelease(m_chart, Qt::LeftButton, Qt::ShiftModifier, to);
    QVERIFY(!m_chart->gestures().rubberBand().has_value());
    const Graph& pulse = m_store->graph(0);
    for (std::size_t i = 0; i < pulse.size(); ++i) {
      const double k = static_cast<double>(i);
      QCOMPARE(pulse.xs()[i], k + dx);
      QCOMPARE(pulse.ys()[i], (k <= 10 ? k : 20 - k) + dy);
    }
    QCOMPARE(m_store->graph(1).xs()[3], 3.0);
    QCOMPARE(m_store->graph(1).ys()[3], 1.0);
    // A pan is no zoom: the chart's own handling did not act.
    QVERIFY(!m_chart->zoomed());

    // Shift let go before the button: the graph stays.
    const double before = pulse.xs()[0];
    QTest::mousePress(m_chart, Qt::LeftButton, Qt::ShiftModifier, from);
    QTest::mouseMove(m_chart, to);
    QTest::mouseRelease(m_chart, Qt::LeftButton, Qt::NoModifier, to);
    QCOMPARE(pulse.xs()[0], before);
  }

  void aLostReleaseClosesTheGesturesUndoStep() {
    int closed = 0;
    connect(m_chart, &ChartView::undoStepClosed, this, [&closed] { ++closed; });
    {
      const tarvik::UndoStep earlier(*m_store, "Умножение по Y");
      m_store->graph(1).ysMutable()[0] = 5;
    }
    QTest::mousePress(m_chart, Qt::LeftButton, Qt::ShiftModifier, at(1.0, 2.0));
    QTest::mouseMove(m_chart, at(1.5, 1.0));
    QVERIFY(m_store->stepOpen());
    QVERIFY(!m_store->undo());  // refused while the gesture's step is open
    // Another window takes the mouse: the release never comes, the focus goes.
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(m_chart, &focusOut);
    QVERIFY(!m_store->stepOpen());
    QCOMPARE(closed, 1);
    QVERIFY(m_store->undo());
    QCOMPARE(m_store->graph(1).ys()[0], 1.0);
  }

  void aGestureClickIsNoClickOnALine() {
    int clicks = 0;
    connect(m_chart, &ChartView::graphClicked, this, [&clicks] { ++clicks; });
    QTest::mouseClick(m_chart, Qt::LeftButton, Qt::ControlModifier, at(5, 5));
    QCOMPARE(clicks, 1);
    QTest::mouseClick(m_chart, Qt::LeftButton, Qt::AltModifier, at(5, 5));
    QCOMPARE(clicks, 1);
  }

  void altOrMetaDragMeasuresWithoutZooming() {
    for (Qt::KeyboardModifier key : {Qt::AltModifier, Qt::MetaModifier}) {
      QString readout;
      auto c = connect(m_chart, &ChartView::readoutChanged, this,
                       [&readout](const QString& t) { readout = t; });
      const QCPRange x0 = xRange();
      const QPoint from = at(2, 2);
      const QPoint to = at(6, 5);
      drag(Qt::LeftButton, key, from, to);
      const std::string expected = tarvik::view::distanceReadout(
          m_chart->xAxis->pixelToCoord(to.x()) - m_chart->xAxis->pixelToCoord(from.x()),
          m_chart->yAxis->pixelToCoord(to.y()) - m_chart->yAxis->pixelToCoord(from.y()),
          m_chart->decimalSeparator());
      QCOMPARE(readout, QString::fromStdString(expected));
      QVERIFY(readout.startsWith("dX: 4"));
      QCOMPARE(xRange(), x0);
      QCOMPARE(m_store->graph(0).ys()[4], 4.0);
      disconnect(c);
    }
  }

  void editModeDrawsTheColumnAndKeepsTheViewStill() {
    m_chart->setEditMode(true);
    const QCPRange x0 = xRange();
    const QPoint press = at(4, 7);
    const double y = m_chart->yAxis->pixelToCoord(press.y());
    QTest::mousePress(m_chart, Qt::LeftButton, Qt::NoModifier, press);
    QTest::mouseMove(m_chart, at(8, 7));
    QTest::mouseMove(m_chart, at(12, 3) + QPoint(0, 0));
    QTest::mouseRelease(m_chart, Qt::LeftButton, Qt::NoModifier, at(12, 3));
    const Graph& pulse = m_store->graph(0);
    QCOMPARE(pulse.ys()[4], y);
    QCOMPARE(pulse.ys()[8], y);
    QCOMPARE(pulse.ys()[12], m_chart->yAxis->pixelToCoord(at(12, 3).y()));
    QCOMPARE(pulse.ys()[6], 6.0);  // a column the pointer skipped keeps its point
    QCOMPARE(m_store->graph(1).ys()[4], 1.0);
    // The down-right drag would have zoomed without the editing mode.
    QCOMPARE(xRange(), x0);
    QVERIFY(!m_chart->zoomed());
  }

  void noActiveGraphLeavesThePointsAndTheReadout() {
    m_store->setActiveIndex(-1);
    int readouts = 0;
    connect(m_chart, &ChartView::readoutChanged, this, [&readouts] { ++readouts; });
    drag(Qt::LeftButton, Qt::ShiftModifier, at(2, 2), at(6, 5));
    QCOMPARE(readouts, 0);
    QCOMPARE(m_store->graph(0).xs()[2], 2.0);
    m_chart->frameActiveGraph();
    QVERIFY(!m_chart->zoomed());
  }

  void cursorsAreDraggedOrSetWithAKeyAndDoNotZoom() {
    m_chart->setCursorsShown(true);
    QVERIFY(xRange().contains(m_chart->cursorX(0)));
    m_chart->setCursorX(0, 5);
    m_chart->setCursorX(1, 15);
    const QCPRange x0 = xRange();
    // Grab cursor 1 three pixels off its line and drag it to X = 12.
    const QPoint grab = at(5, 5) + QPoint(3, 0);
    m_replots = 0;
    drag(Qt::LeftButton, Qt::NoModifier, grab, at(12, 2));
    QCOMPARE(m_chart->cursorX(0), m_chart->xAxis->pixelToCoord(at(12, 2).x()));
    QCOMPARE(m_chart->cursorX(1), 15.0);
    QCOMPARE(xRange(), x0);
    QCOMPARE(m_replots, 0);  // the overlay alone repaints

    // Far from both lines a drag zooms as usual.
    drag(Qt::LeftButton, Qt::NoModifier, at(0.5, 9), at(3.5, 4));
    QVERIFY(m_chart->zoomed());
    // The cursors are X values: they stay at their values through the zoom.
    QCOMPARE(m_chart->cursorX(1), 15.0);
    m_chart->showWholeExtent();

    // Key 2 held (sent where the keyboard focus is), a click puts cursor 2 at the pointer.
    QTest::mouseClick(m_chart, Qt::LeftButton, Qt::NoModifier, at(18, 1));
    QWidget* focus = QApplication::focusWidget();
    QCOMPARE(focus, static_cast<QWidget*>(m_chart));
    QTest::keyPress(focus, Qt::Key_2);
    QTest::mouseClick(m_chart, Qt::LeftButton, Qt::NoModifier, at(9, 1));
    QTest::keyRelease(focus, Qt::Key_2);
    QCOMPARE(m_chart->cursorX(1), m_chart->xAxis->pixelToCoord(at(9, 1).x()));

    // Cursors off: a press on the old line is a plain press again.
    m_chart->setCursorsShown(false);
    drag(Qt::LeftButton, Qt::NoModifier, at(m_chart->cursorX(1), 9),
         at(m_chart->cursorX(1) + 5, 2));
    QVERIFY(m_chart->zoomed());
  }

  void framingSetsTheActiveGraphsBox() {
    m_chart->zoomByPercent(115);
    m_chart->frameActiveGraph();
    QCOMPARE(xRange().lower, 0.0);
    QCOMPARE(xRange().upper, 20.0);
    QCOMPARE(yRange().lower, 0.0);
    QCOMPARE(yRange().upper, 10.0);
    m_chart->stretchVertical();
    QCOMPARE(yRange().lower, -0.5);
    QCOMPARE(yRange().upper, 10.5);
  }
};

QTEST_MAIN(ChartMouseTest)
#include "ChartMouseTest.moc"
