#pragma once
// The file commands of the window and the ways to choose the active graph, as plain
// functions on the command context so they can be run without the window's widgets.
#include <cstddef>

#include "core/Command.h"

namespace tarvik::app {

// "Закрыть график": pick rows, then close the chosen graphs. Nothing without candidates.
void closeGraphsCommand(CommandContext& ctx);
// "Сделать активным график": the last selected entry becomes the active graph.
void selectActiveCommand(CommandContext& ctx);
// Ctrl+click on the line of graph `storeIndex`: it becomes active. True when it did
// (the window then beeps); a click without Ctrl does nothing.
bool chooseActiveByLine(GraphStore& store, int storeIndex, bool ctrlHeld);
// A click on legend row `row`: it becomes active (at most the last graph); unless the line
// widths are fixed, every line gets width 1 and the active one width 2.
void chooseActiveByLegendRow(GraphStore& store, int row, bool fixLineWidths);
// "Текущий график вверх" / "вниз": the active graph swaps with its neighbour.
void moveActiveUp(GraphStore& store);
void moveActiveDown(GraphStore& store);

}  // namespace tarvik::app
