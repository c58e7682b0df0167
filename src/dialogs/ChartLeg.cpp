#include "dialogs/ChartLeg.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ChartAppearance.h"

namespace tarvik::dialogs {

TfmLegend::TfmLegend(QWidget* parent) : QDialog(parent) {
  setObjectName("fmLegend");
  setWindowTitle("Редактор легенд");
  auto* layout = new QVBoxLayout(this);
  m_memo1 = new QPlainTextEdit(this);
  m_memo1->setObjectName("Memo1");
  m_memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  layout->addWidget(m_memo1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  QPushButton* ok = buttons->addButton("Ok", QDialogButtonBox::AcceptRole);
  ok->setObjectName("btnOk");
  // Enter in the memo starts a new line; it does not close the dialog.
  ok->setAutoDefault(false);
  buttons->button(QDialogButtonBox::Cancel)->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(360, 300);
}

bool TfmLegend::run(DialogOptions& options) {
  auto& fields = dynamic_cast<LegendTitlesOptions&>(options);
  m_memo1->setPlainText(QString::fromStdString(joinLines(fields.lines)));
  m_memo1->setFocus();
  if (exec() != QDialog::Accepted) {
    return false;
  }
  fields.lines = textLines(m_memo1->toPlainText().toStdString(), '\n');
  return true;
}

}  // namespace tarvik::dialogs
