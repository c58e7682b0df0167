#include "batch/BatchSession.h"

namespace tarvik::batch {

void registerAppearanceCommands(BatchRegistry& /*registry*/) {}

}  // namespace tarvik::batch
