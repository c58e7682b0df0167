#include "batch/BatchSession.h"

namespace tarvik::batch {

void registerTableCommands(BatchRegistry& /*registry*/) {}

}  // namespace tarvik::batch
