#include "app/ChartMyCursors.h"

#include <QGridLayout>
#include <QLabel>

#include "core/NumberFormat.h"

namespace tarvik::app {
namespace {

// Captions of the fields, in the order of the cursor table.
constexpr std::array<const char*, CursorPanel::kFields> kCaptions = {
    "X1:",    "X2:",  "ΔX:",   "1/ΔX:",   "Y1:",  "Y2:",  "ΔY:",
    "Точек:", "Мин:", "Макс:", "Размах:", "Ср.:", "СКЗ:", "Интеграл:"};

QString text(const std::optional<double>& value, char separator) {
  return value ? QString::fromStdString(formatShort(*value, separator)) : QStringLiteral("—");
}

}  // namespace

CursorPanel::CursorPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("pnCursors");
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 2, 4, 2);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(1);
  // Three rows of at most five, in table order, so the panel fits the window's default
  // width: the cursors and their differences first, then the statistics between them.
  constexpr std::size_t kPerRow = 5;
  for (std::size_t i = 0; i < kFields; ++i) {
    const int row = static_cast<int>(i / kPerRow);
    const int column = static_cast<int>(i % kPerRow) * 2;
    auto* caption = new QLabel(QString::fromUtf8(kCaptions[i]), this);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_values[i] = new QLabel(QStringLiteral("—"), this);
    m_values[i]->setMinimumWidth(m_values[i]->fontMetrics().horizontalAdvance("-8.88E-888"));
    m_values[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(caption, row, column);
    grid->addWidget(m_values[i], row, column + 1);
  }
  grid->setColumnStretch(static_cast<int>(kPerRow) * 2, 1);
}

void CursorPanel::showStats(const CursorStats* stats, char separator) {
  if (stats == nullptr) {
    for (QLabel* value : m_values) {
      value->setText(QStringLiteral("—"));
    }
    return;
  }
  const std::array<std::optional<double>, kFields> values = {
      stats->x1,  stats->x2,      stats->dx,  stats->invDx,
      stats->y1,  stats->y2,      stats->dy,  std::optional<double>(),
      stats->min, stats->max,     stats->p2p, stats->mean,
      stats->rms, stats->integral};
  for (std::size_t i = 0; i < kFields; ++i) {
    m_values[i]->setText(text(values[i], separator));
  }
  m_values[7]->setText(QString::number(stats->count));
}

QString CursorPanel::valueText(std::size_t i) const { return m_values.at(i)->text(); }

}  // namespace tarvik::app
