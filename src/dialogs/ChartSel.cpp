#include "dialogs/ChartSel.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>

namespace tarvik::dialogs {

namespace {

constexpr const char* kListStatusTip =
    "Выделите требуемые графики, используя  мышь и клавиши Shift или Ctrl";

void centreOnScreen(QWidget* w) {
  const QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return;
  }
  QRect frame = w->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  w->move(frame.topLeft());
}

}  // namespace

TfmSelectGr::TfmSelectGr(QWidget* parent) : QDialog(parent) {
  setObjectName("fmSelectGr");
  setWindowTitle("Выбор графика");
  resize(460, 300);

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
  centreOnScreen(this);
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
