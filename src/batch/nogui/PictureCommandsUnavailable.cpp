// The picture commands of a tarvik-batch built without the window: they exist, so scripts
// parse the same, and each one fails with a message saying why.
#include "batch/BatchSession.h"
#include "batch/PictureCommands.h"
#include "core/Error.h"

namespace tarvik::batch {

namespace {

void unavailable(BatchSession&, const BatchArgs& a) {
  throw Error(a.command +
              ": this tarvik-batch was built without the chart window (TARVIK_GUI=OFF)");
}

}  // namespace

void registerPictureCommands(BatchRegistry& registry) {
  registry.add({"picture",
                "picture file=PATH [width=W height=H]",
                {"file", "width", "height"},
                unavailable});
  registry.add({"print-pdf",
                "print-pdf file=PATH [scale=thin|screen] [orientation=portrait|landscape] "
                "[size=half|full]",
                {"file", "scale", "orientation", "size"},
                unavailable});
}

}  // namespace tarvik::batch
