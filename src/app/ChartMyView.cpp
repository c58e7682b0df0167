// The window's own view switches (legend, log axes, legend position, redraw) and the
// clicks the chart reports on a line or on the legend.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>

#include "app/ChartMy.h"
#include "app/WindowChartPort.h"
#include "core/StoreCommands.h"
#include "view/ChartView.h"

namespace tarvik::app {

namespace {

// The check mark has already been toggled; apply it to the axis or take it back when the
// axis refuses.
void applyLogSwitch(QAction* item, const std::function<bool(bool)>& setLog) {
  if (!setLog(item->isChecked())) {
    item->setChecked(false);
  }
}

}  // namespace

void TfmChart::installViewActions() {
  auto applyLegend = [this](CommandContext& ctx) {
    const bool shown = m_legend1->isChecked();
    for (std::size_t i = 0; i < ctx.store.count(); ++i) {
      ctx.store.graph(i).showInLegend = shown;
    }
    m_chart->setLegendShown(shown);  // re-lays the legend out
  };
  m_commands.add("Legend1", applyLegend);
  m_commands.add("SpeedButton1", [this, applyLegend](CommandContext& ctx) {
    m_legend1->setChecked(!m_legend1->isChecked());
    applyLegend(ctx);
  });
  m_commands.add("SpeedButton9", [this](CommandContext&) {
    m_legendRight = !m_legendRight;
    m_chart->setLegendPosition(m_legendRight ? 1 : 0);  // re-lays the legend out
  });
  m_commands.add("N26", [](CommandContext& ctx) { ctx.store.chart().legendRelayout(); });
  m_commands.add("LogX1", [this](CommandContext&) {
    applyLogSwitch(findChild<QAction*>("LogX1"), [this](bool on) { return m_chart->setLogX(on); });
  });
  m_commands.add("LogY1", [this](CommandContext&) {
    applyLogSwitch(findChild<QAction*>("LogY1"), [this](bool on) { return m_chart->setLogY(on); });
  });
}

void TfmChart::setFonts(const ChartFonts& fonts) {
  m_fonts = fonts;
  auto font = [&fonts](ChartFont which) {
    const FontSetting& setting = fonts[static_cast<std::size_t>(which)];
    return QFont(setting.name, setting.size);
  };
  // The title font waits for the chart's title lines, which come with the texts dialog.
  m_chart->setFootFont(font(ChartFont::Foot));
  m_chart->yAxis->setLabelFont(font(ChartFont::LeftAxis));  // the stored Y title's font
  m_chart->yAxis->setTickLabelFont(font(ChartFont::LeftAxisLabels));
  m_chart->xAxis->setLabelFont(font(ChartFont::BottomAxis));
  m_chart->xAxis->setTickLabelFont(font(ChartFont::BottomAxisLabels));
  m_chart->legend->setFont(font(ChartFont::BottomLegend));
  m_chart->legendRelayout();  // legend swatches, layout and label step follow the sizes
}

void TfmChart::onGraphClicked(int storeIndex, Qt::KeyboardModifiers modifiers) {
  if (m_btnEdit->isChecked()) {
    return;  // freehand editing owns the mouse
  }
  const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
  runGuarded([storeIndex, ctrl](CommandContext& ctx) {
    if (chooseActiveByLine(ctx.store, storeIndex, ctrl)) {
      QApplication::beep();
    }
  });
}

void TfmChart::onLegendClicked(int pixelRow) {
  if (m_btnEdit->isChecked()) {
    return;
  }
  const int row = m_chart->legendGraphAt(pixelRow);
  const bool fixed = m_cbFixLine->isChecked();
  runGuarded([row, fixed](CommandContext& ctx) {
    if (row >= 0) {
      chooseActiveByLegendRow(ctx.store, row, fixed);
    }
  });
}

}  // namespace tarvik::app
