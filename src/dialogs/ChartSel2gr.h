#pragma once
// TfmSelectTwoGr: the splice dialog — the numbers of the left and the right graph
// (SpinEdit1, SpinEdit2, from 1 to the number of graphs) and the splice point (Edit1).
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QLineEdit;
class QSpinBox;

namespace tarvik::dialogs {

class TfmSelectTwoGr : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmSelectTwoGr(QWidget* parent = nullptr);

  // Loads SpliceOptions (the upper bound of both numbers is its graphCount), runs the
  // dialog and, on OK, writes the fields back. False on cancel.
  bool run(DialogOptions& options) override;

  QSpinBox* spinEdit1() const { return m_first; }
  QSpinBox* spinEdit2() const { return m_second; }
  QLineEdit* edit1() const { return m_x; }

 private:
  QSpinBox* m_first;
  QSpinBox* m_second;
  QLineEdit* m_x;
};

}  // namespace tarvik::dialogs
