#include "core/DocumentChange.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <type_traits>
#include <unordered_set>
#include <utility>

namespace tarvik {
namespace {

// The stretch where two lists differ: their common start and common end left out.
struct Stretch {
  std::size_t first = 0;
  std::size_t before = 0;  // length in the earlier list
  std::size_t now = 0;     // length in the later list
};

template <class Same>
Stretch differingStretch(std::size_t beforeSize, std::size_t nowSize, Same same) {
  const std::size_t common = std::min(beforeSize, nowSize);
  std::size_t head = 0;
  while (head < common && same(head, head)) {
    ++head;
  }
  std::size_t tail = 0;
  while (tail < common - head && same(beforeSize - 1 - tail, nowSize - 1 - tail)) {
    ++tail;
  }
  return {head, beforeSize - head - tail, nowSize - head - tail};
}

bool sameGraph(const Graph& a, const Graph& b) { return a.sameAttributes(b) && a.samePoints(b); }

std::size_t blockBytes(const PointBlock& block) { return block.capacity() * sizeof(double); }

// Bytes that `held` graphs keep beside the `beside` graphs, which take their place: each
// held graph's attributes, and each of its point blocks that no graph beside uses (a block
// once however many held graphs share it).
template <class Held, class Beside>
std::size_t graphsKeptBeside(std::size_t heldCount, Held held, std::size_t besideCount,
                             Beside beside) {
  std::unordered_set<const PointBlock*> seen;
  for (std::size_t i = 0; i < besideCount; ++i) {
    seen.insert(beside(i).xBlock().get());
    seen.insert(beside(i).yBlock().get());
  }
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < heldCount; ++i) {
    const Graph& g = held(i);
    bytes += sizeof(Graph) + textBytes(g.title) - sizeof(std::string);
    for (const auto& block : {g.xBlock(), g.yBlock()}) {
      if (seen.insert(block.get()).second) {
        bytes += blockBytes(*block);
      }
    }
  }
  return bytes;
}

std::size_t textsBytes(const DocumentTexts& texts) {
  std::size_t bytes = sizeof(DocumentTexts);
  for (const std::string* text :
       {&texts.bottomAxisTitle, &texts.yAxisTitle, &texts.topAxisTitle, &texts.rightAxisTitle}) {
    bytes += textBytes(*text) - sizeof(std::string);
  }
  for (const auto* lines : {&texts.footLines, &texts.titleLines}) {
    for (const std::string& line : *lines) {
      bytes += textBytes(line);
    }
  }
  return bytes;
}

Graph& graphAt(std::vector<std::unique_ptr<Graph>>& list, std::size_t i) { return *list[i]; }
Graph& graphAt(std::vector<Graph>& list, std::size_t i) { return list[i]; }

template <class Element>
Element emptyElement() {
  if constexpr (std::is_same_v<Element, Graph>) {
    return Graph();
  } else {
    return std::make_unique<Graph>();
  }
}

// Replaces list[first, first + count) by `incoming`, whose elements are moved in.
template <class T>
void replaceStretch(std::vector<T>& list, std::size_t first, std::size_t count,
                    std::vector<T>& incoming) {
  const auto at = list.begin() + static_cast<std::ptrdiff_t>(first);
  list.erase(at, at + static_cast<std::ptrdiff_t>(count));
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(first),
              std::make_move_iterator(incoming.begin()), std::make_move_iterator(incoming.end()));
}

// Moves list[first, first + count) to the end of `out` (reserved beforehand), leaving
// moved-from elements in place.
template <class T>
void moveOut(std::vector<T>& list, std::size_t first, std::size_t count, std::vector<T>& out) {
  const auto at = list.begin() + static_cast<std::ptrdiff_t>(first);
  std::move(at, at + static_cast<std::ptrdiff_t>(count), std::back_inserter(out));
}

// The stretch live[first, first + replaced) goes to `out`, the graphs after it move to their
// new places and `incoming` takes the stretch; every object keeps its index. `added` holds
// the objects a longer list needs, and `live` and `out` have their capacity, so nothing
// allocates here.
template <class GraphList>
void spliceGraphs(GraphList& live, std::size_t first, std::size_t replaced,
                  std::vector<Graph>& incoming, GraphList& added, std::vector<Graph>& out) {
  const std::size_t oldSize = live.size();
  const std::size_t count = incoming.size();
  const auto newSize = static_cast<std::ptrdiff_t>(oldSize - replaced + count);
  for (std::size_t i = 0; i < replaced; ++i) {
    out.push_back(std::move(graphAt(live, first + i)));
  }
  const std::size_t after = oldSize - first - replaced;
  if (count > replaced) {
    for (auto& graph : added) {
      live.push_back(std::move(graph));
    }
    for (std::size_t t = after; t-- > 0;) {
      graphAt(live, first + count + t) = std::move(graphAt(live, first + replaced + t));
    }
  } else {
    for (std::size_t t = 0; t < after; ++t) {
      graphAt(live, first + count + t) = std::move(graphAt(live, first + replaced + t));
    }
    live.erase(live.begin() + newSize, live.end());
  }
  for (std::size_t j = 0; j < count; ++j) {
    graphAt(live, first + j) = std::move(incoming[j]);
  }
}

// applyChange on either kind of graph list.
template <class GraphList>
DocumentChange applyTo(DocumentChange& change, GraphList& live, std::vector<std::string>& files,
                       int& active, int& unnamedCounter, DocumentTexts& texts) {
  const std::size_t first = change.graphFirst;
  const std::size_t replaced = change.graphsReplaced;
  const std::size_t incoming = change.graphs.size();
  const std::size_t entryFirst = change.entryFirst;
  const std::size_t entriesReplaced = change.entriesReplaced;
  if (first + replaced > live.size() || entryFirst + entriesReplaced > files.size()) {
    throw std::invalid_argument("applyChange: the change does not fit the document");
  }
  const std::size_t oldSize = live.size();
  const std::size_t newSize = oldSize - replaced + incoming;

  // Everything that allocates, before the document is touched.
  DocumentChange back;
  back.graphFirst = first;
  back.graphsReplaced = incoming;
  back.graphs.reserve(replaced);
  back.entryFirst = entryFirst;
  back.entriesReplaced = change.entries.size();
  back.entries.reserve(entriesReplaced);
  GraphList added;
  for (std::size_t i = oldSize; i < newSize; ++i) {
    added.push_back(emptyElement<typename GraphList::value_type>());
  }
  live.reserve(newSize);
  files.reserve(files.size() - entriesReplaced + change.entries.size());
  if (change.texts) {
    back.texts.emplace();
  }
  back.bytes =
      graphsKeptBeside(
          replaced, [&](std::size_t i) -> const Graph& { return graphAt(live, first + i); },
          incoming, [&](std::size_t i) -> const Graph& { return change.graphs[i]; }) +
      (back.texts ? textsBytes(texts) : 0);
  for (std::size_t i = 0; i < entriesReplaced; ++i) {
    back.bytes += textBytes(files[entryFirst + i]);
  }

  spliceGraphs(live, first, replaced, change.graphs, added, back.graphs);
  moveOut(files, entryFirst, entriesReplaced, back.entries);
  replaceStretch(files, entryFirst, entriesReplaced, change.entries);

  back.active = std::exchange(active, change.active);
  back.unnamedCounter = std::exchange(unnamedCounter, change.unnamedCounter);
  if (change.texts) {
    std::swap(*back.texts, texts);
    std::swap(texts, *change.texts);
  }
  change = DocumentChange();
  return back;
}

}  // namespace

std::size_t textBytes(const std::string& text) {
  const auto* object = reinterpret_cast<const char*>(&text);
  const std::less<const char*> before;
  const bool inside = !before(text.data(), object) && before(text.data(), object + sizeof text);
  return sizeof(std::string) + (inside ? 0 : text.capacity() + 1);
}

bool sameDocument(const DocumentState& state, const DocumentRefs& document) {
  if (state.graphs.size() != document.graphs.size() || state.active != document.active ||
      state.unnamedCounter != document.unnamedCounter ||
      state.sourceFiles != document.sourceFiles || !(state.texts == document.texts)) {
    return false;
  }
  for (std::size_t i = 0; i < state.graphs.size(); ++i) {
    if (!sameGraph(state.graphs[i], *document.graphs[i])) {
      return false;
    }
  }
  return true;
}

DocumentChange noChange(const DocumentRefs& document) {
  DocumentChange change;
  change.active = document.active;
  change.unnamedCounter = document.unnamedCounter;
  return change;
}

std::optional<DocumentChange> advance(DocumentState& mirror, const DocumentRefs& now) {
  const auto& live = now.graphs;
  const Stretch graphs = differingStretch(
      mirror.graphs.size(), live.size(),
      [&](std::size_t i, std::size_t j) { return sameGraph(mirror.graphs[i], *live[j]); });
  const Stretch entries = differingStretch(
      mirror.sourceFiles.size(), now.sourceFiles.size(),
      [&](std::size_t i, std::size_t j) { return mirror.sourceFiles[i] == now.sourceFiles[j]; });
  const bool textsDiffer = !(mirror.texts == now.texts);
  if (graphs.before + graphs.now + entries.before + entries.now == 0 && !textsDiffer &&
      mirror.active == now.active && mirror.unnamedCounter == now.unnamedCounter) {
    return std::nullopt;
  }
  // Copies of the document's stretch first: nothing is moved until they exist.
  std::vector<Graph> nowGraphs;
  nowGraphs.reserve(graphs.now);
  for (std::size_t i = 0; i < graphs.now; ++i) {
    nowGraphs.push_back(*live[graphs.first + i]);
  }
  const auto entryAt = now.sourceFiles.begin() + static_cast<std::ptrdiff_t>(entries.first);
  std::vector<std::string> nowEntries(entryAt, entryAt + static_cast<std::ptrdiff_t>(entries.now));
  std::optional<DocumentTexts> nowTexts;
  if (textsDiffer) {
    nowTexts = now.texts;
  }
  mirror.graphs.reserve(mirror.graphs.size() - graphs.before + graphs.now);
  mirror.sourceFiles.reserve(mirror.sourceFiles.size() - entries.before + entries.now);
  DocumentChange change;
  change.graphs.reserve(graphs.before);
  change.entries.reserve(entries.before);
  change.bytes = graphsKeptBeside(
                     graphs.before,
                     [&](std::size_t i) -> const Graph& { return mirror.graphs[graphs.first + i]; },
                     graphs.now, [&](std::size_t i) -> const Graph& { return nowGraphs[i]; }) +
                 (textsDiffer ? textsBytes(mirror.texts) : 0);
  for (std::size_t i = 0; i < entries.before; ++i) {
    change.bytes += textBytes(mirror.sourceFiles[entries.first + i]);
  }

  change.graphFirst = graphs.first;
  change.graphsReplaced = graphs.now;
  moveOut(mirror.graphs, graphs.first, graphs.before, change.graphs);
  replaceStretch(mirror.graphs, graphs.first, graphs.before, nowGraphs);
  change.entryFirst = entries.first;
  change.entriesReplaced = entries.now;
  moveOut(mirror.sourceFiles, entries.first, entries.before, change.entries);
  replaceStretch(mirror.sourceFiles, entries.first, entries.before, nowEntries);
  change.active = std::exchange(mirror.active, now.active);
  change.unnamedCounter = std::exchange(mirror.unnamedCounter, now.unnamedCounter);
  if (nowTexts) {
    change.texts = std::move(mirror.texts);
    mirror.texts = std::move(*nowTexts);
  }
  return change;
}

DocumentChange applyChange(DocumentChange& change, const DocumentRefs& document) {
  return applyTo(change, document.graphs, document.sourceFiles, document.active,
                 document.unnamedCounter, document.texts);
}

DocumentChange applyChange(DocumentChange& change, DocumentState& document) {
  return applyTo(change, document.graphs, document.sourceFiles, document.active,
                 document.unnamedCounter, document.texts);
}

}  // namespace tarvik
