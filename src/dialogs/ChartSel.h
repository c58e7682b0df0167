#pragma once
// The graph-selection dialog: one list entry per candidate graph, several may be chosen.
// The entries text, the active-graph preselection rule and "Нет выбранных графиков" belong
// to the caller (pickRows); the dialog only shows the entries and returns the chosen rows.
#include <QDialog>
#include <optional>
#include <vector>

#include "core/Ui.h"

class QListWidget;
class QStatusBar;

namespace tarvik::dialogs {

class TfmSelectGr : public QDialog {
  Q_OBJECT
 public:
  explicit TfmSelectGr(QWidget* parent = nullptr);

  // Fills the list from `request`, runs the dialog modally and returns the selected rows
  // in ascending order (possibly empty) after OK, nullopt after cancel.
  std::optional<std::vector<int>> choose(const GraphChoiceRequest& request);

  // The steps of choose() without running the dialog.
  void load(const GraphChoiceRequest& request);
  std::vector<int> selectedRows() const;
  // Number of entries selected when the dialog was last ended with OK.
  int selectedCount() const { return m_selectedCount; }

  // "Выделить всё" and "Иверсия выделенного"; both leave the dialog open.
  void selectAll();
  void invertSelection();

 protected:
  bool event(QEvent* e) override;

 private:
  QListWidget* m_list;
  QStatusBar* m_status;
  int m_selectedCount = 0;
};

}  // namespace tarvik::dialogs
