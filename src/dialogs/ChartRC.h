#pragma once
// TfmChartRC: the time constant of the RC transforms (edTau, in nanoseconds) and the
// quantisation-error model (cbRandomError, SpinEdit1). Closing it in any way first runs the
// close check of edTau: a text that is not a positive number keeps the dialog open.
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace tarvik::dialogs {

class TfmChartRC : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmChartRC(QWidget* parent = nullptr);

  // Loads RcOptions into the fields (edTau keeps its text while it reads as the same
  // number), shows the dialog and writes the fields back. Always true: the dialog has no
  // cancel, every way of closing it passes the close check.
  bool run(DialogOptions& options) override;

  QLineEdit* edTau() const { return m_edTau; }
  // The close check; true when edTau holds a usable time constant (else the message has
  // been shown).
  bool closeCheck();

 public slots:
  void done(int result) override;

 private:
  QLineEdit* m_edTau;
  QCheckBox* m_cbRandomError;
  QSpinBox* m_spinEdit1;
};

}  // namespace tarvik::dialogs
