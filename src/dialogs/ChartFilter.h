#pragma once
// TfmFilter, "Фильтр": the kind of filter, its band, order and edges with their units, the
// graphs' time unit, the Chebyshev ripple or attenuation, the phase, the FIR taps and
// window, and the median and Savitzky–Golay window. Fields a kind does not use are
// disabled. Kept in the settings section "Filter".
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QComboBox;
class QLineEdit;
class QSettings;

namespace tarvik::dialogs {

class TfmFilter : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmFilter(QWidget* parent = nullptr);

  // Shows the dialog on its own fields; on OK copies them into FilterOptions.
  bool run(DialogOptions& options) override;
  void loadSettings(QSettings& settings) override;
  void saveSettings(QSettings& settings) override;

  // The fields as they stand (what OK would return).
  void readFields(DialogOptions& options) const;

 private:
  void applyDependencies();

  QComboBox* m_cbKind;
  QComboBox* m_cbType;
  QLineEdit* m_edOrder;
  QLineEdit* m_edCutoff;
  QLineEdit* m_edCutoff2;
  QComboBox* m_cbFreq;
  QComboBox* m_cbTime;
  QLineEdit* m_edRipple;
  QLineEdit* m_edAttenuation;
  QComboBox* m_cbPhase;
  QLineEdit* m_edTaps;
  QComboBox* m_cbWindow;
  QLineEdit* m_edBeta;
  QLineEdit* m_edWidth;
  QLineEdit* m_edPolyorder;
};

}  // namespace tarvik::dialogs
