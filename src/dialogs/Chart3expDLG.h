#pragma once
// Tfm3expDLG: the amplitude, weights, rates, end time and time step of the
// three-exponential pulse, under the formula they enter. "Нарисовать" confirms, "Не надо"
// cancels; the texts stay as typed from one use to the next.
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QLineEdit;

namespace tarvik::dialogs {

class Tfm3expDLG : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit Tfm3expDLG(QWidget* parent = nullptr);

  // Shows the dialog; on "Нарисовать" writes the field texts into the ThreeExpOptions.
  bool run(DialogOptions& options) override;

 private:
  QLineEdit* field(const char* name, const char* text);

  QLineEdit* m_edit7;  // A
  QLineEdit* m_edit1;  // K1
  QLineEdit* m_edit2;  // K2
  QLineEdit* m_edit3;  // K3
  QLineEdit* m_edit4;  // T1
  QLineEdit* m_edit5;  // T2
  QLineEdit* m_edit6;  // T3
  QLineEdit* m_edit8;  // end time
  QLineEdit* m_edit9;  // time step
};

}  // namespace tarvik::dialogs
