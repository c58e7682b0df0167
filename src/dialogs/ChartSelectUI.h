#pragma once
// TfmChartSelectUI: the choice of a sensor channel's calibration file. A grid lists the
// *.CAL files of the folders it searches (name, modification date in the short date format,
// the file's comment); "Выбрать" takes the selected row's file, "Отмена" takes none.
#include <QDialog>
#include <QStringList>
#include <vector>

#include "dialogs/OptionsDialog.h"

class QTableWidget;

namespace tarvik::dialogs {

class TfmChartSelectUI : public QDialog, public OptionsDialog {
  Q_OBJECT
 public:
  // Searches the executable's folder, then the user's data folder, then (when installed)
  // the data folder share/tarvik beside the executable's bin folder.
  explicit TfmChartSelectUI(QWidget* parent = nullptr);

  // The folders listed, in order (tests point it elsewhere).
  void setFolders(QStringList folders) { m_folders = std::move(folders); }
  const QStringList& folders() const { return m_folders; }

  // Rebuilds the grid, shows the dialog and, when "Выбрать" closes it with a row selected,
  // stores that file's full path in the CalibrationFileChoice. False otherwise (the
  // choice is unchanged).
  bool run(DialogOptions& options) override;

  QTableWidget* grid() const { return m_grid; }
  // Lists the folders into the grid again (run() does it each time).
  void rebuildGrid();

 private:
  QStringList m_folders;
  QTableWidget* m_grid;
  std::vector<std::string> m_paths;  // full path of each grid row
};

}  // namespace tarvik::dialogs
