#include "dialogs/ChartSpectr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>
#include <algorithm>

#include "spectral/SpectralOptions.h"

namespace tarvik::dialogs {

using spectral::SpectrumOptions;
using spectral::WindowKind;

QComboBox* unitList(QWidget* parent, const char* objectName, const char* const (&items)[4]) {
  auto* list = new QComboBox(parent);
  list->setObjectName(objectName);
  for (const char* item : items) {
    list->addItem(QString::fromUtf8(item));
  }
  list->setCurrentIndex(0);
  return list;
}

bool readSettingsBool(const QSettings& settings, const QString& key, bool fallback) {
  const QString text = settings.value(key).toString().trimmed();
  if (text.isEmpty()) {
    return fallback;
  }
  if (text.compare("true", Qt::CaseInsensitive) == 0) {
    return true;
  }
  if (text.compare("false", Qt::CaseInsensitive) == 0) {
    return false;
  }
  bool ok = false;
  const int value = text.toInt(&ok);
  return ok ? value != 0 : fallback;
}

namespace {

QLineEdit* field(QWidget* parent, const char* name, const char* text) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  return edit;
}

QCheckBox* box(QWidget* parent, const char* name, const char* text, bool checked) {
  auto* b = new QCheckBox(QString::fromUtf8(text), parent);
  b->setObjectName(name);
  b->setChecked(checked);
  return b;
}

}  // namespace

TfmSpectr::TfmSpectr(QWidget* parent) : QDialog(parent) {
  setObjectName("fmSpectr");
  setWindowTitle("Спектр выбранных графиков, Гц");
  auto* layout = new QVBoxLayout(this);

  auto* kind = new QGroupBox("Вид преобразования", this);
  kind->setObjectName("rgFourieType");
  auto* kindLayout = new QHBoxLayout(kind);
  m_dft = new QRadioButton("DFT", kind);
  m_fft = new QRadioButton("FFT", kind);
  m_dft->setChecked(true);
  kindLayout->addWidget(m_dft);
  kindLayout->addWidget(m_fft);
  layout->addWidget(kind);

  auto* form = new QFormLayout;
  m_edFMin = field(this, "edFMin", "0");
  m_edFMax = field(this, "edFMax", "1e9");
  form->addRow("Нижняя частота, Гц", m_edFMin);
  form->addRow("Верхняя частота, Гц", m_edFMax);
  layout->addLayout(form);

  m_groupBox1 = new QGroupBox("Шаг по частоте", this);
  m_groupBox1->setObjectName("GroupBox1");
  auto* stepLayout = new QHBoxLayout(m_groupBox1);
  m_eddF = field(m_groupBox1, "eddF", "1e6");
  m_checkBox2 = box(m_groupBox1, "CheckBox2", "автоматически", false);
  stepLayout->addWidget(m_eddF);
  stepLayout->addWidget(new QLabel("Гц", m_groupBox1));
  stepLayout->addWidget(m_checkBox2);
  layout->addWidget(m_groupBox1);

  auto* timeForm = new QFormLayout;
  m_cbTime = unitList(this, "cbTime", spectral::kTimeUnitItems);
  timeForm->addRow("Время на графике:", m_cbTime);
  layout->addLayout(timeForm);
  m_checkBox1 = box(this, "CheckBox1", "Выполнить обратное преобразование", false);
  m_checkBox3 = box(this, "CheckBox3", "Вычислить абсолютные амплитуды спектра", true);
  m_checkBox4 = box(this, "CheckBox4", "Не выводить фазу", true);
  layout->addWidget(m_checkBox1);
  layout->addWidget(m_checkBox3);
  layout->addWidget(m_checkBox4);
  auto* outForm = new QFormLayout;
  m_cbFreq = unitList(this, "cbFreq", spectral::kFrequencyUnitItems);
  outForm->addRow("Выходной результат:", m_cbFreq);
  layout->addLayout(outForm);

  auto* windowForm = new QFormLayout;
  m_cbWindow = new QComboBox(this);
  m_cbWindow->setObjectName("cbWindow");
  for (const char* caption : spectral::kWindowCaptions) {
    m_cbWindow->addItem(QString::fromUtf8(caption));
  }
  m_parameterLabel = new QLabel(this);
  m_edWindowParam = field(this, "edWindowParam", "");
  windowForm->addRow("Весовое окно:", m_cbWindow);
  m_parameterLabel->setBuddy(m_edWindowParam);
  windowForm->addRow(m_parameterLabel, m_edWindowParam);
  layout->addLayout(windowForm);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(m_dft, &QRadioButton::toggled, this, &TfmSpectr::applyDependencies);
  connect(m_checkBox2, &QCheckBox::toggled, this, &TfmSpectr::applyDependencies);
  connect(m_checkBox1, &QCheckBox::clicked, this, &TfmSpectr::inverseClicked);
  connect(m_cbWindow, &QComboBox::currentIndexChanged, this, &TfmSpectr::windowChosen);
  connect(m_edWindowParam, &QLineEdit::textEdited, this, &TfmSpectr::parameterEdited);
  applyDependencies();
  windowChosen();
}

void TfmSpectr::windowChosen() {
  const auto kind = static_cast<WindowKind>(m_cbWindow->currentIndex());
  const bool kaiser = kind == WindowKind::Kaiser, tukey = kind == WindowKind::Tukey;
  m_parameterLabel->setText(kaiser ? "β:" : tukey ? "α:" : "β / α:");
  m_edWindowParam->setText(kaiser ? m_beta : tukey ? m_alpha : QString());
  m_edWindowParam->setEnabled(kaiser || tukey);
}

void TfmSpectr::parameterEdited(const QString& text) {
  const auto kind = static_cast<WindowKind>(m_cbWindow->currentIndex());
  if (kind == WindowKind::Kaiser) {
    m_beta = text;
  } else if (kind == WindowKind::Tukey) {
    m_alpha = text;
  }
}

void TfmSpectr::done(int result) {
  if (result == QDialog::Accepted) {
    SpectrumOptions o;
    readFields(o);
    const QString point = QLocale().decimalPoint();
    const char separator =
        point.size() == 1 && point[0].unicode() < 128 ? static_cast<char>(point[0].unicode()) : '.';
    if (const auto refusal = spectral::windowParameterRefusal(o, separator)) {
      QMessageBox::critical(this, "Ошибка", QString::fromStdString(*refusal));
      m_edWindowParam->setFocus();
      m_edWindowParam->selectAll();
      return;
    }
  }
  QDialog::done(result);
}

void TfmSpectr::applyDependencies() {
  m_groupBox1->setVisible(m_dft->isChecked());
  m_eddF->setEnabled(!m_checkBox2->isChecked());
  const bool inverse = m_checkBox1->isChecked();
  m_checkBox3->setEnabled(!inverse);
  m_checkBox4->setEnabled(!inverse);
  m_cbFreq->setEnabled(!inverse);
}

void TfmSpectr::inverseClicked() {
  // The inverse step reads the spectrum back in hertz.
  m_cbFreq->setCurrentIndex(0);
  applyDependencies();
}

void TfmSpectr::readFields(DialogOptions& options) const {
  auto& o = dynamic_cast<SpectrumOptions&>(options);
  o.kind = m_fft->isChecked() ? SpectrumOptions::Kind::Fft : SpectrumOptions::Kind::Dft;
  o.fMin = m_edFMin->text().toStdString();
  o.fMax = m_edFMax->text().toStdString();
  o.dF = m_eddF->text().toStdString();
  o.autoStep = m_checkBox2->isChecked();
  o.timeUnit = m_cbTime->currentIndex();
  o.inverse = m_checkBox1->isChecked();
  o.absolute = m_checkBox3->isChecked();
  o.noPhase = m_checkBox4->isChecked();
  o.freqUnit = m_cbFreq->currentIndex();
  o.window = static_cast<WindowKind>(m_cbWindow->currentIndex());
  o.beta = m_beta.toStdString();
  o.alpha = m_alpha.toStdString();
}

bool TfmSpectr::run(DialogOptions& options) {
  applyDependencies();
  if (exec() != QDialog::Accepted) {
    return false;
  }
  readFields(options);
  return true;
}

void TfmSpectr::loadSettings(QSettings& settings) {
  settings.beginGroup("Spectr");
  m_edFMin->setText(settings.value("edFMin", "0").toString());
  m_edFMax->setText(settings.value("edFMax", "1e9").toString());
  m_eddF->setText(settings.value("eddF", "1e6").toString());
  m_checkBox2->setChecked(readSettingsBool(settings, "CheckBox2", false));
  m_checkBox3->setChecked(readSettingsBool(settings, "CheckBox3", true));
  m_checkBox4->setChecked(readSettingsBool(settings, "CheckBox4", true));
  m_cbTime->setCurrentIndex(std::clamp(settings.value("cbTime", 0).toInt(), 0, 3));
  m_cbFreq->setCurrentIndex(std::clamp(settings.value("cbFreq", 0).toInt(), 0, 3));
  m_checkBox1->setChecked(readSettingsBool(settings, "CheckBox1", false));
  if (m_checkBox1->isChecked()) {
    m_cbFreq->setCurrentIndex(0);
  }
  m_beta = settings.value("edBeta", "8.6").toString();
  m_alpha = settings.value("edAlpha", "0.5").toString();
  m_cbWindow->setCurrentIndex(
      std::clamp(settings.value("cbWindow", 0).toInt(), 0, spectral::kWindowKinds - 1));
  settings.endGroup();
  applyDependencies();
  windowChosen();
}

void TfmSpectr::saveSettings(QSettings& settings) {
  settings.beginGroup("Spectr");
  settings.setValue("edFMin", m_edFMin->text());
  settings.setValue("edFMax", m_edFMax->text());
  settings.setValue("eddF", m_eddF->text());
  settings.setValue("CheckBox1", m_checkBox1->isChecked() ? 1 : 0);
  settings.setValue("CheckBox2", m_checkBox2->isChecked() ? 1 : 0);
  settings.setValue("CheckBox3", m_checkBox3->isChecked() ? 1 : 0);
  settings.setValue("CheckBox4", m_checkBox4->isChecked() ? 1 : 0);
  settings.setValue("cbTime", m_cbTime->currentIndex());
  settings.setValue("cbFreq", m_cbFreq->currentIndex());
  settings.setValue("cbWindow", m_cbWindow->currentIndex());
  settings.setValue("edBeta", m_beta);
  settings.setValue("edAlpha", m_alpha);
  settings.endGroup();
}

}  // namespace tarvik::dialogs
