// The window's spline and sensor commands: the Catmull–Rom spline (btnSpline), the
// B-spline (ToolButton37) with its milliseconds in the caption, the calibration conversion
// (btnUI) with TfmChartSelectUI, the ЛАРЕН-5 conversion (ToolButton25, UBIA1) and the
// division by a values file (ToolButton31) with OpenValuesDialog.
#include <QFileDialog>
#include <QString>
#include <memory>

#include "app/ChartMy.h"
#include "app/GuiUi.h"
#include "app/WindowActions.h"
#include "dialogs/ChartSelectUI.h"
#include "synth/SensorCommands.h"
#include "synth/SplineCommands.h"

namespace tarvik::app {
namespace {

// OpenValuesDialog: the open dialog of a values file, one file, "*.txt" then "*.*".
// A child of the window, so it lives as long as the window's registry.
class ValuesFileDialog final : public QObject, public OptionsDialog {
 public:
  explicit ValuesFileDialog(TfmChart& window) : QObject(&window), m_window(window) {}

  bool run(DialogOptions& options) override {
    auto& choice = dynamic_cast<synth::ValuesFileChoice&>(options);
    QFileDialog dialog(&m_window, synth::kValuesDialogTitle, m_window.ui().folder());
    dialog.setObjectName("OpenValuesDialog");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({toQtFileFilter("*.txt"), toQtFileFilter("*.*")});
    dialog.setDefaultSuffix(synth::kValuesDialogDefaultExtension);
    fitFileDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return false;
    }
    choice.path = dialog.selectedFiles().constFirst().toStdString();
    return true;
  }

 private:
  TfmChart& m_window;
};

}  // namespace

void installSensorActions(TfmChart& window) {
  window.dialogRegistry().add("OpenValuesDialog", new ValuesFileDialog(window));

  CommandMap& map = window.commands();
  map.add("btnSpline", synth::catmullRomCommand);
  map.add("ToolButton37", [&window](CommandContext& ctx) {
    synth::bSplineCommand(ctx, [&window](const std::string& milliseconds) {
      window.setWindowTitle(QString::fromStdString(milliseconds));
    });
  });
  auto calibration = std::make_shared<synth::CalibrationFileChoice>();
  map.add("btnUI",
          [calibration](CommandContext& ctx) { synth::calibrationCommand(ctx, *calibration); });
  map.add("ToolButton25", synth::larenCommand);
  map.add("UBIA1", synth::larenCommand);
  auto values = std::make_shared<synth::ValuesFileChoice>();
  map.add("ToolButton31",
          [values](CommandContext& ctx) { synth::divideByListCommand(ctx, *values); });
}

}  // namespace tarvik::app
