#pragma once
// TfmCalcZ, "Вычисление сопротивления": the voltage and current graphs (one entry each),
// the frequency range and step, the units and whether the spectra are removed afterwards.
// Kept in the settings section "SpectrZ" (all but the list choices).
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QSettings;

namespace tarvik::dialogs {

class TfmCalcZ : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmCalcZ(QWidget* parent = nullptr);

  // Fills both lists from ImpedanceOptions::entries with the given rows chosen, shows the
  // dialog and on "Вычислить" writes the fields and choices back.
  bool run(DialogOptions& options) override;
  void loadSettings(QSettings& settings) override;
  void saveSettings(QSettings& settings) override;

  void fill(const DialogOptions& options);
  void readFields(DialogOptions& options) const;

 private:
  QListWidget* m_listBox1;
  QListWidget* m_listBox2;
  QLineEdit* m_edFMin;
  QLineEdit* m_edFMax;
  QLineEdit* m_eddF;
  QComboBox* m_cbTime;
  QComboBox* m_cbFreq;
  QCheckBox* m_cbDeleteSpectr;
};

}  // namespace tarvik::dialogs
