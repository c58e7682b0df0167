#include "transforms/GraphEditingCommands.h"

#include <optional>
#include <vector>

#include "core/Error.h"
#include "core/NumberFormat.h"
#include "core/OutputLimits.h"
#include "core/Palette.h"
#include "transforms/GraphEditing.h"

namespace tarvik {
namespace {

// The clone's point count: an integer of at least 2, asked until one is typed.
std::optional<std::size_t> askPointCount(CommandContext& ctx) {
  for (;;) {
    const std::optional<std::string> text =
        ctx.ui.askValueText("Задать количество точек на выходе");
    if (!text) {
      return std::nullopt;
    }
    const std::optional<int> count = parseTypedInteger(*text);
    if (!count) {
      ctx.ui.message(MessageKind::Error, kBadPointCount);
      continue;
    }
    if (*count < 2) {
      ctx.ui.message(MessageKind::Error, kTooFewPoints);
      continue;
    }
    return static_cast<std::size_t>(*count);
  }
}

void checkGraphNumber(int number, std::size_t count) {
  if (number < 1 || static_cast<std::size_t>(number) > count) {
    throw Error("Нет графика с номером " + std::to_string(number));
  }
}

}  // namespace

void cloneGraphs(GraphStore& store, const std::vector<std::size_t>& storeIndices,
                 std::size_t count) {
  if (!fitsInOneGraph(static_cast<double>(count))) {
    throw Error(kTooManyPoints);
  }
  keepStoreOnMemoryShortage(store, [&] {
    for (std::size_t i : storeIndices) {
      Graph clone = cloneOnGrid(store.graph(i), count);
      clone.title = store.graph(i).title + " (Клон)";
      clone.colour = automaticColour(store);
      std::string entry = store.sourceFile(i) + " (Клон)";
      store.attachGraph(std::move(clone), std::move(entry));
    }
  });
  store.chart().legendRelayout();
  store.chart().refreshMenus();
  store.chart().redraw();
}

void cloneCommand(CommandContext& ctx) {
  const auto chosen = pickCandidateGraphs(ctx, "Выбрать графики для клонирования");
  if (!chosen) {
    return;
  }
  const std::optional<std::size_t> count = askPointCount(ctx);
  if (!count) {
    return;
  }
  cloneGraphs(ctx.store, *chosen, *count);
}

void cropCommand(CommandContext& ctx, XRange range) {
  const auto chosen = pickCandidateGraphs(ctx, "Выбрать графики для кадрирования");
  if (!chosen) {
    return;
  }
  editGraphsTogether(ctx.store, *chosen,
                     [&range](std::size_t, Graph& g) { cropByX(g, range.lower, range.upper); });
  ctx.store.chart().redraw();
  ctx.store.chart().refreshIndicator();
}

void halveCommand(CommandContext& ctx) {
  const auto chosen = pickCandidateGraphs(ctx, "Выбрать графики для уменьш. точек");
  if (!chosen) {
    return;
  }
  editGraphsTogether(ctx.store, *chosen, [](std::size_t, Graph& g) { halvePoints(g); });
  ctx.store.chart().redraw();
  ctx.store.chart().refreshIndicator();
}

void spliceCommand(CommandContext& ctx, SpliceOptions& splice) {
  GraphStore& store = ctx.store;
  if (store.count() < 2) {
    return;
  }
  SpliceOptions edited = splice;
  edited.graphCount = static_cast<int>(store.count());
  if (!ctx.ui.editOptions(edited)) {
    return;
  }
  splice = edited;
  checkGraphNumber(edited.first, store.count());
  checkGraphNumber(edited.second, store.count());
  const std::optional<double> x0 = parseTypedNumber(edited.xText, ctx.ui.decimalSeparator());
  if (!x0) {
    throw ConvertError(notANumberMessage(edited.xText));
  }
  const Graph& left = store.graph(static_cast<std::size_t>(edited.first - 1));
  const Graph& right = store.graph(static_cast<std::size_t>(edited.second - 1));
  // Two graphs of the largest size together hold twice as many points as one may.
  if (!fitsInOneGraph(static_cast<double>(splicedPointCount(left, right, *x0)))) {
    throw Error(kTooManyPoints);
  }
  Graph result = spliceAt(left, right, *x0);
  result.title = left.title;
  result.colour = automaticColour(store);
  store.attachGraph(std::move(result), store.takeUnnamedEntry());
  store.chart().legendRelayout();
  store.chart().refreshMenus();
  store.chart().redraw();
}

}  // namespace tarvik
