#include "dialogs/ChartBackSpectr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/ChartSpectr.h"
#include "spectral/InversePreset.h"
#include "spectral/SpectralOptions.h"

namespace tarvik::dialogs {

using spectral::InverseSpectrumOptions;

TfmBackSpectr::TfmBackSpectr(QWidget* parent) : QDialog(parent) {
  setObjectName("fmBackSpectr");
  setWindowTitle("Обратное преобразование Фурье");
  auto* layout = new QVBoxLayout(this);
  auto* label3 = new QLabel(
      "Для преобразования берутся два последних графика. Предпоследний график считается "
      "модулем спектра, последний - фазой. Частота в файлах должна быть в герцах, шаг по "
      "частоте - равномерный и совпадать в обоих графиках, количество точек - одинаковым.",
      this);
  label3->setObjectName("Label3");
  label3->setWordWrap(true);
  label3->setAlignment(Qt::AlignCenter);
  layout->addWidget(label3);
  auto* form = new QFormLayout;
  m_edTMin = new QLineEdit("0", this);
  m_edTMin->setObjectName("edTMin");
  m_edTMax = new QLineEdit("1", this);
  m_edTMax->setObjectName("edTMax");
  m_edNPoint = new QLineEdit("256", this);
  m_edNPoint->setObjectName("edNPoint");
  m_cbTime = unitList(this, "cbTime", spectral::kTimeUnitItems);
  form->addRow("От какого времени, с", m_edTMin);
  form->addRow("До какого времени, с", m_edTMax);
  form->addRow("Сколько точек графика", m_edNPoint);
  form->addRow("Время на выходе", m_cbTime);
  layout->addLayout(form);
  m_checkBox1 = new QCheckBox("Удалить исходные графики спектра", this);
  m_checkBox1->setObjectName("CheckBox1");
  layout->addWidget(m_checkBox1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void TfmBackSpectr::preset(const InverseSpectrumOptions& preset) {
  InverseSpectrumOptions fields;
  readFields(fields);
  applyInversePreset(fields, preset);
  writeFields(fields);
}

void TfmBackSpectr::writeFields(const InverseSpectrumOptions& o) {
  m_edTMin->setText(QString::fromStdString(o.tMin));
  m_edTMax->setText(QString::fromStdString(o.tMax));
  m_edNPoint->setText(QString::fromStdString(o.nPoint));
  m_cbTime->setCurrentIndex(o.timeUnit);
  m_checkBox1->setChecked(o.deleteSpectra);
}

void TfmBackSpectr::readFields(DialogOptions& options) const {
  auto& o = dynamic_cast<InverseSpectrumOptions&>(options);
  o.tMin = m_edTMin->text().toStdString();
  o.tMax = m_edTMax->text().toStdString();
  o.nPoint = m_edNPoint->text().toStdString();
  o.timeUnit = m_cbTime->currentIndex();
  o.deleteSpectra = m_checkBox1->isChecked();
}

bool TfmBackSpectr::run(DialogOptions& options) {
  if (exec() != QDialog::Accepted) {
    return false;
  }
  readFields(options);
  return true;
}

}  // namespace tarvik::dialogs
