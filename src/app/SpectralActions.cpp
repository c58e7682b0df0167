#include "app/CommandMap.h"

namespace tarvik::app {

// The spectral commands of the window are installed here.
void installSpectralActions(CommandMap& /*map*/, DialogRegistry& /*dialogs*/, QWidget* /*parent*/) {}

}  // namespace tarvik::app
