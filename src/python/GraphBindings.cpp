// tarvik.Graph and tarvik.GraphList: a document's graphs as Python sees them.
#include <pybind11/pybind11.h>

#include <cstdio>
#include <string>
#include <utility>

#include "python/Bindings.h"
#include "python/PointViews.h"

namespace py = pybind11;

namespace tarvik::python {
namespace {

constexpr const char* kGraphDoc = R"(Graph N of a document (doc.graphs[N - 1]).

A handle looked up at each use: it always shows the graph that stands at its place now
(after a close, the one that moved there). Its attributes are read-only; commands change
graphs (doc.run("line graph=1 width=2"), doc.run("legends text=...")).

x and y are read-only float64 numpy arrays over the graph's own point arrays, made without
copying. An array keeps the points it was made of: when a later command rewrites or closes
the graph, the command writes new arrays and the old ones stay valid and unchanged for as
long as the array lives.)";

constexpr const char* kGraphListDoc =
    "The graphs of a document in their order, as a sequence: len(), doc.graphs[i] (0-based, "
    "negative from the end), slices and iteration give tarvik.Graph handles.";

// What `read(store, index)` takes from the graph behind a handle, with the document
// locked; IndexError when no graph stands at the handle's place any more. `read` returns
// C++ values only: Python objects are made after the lock is given back, since making
// them may run Python code (a collection, a __del__) that reaches the document.
template <class Read>
auto readGraph(const GraphRef& ref, Read read) {
  const DocumentLock lock(ref.document->session);
  const GraphStore& store = ref.document->session.store();
  if (ref.index >= store.count()) {
    throw py::index_error("graph " + std::to_string(ref.index + 1) +
                          " is no longer there (the document has " + std::to_string(store.count()) +
                          " graphs)");
  }
  return read(store, ref.index);
}

template <class Field>
auto graphField(const GraphRef& ref, Field field) {
  return readGraph(ref, [&](const GraphStore& s, std::size_t i) { return field(s.graph(i)); });
}

const char* styleName(LineStyle style) {
  switch (style) {
    case LineStyle::Solid:
      return "solid";
    case LineStyle::Dash:
      return "dash";
    case LineStyle::Dot:
      return "dot";
    case LineStyle::DashDot:
      return "dash-dot";
    case LineStyle::DashDotDot:
      return "dash-dot-dot";
  }
  return "solid";
}

std::string colourText(Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
  return text;
}

std::size_t listedGraphs(const GraphList& list) {
  const DocumentLock lock(list.document->session);
  return list.document->session.store().count();
}

GraphRef graphAt(const GraphList& list, py::ssize_t i) {
  const auto count = static_cast<py::ssize_t>(listedGraphs(list));
  const py::ssize_t index = i < 0 ? i + count : i;
  if (index < 0 || index >= count) {
    throw py::index_error("graph index " + std::to_string(i) + " out of range (the document has " +
                          std::to_string(count) + " graphs)");
  }
  return GraphRef{list.document, static_cast<std::size_t>(index)};
}

std::string graphRepr(const GraphRef& ref) {
  const auto [title, size] = graphField(
      ref, [](const Graph& g) { return std::pair<std::string, std::size_t>(g.title, g.size()); });
  return "<tarvik.Graph " + std::to_string(ref.index + 1) + " " +
         std::string(py::repr(utf8(title))) + ", " + std::to_string(size) + " points>";
}

// The graph's fields that are not points.
void bindGraphAttributes(py::class_<GraphRef>& graph) {
  graph.def_property_readonly(
      "title",
      [](const GraphRef& r) { return utf8(graphField(r, [](const Graph& g) { return g.title; })); },
      "The graph's title: its text in the legend.");
  graph.def_property_readonly(
      "entry",
      [](const GraphRef& r) {
        return utf8(readGraph(r, [](const GraphStore& s, std::size_t i) {
          return i < s.sourceFiles().size() ? s.sourceFile(i) : std::string();
        }));
      },
      "The graph's source-file entry (the file it came from, or \"Без имени-N\").");
  graph.def_property_readonly(
      "color",
      [](const GraphRef& r) {
        return colourText(graphField(r, [](const Graph& g) { return g.colour; }));
      },
      "The line colour as \"#rrggbb\" (as matplotlib takes it).");
  graph.def_property_readonly(
      "width",
      [](const GraphRef& r) { return graphField(r, [](const Graph& g) { return g.lineWidth; }); },
      "The line width in pixels.");
  graph.def_property_readonly(
      "style",
      [](const GraphRef& r) {
        return styleName(graphField(r, [](const Graph& g) { return g.lineStyle; }));
      },
      "The line style: \"solid\", \"dash\", \"dot\", \"dash-dot\" or \"dash-dot-dot\".");
  graph.def_property_readonly(
      "in_legend",
      [](const GraphRef& r) {
        return graphField(r, [](const Graph& g) { return g.showInLegend; });
      },
      "True when the legend shows the graph.");
  graph.def_property_readonly(
      "active",
      [](const GraphRef& r) {
        return readGraph(r, [](const GraphStore& s, std::size_t i) {
          return s.activeIndex() == static_cast<int>(i);
        });
      },
      "True when this is the document's active graph.");
  graph.def_property_readonly(
      "number", [](const GraphRef& r) { return r.index + 1; },
      "The graph's 1-based number, as graph= takes it.");
}

}  // namespace

void bindGraphs(py::module_& module) {
  py::class_<GraphRef> graph(module, "Graph", kGraphDoc);
  graph.def_property_readonly(
      "x",
      [](const GraphRef& r) {
        return blockView(graphField(r, [](const Graph& g) { return g.xBlock(); }));
      },
      "The X values (float64, read-only, a view of the graph's own array).");
  graph.def_property_readonly(
      "y",
      [](const GraphRef& r) {
        return blockView(graphField(r, [](const Graph& g) { return g.yBlock(); }));
      },
      "The Y values (float64, read-only, a view of the graph's own array).");
  bindGraphAttributes(graph);
  graph.def(
      "__len__",
      [](const GraphRef& r) { return graphField(r, [](const Graph& g) { return g.size(); }); },
      "The number of points.");
  graph.def("__repr__", &graphRepr);

  py::class_<GraphList>(module, "GraphList", kGraphListDoc)
      .def("__len__", &listedGraphs, "The number of graphs.")
      .def("__getitem__", &graphAt, py::arg("index"), "Graph index + 1 (0-based index).")
      .def(
          "__getitem__",
          [](const GraphList& list, const py::slice& slice) {
            py::size_t start = 0, stop = 0, step = 0, length = 0;
            if (!slice.compute(listedGraphs(list), &start, &stop, &step, &length)) {
              throw py::error_already_set();
            }
            py::list graphs;
            for (py::size_t k = 0; k < length; ++k) {
              graphs.append(GraphRef{list.document, start + k * step});
            }
            return graphs;
          },
          py::arg("slice"), "A list of the graphs of a slice.")
      .def(
          "__iter__",
          [](const GraphList& list) {
            py::list graphs;
            const std::size_t count = listedGraphs(list);
            for (std::size_t i = 0; i < count; ++i) {
              graphs.append(GraphRef{list.document, i});
            }
            return py::iter(graphs);
          },
          "The graphs present when the iteration starts.")
      .def("__repr__", [](const GraphList& list) {
        return "<tarvik.GraphList of " + std::to_string(listedGraphs(list)) + " graphs>";
      });
}

}  // namespace tarvik::python
