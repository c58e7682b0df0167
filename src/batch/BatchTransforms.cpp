#include "batch/BatchSession.h"

namespace tarvik::batch {

void registerTransformCommands(BatchRegistry&) {}

}  // namespace tarvik::batch
