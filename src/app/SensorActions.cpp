#include "app/ChartMy.h"
#include "app/WindowActions.h"

namespace tarvik::app {

void installSensorActions(TfmChart& /*window*/) {}

}  // namespace tarvik::app
