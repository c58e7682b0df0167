#include "dialogs/ChartPolarDiel.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/DialogSizing.h"
#include "synth/SynthCommands.h"

namespace tarvik::dialogs {

TfmPolarDielectric::TfmPolarDielectric(QWidget* parent) : QDialog(parent) {
  setObjectName("fmPolarDielectric");
  setWindowTitle("Задание свойств полярного диэлектрика");
  auto* layout = new QVBoxLayout(this);
  const synth::PolarDielectricOptions defaults;
  const struct {
    const char* label;
    const std::string& text;
  } fields[] = {{"Начальная диэлектрическая проницаемость:", defaults.es},
                {"Конечная диэлектрическая проницаемость:", defaults.einf},
                {"Время релаксаци, с:", defaults.tau},
                {"Проводимость, См/м:", defaults.sigma},
                {"До какой частоты считать, ГГц:", defaults.fmax}};
  auto* form = new QFormLayout;
  for (int i = 0; i < 5; ++i) {
    m_edit[i] = new QLineEdit(QString::fromStdString(fields[i].text), this);
    m_edit[i]->setObjectName(QString("Edit%1").arg(i + 1));
    form->addRow(QString::fromUtf8(fields[i].label), m_edit[i]);
  }
  layout->addLayout(form);
  m_checkBox1 = new QCheckBox("Считать проницаемость", this);
  m_checkBox1->setObjectName("CheckBox1");
  m_checkBox1->setChecked(defaults.permittivity);
  m_checkBox2 = new QCheckBox("Считать проводимость", this);
  m_checkBox2->setObjectName("CheckBox2");
  m_checkBox2->setChecked(defaults.conductivity);
  layout->addWidget(m_checkBox1);
  layout->addWidget(m_checkBox2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  fitCaptionAndCentre(this);
}

bool TfmPolarDielectric::run(DialogOptions& options) {
  auto& o = dynamic_cast<synth::PolarDielectricOptions&>(options);
  m_edit[0]->setFocus();
  m_edit[0]->selectAll();
  if (exec() != QDialog::Accepted) {
    return false;
  }
  std::string* texts[] = {&o.es, &o.einf, &o.tau, &o.sigma, &o.fmax};
  for (int i = 0; i < 5; ++i) {
    *texts[i] = m_edit[i]->text().toStdString();
  }
  o.permittivity = m_checkBox1->isChecked();
  o.conductivity = m_checkBox2->isChecked();
  return true;
}

}  // namespace tarvik::dialogs
