#include "app/ChartMy.h"
#include "app/WindowActions.h"

namespace tarvik::app {

void installPictureActions(TfmChart& /*window*/) {}

}  // namespace tarvik::app
