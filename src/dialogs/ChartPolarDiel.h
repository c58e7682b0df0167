#pragma once
// TfmPolarDielectric: the static and high-frequency permittivity, the relaxation time, the
// static conductivity and the upper frequency of a polar dielectric, and which of its two
// tables to make. The texts stay as typed from one use to the next.
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QCheckBox;
class QLineEdit;

namespace tarvik::dialogs {

class TfmPolarDielectric : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmPolarDielectric(QWidget* parent = nullptr);

  // Shows the dialog; on OK writes the fields into the PolarDielectricOptions.
  bool run(DialogOptions& options) override;

 private:
  QLineEdit* m_edit[5];  // Edit1 … Edit5
  QCheckBox* m_checkBox1;
  QCheckBox* m_checkBox2;
};

}  // namespace tarvik::dialogs
