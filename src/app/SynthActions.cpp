// The window's generators and models: the counting-error table (ImpRect), the
// three-exponential pulse (N31, hidden, dialog Tfm3expDLG), sin(x)/x (SinXX1), the water
// tables (Re1, Im1, N29), the polar dielectric (N28, dialog TfmPolarDielectric) and the
// reflected-signal delay (N32, hidden, dialog TfmDistance).
#include "app/ChartMy.h"
#include "app/WindowActions.h"
#include "dialogs/Chart3expDLG.h"
#include "dialogs/ChartPolarDiel.h"
#include "dialogs/Distance.h"
#include "synth/SynthCommands.h"

namespace tarvik::app {

void installSynthActions(TfmChart& window) {
  // Tfm3expDLG, TfmPolarDielectric and TfmDistance are the window's, by name.
  CommandMap& map = window.commands();
  map.add("ImpRect", synth::countingErrorTableCommand);
  map.add("N31", synth::threeExpPulseCommand);
  map.add("SinXX1", synth::sincPulseCommand);
  // Im1 and N29 share one handler in the menu's design, told apart by the item's tag.
  map.add("Re1", [](CommandContext& ctx) {
    synth::waterTableCommand(ctx, synth::WaterTable::RealPermittivity);
  });
  map.add("Im1", [](CommandContext& ctx) {
    synth::waterTableCommand(ctx, synth::WaterTable::ImaginaryPermittivity);
  });
  map.add("N29", [](CommandContext& ctx) {
    synth::waterTableCommand(ctx, synth::WaterTable::Conductivity);
  });
  map.add("N28", synth::polarDielectricCommand);
  map.add("N32", synth::reflectedDelayCommand);
}

}  // namespace tarvik::app
