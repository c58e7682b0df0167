#include "dialogs/Distance.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/DialogSizing.h"
#include "synth/SynthCommands.h"

namespace tarvik::dialogs {
namespace {

QLineEdit* edit(QWidget* parent, const char* name, const std::string& text) {
  auto* e = new QLineEdit(QString::fromStdString(text), parent);
  e->setObjectName(name);
  return e;
}

}  // namespace

TfmDistance::TfmDistance(QWidget* parent) : QDialog(parent) {
  setObjectName("fmDistance");
  setWindowTitle("Параметры для расчета задержки");
  const synth::DistanceOptions defaults;
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  m_edH1 = edit(this, "edH1", defaults.h1);
  m_edH2 = edit(this, "edH2", defaults.h2);
  m_edL = edit(this, "edL", defaults.l);
  form->addRow("Высота излучателя", m_edH1);
  form->addRow("Предельная высота точки наблюдения", m_edH2);
  form->addRow("Расстояние", m_edL);
  layout->addLayout(form);
  m_radioButton1 = new QRadioButton("По правилу равенства улов падения и отражения", this);
  m_radioButton1->setObjectName("RadioButton1");
  m_radioButton2 = new QRadioButton("По гипотезе о центре отражения под генератором", this);
  m_radioButton2->setObjectName("RadioButton2");
  (defaults.specular ? m_radioButton1 : m_radioButton2)->setChecked(true);
  layout->addWidget(m_radioButton1);
  layout->addWidget(m_radioButton2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  fitCaptionAndCentre(this);
}

bool TfmDistance::run(DialogOptions& options) {
  auto& o = dynamic_cast<synth::DistanceOptions&>(options);
  m_edH1->setFocus();
  m_edH1->selectAll();
  if (exec() != QDialog::Accepted) {
    return false;
  }
  o.h1 = m_edH1->text().toStdString();
  o.h2 = m_edH2->text().toStdString();
  o.l = m_edL->text().toStdString();
  o.specular = m_radioButton1->isChecked();
  return true;
}

}  // namespace tarvik::dialogs
