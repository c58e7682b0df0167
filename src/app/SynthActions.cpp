#include "app/ChartMy.h"
#include "app/WindowActions.h"

namespace tarvik::app {

void installSynthActions(TfmChart& /*window*/) {}

}  // namespace tarvik::app
