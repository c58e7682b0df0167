#pragma once
// The cursor panel under the chart: for the active graph, the values at the two cursors
// and the statistics of the points between them, in the short format, in four fixed
// columns (X1 X2 ΔX 1/ΔX | Y1 Y2 ΔY | count min max p2p | mean RMS integral), each value
// followed by its unit from the axis titles where they name one.
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "transforms/CursorStats.h"

class QLabel;

namespace tarvik::app {

class CursorPanel : public QWidget {
 public:
  explicit CursorPanel(QWidget* parent = nullptr);

  // Shows `stats` (nullptr: no active graph, every value blank).
  void showStats(const CursorStats* stats, char decimalSeparator);
  // The value shown in field `i` of the table order (X1, X2, ΔX, 1/ΔX, Y1, Y2, ΔY, count,
  // min, max, p2p, mean, RMS, integral).
  QString valueText(std::size_t i) const;
  // The unit shown after field `i` (empty when not known).
  QString unitText(std::size_t i) const;
  // The label that shows field `i`'s value (for its place on screen).
  QLabel* valueLabel(std::size_t i) const;
  // The units of the 14 fields, in table order (cursorFieldUnits).
  void setUnits(const std::vector<std::string>& units);
  static constexpr std::size_t kFields = 14;

 private:
  std::array<QLabel*, kFields> m_values{};
  std::array<QLabel*, kFields> m_units{};
};

}  // namespace tarvik::app
