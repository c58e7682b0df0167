// Batch commands undo and redo: the same steps the window's Edit menu walks. Every other
// command of a run is one step when it changes the document (see BatchRunner::runOne).
#include "batch/BatchSession.h"

namespace tarvik::batch {
namespace {

const char* const kNothingToUndo = "Нечего отменять";
const char* const kNothingToRedo = "Нечего повторять";

}  // namespace

void registerUndoCommands(BatchRegistry& registry) {
  registry.add({"undo", "undo", {}, [](BatchSession& s, const BatchArgs&) {
                  if (!s.store.undo()) {
                    s.ui.message(MessageKind::Info, kNothingToUndo);
                  }
                }});
  registry.add({"redo", "redo", {}, [](BatchSession& s, const BatchArgs&) {
                  if (!s.store.redo()) {
                    s.ui.message(MessageKind::Info, kNothingToRedo);
                  }
                }});
}

}  // namespace tarvik::batch
