#include "app/ChartMyCursors.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>

#include "core/NumberFormat.h"

namespace tarvik::app {
namespace {

// Captions of the fields, in the order of the cursor table.
constexpr std::array<const char*, CursorPanel::kFields> kCaptions = {
    "X1:",    "X2:",  "ΔX:",   "1/ΔX:",   "Y1:",  "Y2:",  "ΔY:",
    "Точек:", "Мин:", "Макс:", "Размах:", "Ср.:", "СКЗ:", "Интеграл:"};

// The table's four column groups, each a run of fields from the first given: the cursors'
// X and their difference, the cursors' Y, the count and range of the points between the
// cursors, their mean, RMS and integral. A group lists its fields top to bottom, so Y1 and
// Y2 stand one under the other as X1 and X2 do.
constexpr std::array<std::size_t, 5> kGroupStarts = {0, 4, 7, 11, CursorPanel::kFields};

QString text(const std::optional<double>& value, char separator) {
  return value ? QString::fromStdString(formatShort(*value, separator)) : QStringLiteral("—");
}

}  // namespace

CursorPanel::CursorPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("pnCursors");
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 2, 4, 2);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(0);
  // Per group three grid columns (caption, value, unit) and a divider after it.
  constexpr int kColumnsPerGroup = 4;
  for (std::size_t g = 0; g + 1 < kGroupStarts.size(); ++g) {
    const int column = static_cast<int>(g) * kColumnsPerGroup;
    for (std::size_t i = kGroupStarts[g]; i < kGroupStarts[g + 1]; ++i) {
      const int row = static_cast<int>(i - kGroupStarts[g]);
      auto* caption = new QLabel(QString::fromUtf8(kCaptions[i]), this);
      caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      m_values[i] = new QLabel(QStringLiteral("—"), this);
      m_values[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      m_values[i]->setMinimumWidth(m_values[i]->fontMetrics().horizontalAdvance("-8.88E-888"));
      m_values[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
      m_units[i] = new QLabel(this);
      grid->addWidget(caption, row, column);
      grid->addWidget(m_values[i], row, column + 1);
      grid->addWidget(m_units[i], row, column + 2);
    }
    if (g + 2 < kGroupStarts.size()) {
      auto* divider = new QFrame(this);
      divider->setFrameShape(QFrame::VLine);
      divider->setFrameShadow(QFrame::Sunken);
      grid->addWidget(divider, 0, column + 3, 4, 1);
    }
  }
  grid->setColumnStretch(static_cast<int>(kGroupStarts.size() - 1) * kColumnsPerGroup, 1);
}

void CursorPanel::setUnits(const std::vector<std::string>& units) {
  for (std::size_t i = 0; i < kFields; ++i) {
    m_units[i]->setText(i < units.size() ? QString::fromStdString(units[i]) : QString());
  }
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

QString CursorPanel::unitText(std::size_t i) const { return m_units.at(i)->text(); }

QLabel* CursorPanel::valueLabel(std::size_t i) const { return m_values.at(i); }

}  // namespace tarvik::app
