#include "batch/BatchSession.h"

namespace tarvik::batch {

void registerSensorCommands(BatchRegistry& /*registry*/) {}

}  // namespace tarvik::batch
