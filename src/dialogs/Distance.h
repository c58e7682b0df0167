#pragma once
// TfmDistance: the emitter height, the largest observation height and the distance of the
// reflected-signal delay, and the reflection model. The texts stay as typed from one use
// to the next.
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QLineEdit;
class QRadioButton;

namespace tarvik::dialogs {

class TfmDistance : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmDistance(QWidget* parent = nullptr);

  // Shows the dialog; on OK writes the fields into the DistanceOptions.
  bool run(DialogOptions& options) override;

 private:
  QLineEdit* m_edH1;
  QLineEdit* m_edH2;
  QLineEdit* m_edL;
  QRadioButton* m_radioButton1;
  QRadioButton* m_radioButton2;
};

}  // namespace tarvik::dialogs
