#include "dialogs/ChartSelectGrPrm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "transforms/RunningStats.h"
#include "transforms/RunningStatsCommands.h"

namespace tarvik::dialogs {
namespace {

template <std::size_t N>
QComboBox* unitBox(QWidget* parent, const char* name, const char* const (&entries)[N], int chosen) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const char* entry : entries) {
    box->addItem(QString::fromUtf8(entry));
  }
  box->setCurrentIndex(chosen);
  return box;
}

}  // namespace

TfmSelectGrParam::TfmSelectGrParam(QWidget* parent) : QDialog(parent) {
  setObjectName("fmSelectGrParam");
  setWindowTitle("Выбор параметров графиков");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  m_time = unitBox(this, "ComboBoxTime", kTimeUnits, 3);
  m_scale = unitBox(this, "ComboBoxScale", kCurrentUnits, 1);
  form->addRow("Время на графике", m_time);
  form->addRow("Амплитуда на графике", m_scale);
  layout->addLayout(form);

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton("ОК", this);
  ok->setDefault(true);
  auto* cancel = new QPushButton("Отмена", this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
}

bool TfmSelectGrParam::run(DialogOptions& options) {
  auto& units = dynamic_cast<EnergyUnitsOptions&>(options);
  m_time->setEditText(QString::fromStdString(units.timeUnit));
  m_scale->setEditText(QString::fromStdString(units.currentUnit));
  if (exec() != QDialog::Accepted) {
    return false;
  }
  units.timeUnit = m_time->currentText().toStdString();
  units.currentUnit = m_scale->currentText().toStdString();
  return true;
}

}  // namespace tarvik::dialogs
