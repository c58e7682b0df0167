#include "app/ToolRows.h"

#include <QWidget>
#include <algorithm>

namespace tarvik::app {

ToolRowsLayout::ToolRowsLayout(QWidget* parent) : QLayout(parent) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
}

ToolRowsLayout::~ToolRowsLayout() {
  while (QLayoutItem* item = takeAt(0)) {
    delete item;
  }
}

void ToolRowsLayout::addItem(QLayoutItem* item) { m_items.append(item); }

QLayoutItem* ToolRowsLayout::itemAt(int index) const {
  return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* ToolRowsLayout::takeAt(int index) {
  return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

int ToolRowsLayout::heightForWidth(int width) const {
  return arrange(QRect(0, 0, width, 0), false);
}

QSize ToolRowsLayout::minimumSize() const {
  int width = 0;
  for (const QLayoutItem* item : m_items) {
    if (!item->isEmpty()) {
      width = std::max(width, item->sizeHint().width());
    }
  }
  return {width, heightForWidth(width)};
}

QSize ToolRowsLayout::sizeHint() const {
  int width = 0;
  for (const QLayoutItem* item : m_items) {
    if (!item->isEmpty()) {
      width += item->sizeHint().width();
    }
  }
  return {width, heightForWidth(width)};
}

void ToolRowsLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  arrange(rect, true);
}

QList<int> ToolRowsLayout::rowsAt(int width) const {
  QList<int> rows;
  int row = 0;
  int x = 0;
  for (const QLayoutItem* item : m_items) {
    if (item->isEmpty()) {
      continue;
    }
    const int w = item->sizeHint().width();
    if (x > 0 && x + w > width) {
      ++row;
      x = 0;
    }
    rows.append(row);
    x += w;
  }
  return rows;
}

int ToolRowsLayout::arrange(const QRect& rect, bool apply) const {
  QList<QLayoutItem*> shown;
  for (QLayoutItem* item : m_items) {
    if (!item->isEmpty()) {
      shown.append(item);
    }
  }
  const QList<int> rows = rowsAt(rect.width());
  int top = rect.top();
  for (qsizetype first = 0; first < shown.size();) {
    qsizetype end = first;
    int height = 0;
    while (end < shown.size() && rows[end] == rows[first]) {
      height = std::max(height, shown[end]->sizeHint().height());
      ++end;
    }
    int x = rect.left();
    for (qsizetype i = first; i < end; ++i) {
      // The last bar of a row reaches to the row's end, so its background spans it.
      const int w = i + 1 == end ? rect.right() + 1 - x
                                 : std::min(shown[i]->sizeHint().width(), rect.right() + 1 - x);
      if (apply) {
        shown[i]->setGeometry(QRect(x, top, std::max(w, 0), height));
      }
      x += w;
    }
    top += height;
    first = end;
  }
  return top - rect.top();
}

}  // namespace tarvik::app
