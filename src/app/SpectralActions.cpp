// The window's spectral commands: the spectrum (ToolButton15, mnSpectr), the inverse
// transform (ToolButton16, N18), the impedance (N37), the convolution (N34) and the FFT
// self-test (Button1) and the filters (mnFilter), with their dialogs TfmSpectr, TfmBackSpectr,
// TfmCalcZ and TfmFilter.
#include <QString>
#include <QWidget>

#include "app/CommandMap.h"
#include "dialogs/ChartBackSpectr.h"
#include "spectral/Convolution.h"
#include "spectral/FilterCommand.h"
#include "spectral/Impedance.h"
#include "spectral/SpectrumCommand.h"

namespace tarvik::app {

void installSpectralActions(CommandMap& map, const DialogRegistry& dialogs, QWidget* parent) {
  // The spectrum command presets the inverse transform's dialog after its inverse step.
  auto* backSpectr = dynamic_cast<dialogs::TfmBackSpectr*>(dialogs.find("TfmBackSpectr"));

  spectral::SpectrumHooks hooks;
  hooks.setCaption = [parent](const std::string& caption) {
    parent->setWindowTitle(QString::fromStdString(caption));
  };
  hooks.presetInverse = [backSpectr](const spectral::InverseSpectrumOptions& preset) {
    if (backSpectr) {
      backSpectr->preset(preset);
    }
  };
  const CommandMap::Handler spectrum = [hooks](CommandContext& ctx) {
    spectral::spectrumCommand(ctx, hooks);
  };
  map.add("ToolButton15", spectrum);
  map.add("mnSpectr", spectrum);
  map.add("ToolButton16", spectral::inverseSpectrumCommand);
  map.add("N18", spectral::inverseSpectrumCommand);
  map.add("N37", spectral::impedanceCommand);
  map.add("N34", spectral::convolutionCommand);
  map.add("Button1", spectral::fftSelfTestCommand);
  map.add("mnFilter", [](CommandContext& ctx) { spectral::filterCommand(ctx); });
}

}  // namespace tarvik::app
