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
    const bool right = m_chart->legendAlignment() == view::LegendAlignment::Right;
    m_chart->setLegendPosition(right ? 0 : 1);  // re-lays the legend out
  });
  m_commands.add("N26", [](CommandContext& ctx) { ctx.store.chart().legendRelayout(); });
  // "Показать скрытые команды": the check mark has just flipped; the choice outlives the run.
  m_commands.add("mnShowHidden", [this](CommandContext&) {
    const bool shown = m_mnShowHidden->isChecked();
    setHiddenCommandsShown(shown);
    m_settings.writeHiddenCommandsShown(shown);
  });
  m_commands.add("LogX1", [this](CommandContext&) {
    applyLogSwitch(findChild<QAction*>("LogX1"), [this](bool on) { return m_chart->setLogX(on); });
  });
  m_commands.add("LogY1", [this](CommandContext&) {
    applyLogSwitch(findChild<QAction*>("LogY1"), [this](bool on) { return m_chart->setLogY(on); });
  });
}

// The seven saved fonts in ChartFont order are kSavedFontElements (core/ChartAppearance.h).
static_assert(kSavedFontElements.size() == kChartFontCount);

void TfmChart::setFonts(const ChartFonts& fonts) {
  for (std::size_t i = 0; i < kChartFontCount; ++i) {
    // Only face and size come from the settings; the rest of the element's font stays.
    QFont font = m_chart->elementFont(kSavedFontElements[i]);
    font.setFamily(fonts[i].name);
    font.setPointSize(fonts[i].size);
    m_chart->setElementFont(kSavedFontElements[i], font);
  }
}

ChartFonts TfmChart::fonts() const {
  ChartFonts result;
  for (std::size_t i = 0; i < kChartFontCount; ++i) {
    const QFont font = m_chart->elementFont(kSavedFontElements[i]);
    result[i].name = font.family();
    result[i].size = font.pointSize() > 0 ? font.pointSize() : result[i].size;
  }
  return result;
}

void TfmChart::onGraphClicked(int storeIndex, Qt::KeyboardModifiers modifiers) {
  if (m_btnEdit->isChecked()) {
    return;  // freehand editing owns the mouse
  }
  const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
  runGuarded(
      [storeIndex, ctrl](CommandContext& ctx) {
        if (chooseActiveByLine(ctx.store, storeIndex, ctrl)) {
          QApplication::beep();
        }
      },
      QStringLiteral("Выбор активного графика"));
}

void TfmChart::onLegendClicked(int pixelRow) {
  if (m_btnEdit->isChecked()) {
    return;
  }
  const int row = m_chart->legendGraphAt(pixelRow);
  const bool fixed = m_cbFixLine->isChecked();
  runGuarded(
      [row, fixed](CommandContext& ctx) {
        if (row >= 0) {
          chooseActiveByLegendRow(ctx.store, row, fixed);
        }
      },
      QStringLiteral("Выбор активного графика"));
}

}  // namespace tarvik::app
