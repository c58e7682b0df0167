#include "app/CommandMap.h"

namespace tarvik::app {

// The transform commands of the window are installed here.
void installTransformActions(CommandMap& /*map*/, DialogRegistry& /*dialogs*/, QWidget* /*parent*/) {}

}  // namespace tarvik::app
