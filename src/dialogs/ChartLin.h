#pragma once
// TfmLines "Линии графика": one graph's line at a time, chosen in `ComboBox1` (every graph
// in store order, the first one selected): its style (`RadioGroup1`, selectable only at
// width 1), its width (`SpinEdit1`, 1 to 100) and its colour (the swatch `Image1`; a
// double click opens the dialog's own colour dialog). Every change acts on the graph at
// once; the close button ends the dialog and there is nothing to confirm or undo.
#include <QDialog>
#include <array>
#include <functional>

#include "core/GraphStore.h"

class QButtonGroup;
class QColorDialog;
class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;

namespace tarvik::dialogs {

class TfmLines : public QDialog {
  Q_OBJECT
 public:
  explicit TfmLines(QWidget* parent = nullptr);

  // Shows the lines of `store`'s graphs until the dialog is closed; `changed` runs after
  // every change so the chart repaints. Nothing happens without graphs.
  void runFor(GraphStore& store, std::function<void()> changed);

  QLabel* swatch() const { return m_image1; }
  // Runs the colour dialog for the shown graph (what a double click on the swatch does).
  void chooseColour();

 private:
  void showLine(int index);
  Graph* shownGraph() const;
  void afterChange();
  void fillSwatch(Rgb colour);

  GraphStore* m_store = nullptr;
  std::function<void()> m_changed;
  QComboBox* m_comboBox1;
  QGroupBox* m_radioGroup1;
  QButtonGroup* m_styles;
  QSpinBox* m_spinEdit1;
  QLabel* m_image1;
  QColorDialog* m_colourD = nullptr;
};

}  // namespace tarvik::dialogs
