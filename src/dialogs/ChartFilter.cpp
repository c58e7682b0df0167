#include "dialogs/ChartFilter.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/ChartSpectr.h"
#include "spectral/FilterCommand.h"
#include "spectral/SpectralOptions.h"

namespace tarvik::dialogs {

using spectral::FilterKind;
using spectral::FilterOptions;

namespace {

template <std::size_t N>
QComboBox* list(QWidget* parent, const char* name, const char* const (&items)[N]) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (const char* item : items) {
    box->addItem(QString::fromUtf8(item));
  }
  return box;
}

QLineEdit* field(QWidget* parent, const char* name, const std::string& text) {
  auto* edit = new QLineEdit(QString::fromStdString(text), parent);
  edit->setObjectName(name);
  return edit;
}

// A field label of the form, disabled together with its field.
void enableRow(QFormLayout* form, QWidget* field, bool on) {
  field->setEnabled(on);
  if (QWidget* label = form->labelForField(field)) {
    label->setEnabled(on);
  }
}

}  // namespace

TfmFilter::TfmFilter(QWidget* parent) : QDialog(parent) {
  setObjectName("fmFilter");
  setWindowTitle("Фильтр");
  const FilterOptions defaults;
  auto* layout = new QVBoxLayout(this);

  auto* design = new QGroupBox("Вид и полоса", this);
  auto* form = new QFormLayout(design);
  m_cbKind = list(design, "cbKind", spectral::kFilterKindItems);
  m_cbType = list(design, "cbType", spectral::kBandTypeItems);
  m_edOrder = field(design, "edOrder", defaults.order);
  m_edCutoff = field(design, "edCutoff", defaults.cutoff);
  m_edCutoff2 = field(design, "edCutoff2", defaults.cutoff2);
  m_cbFreq = unitList(design, "cbFreq", spectral::kFrequencyUnitItems);
  m_cbTime = unitList(design, "cbTime", spectral::kTimeUnitItems);
  m_edRipple = field(design, "edRipple", defaults.ripple);
  m_edAttenuation = field(design, "edAttenuation", defaults.attenuation);
  m_cbPhase = list(design, "cbPhase", spectral::kFilterPhaseItems);
  form->addRow("Вид:", m_cbKind);
  form->addRow("Полоса:", m_cbType);
  form->addRow("Порядок (1–16):", m_edOrder);
  form->addRow("Частота среза:", m_edCutoff);
  form->addRow("Вторая частота среза:", m_edCutoff2);
  form->addRow("Единица частоты:", m_cbFreq);
  form->addRow("Время на графике:", m_cbTime);
  form->addRow("Пульсации, дБ:", m_edRipple);
  form->addRow("Затухание, дБ:", m_edAttenuation);
  form->addRow("Фаза:", m_cbPhase);
  layout->addWidget(design);

  auto* windowed = new QGroupBox("КИХ, медиана, Савицкий–Голей", this);
  auto* windowForm = new QFormLayout(windowed);
  m_edTaps = field(windowed, "edTaps", defaults.taps);
  m_cbWindow = list(windowed, "cbWindow", spectral::kFirWindowItems);
  m_edBeta = field(windowed, "edBeta", defaults.beta);
  m_edWidth = field(windowed, "edWidth", defaults.width);
  m_edPolyorder = field(windowed, "edPolyorder", defaults.polyorder);
  windowForm->addRow("Число отводов КИХ:", m_edTaps);
  windowForm->addRow("Окно КИХ:", m_cbWindow);
  windowForm->addRow("Параметр β (Кайзер):", m_edBeta);
  windowForm->addRow("Ширина окна, точек:", m_edWidth);
  windowForm->addRow("Степень полинома:", m_edPolyorder);
  layout->addWidget(windowed);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(m_cbKind, &QComboBox::currentIndexChanged, this, &TfmFilter::applyDependencies);
  connect(m_cbType, &QComboBox::currentIndexChanged, this, &TfmFilter::applyDependencies);
  connect(m_cbWindow, &QComboBox::currentIndexChanged, this, &TfmFilter::applyDependencies);
  applyDependencies();
}

void TfmFilter::applyDependencies() {
  const auto kind = static_cast<FilterKind>(m_cbKind->currentIndex());
  const bool iir = kind == FilterKind::Butterworth || kind == FilterKind::Bessel ||
                   kind == FilterKind::Chebyshev1 || kind == FilterKind::Chebyshev2;
  const bool fir = kind == FilterKind::Fir;
  const bool band = m_cbType->currentIndex() >= 2;
  const bool windowed = kind == FilterKind::Median || kind == FilterKind::SavitzkyGolay;
  auto* form = qobject_cast<QFormLayout*>(m_cbKind->parentWidget()->layout());
  auto* windowForm = qobject_cast<QFormLayout*>(m_edTaps->parentWidget()->layout());
  enableRow(form, m_cbType, iir || fir);
  enableRow(form, m_edOrder, iir);
  enableRow(form, m_edCutoff, iir || fir);
  enableRow(form, m_edCutoff2, (iir || fir) && band);
  enableRow(form, m_cbFreq, iir || fir);
  enableRow(form, m_cbTime, iir || fir);
  enableRow(form, m_edRipple, kind == FilterKind::Chebyshev1);
  enableRow(form, m_edAttenuation, kind == FilterKind::Chebyshev2);
  enableRow(form, m_cbPhase, iir);
  enableRow(windowForm, m_edTaps, fir);
  enableRow(windowForm, m_cbWindow, fir);
  enableRow(windowForm, m_edBeta, fir && m_cbWindow->currentIndex() == 3);
  enableRow(windowForm, m_edWidth, windowed);
  enableRow(windowForm, m_edPolyorder, kind == FilterKind::SavitzkyGolay);
}

void TfmFilter::readFields(DialogOptions& options) const {
  auto& o = dynamic_cast<FilterOptions&>(options);
  o.kind = m_cbKind->currentIndex();
  o.type = m_cbType->currentIndex();
  o.order = m_edOrder->text().toStdString();
  o.cutoff = m_edCutoff->text().toStdString();
  o.cutoff2 = m_edCutoff2->text().toStdString();
  o.freqUnit = m_cbFreq->currentIndex();
  o.timeUnit = m_cbTime->currentIndex();
  o.ripple = m_edRipple->text().toStdString();
  o.attenuation = m_edAttenuation->text().toStdString();
  o.phase = m_cbPhase->currentIndex();
  o.taps = m_edTaps->text().toStdString();
  o.window = m_cbWindow->currentIndex();
  o.beta = m_edBeta->text().toStdString();
  o.width = m_edWidth->text().toStdString();
  o.polyorder = m_edPolyorder->text().toStdString();
}

bool TfmFilter::run(DialogOptions& options) {
  applyDependencies();
  m_cbKind->setFocus();
  if (exec() != QDialog::Accepted) {
    return false;
  }
  readFields(options);
  return true;
}

void TfmFilter::loadSettings(QSettings& settings) {
  const FilterOptions d;
  settings.beginGroup("Filter");
  const auto index = [&](const char* key, int fallback, int count) {
    return std::clamp(settings.value(key, fallback).toInt(), 0, count - 1);
  };
  const auto text = [&](const char* key, const std::string& fallback) {
    return settings.value(key, QString::fromStdString(fallback)).toString();
  };
  m_cbKind->setCurrentIndex(index("cbKind", d.kind, m_cbKind->count()));
  m_cbType->setCurrentIndex(index("cbType", d.type, m_cbType->count()));
  m_edOrder->setText(text("edOrder", d.order));
  m_edCutoff->setText(text("edCutoff", d.cutoff));
  m_edCutoff2->setText(text("edCutoff2", d.cutoff2));
  m_cbFreq->setCurrentIndex(index("cbFreq", d.freqUnit, 4));
  m_cbTime->setCurrentIndex(index("cbTime", d.timeUnit, 4));
  m_edRipple->setText(text("edRipple", d.ripple));
  m_edAttenuation->setText(text("edAttenuation", d.attenuation));
  m_cbPhase->setCurrentIndex(index("cbPhase", d.phase, m_cbPhase->count()));
  m_edTaps->setText(text("edTaps", d.taps));
  m_cbWindow->setCurrentIndex(index("cbWindow", d.window, m_cbWindow->count()));
  m_edBeta->setText(text("edBeta", d.beta));
  m_edWidth->setText(text("edWidth", d.width));
  m_edPolyorder->setText(text("edPolyorder", d.polyorder));
  settings.endGroup();
  applyDependencies();
}

void TfmFilter::saveSettings(QSettings& settings) {
  settings.beginGroup("Filter");
  settings.setValue("cbKind", m_cbKind->currentIndex());
  settings.setValue("cbType", m_cbType->currentIndex());
  settings.setValue("edOrder", m_edOrder->text());
  settings.setValue("edCutoff", m_edCutoff->text());
  settings.setValue("edCutoff2", m_edCutoff2->text());
  settings.setValue("cbFreq", m_cbFreq->currentIndex());
  settings.setValue("cbTime", m_cbTime->currentIndex());
  settings.setValue("edRipple", m_edRipple->text());
  settings.setValue("edAttenuation", m_edAttenuation->text());
  settings.setValue("cbPhase", m_cbPhase->currentIndex());
  settings.setValue("edTaps", m_edTaps->text());
  settings.setValue("cbWindow", m_cbWindow->currentIndex());
  settings.setValue("edBeta", m_edBeta->text());
  settings.setValue("edWidth", m_edWidth->text());
  settings.setValue("edPolyorder", m_edPolyorder->text());
  settings.endGroup();
}

}  // namespace tarvik::dialogs
