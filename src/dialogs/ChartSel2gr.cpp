#include "dialogs/ChartSel2gr.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "transforms/GraphEditingCommands.h"

namespace tarvik::dialogs {

TfmSelectTwoGr::TfmSelectTwoGr(QWidget* parent) : QDialog(parent) {
  setObjectName("fmSelectTwoGr");
  setWindowTitle("Срастить графики");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  m_first = new QSpinBox(this);
  m_first->setObjectName("SpinEdit1");
  m_second = new QSpinBox(this);
  m_second->setObjectName("SpinEdit2");
  for (QSpinBox* box : {m_first, m_second}) {
    box->setRange(1, 1);
    box->setValue(1);
  }
  m_x = new QLineEdit("0", this);
  m_x->setObjectName("Edit1");
  form->addRow("Первый график (слева) - номер", m_first);
  form->addRow("Второй график (справа) - номер", m_second);
  form->addRow("Точка на оси X", m_x);
  layout->addLayout(form);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  auto* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

bool TfmSelectTwoGr::run(DialogOptions& options) {
  auto& splice = dynamic_cast<SpliceOptions&>(options);
  const int count = std::max(1, splice.graphCount);
  m_first->setRange(1, count);
  m_second->setRange(1, count);
  m_first->setValue(splice.first);
  m_second->setValue(splice.second);
  m_x->setText(QString::fromStdString(splice.xText));
  if (exec() != QDialog::Accepted) {
    return false;
  }
  splice.first = m_first->value();
  splice.second = m_second->value();
  splice.xText = m_x->text().toStdString();
  return true;
}

}  // namespace tarvik::dialogs
