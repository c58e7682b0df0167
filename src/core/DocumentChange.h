#pragma once
// What one undo step keeps: the difference between the document before a command and
// after it, not a whole copy. The graphs of one stretch of the graph list (from the first
// graph that differs to the last; a changed graph, an appended or removed one, or a swap of
// neighbours is a short stretch), the differing stretch of source-file entries, the texts
// when they differ, and the active index and counter. Graphs outside the stretch are in no
// step, so their titles and points stay with the document alone.
//
// Applying a change to the document gives the state on its other side and the change that
// leads back, so undo and redo pass the same kind of change between them.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/DocumentState.h"
#include "core/Graph.h"

namespace tarvik {

// The live document of a graph store, by reference.
struct DocumentRefs {
  std::vector<std::unique_ptr<Graph>>& graphs;
  std::vector<std::string>& sourceFiles;
  int& active;
  int& unnamedCounter;
  DocumentTexts& texts;
};

struct DocumentChange {
  // The document's graphs [graphFirst, graphFirst + graphsReplaced) give way to `graphs`.
  std::size_t graphFirst = 0;
  std::size_t graphsReplaced = 0;
  std::vector<Graph> graphs;
  // The same for the source-file entries (a list of its own: it may be shorter).
  std::size_t entryFirst = 0;
  std::size_t entriesReplaced = 0;
  std::vector<std::string> entries;
  int active = -1;
  int unnamedCounter = 1;
  std::optional<DocumentTexts> texts;  // set when they differ
  // Memory the change holds beside the state it applies to: its graphs' attributes, the
  // point blocks that state does not use in the stretch, its entries and texts.
  std::size_t bytes = 0;
};

// Brings `mirror` up to the document `now` and returns the change that turns `now` back
// into what `mirror` was, or nothing when the two were the same bit for bit (as
// DocumentState::sameAs tells). Costs O(graphs) comparisons and copies only what differs:
// the stretch moves out of `mirror` into the change, and copies of the document's stretch
// (sharing their points) take its place.
std::optional<DocumentChange> advance(DocumentState& mirror, const DocumentRefs& now);

// True when `state` is the document bit for bit; O(graphs) comparisons, no copies.
bool sameDocument(const DocumentState& state, const DocumentRefs& document);

// A change that leaves `document` as it is.
DocumentChange noChange(const DocumentRefs& document);

// Applies `change` to the document and returns the change that undoes it. Graph objects
// stay where they are: after the call the graph at index i (for i below both counts) is the
// same object, holding the new state's graph i. Everything that may fail to allocate does
// so before the document is touched; `change` is emptied only then. Throws
// std::invalid_argument when the change does not fit the document's lists.
DocumentChange applyChange(DocumentChange& change, const DocumentRefs& document);
DocumentChange applyChange(DocumentChange& change, DocumentState& document);

// Heap and object bytes of a text; 0 beyond the object for a short text kept inside it.
std::size_t textBytes(const std::string& text);

}  // namespace tarvik
