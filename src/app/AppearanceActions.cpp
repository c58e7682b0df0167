#include "app/ChartMy.h"
#include "app/WindowActions.h"

namespace tarvik::app {

void installAppearanceActions(TfmChart& /*window*/) {}

}  // namespace tarvik::app
