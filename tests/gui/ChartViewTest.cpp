// The chart draws the store: plottables and legend rows follow the graphs, the log switch
// refuses what it cannot show, the overlay title is part of every picture, and clicks on a
// line or on the legend reach the window.
#include <QtTest/QtTest>
#include <cmath>
#include <limits>
#include <random>

#include "core/GraphStore.h"
#include "view/ChartView.h"
#include "view/GraphPlottable.h"
#include "view/PulseMeasurementLayer.h"

using tarvik::Graph;
using tarvik::GraphStore;
using tarvik::view::ChartView;
using tarvik::view::LegendAlignment;

class ChartViewTest : public QObject {
  Q_OBJECT

 private:
  GraphStore* m_store = nullptr;
  ChartView* m_chart = nullptr;

  void addGraph(const std::string& title, double offset) {
    const std::size_t i = m_store->appendGraph(title);
    Graph& g = m_store->graph(i);
    for (int k = 0; k <= 100; ++k) {
      g.appendPoint(k, offset + std::sin(k * 0.1));
    }
  }

  QStringList legendTexts() const {
    QStringList texts;
    for (int i = 0; i < m_chart->legend->itemCount(); ++i) {
      auto* item = qobject_cast<QCPPlottableLegendItem*>(m_chart->legend->item(i));
      texts << (item ? item->plottable()->name() : QString());
    }
    return texts;
  }

  // Pixels differing between two pictures of the same size inside `area`.
  static int differingPixels(const QImage& a, const QImage& b, const QRect& area) {
    int count = 0;
    for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), a.height() - 1); ++y) {
      for (int x = std::max(area.left(), 0); x <= std::min(area.right(), a.width() - 1); ++x) {
        count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
      }
    }
    return count;
  }

 private slots:
  void init() {
    m_store = new GraphStore;
    m_chart = new ChartView;
    m_chart->resize(800, 500);
    m_chart->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_chart));
    addGraph("a", 0);
    addGraph("b", 3);
    addGraph("c", 6);
    m_chart->setStore(m_store);
  }

  void cleanup() {
    delete m_chart;
    delete m_store;
  }

  void drawsEveryGraphWithNumberedLegendRows() {
    QCOMPARE(m_chart->plottableCount(), 3);
    QCOMPARE(legendTexts(), (QStringList{"1. a", "2. b", "3. c"}));
    m_store->removeGraph(1);
    m_chart->syncWithStore();
    QCOMPARE(m_chart->plottableCount(), 2);
    QCOMPARE(legendTexts(), (QStringList{"1. a", "2. c"}));
    // The pen follows the graph's appearance.
    m_store->graph(1).lineWidth = 3;
    m_store->graph(1).lineStyle = tarvik::LineStyle::Dash;
    m_chart->syncWithStore();
    const QPen pen = m_chart->plottableForGraph(1)->pen();
    QCOMPARE(pen.width(), 3);
    QCOMPARE(pen.style(), Qt::DashLine);
    QCOMPARE(pen.color(), QColor(0, 0, 255));  // third palette colour, kept by the graph
  }

  void autoscaleSkipsPointsThatCannotBeShown() {
    Graph& g = m_store->graph(0);
    g.appendPoint(101, std::numeric_limits<double>::infinity());
    g.appendPoint(102, std::numeric_limits<double>::quiet_NaN());
    g.appendPoint(std::numeric_limits<double>::quiet_NaN(), 50);
    m_chart->syncWithStore();
    const QCPRange y = m_chart->yAxis->range();
    QVERIFY(std::isfinite(y.lower) && std::isfinite(y.upper));
    QVERIFY(y.upper < 7.5);
    QCOMPARE(m_chart->xAxis->range().upper, 100.0);  // points at 101, 102 cannot be drawn
    // The step rule gave up on nothing here: the Y range is finite, labels exist.
    QVERIFY(!m_chart->yAxis->tickVectorLabels().isEmpty());
  }

  void logYIsRefusedWithNegativeValuesAndStartsAtTheSmallestPositive() {
    QVERIFY(!m_chart->setLogY(true));  // graph "a" goes down to −1
    QVERIFY(!m_chart->logY());
    QCOMPARE(m_chart->yAxis->scaleType(), QCPAxis::stLinear);
    m_store->removeGraph(0);
    m_store->graph(0).appendPoint(101, 0);  // a point at 0 is skipped, not refused
    m_chart->syncWithStore();
    QVERIFY(m_chart->setLogY(true));
    QVERIFY(m_chart->logY());
    double smallestPositive = 3;
    for (int k = 0; k <= 100; ++k) {
      smallestPositive = std::min(smallestPositive, 3 + std::sin(k * 0.1));
    }
    QCOMPARE(m_chart->yAxis->range().lower, smallestPositive);
    QVERIFY(m_chart->setLogY(false));
    QVERIFY(!m_chart->logY());
  }

  void storedYTitleIsDrawnAbovePlotInExports() {
    const QImage without = m_chart->toPixmap(800, 500).toImage();
    m_store->yAxisTitle = "U, В";
    m_chart->syncWithStore();
    const QImage with = m_chart->toPixmap(800, 500).toImage();
    const QRect plot = m_chart->lastPlotRect();
    QVERIFY(plot.width() > 0);
    const int h = QFontMetrics(m_chart->yAxis->labelFont()).height();
    const QRect above(0, plot.top() - 2 * h, plot.left() + 200, 2 * h);
    QVERIFY(differingPixels(without, with, above) > 10);
    const QRect inside = plot.adjusted(2, 2, -2, -2);
    QCOMPARE(differingPixels(without, with, inside), 0);
    QVERIFY(m_chart->yAxis->label().isEmpty());
  }

  // With the pulse's peak just above the visible Y range, its line would run
  // over the area above the plot, where the result text and the Y title stand: every mark
  // is cut at the plot's edges, the red text stays above the plot.
  void measurementMarksStayInsideThePlot() {
    const std::size_t i = m_store->appendGraph("pulse");
    for (int k = 0; k <= 20; ++k) {
      m_store->graph(i).appendPoint(k, k <= 10 ? k : 20 - k);
    }
    m_store->setActiveIndex(static_cast<int>(i));
    for (std::size_t k = 0; k < m_store->count(); ++k) {
      m_store->graph(k).colour = tarvik::Rgb{0, 128, 0};  // neither blue nor red, nor in the legend
    }
    m_chart->syncWithStore();
    m_chart->setAxisRange(m_chart->xAxis, -1, 21);
    m_chart->setAxisRange(m_chart->yAxis, 0, 9.6);  // the peak's row some pixels above
    tarvik::view::PulseMeasurementLayer layer;
    layer.setOn(true);
    m_chart->setAfterRepaint([&](QCPPainter& painter, const QRect& plot) {
      layer.draw(painter, plot, *m_chart, *m_store);
    });
    const QImage image = m_chart->toPixmap(800, 500).toImage();
    m_chart->setAfterRepaint({});
    QVERIFY(layer.last().has_value());
    QCOMPARE(layer.last()->peak, 10.0);
    const QRect plot = m_chart->lastPlotRect();
    const int textHeight = QFontMetrics(m_chart->legend->font()).height() + 4;
    int blueInside = 0, redAbove = 0;
    QStringList outside;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        const bool blue = c == QColor(0, 0, 255);
        const bool red = c == QColor(255, 0, 0);
        if (!blue && !red) {
          continue;
        }
        if (plot.contains(x, y)) {
          blueInside += blue ? 1 : 0;
        } else if (red && y < plot.top() && y >= plot.top() - textHeight) {
          ++redAbove;  // the result text
        } else if (outside.size() < 5) {
          outside << QString("%1 at (%2, %3)").arg(blue ? "blue" : "red").arg(x).arg(y);
        }
      }
    }
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join(", ")));
    QVERIFY(blueInside > plot.height());  // the 10 % row and the two crossing columns
    QVERIFY(redAbove > 20);
  }

  void afterRepaintHookGetsThePlotRectangle() {
    int calls = 0;
    QRect seen;
    m_chart->setAfterRepaint([&](QCPPainter&, const QRect& plot) {
      ++calls;
      seen = plot;
    });
    m_chart->replot();
    QCOMPARE(calls, 1);
    QCOMPARE(seen, m_chart->axisRect()->rect());
    m_chart->redrawOverlay();
    QCOMPARE(calls, 2);
  }

  void clickOnALineReportsItsGraph() {
    QSignalSpy spy(m_chart, &ChartView::graphClicked);
    const double x = 50, y = 3 + std::sin(5.0);  // a point of graph "b"
    const QPoint at(static_cast<int>(std::lround(m_chart->xAxis->coordToPixel(x))),
                    static_cast<int>(std::lround(m_chart->yAxis->coordToPixel(y))));
    QTest::mouseClick(m_chart, Qt::LeftButton, Qt::ControlModifier, at);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 1);
    QVERIFY(spy.at(0).at(1).value<Qt::KeyboardModifiers>() & Qt::ControlModifier);
  }

  void legendClickReportsTheRowUnderThePointer() {
    QSignalSpy spy(m_chart, &ChartView::legendClicked);
    const std::vector<int>& tops = m_chart->legendRowTops();
    QCOMPARE(tops.size(), std::size_t{3});
    QVERIFY(tops[0] > 0 && tops[0] < tops[1] && tops[1] < tops[2]);
    const QRect box = m_chart->legend->outerRect();
    const QPoint at(box.left() + box.width() / 2, tops[1] + 2);
    QTest::mouseClick(m_chart, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(m_chart->legendGraphAt(spy.at(0).at(0).toInt()), 1);
  }

  void legendPlacementsAndSwitches() {
    const QRect plot = m_chart->axisRect()->rect();
    QRect box = m_chart->legend->outerRect();
    QCOMPARE(box.left(), plot.left());
    QVERIFY(box.top() > plot.bottom());  // under the X axis
    m_chart->setLegendPosition(1);
    QCOMPARE(m_chart->legendAlignment(), LegendAlignment::Right);
    box = m_chart->legend->outerRect();
    QCOMPARE(box.right(), m_chart->axisRect()->rect().right());
    QCOMPARE(box.top(), m_chart->axisRect()->rect().top());
    m_chart->setLegendShown(false);
    QVERIFY(!m_chart->legend->visible());
    QVERIFY(!m_store->graph(0).showInLegend);
    m_chart->setLegendShown(true);
    QCOMPARE(legendTexts().size(), 3);
  }

  void relayoutWaitsForASize() {
    ChartView chart;
    GraphStore store;
    store.appendGraph("x");
    chart.resize(0, 0);
    chart.setStore(&store);  // must not divide by the zero size
    chart.resize(400, 300);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    QCOMPARE(chart.plottableCount(), 1);
    QVERIFY(chart.legend->visible());
    QVERIFY(chart.legend->outerRect().top() > chart.axisRect()->rect().bottom());
  }

  // A line of points in random X order cannot be thinned per column; it is drawn as the
  // pixels it covers. Points alternate between Y = 1 and Y = 2, so the segments fill the
  // band between them and nothing outside it, in the window and in a scaled export.
  void lineTooLongToThinFillsExactlyItsBand() {
    while (m_store->count() > 0) {
      m_store->removeGraph(0);
    }
    Graph& g = m_store->graph(m_store->appendGraph("random"));
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> anywhere(0, 100);
    for (int k = 0; k < 300'000; ++k) {
      g.appendPoint(anywhere(rng), k % 2 ? 1.0 : 2.0);
    }
    m_store->graph(0).lineWidth = 3;
    m_chart->syncWithStore();
    m_chart->setAxisRange(m_chart->xAxis, 0, 100);
    m_chart->setAxisRange(m_chart->yAxis, 0, 3);
    const QRgb colour = m_chart->plottableForGraph(0)->pen().color().rgb();
    for (const double scale : {1.0, 2.0}) {
      const QImage picture = m_chart->toPixmap(800, 500, scale).toImage();
      auto at = [&](double x, double y) {
        return picture.pixel(qRound(m_chart->xAxis->coordToPixel(x) * scale),
                             qRound(m_chart->yAxis->coordToPixel(y) * scale)) &
               0xFFFFFF;
      };
      // Away from the grid lines, which share the first graph's black.
      for (const double x : {13.0, 47.0, 88.0}) {
        QCOMPARE(at(x, 1.37), colour & 0xFFFFFF);
        QCOMPARE(at(x, 1.0), colour & 0xFFFFFF);
        QVERIFY(at(x, 2.2) != (colour & 0xFFFFFF));
        QVERIFY(at(x, 0.8) != (colour & 0xFFFFFF));
      }
    }
    // The picture is kept for repaints that change nothing it shows, but points rewritten
    // in place (same arrays, same count) and a new pen colour are drawn anew.
    auto redraw = [&] {
      m_chart->syncWithStore();
      m_chart->setAxisRange(m_chart->xAxis, 0, 100);
      m_chart->setAxisRange(m_chart->yAxis, 0, 3);
      const QImage picture = m_chart->toPixmap(800, 500).toImage();
      return [this, picture](double x, double y) {
        return picture.pixel(qRound(m_chart->xAxis->coordToPixel(x)),
                             qRound(m_chart->yAxis->coordToPixel(y))) &
               0xFFFFFF;
      };
    };
    m_chart->toPixmap(800, 500);  // the kept picture is now the unscaled one
    for (double& y : m_store->graph(0).ysMutable()) {
      y -= 0.5;
    }
    auto moved = redraw();
    QCOMPARE(moved(47, 0.8), colour & 0xFFFFFF);
    QVERIFY(moved(47, 1.7) != (colour & 0xFFFFFF));
    m_store->graph(0).colour = tarvik::Rgb{255, 0, 0};
    auto red = redraw();
    QCOMPARE(red(47, 1.0), QRgb(0xFF0000));
  }

  // A long sorted record is reduced from summaries of its blocks of points, made when the
  // chart reads the graph: points rewritten in place (same arrays, same count) must be
  // summarised again, so the chart draws what a chart opened afresh on them draws.
  void longRecordRewrittenInPlaceShowsItsNewPoints() {
    while (m_store->count() > 0) {
      m_store->removeGraph(0);
    }
    Graph& g = m_store->graph(m_store->appendGraph("record"));
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 0.05);
    for (int k = 0; k < 400'000; ++k) {
      g.appendPoint(k * 0.25, std::sin(k * 1e-4) + noise(rng));
    }
    auto picture = [](ChartView& chart) {
      chart.setAxisRange(chart.xAxis, 0, 100'000);
      chart.setAxisRange(chart.yAxis, -3, 3);
      return chart.toPixmap(800, 500).toImage().convertToFormat(QImage::Format_RGB32);
    };
    m_chart->syncWithStore();
    const QImage before = picture(*m_chart);
    // Spikes inside the blocks, and a stretch lifted by one unit.
    auto ys = m_store->graph(0).ysMutable();
    for (std::size_t k = 100'000; k < 300'000; k += 40'000) {
      ys[k + 17] = 2.5;
    }
    for (std::size_t k = 320'000; k < 360'000; ++k) {
      ys[k] += 1;
    }
    m_chart->syncWithStore();
    const QImage after = picture(*m_chart);
    ChartView fresh;
    fresh.resize(800, 500);
    fresh.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fresh));
    fresh.setStore(m_store);
    const QImage expected = picture(fresh);
    const QRect plot = m_chart->axisRect()->rect();
    QVERIFY(differingPixels(before, after, plot) > 100);
    QCOMPARE(differingPixels(after, expected, plot), 0);
  }

  // A line of a million segments in random X order: the screen first shows the pixels of a
  // regular sample of its segments (none outside the exact picture), then, once the
  // background work is done, exactly what an export draws. A zoom while that work runs
  // starts it anew for the new view, and closing the chart meanwhile is safe.
  void screenShowsASampleFirstThenTheExactPicture() {
    while (m_store->count() > 0) {
      m_store->removeGraph(0);
    }
    Graph& g = m_store->graph(m_store->appendGraph("random"));
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> anywhere(0, 100);
    std::normal_distribution<double> noise(0, 0.3);
    // Every fourth point (from the third on) lies far above the others: the sample, every
    // fourth segment from the first, never reaches up there, the exact picture does.
    for (int k = 0; k < 1'000'000; ++k) {
      const double x = anywhere(rng);
      g.appendPoint(x, std::sin(x / 7) + noise(rng) + (k % 4 == 2 ? 4.0 : 0.0));
    }
    m_chart->syncWithStore();
    auto* line = m_chart->plottableForGraph(0);
    const QRgb colour = line->pen().color().rgb() & 0xFFFFFF;
    auto countColour = [&](const QImage& image) {
      int n = 0;
      const QRect plot = m_chart->axisRect()->rect().adjusted(2, 2, -2, -2);
      for (int y = plot.top(); y <= plot.bottom(); ++y) {
        for (int x = plot.left(); x <= plot.right(); ++x) {
          n += (image.pixel(x, y) & 0xFFFFFF) == colour ? 1 : 0;
        }
      }
      return n;
    };
    for (const double upper : {100.0, 60.0}) {
      m_chart->setAxisRange(m_chart->xAxis, 0, upper);
      m_chart->setAxisRange(m_chart->yAxis, -2.5, 6.5);
      m_chart->replot(QCustomPlot::rpImmediateRefresh);
      QVERIFY(line->refining());
      const QImage sampled = m_chart->grab().toImage();
      QTRY_VERIFY_WITH_TIMEOUT(!line->refining(), 30000);
      const QImage screen = m_chart->grab().toImage();
      const QImage exported = m_chart->toPixmap(800, 500).toImage();
      const QRect plot = m_chart->axisRect()->rect();
      QCOMPARE(differingPixels(screen.convertToFormat(QImage::Format_RGB32),
                               exported.convertToFormat(QImage::Format_RGB32), plot),
               0);
      const int exact = countColour(screen);
      QVERIFY(exact > plot.width() * plot.height() / 20);
      QVERIFY(countColour(sampled) < exact);
      for (int y = plot.top() + 2; y < plot.bottom() - 1; y += 3) {
        for (int x = plot.left() + 2; x < plot.right() - 1; x += 3) {
          if ((sampled.pixel(x, y) & 0xFFFFFF) == colour) {
            QCOMPARE(screen.pixel(x, y) & 0xFFFFFF, colour);
          }
        }
      }
    }
    // A zoom while the exact picture is being made, then another one at once: the last
    // view's picture is the one that arrives.
    m_chart->setAxisRange(m_chart->xAxis, 10, 90);
    m_chart->replot(QCustomPlot::rpImmediateRefresh);
    m_chart->setAxisRange(m_chart->xAxis, 20, 80);
    m_chart->replot(QCustomPlot::rpImmediateRefresh);
    QTRY_VERIFY_WITH_TIMEOUT(!line->refining(), 30000);
    QCOMPARE(
        differingPixels(m_chart->grab().toImage().convertToFormat(QImage::Format_RGB32),
                        m_chart->toPixmap(800, 500).toImage().convertToFormat(QImage::Format_RGB32),
                        m_chart->axisRect()->rect()),
        0);
    // Left refining: cleanup() deletes the chart while the work may still run.
    m_chart->setAxisRange(m_chart->xAxis, 0, 50);
    m_chart->replot(QCustomPlot::rpImmediateRefresh);
    QVERIFY(line->refining());
  }

  void zoomAndShowWholeExtent() {
    const QCPRange x = m_chart->xAxis->range();
    m_chart->zoomByPercent(115);
    QVERIFY(m_chart->zoomed());
    QCOMPARE(m_chart->xAxis->range().size(), x.size() * 0.7);
    m_chart->zoomByPercent(85);
    m_chart->showWholeExtent();
    QVERIFY(!m_chart->zoomed());
    QCOMPARE(m_chart->xAxis->range(), x);
    QVERIFY(m_chart->axisAutomatic(m_chart->yAxis));
  }
};

QTEST_MAIN(ChartViewTest)
#include "ChartViewTest.moc"
