#pragma once
// TfmBackSpectr, "Обратное преобразование Фурье": the time range and point count of the
// rebuilt signal, its output time unit and whether the spectrum graphs go afterwards. Its
// fields live while the program runs; the spectrum's inverse step presets them.
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tarvik::spectral {
struct InverseSpectrumOptions;
}

namespace tarvik::dialogs {

class TfmBackSpectr : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmBackSpectr(QWidget* parent = nullptr);

  bool run(DialogOptions& options) override;
  // Takes the spectrum's inverse-step preset into the fields without showing the dialog.
  void preset(const spectral::InverseSpectrumOptions& preset);
  void readFields(DialogOptions& options) const;

 private:
  void writeFields(const spectral::InverseSpectrumOptions& options);

  QLineEdit* m_edTMin;
  QLineEdit* m_edTMax;
  QLineEdit* m_edNPoint;
  QComboBox* m_cbTime;
  QCheckBox* m_checkBox1;
};

}  // namespace tarvik::dialogs
