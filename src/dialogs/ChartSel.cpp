#include "dialogs/ChartSel.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/DialogSizing.h"

namespace tarvik::dialogs {

namespace {

constexpr const char* kListStatusTip =
    "Выделите требуемые графики, используя  мышь и клавиши Shift или Ctrl";

// The list's hint shows in the dialog's status bar: the dialog is made wide enough for all
// of it (the status bar keeps a few pixels of padding on each side of a message).
constexpr int kStatusPadding = 24;
constexpr QSize kStartSize(460, 300);

}  // namespace

TfmSelectGr::TfmSelectGr(QWidget* parent) : QDialog(parent) {
  setObjectName("fmSelectGr");
  setWindowTitle("Выбор графика");

  m_list = new QListWidget(this);
  m_list->setObjectName("ListBox1");
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setStatusTip(kListStatusTip);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("btnOK");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Отмена", this);
  cancel->setObjectName("btnCancel");
  auto* all = new QPushButton("Выделить всё", this);
  all->setObjectName("Button2");
  auto* invert = new QPushButton("Иверсия выделенного", this);
  invert->setObjectName("Button1");
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(all, &QPushButton::clicked, this, &TfmSelectGr::selectAll);
  connect(invert, &QPushButton::clicked, this, &TfmSelectGr::invertSelection);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {ok, cancel, all, invert}) {
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  auto* row = new QHBoxLayout;
  row->addWidget(m_list, 1);
  row->addLayout(buttons);

  m_status = new QStatusBar(this);
  m_status->setObjectName("StatusBar1");
  m_status->setSizeGripEnabled(false);
  m_status->showMessage(kListStatusTip);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(row, 1);
  outer->addWidget(m_status);

  const QMargins margins = outer->contentsMargins();
  const int hintWidth = QFontMetrics(m_status->font()).horizontalAdvance(kListStatusTip) +
                        kStatusPadding + margins.left() + margins.right();
  resize(std::max(kStartSize.width(), hintWidth), kStartSize.height());
}

void TfmSelectGr::load(const GraphChoiceRequest& request) {
  if (!request.caption.empty()) {
    setWindowTitle(QString::fromStdString(request.caption));
  }
  m_list->clear();
  for (const std::string& entry : request.entries) {
    m_list->addItem(QString::fromStdString(entry));
  }
  if (request.preselected >= 0 && request.preselected < m_list->count()) {
    m_list->item(request.preselected)->setSelected(true);
    m_list->setCurrentRow(request.preselected, QItemSelectionModel::NoUpdate);
  }
}

std::vector<int> TfmSelectGr::selectedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < m_list->count(); ++i) {
    if (m_list->item(i)->isSelected()) {
      rows.push_back(i);
    }
  }
  return rows;
}

std::optional<std::vector<int>> TfmSelectGr::choose(const GraphChoiceRequest& request) {
  load(request);
  fitCaptionAndCentre(this);
  m_list->setFocus();
  if (exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  std::vector<int> rows = selectedRows();
  m_selectedCount = static_cast<int>(rows.size());
  return rows;
}

void TfmSelectGr::selectAll() {
  for (int i = 0; i < m_list->count(); ++i) {
    m_list->item(i)->setSelected(true);
  }
}

void TfmSelectGr::invertSelection() {
  for (int i = 0; i < m_list->count(); ++i) {
    QListWidgetItem* item = m_list->item(i);
    item->setSelected(!item->isSelected());
  }
}

bool TfmSelectGr::event(QEvent* e) {
  // A dialog has no status bar of its own to route hints to: show them in ours.
  if (e->type() == QEvent::StatusTip) {
    const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
    m_status->showMessage(tip.isEmpty() ? QString(kListStatusTip) : tip);
    return true;
  }
  return QDialog::event(e);
}

}  // namespace tarvik::dialogs
