// The window's work on the chart: zoom and framing buttons, the editing mode, the live
// pulse measurement with its sensor field, the coordinate readout and the two cursors.
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include "app/ChartMy.h"
#include "app/ChartMyCursors.h"
#include "app/GuiUi.h"
#include "app/PulsePanel.h"
#include "transforms/CursorStats.h"
#include "view/ChartView.h"
#include "view/PulseMeasurementLayer.h"

namespace tarvik::app {

namespace {

// Runs `zoom` with both zoom buttons disabled, so a second press cannot arrive meanwhile.
void withZoomButtonsDisabled(QWidget* window, const std::function<void()>& zoom) {
  auto* in = window->findChild<QAbstractButton*>("BitBtn1");
  auto* out = window->findChild<QAbstractButton*>("BitBtn2");
  in->setEnabled(false);
  out->setEnabled(false);
  zoom();
  in->setEnabled(true);
  out->setEnabled(true);
}

}  // namespace

void TfmChart::installChartActions() {
  m_commands.add("BitBtn1", [this](CommandContext&) {
    withZoomButtonsDisabled(this, [this] { m_chart->zoomByPercent(115); });
  });
  m_commands.add("BitBtn2", [this](CommandContext&) {
    withZoomButtonsDisabled(this, [this] { m_chart->zoomByPercent(85); });
  });
  m_commands.add("BitBtn3", [this](CommandContext&) { m_chart->showWholeExtent(); });
  m_commands.add("SpeedButton5", [this](CommandContext&) { m_chart->stretchVertical(); });
  for (const char* name : {"SpeedButton6", "N4"}) {
    m_commands.add(name, [this](CommandContext&) { m_chart->frameActiveGraph(); });
  }
  m_commands.add("btnEdit",
                 [this](CommandContext&) { m_chart->setEditMode(m_btnEdit->isChecked()); });

  m_commands.add("SpeedButton4",
                 [this](CommandContext&) { setMeasurementOn(m_speedButton4->isChecked()); });
  m_commands.add("mnIzmerit", [this](CommandContext&) {
    m_speedButton4->setChecked(!m_speedButton4->isChecked());
    setMeasurementOn(m_speedButton4->isChecked());
  });
  for (const char* name : {"rb01", "rb05"}) {
    m_commands.add(name, [this](CommandContext&) {
      const bool from10 = findChild<QRadioButton*>("rb01")->isChecked();
      m_measure->setMethod(from10 ? DurationMethod::From10Percent : DurationMethod::From50Percent);
    });
  }

  // The button and the menu item share one check state.
  auto applyCursors = [this](bool on) {
    m_mnCursors->setChecked(on);
    m_btnCursors->setChecked(on);
    m_chart->setCursorsShown(on);
    m_cursorPanel->setVisible(on);
  };
  m_commands.add("btnCursors", [this, applyCursors](CommandContext&) {
    applyCursors(m_btnCursors->isChecked());
  });
  m_commands.add("mnCursors",
                 [this, applyCursors](CommandContext&) { applyCursors(m_mnCursors->isChecked()); });
  for (const char* name : {"mnPulses", "btnPulses"}) {
    m_commands.add(name, [this](CommandContext&) { showPulsePanel(); });
  }
}

void TfmChart::connectChart() {
  m_measure = std::make_unique<view::PulseMeasurementLayer>();
  m_measure->setSensorText(m_edit2->text().toStdString());
  m_chart->setAfterRepaint([this](QCPPainter& painter, const QRect& plot) {
    m_measure->draw(painter, plot, *m_chart, m_store);
    if (m_pulsePanel != nullptr) {
      m_pulsePanel->drawMarks(painter, plot);
    }
    afterChartPaint();
  });
  connect(m_edit2, &QLineEdit::textChanged, this,
          [this](const QString& text) { m_measure->setSensorText(text.toStdString()); });
  // Only the user's edits switch the measurement off; the trimmed text put back is not one.
  connect(m_edit2, &QLineEdit::textEdited, this, [this] {
    if (m_speedButton4->isChecked()) {
      m_speedButton4->setChecked(false);
      setMeasurementOn(false);
      m_chart->replot();
    }
  });
  connect(m_chart, &view::ChartView::readoutChanged, m_lbCoopd, &QLabel::setText);
  connect(m_chart, &view::ChartView::pointsEdited, this, [this] { refreshCursorPanel(); });
  connect(m_chart, &view::ChartView::cursorsChanged, this, [this] { refreshCursorPanel(); });
  m_cursorPanel->setVisible(false);
}

void TfmChart::setMeasurementOn(bool on) { m_measure->setOn(on); }

void TfmChart::afterChartPaint() {
  // Never from inside the paint: a message box there would paint the chart again.
  if (m_afterPaintQueued || !m_measure->hasAfterPaint()) {
    return;
  }
  m_afterPaintQueued = true;
  QTimer::singleShot(0, this, [this] { showAfterPaint(); });
}

void TfmChart::showAfterPaint() {
  m_afterPaintQueued = false;
  const view::PulseMeasurementLayer::AfterPaint pending = m_measure->takeAfterPaint();
  if (pending.trimmedSensorText) {
    m_edit2->setText(QString::fromStdString(*pending.trimmedSensorText));
  }
  for (const std::string& message : pending.messages) {
    m_ui->message(MessageKind::Info, message);
  }
}

void TfmChart::showPulsePanel() {
  if (m_pulsePanel == nullptr) {
    m_pulsePanel = new PulsePanel(*this);
    addDockWidget(Qt::BottomDockWidgetArea, m_pulsePanel);
    // Floating at first, beside the chart rather than taking its height from it; a double
    // click on its title docks it under the chart.
    m_pulsePanel->setFloating(true);
    m_pulsePanel->resize(860, 460);
    m_pulsePanel->move(geometry().left() + 40, geometry().top() + 80);
  }
  m_pulsePanel->show();
  m_pulsePanel->raise();
}

void TfmChart::refreshCursorPanel() {
  if (!m_chart->cursorsShown()) {
    return;
  }
  m_cursorPanel->setUnits(
      cursorFieldUnits(axisTitleUnit(m_store.bottomAxisTitle), axisTitleUnit(m_store.yAxisTitle)));
  const Graph* graph = m_store.activeGraph();
  if (graph == nullptr) {
    m_cursorPanel->showStats(nullptr, m_ui->decimalSeparator());
    return;
  }
  const CursorStats stats =
      cursorStats(graph->xs(), graph->ys(), m_chart->cursorX(0), m_chart->cursorX(1));
  m_cursorPanel->showStats(&stats, m_ui->decimalSeparator());
}

}  // namespace tarvik::app
