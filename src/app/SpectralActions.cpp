// The window's spectral commands: the spectrum (ToolButton15, mnSpectr), the inverse
// transform (ToolButton16, N18), the impedance (N37), the convolution (N34) and the FFT
// self-test (Button1), with their dialogs TfmSpectr, TfmBackSpectr and TfmCalcZ.
#include <QString>
#include <QWidget>

#include "app/CommandMap.h"
#include "dialogs/ChartBackSpectr.h"
#include "dialogs/ChartSpectr.h"
#include "dialogs/ChartZ.h"
#include "spectral/Convolution.h"
#include "spectral/SpectrumCommand.h"
#include "transforms/Impedance.h"

namespace tarvik::app {

void installSpectralActions(CommandMap& map, DialogRegistry& dialogs, QWidget* parent) {
  // Created once and kept, hidden, until exit (Qt parent: the window).
  auto* spectr = new dialogs::TfmSpectr(parent);
  auto* backSpectr = new dialogs::TfmBackSpectr(parent);
  auto* calcZ = new dialogs::TfmCalcZ(parent);
  dialogs.add("TfmSpectr", spectr);
  dialogs.add("TfmBackSpectr", backSpectr);
  dialogs.add("TfmCalcZ", calcZ);

  spectral::SpectrumHooks hooks;
  hooks.setCaption = [parent](const std::string& caption) {
    parent->setWindowTitle(QString::fromStdString(caption));
  };
  hooks.presetInverse = [backSpectr](const spectral::InverseSpectrumOptions& preset) {
    backSpectr->preset(preset);
  };
  const CommandMap::Handler spectrum = [hooks](CommandContext& ctx) {
    spectral::spectrumCommand(ctx, hooks);
  };
  map.add("ToolButton15", spectrum);
  map.add("mnSpectr", spectrum);
  map.add("ToolButton16", spectral::inverseSpectrumCommand);
  map.add("N18", spectral::inverseSpectrumCommand);
  map.add("N37", impedanceCommand);
  map.add("N34", spectral::convolutionCommand);
  map.add("Button1", spectral::fftSelfTestCommand);
}

}  // namespace tarvik::app
