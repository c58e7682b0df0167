// The window's work on the chart, the way a user does it: the zoom and framing buttons,
// the pulse measurement switched by its button and its menu item, the sensor field and
// its messages, the readout under the pointer, the editing mode and the cursor panel.
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "GuiTestSupport.h"
#include "app/ChartMy.h"
#include "app/ChartMyCursors.h"
#include "view/ChartView.h"
#include "view/PulseMeasurementLayer.h"

using tarvik::CommandContext;
using tarvik::Graph;
using tarvik::app::TfmChart;

namespace {

// A triangle pulse 0 → 10 → 0 over X = 0 … 20, made the active graph.
void addPulse(TfmChart& w, double sign = 1) {
  w.runGuarded([sign](CommandContext& ctx) {
    const std::size_t i = ctx.store.appendGraph("pulse");
    Graph& g = ctx.store.graph(i);
    for (int k = 0; k <= 20; ++k) {
      g.appendPoint(k, sign * (k <= 10 ? k : 20 - k));
    }
    ctx.store.setActiveIndex(static_cast<int>(i));
  });
}

void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center()); }

}  // namespace

class ChartWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  std::unique_ptr<TfmChart> m_w;

  QAbstractButton* button(const char* name) const { return m_w->findChild<QAbstractButton*>(name); }
  QString measured() const {
    const auto& last = m_w->measurement().last();
    return last ? QString::fromStdString(last->text) : QString("<none>");
  }
  void repaint() { m_w->chart()->replot(); }
  // Selects all of `Edit2` with a click and keys, then types `text` where the focus is.
  void typeSensor(const QString& text) {
    click(m_w->findChild<QLineEdit*>("Edit2"));
    tarvik::testing::pressKey(m_w.get(), Qt::Key_A, Qt::ControlModifier);
    tarvik::testing::typeText(m_w.get(), text);
  }
  QString sep(const char* text) const {
    return QString(text).replace('.', QChar(m_w->chart()->decimalSeparator()));
  }

 private slots:
  void init() {
    m_w = std::make_unique<TfmChart>(QStringList{}, m_dir.filePath("tarvik.INI"));
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
    addPulse(*m_w);
  }
  void cleanup() { m_w.reset(); }

  void zoomButtonsFrameAndShowAll() {
    const QCPRange x0 = m_w->chart()->xAxis->range();
    click(button("BitBtn1"));
    QCOMPARE(m_w->chart()->xAxis->range().size(), x0.size() * 0.7);
    QVERIFY(button("BitBtn1")->isEnabled() && button("BitBtn2")->isEnabled());
    click(button("BitBtn2"));
    // 0.7 × 1.3: zoom in then out does not come back; "All" does.
    QVERIFY(std::abs(m_w->chart()->xAxis->range().size() - x0.size() * 0.91) < 1e-9);
    click(button("BitBtn3"));
    QCOMPARE(m_w->chart()->xAxis->range(), x0);
    click(button("SpeedButton5"));
    QCOMPARE(m_w->chart()->yAxis->range(), QCPRange(-0.5, 10.5));
    click(button("BitBtn1"));
    click(button("SpeedButton6"));
    QCOMPARE(m_w->chart()->xAxis->range(), QCPRange(0, 20));
    QCOMPARE(m_w->chart()->yAxis->range(), QCPRange(0, 10));
    click(button("BitBtn3"));
    // The stretch was no zoom: "All" brings back the stretched, manual left axis.
    QCOMPARE(m_w->chart()->yAxis->range(), QCPRange(-0.5, 10.5));
    const QCPRange before = m_w->chart()->xAxis->range();
    m_w->findChild<QAction*>("N4")->trigger();
    QCOMPARE(m_w->chart()->xAxis->range(), QCPRange(0, 20));
    // Closing all graphs also shows all.
    QVERIFY(m_w->chart()->zoomed());
    m_w->findChild<QAction*>("CloseAll1")->trigger();
    QVERIFY(!m_w->chart()->zoomed());
    QCOMPARE(m_w->chart()->xAxis->range(), before);
  }

  void measurementFollowsItsButtonMenuAndMethod() {
    click(button("SpeedButton4"));
    QVERIFY(button("SpeedButton4")->isChecked());
    QCOMPARE(measured(), QString("Aмплитуда = 10; Tф = 8; Tи = 10"));
    click(button("rb01"));
    QCOMPARE(measured(), QString("Aмплитуда = 10; Tф = 8; Tи = 14"));
    m_w->findChild<QAction*>("mnIzmerit")->trigger();
    QVERIFY(!button("SpeedButton4")->isChecked());
    QCOMPARE(measured(), QString("<none>"));
    m_w->findChild<QAction*>("mnIzmerit")->trigger();
    QCOMPARE(measured(), QString("Aмплитуда = 10; Tф = 8; Tи = 14"));
    // Zoomed onto the falling edge only, the rising-edge stages find nothing.
    m_w->chart()->xAxis->setRange(12, 20);
    m_w->chart()->setAxisAutomatic(m_w->chart()->xAxis, false);
    repaint();
    QCOMPARE(measured(), QString("Aмплитуда = 8"));
  }

  void editingTheSensorFieldSwitchesTheMeasurementOff() {
    click(button("SpeedButton4"));
    typeSensor("6");
    QCOMPARE(m_w->findChild<QLineEdit*>("Edit2")->text(), QString("6"));
    QVERIFY(!button("SpeedButton4")->isChecked());
    QCOMPARE(measured(), QString("<none>"));
    click(button("SpeedButton4"));
    QCOMPARE(measured(), sep("Aмплитуда = 10; Tф = 5.29; Tи = 10"));
  }

  void trimmedSensorTextIsPutBackWithoutSwitchingOff() {
    typeSensor(" 6 ");
    click(button("SpeedButton4"));
    QTRY_COMPARE(m_w->findChild<QLineEdit*>("Edit2")->text(), QString("6"));
    QVERIFY(button("SpeedButton4")->isChecked());
    QCOMPARE(measured(), sep("Aмплитуда = 10; Tф = 5.29; Tи = 10"));
  }

  void sensorMessagesComeAfterThePaintOncePerText() {
    for (const auto& [typed, message] :
         {std::pair<QString, QString>{"abc", "Ошибка в задании ПХ датчика!"},
          {"9", "Недопустимое значение ПХ!\nПХ больше чем фронт!"}}) {
      typeSensor(typed);
      tarvik::testing::SeenMessage seen;
      tarvik::testing::answerNextMessage(&seen);
      click(button("SpeedButton4"));
      QTRY_COMPARE(seen.text, message);
      QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
      QCOMPARE(measured(), QString("Aмплитуда = 10; Tф = 8; Tи = 10"));
      // Further repaints with the same text queue nothing more (the paint runs at once).
      repaint();
      QVERIFY(!m_w->measurement().hasAfterPaint());
      repaint();
      QVERIFY(!m_w->measurement().hasAfterPaint());
      click(button("SpeedButton4"));  // off again
    }
  }

  void readoutFollowsThePointerAndEditModeRedraws() {
    auto* chart = m_w->chart();
    const QPoint p(static_cast<int>(std::lround(chart->xAxis->coordToPixel(4))),
                   static_cast<int>(std::lround(chart->yAxis->coordToPixel(7))));
    QTest::mouseMove(chart, p);
    const std::string expected = tarvik::view::coordinateReadout(chart->xAxis->pixelToCoord(p.x()),
                                                                 chart->yAxis->pixelToCoord(p.y()),
                                                                 chart->decimalSeparator());
    QCOMPARE(m_w->findChild<QLabel*>("lbCoopd")->text(), QString::fromStdString(expected));
    click(button("btnEdit"));
    QVERIFY(chart->editMode());
    QTest::mouseClick(chart, Qt::LeftButton, Qt::NoModifier, p);
    QCOMPARE(m_w->store().graph(0).ys()[4], chart->yAxis->pixelToCoord(p.y()));
    click(button("btnEdit"));
    QVERIFY(!chart->editMode());
  }

  void cursorPanelShowsTheTableOfTheActiveGraph() {
    auto* panel = m_w->cursorPanel();
    QVERIFY(!panel->isVisible());
    const int widthBefore = m_w->width();
    click(button("btnCursors"));
    QVERIFY(panel->isVisible());
    QVERIFY(m_w->findChild<QAction*>("mnCursors")->isChecked());
    // The panel fits the window as it is, and the two cursors start apart inside the view.
    QCoreApplication::processEvents();
    QCOMPARE(m_w->width(), widthBefore);
    QVERIFY(panel->minimumSizeHint().width() <= panel->width());
    const QCPRange view = m_w->chart()->xAxis->range();
    const double x1 = panel->valueText(0).replace(',', '.').toDouble();
    const double x2 = panel->valueText(1).replace(',', '.').toDouble();
    QVERIFY(view.contains(x1) && view.contains(x2));
    QVERIFY(x2 - x1 > view.size() / 4);
    m_w->chart()->setCursorX(0, 5);
    m_w->chart()->setCursorX(1, 15);
    QCOMPARE(panel->valueText(0), QString("5"));
    QCOMPARE(panel->valueText(2), QString("10"));
    QCOMPARE(panel->valueText(7), QString("11"));   // points 5 … 15
    QCOMPARE(panel->valueText(8), QString("5"));    // min
    QCOMPARE(panel->valueText(9), QString("10"));   // max
    QCOMPARE(panel->valueText(13), QString("75"));  // trapezoids: 2 × (5+10)/2 × 5
    if (!qEnvironmentVariableIsEmpty("TARVIK_SHOTS")) {
      click(button("SpeedButton4"));
      m_w->grab().save(qEnvironmentVariable("TARVIK_SHOTS") + "/cursors-and-measurement.png");
    }
    m_w->findChild<QAction*>("mnCursors")->trigger();
    QVERIFY(!panel->isVisible());
    QVERIFY(!button("btnCursors")->isChecked());
    QVERIFY(!m_w->chart()->cursorsShown());
  }
};

QTEST_MAIN(ChartWindowTest)
#include "ChartWindowTest.moc"
