#pragma once
// TfmShowTextGr "Исходный текст": a graph's points as an editable two-column table. Rows
// can be edited, added (Insert, the down arrow on the last row, "Добавить строку") and
// deleted (Ctrl+Delete, "Удалить строку"). The table reads the graph's arrays through a
// model that formats a cell only when it is drawn, so thousands of rows open at once.
#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "transforms/PointTable.h"

class QPushButton;
class QTableView;

namespace tarvik::dialogs {

// The cells of the point table: numbers copied from the graph, shown in the table's
// 10-digit format until the user edits them, then the typed text.
class PointTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit PointTableModel(QObject* parent = nullptr);

  void fill(std::span<const double> xs, std::span<const double> ys, char decimalSeparator);
  void clear();
  // Every row's two cell texts, in row order.
  std::vector<transforms::PointTableRow> rows() const;
  // Both cells of `row` hold only blanks (a row that was added and left empty, or emptied).
  bool rowBlank(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool insertRows(int row, int count, const QModelIndex& parent = {}) override;
  bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

 private:
  struct Row {
    double value[2] = {0, 0};
    std::optional<std::string> text[2];  // set once the cell was edited (or the row added)
  };
  std::string cellText(const Row& row, int column) const;

  std::vector<Row> m_rows;
  char m_separator = '.';
};

class TfmShowTextGr : public QDialog {
  Q_OBJECT
 public:
  explicit TfmShowTextGr(QWidget* parent = nullptr);

  // Called on OK with the table's rows; returns the first cell that did not convert (the
  // handler has shown its message), or nullopt when the rows were taken. The dialog stays
  // open on that cell in the first case and closes in the second.
  using OkHandler = std::function<std::optional<transforms::CellError>(
      const std::vector<transforms::PointTableRow>& rows)>;
  void setOkHandler(OkHandler handler) { m_okHandler = std::move(handler); }

  // Fills the table from the points of graph `graphIndex` and remembers the index.
  void fill(std::size_t graphIndex, std::span<const double> xs, std::span<const double> ys,
            char decimalSeparator);
  // Empties the table (after OK and after cancel).
  void clearTable();
  std::size_t graphIndex() const { return m_graphIndex; }
  PointTableModel* model() const { return m_model; }
  QTableView* table() const { return m_table; }

  // Adds an empty row after the current one (at the end when none is current) and starts
  // editing its X; deletes the current row.
  void addRow();
  void deleteRow();

 public slots:
  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void commitOpenEditor();

  PointTableModel* m_model;
  QTableView* m_table;
  OkHandler m_okHandler;
  std::size_t m_graphIndex = 0;
};

}  // namespace tarvik::dialogs
