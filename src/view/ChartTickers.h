#pragma once
// Axis tickers of the chart: they place the ticks where QCustomPlot would (or at the step
// the chart asks for) and write every label with the system's own label text.
#include <qcustomplot.h>

#include <functional>

#include "view/ChartArithmetic.h"

namespace tarvik::view {

// Linear axis. Without a step rule or a fixed step the display chooses a readable step.
class LabelTicker : public QCPAxisTicker {
 public:
  // Step chosen from the axis range just before the ticks are placed (the vertical rule).
  using StepRule = std::function<LabelStep(const QCPRange& range)>;
  // Most ticks an axis gets; a tiny fixed step is widened to respect it.
  static constexpr int kMaxTicks = 200;

  explicit LabelTicker(char decimalSeparator) : m_separator(decimalSeparator) {}
  void setStepRule(StepRule rule) { m_rule = std::move(rule); }
  // Desired label increment (0: the display chooses).
  void setFixedStep(double step) { m_fixedStep = step; }

 protected:
  double getTickStep(const QCPRange& range) override;
  int getSubTickCount(double tickStep) override;
  QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                       int precision) override;

 private:
  char m_separator;
  StepRule m_rule;
  double m_fixedStep = 0;
  int m_minorTicks = 4;
};

// Logarithmic axis: decades with 8 minor ticks, labels in "0.########E+00".
class LogLabelTicker : public QCPAxisTickerLog {
 public:
  explicit LogLabelTicker(char decimalSeparator) : m_separator(decimalSeparator) {
    setSubTickCount(8);
  }

 protected:
  QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                       int precision) override;

 private:
  char m_separator;
};

}  // namespace tarvik::view
