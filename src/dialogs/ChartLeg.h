#pragma once
// TfmLegend "Редактор легенд": every candidate graph's legend title, one per line of the
// memo `Memo1` (no word wrap, both scroll bars). Escape in the memo cancels.
#include <QDialog>

#include "dialogs/OptionsDialog.h"

class QPlainTextEdit;

namespace tarvik::dialogs {

class TfmLegend : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmLegend(QWidget* parent = nullptr);

  // Loads LegendTitlesOptions into the memo, runs the dialog and, on OK, writes the memo's
  // lines back. False on cancel.
  bool run(DialogOptions& options) override;

  QPlainTextEdit* memo() const { return m_memo1; }

 private:
  QPlainTextEdit* m_memo1;
};

}  // namespace tarvik::dialogs
