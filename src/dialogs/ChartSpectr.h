#pragma once
// TfmSpectr, "Спектр выбранных графиков, Гц": the kind of transform, the frequency range
// and step, the time unit of the graphs, the inverse step, the amplitude normalisation, the
// phase output and the output frequency unit; under them the window that weights the samples
// and its parameter. Kept in the settings section "Spectr".
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSettings;

namespace tarvik::dialogs {

// Shared by the spectral dialogs: a fixed drop-down list of the given items.
QComboBox* unitList(QWidget* parent, const char* objectName, const char* const (&items)[4]);
// A boolean of the settings file written as 1 or 0; any other integer reads as true.
bool readSettingsBool(const QSettings& settings, const QString& key, bool fallback);

class TfmSpectr : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmSpectr(QWidget* parent = nullptr);

  // Shows the dialog on its own fields; on OK copies them into SpectrumOptions.
  bool run(DialogOptions& options) override;
  void loadSettings(QSettings& settings) override;
  void saveSettings(QSettings& settings) override;

  // The fields as they stand (what OK would return).
  void readFields(DialogOptions& options) const;

 protected:
  // OK with a parameter the chosen window refuses shows why and keeps the dialog open.
  void done(int result) override;

 private:
  // The parameter field shows β for the Kaiser window, α for the Tukey window, and is
  // disabled for the others.
  void windowChosen();
  void parameterEdited(const QString& text);
  // The control dependencies: the step group only for DFT, the step field only without
  // "автоматически", the output choices only without the inverse step.
  void applyDependencies();
  void inverseClicked();

  QRadioButton* m_dft;
  QRadioButton* m_fft;
  QLineEdit* m_edFMin;
  QLineEdit* m_edFMax;
  QGroupBox* m_groupBox1;
  QLineEdit* m_eddF;
  QCheckBox* m_checkBox2;
  QComboBox* m_cbTime;
  QCheckBox* m_checkBox1;
  QCheckBox* m_checkBox3;
  QCheckBox* m_checkBox4;
  QComboBox* m_cbFreq;
  QComboBox* m_cbWindow;
  QLabel* m_parameterLabel;
  QLineEdit* m_edWindowParam;
  QString m_beta = "8.6";   // the Kaiser window's β, kept while another window is chosen
  QString m_alpha = "0.5";  // the Tukey window's α
};

}  // namespace tarvik::dialogs
