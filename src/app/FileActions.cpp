// The window's file commands and its commands on the graph list: open, save, close, the
// active graph, its colour and its place in the list. The store commands are the command
// layer's, the same the batch runner calls; this file only routes components to them.
#include "app/CommandMap.h"
#include "core/StoreCommands.h"
#include "io/FileCommands.h"

namespace tarvik::app {

void installFileActions(CommandMap& map, DialogRegistry& /*dialogs*/, QWidget* /*parent*/) {
  for (const char* name : {"Open1", "btnOpen"}) {
    map.add(name, [](CommandContext& ctx) { openCommand(ctx); });
  }
  for (const char* name : {"Save1", "SpeedButton3"}) {
    map.add(name, [](CommandContext& ctx) { saveCommand(ctx); });
  }
  map.add("N42", [](CommandContext& ctx) { saveProjectCommand(ctx); });
  for (const char* name : {"Close1", "SpeedButton2"}) {
    map.add(name, closeGraphsCommand);
  }
  map.add("CloseAll1", closeAllCommand);
  for (const char* name : {"mnSelectActive", "Label1"}) {
    map.add(name, selectActiveCommand);
  }
  map.add("paColor", changeActiveColourCommand);
  map.add("SpeedButton7", [](CommandContext& ctx) { moveActiveUp(ctx.store); });
  map.add("SpeedButton8", [](CommandContext& ctx) { moveActiveDown(ctx.store); });
}

}  // namespace tarvik::app
