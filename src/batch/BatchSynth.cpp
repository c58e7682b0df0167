#include "batch/BatchSession.h"

namespace tarvik::batch {

void registerSynthCommands(BatchRegistry& /*registry*/) {}

}  // namespace tarvik::batch
