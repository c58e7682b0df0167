#pragma once
// Commands on the graph store as a whole: close, activate, reorder and recolour graphs.
// The window's menus, buttons and mouse gestures and the batch runner's commands call
// these same functions, so the two front-ends cannot disagree about what they do.
#include <cstddef>

#include "core/Command.h"

namespace tarvik {

// "Закрыть график": pick rows of the candidate list, then close the chosen graphs (the
// store's compaction rule). Nothing happens without candidates or on cancel.
void closeGraphsCommand(CommandContext& ctx);
// "Закрыть все": every graph and entry goes; the counter and the chart texts stay.
void closeAllCommand(CommandContext& ctx);

// "Сделать активным график": the last selected entry becomes the active graph; the
// indicator is refreshed and the legend laid out again. Nothing happens on cancel.
void selectActiveCommand(CommandContext& ctx);
// Graph `storeIndex` becomes the active graph and the indicator follows. False (nothing
// changed) when there is no such graph.
bool activateGraph(GraphStore& store, std::size_t storeIndex);
// Ctrl+click on the line of graph `storeIndex`: it becomes active. True when it did (the
// window then beeps); a click without Ctrl, or on no graph, does nothing.
bool chooseActiveByLine(GraphStore& store, int storeIndex, bool ctrlHeld);
// A click on legend row `row`: it becomes active (at most the last graph); unless the line
// widths are fixed, every line gets width 1 and the active one width 2. Nothing without
// graphs.
void chooseActiveByLegendRow(GraphStore& store, int row, bool fixLineWidths);

// "Текущий график вверх" / "вниз": the active graph swaps with its neighbour one row up or
// down, so it moves in the legend and in the drawing order; the active index follows it.
// Nothing happens at the end of the list or without an active graph.
void moveActiveUp(GraphStore& store);
void moveActiveDown(GraphStore& store);

// The colour swatch: with an active graph, the colour dialog is asked through the Ui port
// and, on OK, the active graph takes the chosen colour. Nothing without an active graph.
void changeActiveColourCommand(CommandContext& ctx);

}  // namespace tarvik
