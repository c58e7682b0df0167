#include "core/Command.h"

#include "core/NumberFormat.h"

namespace tarvik {

std::vector<std::string> candidateEntries(CommandContext& ctx) {
  GraphStore& store = ctx.store;
  const int count = static_cast<int>(store.count());
  if (store.activeIndex() >= count) {
    store.setActiveIndex(count - 1);
  }
  if (!store.entriesConsistent()) {
    ctx.ui.message(MessageKind::Info,
                   "Ошибка: SeriesCount = " + std::to_string(store.count()) +
                       "\nFileNames.Count =  " + std::to_string(store.sourceFiles().size()));
    store.repairEntries();
  }
  std::vector<std::string> entries;
  for (std::size_t i : store.candidates()) {
    entries.push_back(std::to_string(i + 1) + ". " + store.sourceFile(i) + ": " +
                      store.graph(i).title);
  }
  return entries;
}

std::optional<std::size_t> candidateGraph(const GraphStore& store, int row) {
  const std::vector<std::size_t> cands = store.candidates();
  if (row < 0 || static_cast<std::size_t>(row) >= cands.size()) {
    return std::nullopt;
  }
  return cands[static_cast<std::size_t>(row)];
}

std::optional<std::vector<std::size_t>> pickRows(CommandContext& ctx, const std::string& caption) {
  GraphChoiceRequest request;
  request.caption = caption;
  request.entries = candidateEntries(ctx);
  // The entry whose position equals the active index is preselected (positions and store
  // indices coincide outside a close command).
  const int active = ctx.store.activeIndex();
  request.preselected = active < static_cast<int>(request.entries.size()) ? active : -1;
  const std::optional<std::vector<int>> chosen = ctx.ui.chooseEntries(request);
  if (!chosen) {
    return std::nullopt;
  }
  std::vector<std::size_t> rows;
  for (int row : *chosen) {
    if (row >= 0 && static_cast<std::size_t>(row) < request.entries.size()) {
      rows.push_back(static_cast<std::size_t>(row));
    }
  }
  if (rows.empty()) {
    ctx.ui.message(MessageKind::Info, "Нет выбранных графиков");
    return std::nullopt;
  }
  return rows;
}

std::optional<std::vector<std::size_t>> pickGraphs(CommandContext& ctx,
                                                   const std::string& caption) {
  const std::optional<std::vector<std::size_t>> rows = pickRows(ctx, caption);
  if (!rows) {
    return std::nullopt;
  }
  const std::vector<std::size_t> cands = ctx.store.candidates();
  std::vector<std::size_t> indices;
  indices.reserve(rows->size());
  for (std::size_t row : *rows) {
    indices.push_back(cands[row]);
  }
  return indices;
}

std::optional<std::vector<std::size_t>> pickCandidateGraphs(CommandContext& ctx,
                                                            const std::string& caption) {
  if (!ctx.store.hasCandidates()) {
    return std::nullopt;
  }
  return pickGraphs(ctx, caption);
}

void refreshAfterInPlaceChange(CommandContext& ctx) {
  ctx.store.chart().redraw();
  ctx.store.chart().refreshIndicator();
}

void rewriteChosenGraphs(CommandContext& ctx, const std::string& caption, std::size_t minPoints,
                         const std::function<void(std::size_t, Graph&)>& rewrite) {
  const std::optional<std::vector<std::size_t>> chosen = pickCandidateGraphs(ctx, caption);
  if (!chosen) {
    return;
  }
  editGraphsTogether(ctx.store, *chosen, [&](std::size_t i, Graph& g) {
    if (g.size() >= minPoints) {
      rewrite(i, g);
    }
  });
  refreshAfterInPlaceChange(ctx);
}

void editGraphsTogether(GraphStore& store, const std::vector<std::size_t>& indices,
                        const std::function<void(std::size_t, Graph&)>& edit) {
  std::vector<Graph> edited;
  edited.reserve(indices.size());
  for (std::size_t i : indices) {
    edited.push_back(store.graph(i));
    edit(i, edited.back());
  }
  for (std::size_t k = 0; k < indices.size(); ++k) {
    store.graph(indices[k]) = std::move(edited[k]);
  }
}

std::optional<double> askNumber(
    CommandContext& ctx, const std::string& caption,
    const std::function<std::string(const std::string& text)>& errorText,
    const std::function<std::optional<std::string>(double)>& validate) {
  for (;;) {
    const std::optional<std::string> text = ctx.ui.askValueText(caption);
    if (!text) {
      return std::nullopt;
    }
    const std::optional<double> value = parseTypedNumber(*text, ctx.ui.decimalSeparator());
    if (!value) {
      ctx.ui.message(MessageKind::Error, errorText(*text));
      continue;
    }
    if (validate) {
      if (const std::optional<std::string> refusal = validate(*value)) {
        ctx.ui.message(MessageKind::Error, *refusal);
        continue;
      }
    }
    return value;
  }
}

}  // namespace tarvik
