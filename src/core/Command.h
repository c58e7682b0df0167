#pragma once
// Shared steps of the command protocol: pick graphs, ask a number with the re-ask loop.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/GraphStore.h"
#include "core/Ui.h"

namespace tarvik {

struct CommandContext {
  GraphStore& store;
  Ui& ui;
};

// The list every graph-choosing dialog shows: settles the active index (an index beyond
// the store points at the last graph), runs the consistency check of graphs against
// source-file entries (an information message, then "Error" entries appended), and lists
// the candidate graphs as "N. entry: title", N the graph's store index + 1.
std::vector<std::string> candidateEntries(CommandContext& ctx);
// The store index of the graph that candidate row `row` stands for; nullopt when there is
// no such row (a negative row included).
std::optional<std::size_t> candidateGraph(const GraphStore& store, int row);

// "Pick graphs": lists the candidates as candidateEntries does, preselects the active one
// and runs the selection dialog. Returns the chosen candidate rows (never empty; "Нет выбранных
// графиков" is shown when OK came with no row), or nullopt when nothing is to be done.
std::optional<std::vector<std::size_t>> pickRows(CommandContext& ctx, const std::string& caption);
// The same, mapped to store indices of the chosen candidate graphs, in store order.
std::optional<std::vector<std::size_t>> pickGraphs(CommandContext& ctx, const std::string& caption);

// The first step of most commands: ends silently (nullopt) when no graph can take part,
// otherwise pickGraphs.
std::optional<std::vector<std::size_t>> pickCandidateGraphs(CommandContext& ctx,
                                                            const std::string& caption);

// Calls `edit(storeIndex, graph)` on a copy of each graph of `indices`, which are distinct
// (a copy shares its points until it writes them), and puts the copies in place only when
// every edit is done, which takes no memory. So a command that runs out of memory part-way,
// or whose edit throws, leaves every graph as it was.
void editGraphsTogether(GraphStore& store, const std::vector<std::size_t>& indices,
                        const std::function<void(std::size_t, Graph&)>& edit);

// The in-place protocol of most transforms: picks graphs under `caption`, calls
// `rewrite(storeIndex, graph)` for each chosen graph holding at least `minPoints` points
// (smaller graphs are left wholly unchanged; the graphs change together, as
// editGraphsTogether), then refreshes the view. Nothing happens when the user cancels or no
// graph can take part.
void rewriteChosenGraphs(CommandContext& ctx, const std::string& caption, std::size_t minPoints,
                         const std::function<void(std::size_t, Graph&)>& rewrite);

// After a command rewrote graphs in place: repaint and refresh the active-graph indicator.
void refreshAfterInPlaceChange(CommandContext& ctx);

// Asks a number with the value dialog under `caption` until it converts (typed numbers
// accept "." and the locale's separator). A text that does not convert shows
// `errorText(text)` as an error and asks again; `validate` may refuse a number by returning
// a message (shown as an error, then asked again). nullopt when the user cancels.
std::optional<double> askNumber(
    CommandContext& ctx, const std::string& caption,
    const std::function<std::string(const std::string& text)>& errorText,
    const std::function<std::optional<std::string>(double)>& validate = {});

// "Не выбран активный график" when there is no active graph.
inline constexpr const char* kNoActiveGraph = "Не выбран активный график";

}  // namespace tarvik
