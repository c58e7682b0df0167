#pragma once
// TfmPrinOptions: the print options, three radio groups and OK. The choices hold until the
// program ends (the dialog lives, hidden, for the whole run).
#include <QDialog>

#include "dialogs/OptionsDialog.h"
#include "view/PrintLayout.h"

class QButtonGroup;

namespace tarvik::dialogs {

class TfmPrinOptions : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  explicit TfmPrinOptions(QWidget* parent = nullptr);

  // The choices as the radio groups show them.
  view::PrintOptions options() const;
  void setOptions(const view::PrintOptions& options);

  // Shows the dialog modally (centred on the screen) with the fields of `options`
  // (a view::PrintOptions) and writes the choices back. Always true: OK and closing the
  // box both keep what is chosen.
  bool run(DialogOptions& fields) override;

  QButtonGroup* radioGroup(int number) const;  // 1 "Масштаб", 2 "Ориентация", 3 "Размер"

 private:
  QButtonGroup* m_radioGroup1;
  QButtonGroup* m_radioGroup2;
  QButtonGroup* m_radioGroup3;
};

}  // namespace tarvik::dialogs
