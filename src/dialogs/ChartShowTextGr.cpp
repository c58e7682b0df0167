#include "dialogs/ChartShowTextGr.h"

#include <QAbstractItemDelegate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "core/NumberFormat.h"

namespace tarvik::dialogs {

PointTableModel::PointTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void PointTableModel::fill(std::span<const double> xs, std::span<const double> ys,
                           char decimalSeparator) {
  beginResetModel();
  m_separator = decimalSeparator;
  m_rows.assign(xs.size(), Row{});
  for (std::size_t i = 0; i < xs.size(); ++i) {
    m_rows[i].value[0] = xs[i];
    m_rows[i].value[1] = ys[i];
  }
  endResetModel();
}

void PointTableModel::clear() {
  beginResetModel();
  m_rows.clear();
  endResetModel();
}

std::string PointTableModel::cellText(const Row& row, int column) const {
  const auto c = static_cast<std::size_t>(column);
  return row.text[c] ? *row.text[c] : transforms::pointTableCell(row.value[c], m_separator);
}

std::vector<transforms::PointTableRow> PointTableModel::rows() const {
  std::vector<transforms::PointTableRow> result;
  result.reserve(m_rows.size());
  for (const Row& row : m_rows) {
    result.push_back({cellText(row, 0), cellText(row, 1)});
  }
  return result;
}

bool PointTableModel::rowBlank(int row) const {
  const Row& r = m_rows[static_cast<std::size_t>(row)];
  return r.text[0] && r.text[1] && trimBlanks(*r.text[0]).empty() && trimBlanks(*r.text[1]).empty();
}

int PointTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PointTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant PointTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
    return {};
  }
  return QString::fromStdString(
      cellText(m_rows[static_cast<std::size_t>(index.row())], index.column()));
}

bool PointTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) {
    return false;
  }
  Row& row = m_rows[static_cast<std::size_t>(index.row())];
  const std::string text = value.toString().toStdString();
  if (cellText(row, index.column()) == text) {
    return true;  // an editor closed without a change keeps the cell's number
  }
  row.text[static_cast<std::size_t>(index.column())] = text;
  emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

Qt::ItemFlags PointTableModel::flags(const QModelIndex& index) const {
  return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

QVariant PointTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::DisplayRole && orientation == Qt::Horizontal) {
    return section == 0 ? QString("X") : QString("Y");
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

bool PointTableModel::insertRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || row < 0 || row > rowCount() || count <= 0) {
    return false;
  }
  beginInsertRows(parent, row, row + count - 1);
  Row empty;
  empty.text[0] = std::string();
  empty.text[1] = std::string();
  m_rows.insert(m_rows.begin() + row, static_cast<std::size_t>(count), empty);
  endInsertRows();
  return true;
}

bool PointTableModel::removeRows(int row, int count, const QModelIndex& parent) {
  if (parent.isValid() || row < 0 || count <= 0 || row + count > rowCount()) {
    return false;
  }
  beginRemoveRows(parent, row, row + count - 1);
  m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
  endRemoveRows();
  return true;
}

TfmShowTextGr::TfmShowTextGr(QWidget* parent) : QDialog(parent) {
  setObjectName("fmShowTextGr");
  setWindowTitle("Исходный текст");
  m_model = new PointTableModel(this);
  m_table = new QTableView(this);
  m_table->setObjectName("ValueListEditor1");
  m_table->setModel(m_model);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
  m_table->verticalHeader()->hide();
  m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_table->setColumnWidth(0, 139);
  m_table->setColumnWidth(1, 151);
  m_table->horizontalHeader()->setStretchLastSection(true);
  m_table->installEventFilter(this);

  auto* buttons = new QVBoxLayout;
  const auto button = [this, buttons](const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    // Enter belongs to the cell being edited; it never closes the dialog.
    b->setAutoDefault(false);
    b->setDefault(false);
    buttons->addWidget(b);
    return b;
  };
  connect(button("OK"), &QPushButton::clicked, this, &TfmShowTextGr::accept);
  connect(button("Отмена"), &QPushButton::clicked, this, &TfmShowTextGr::reject);
  buttons->addSpacing(16);
  connect(button("Добавить строку"), &QPushButton::clicked, this, &TfmShowTextGr::addRow);
  connect(button("Удалить строку"), &QPushButton::clicked, this, &TfmShowTextGr::deleteRow);
  buttons->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(m_table, 1);
  layout->addLayout(buttons);
  resize(480, 420);
}

void TfmShowTextGr::fill(std::size_t graphIndex, std::span<const double> xs,
                         std::span<const double> ys, char decimalSeparator) {
  m_graphIndex = graphIndex;
  m_model->fill(xs, ys, decimalSeparator);
  m_table->setCurrentIndex(m_model->index(0, 0));
  m_table->scrollToTop();
  m_table->setFocus();
}

void TfmShowTextGr::clearTable() { m_model->clear(); }

void TfmShowTextGr::addRow() {
  commitOpenEditor();
  const QModelIndex current = m_table->currentIndex();
  const int row = current.isValid() ? current.row() + 1 : m_model->rowCount();
  m_model->insertRows(row, 1);
  const QModelIndex x = m_model->index(row, 0);
  m_table->setCurrentIndex(x);
  m_table->setFocus();
  m_table->edit(x);
}

void TfmShowTextGr::deleteRow() {
  commitOpenEditor();
  const QModelIndex current = m_table->currentIndex();
  if (!current.isValid()) {
    return;
  }
  const int row = current.row();
  m_model->removeRows(row, 1);
  if (m_model->rowCount() > 0) {
    m_table->setCurrentIndex(
        m_model->index(std::min(row, m_model->rowCount() - 1), current.column()));
  }
  m_table->setFocus();
}

void TfmShowTextGr::commitOpenEditor() {
  // An editor still open holds text the model has not seen yet (Enter commits it only
  // after the key has been handled).
  const QModelIndex current = m_table->currentIndex();
  if (QWidget* editor = m_table->indexWidget(current)) {
    m_table->itemDelegateForIndex(current)->setModelData(editor, m_model, current);
  }
}

void TfmShowTextGr::accept() {
  commitOpenEditor();
  // Rows that were added and left empty are dropped, as blank lines of a list are.
  for (int row = m_model->rowCount() - 1; row >= 0; --row) {
    if (m_model->rowBlank(row)) {
      m_model->removeRows(row, 1);
    }
  }
  if (m_okHandler) {
    if (const std::optional<transforms::CellError> error = m_okHandler(m_model->rows())) {
      const QModelIndex bad = m_model->index(static_cast<int>(error->row), error->column);
      m_table->setCurrentIndex(bad);
      m_table->scrollTo(bad);
      m_table->setFocus();
      return;
    }
  }
  QDialog::accept();
}

bool TfmShowTextGr::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_table && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier) {
      addRow();
      return true;
    }
    if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
      deleteRow();
      return true;
    }
    const QModelIndex current = m_table->currentIndex();
    if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier &&
        (!current.isValid() || current.row() == m_model->rowCount() - 1)) {
      // Past the last row a new one opens, unless the last one is still empty.
      if (m_model->rowCount() == 0 || !m_model->rowBlank(m_model->rowCount() - 1)) {
        addRow();
      }
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tarvik::dialogs
