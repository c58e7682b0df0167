#include "app/ChartMy.h"
#include "app/WindowActions.h"

namespace tarvik::app {

void installTableActions(TfmChart& /*window*/) {}

}  // namespace tarvik::app
