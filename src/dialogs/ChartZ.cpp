#include "dialogs/ChartZ.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/ChartSpectr.h"
#include "spectral/Impedance.h"
#include "spectral/SpectralOptions.h"

namespace tarvik::dialogs {
namespace {

constexpr const char* kListHint =
    "|Выделите требуемые графики, используя  мышь и клавиши Shift или Ctrl";

QListWidget* graphList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(name);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  // The hint has no tool-tip part; the text after "|" goes to the status line.
  list->setStatusTip(QString::fromUtf8(kListHint).section('|', 1));
  return list;
}

void choose(QListWidget* list, int row) {
  list->clearSelection();
  if (row >= 0 && row < list->count()) {
    list->setCurrentRow(row);
  }
}

int chosenRow(const QListWidget* list) {
  const auto selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->row(selected.front());
}

}  // namespace

TfmCalcZ::TfmCalcZ(QWidget* parent) : QDialog(parent) {
  setObjectName("fmCalcZ");
  setWindowTitle("Вычисление сопротивления");
  auto* layout = new QVBoxLayout(this);
  auto* about = new QPlainTextEdit(this);
  about->setReadOnly(true);
  about->setPlainText(
      "  Вычисляется комлексное сопротивление по отношению модулей спектров \n|U(w)|/|I(w)|\n"
      "и разности фаз между током и напряжением.\n"
      "  Перед вычислением необходимо выбрать графики тока и напряжения.\n");
  about->setStyleSheet("QPlainTextEdit { background: #c0c0c0; font-weight: bold; }");
  about->setMaximumHeight(110);
  layout->addWidget(about);
  layout->addWidget(new QLabel("Выбрать график напряжения:", this));
  m_listBox1 = graphList(this, "ListBox1");
  layout->addWidget(m_listBox1);
  layout->addWidget(new QLabel("Выбрать график тока:", this));
  m_listBox2 = graphList(this, "ListBox2");
  layout->addWidget(m_listBox2);

  auto* form = new QFormLayout;
  m_edFMin = new QLineEdit("0", this);
  m_edFMin->setObjectName("edFMin");
  m_edFMax = new QLineEdit("1e9", this);
  m_edFMax->setObjectName("edFMax");
  m_eddF = new QLineEdit("1e6", this);
  m_eddF->setObjectName("eddF");
  auto* stepRow = new QHBoxLayout;
  stepRow->addWidget(m_eddF);
  stepRow->addWidget(new QLabel("Гц", this));
  m_cbTime = unitList(this, "cbTime", spectral::kTimeUnitItems);
  m_cbFreq = unitList(this, "cbFreq", spectral::kFrequencyUnitItems);
  form->addRow("Нижняя частота, Гц", m_edFMin);
  form->addRow("Верхняя частота, Гц", m_edFMax);
  form->addRow("Шаг по частоте", stepRow);
  form->addRow("Время на графиках:", m_cbTime);
  form->addRow("Выходной результат:", m_cbFreq);
  layout->addLayout(form);
  m_cbDeleteSpectr = new QCheckBox("Удалить графики спектров", this);
  m_cbDeleteSpectr->setObjectName("cbDeleteSpectr");
  m_cbDeleteSpectr->setChecked(true);
  layout->addWidget(m_cbDeleteSpectr);

  auto* buttons = new QHBoxLayout;
  auto* compute = new QPushButton("Вычислить", this);
  compute->setDefault(true);
  auto* cancel = new QPushButton("Отменить", this);
  connect(compute, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addStretch();
  buttons->addWidget(compute);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
}

void TfmCalcZ::fill(const DialogOptions& options) {
  const auto& o = dynamic_cast<const spectral::ImpedanceOptions&>(options);
  for (QListWidget* list : {m_listBox1, m_listBox2}) {
    list->clear();
    for (const std::string& entry : o.entries) {
      list->addItem(QString::fromStdString(entry));
    }
  }
  choose(m_listBox1, o.voltageRow);
  choose(m_listBox2, o.currentRow);
}

void TfmCalcZ::readFields(DialogOptions& options) const {
  auto& o = dynamic_cast<spectral::ImpedanceOptions&>(options);
  o.voltageRow = chosenRow(m_listBox1);
  o.currentRow = chosenRow(m_listBox2);
  o.fMin = m_edFMin->text().toStdString();
  o.fMax = m_edFMax->text().toStdString();
  o.dF = m_eddF->text().toStdString();
  o.timeUnit = m_cbTime->currentIndex();
  o.freqUnit = m_cbFreq->currentIndex();
  o.deleteSpectra = m_cbDeleteSpectr->isChecked();
}

bool TfmCalcZ::run(DialogOptions& options) {
  fill(options);
  if (exec() != QDialog::Accepted) {
    return false;
  }
  readFields(options);
  return true;
}

void TfmCalcZ::loadSettings(QSettings& settings) {
  settings.beginGroup("SpectrZ");
  m_edFMin->setText(settings.value("edFMin", "0").toString());
  m_edFMax->setText(settings.value("edFMax", "1e9").toString());
  m_eddF->setText(settings.value("eddF", "1e6").toString());
  m_cbTime->setCurrentIndex(std::clamp(settings.value("cbTime", 0).toInt(), 0, 3));
  m_cbFreq->setCurrentIndex(std::clamp(settings.value("cbFreq", 0).toInt(), 0, 3));
  m_cbDeleteSpectr->setChecked(readSettingsBool(settings, "cbDeleteSpectr", true));
  settings.endGroup();
}

void TfmCalcZ::saveSettings(QSettings& settings) {
  settings.beginGroup("SpectrZ");
  settings.setValue("edFMin", m_edFMin->text());
  settings.setValue("edFMax", m_edFMax->text());
  settings.setValue("eddF", m_eddF->text());
  settings.setValue("cbTime", m_cbTime->currentIndex());
  settings.setValue("cbFreq", m_cbFreq->currentIndex());
  settings.setValue("cbDeleteSpectr", m_cbDeleteSpectr->isChecked() ? 1 : 0);
  settings.endGroup();
}

}  // namespace tarvik::dialogs
