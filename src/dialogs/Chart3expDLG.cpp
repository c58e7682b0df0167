#include "dialogs/Chart3expDLG.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/DialogSizing.h"
#include "synth/SynthCommands.h"

namespace tarvik::dialogs {

Tfm3expDLG::Tfm3expDLG(QWidget* parent) : QDialog(parent) {
  setObjectName("fm3expDLG");
  setWindowTitle("Параметры 3-х экпоненциального импульса");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Общий вид формулы:", this));
  auto* formula = new QLabel("f(t)=A*(K1*exp(-T1*t)+K2*exp(-T2*t)-K3*exp(-T3*t))", this);
  QFont bold = formula->font();
  bold.setBold(true);
  formula->setFont(bold);
  formula->setObjectName("lbFormula");
  layout->addWidget(formula);

  const synth::ThreeExpOptions defaults;
  auto* form = new QFormLayout;
  m_edit7 = field("Edit7", defaults.a.c_str());
  m_edit1 = field("Edit1", defaults.k1.c_str());
  m_edit2 = field("Edit2", defaults.k2.c_str());
  m_edit3 = field("Edit3", defaults.k3.c_str());
  m_edit4 = field("Edit4", defaults.t1.c_str());
  m_edit5 = field("Edit5", defaults.t2.c_str());
  m_edit6 = field("Edit6", defaults.t3.c_str());
  m_edit8 = field("Edit8", defaults.end.c_str());
  m_edit9 = field("Edit9", defaults.step.c_str());
  form->addRow("A:", m_edit7);
  form->addRow("K1:", m_edit1);
  form->addRow("K2:", m_edit2);
  form->addRow("K3:", m_edit3);
  form->addRow("T1:", m_edit4);
  form->addRow("T2:", m_edit5);
  form->addRow("T3:", m_edit6);
  form->addRow("Конечное время, с:", m_edit8);
  form->addRow("Шаг по времени, с:", m_edit9);
  layout->addLayout(form);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* draw = new QPushButton("Нарисовать", this);
  draw->setObjectName("btnDraw");
  draw->setDefault(true);
  auto* cancel = new QPushButton("Не надо", this);
  cancel->setObjectName("btnCancel");
  connect(draw, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(draw);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  fitCaptionAndCentre(this);
}

QLineEdit* Tfm3expDLG::field(const char* name, const char* text) {
  auto* edit = new QLineEdit(QString::fromUtf8(text), this);
  edit->setObjectName(name);
  return edit;
}

bool Tfm3expDLG::run(DialogOptions& options) {
  auto& o = dynamic_cast<synth::ThreeExpOptions&>(options);
  m_edit7->setFocus();
  m_edit7->selectAll();
  if (exec() != QDialog::Accepted) {
    return false;
  }
  o.a = m_edit7->text().toStdString();
  o.k1 = m_edit1->text().toStdString();
  o.k2 = m_edit2->text().toStdString();
  o.k3 = m_edit3->text().toStdString();
  o.t1 = m_edit4->text().toStdString();
  o.t2 = m_edit5->text().toStdString();
  o.t3 = m_edit6->text().toStdString();
  o.end = m_edit8->text().toStdString();
  o.step = m_edit9->text().toStdString();
  return true;
}

}  // namespace tarvik::dialogs
