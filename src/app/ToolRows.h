#pragma once
// The rows of the main window above the chart: the top panel and the two toolbars, kept in
// their order, each as wide as its contents. A bar that fits beside the one before it in
// the window's width shares its row; the next one that does not starts a new row. A bar
// wider than the window alone in its row is cut to the width (a toolbar then shows its
// extension button).
#include <QLayout>
#include <QList>

namespace tarvik::app {

class ToolRowsLayout : public QLayout {
 public:
  explicit ToolRowsLayout(QWidget* parent);
  ~ToolRowsLayout() override;

  void addItem(QLayoutItem* item) override;
  int count() const override { return static_cast<int>(m_items.size()); }
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;

  Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  // As wide as the widest bar; as high as the rows are at that width (every bar alone).
  QSize minimumSize() const override;
  QSize sizeHint() const override;
  void setGeometry(const QRect& rect) override;

  // The row of each shown bar (from 0) at `width`, in order.
  QList<int> rowsAt(int width) const;

 private:
  // Lays the bars out in `rect` (moving them when `apply`); returns the height used.
  int arrange(const QRect& rect, bool apply) const;

  QList<QLayoutItem*> m_items;
};

}  // namespace tarvik::app
