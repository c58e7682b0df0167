#include "batch/BatchSession.h"

namespace tarvik::batch {

void registerSpectralCommands(BatchRegistry&) {}

}  // namespace tarvik::batch
