#include "view/ChartTickers.h"

namespace tarvik::view {

double LabelTicker::getTickStep(const QCPRange& range) {
  double step = m_fixedStep;
  if (m_rule) {
    const LabelStep chosen = m_rule(range);
    step = chosen.increment;
    m_minorTicks = chosen.minorTicks;
  }
  if (step > 0) {
    return cappedTickStep(step, range.size(), kMaxTicks);
  }
  return QCPAxisTicker::getTickStep(range);
}

int LabelTicker::getSubTickCount(double) { return m_minorTicks; }

QString LabelTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
  return QString::fromStdString(axisLabelText(tick, false, m_separator));
}

QString LogLabelTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
  return QString::fromStdString(axisLabelText(tick, true, m_separator));
}

}  // namespace tarvik::view
