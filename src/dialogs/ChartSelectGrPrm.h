#pragma once
// TfmSelectGrParam: the time and amplitude units of the energy command, two editable
// drop-down lists (ComboBoxTime, ComboBoxScale) that keep the last choice for the run.
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QComboBox;

namespace tarvik::dialogs {

class TfmSelectGrParam : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmSelectGrParam(QWidget* parent = nullptr);

  // Loads EnergyUnitsOptions into the boxes, runs the dialog and, on "ОК", writes the
  // boxes' texts back. False on "Отмена".
  bool run(DialogOptions& options) override;

  QComboBox* comboBoxTime() const { return m_time; }
  QComboBox* comboBoxScale() const { return m_scale; }

 private:
  QComboBox* m_time;
  QComboBox* m_scale;
};

}  // namespace tarvik::dialogs
