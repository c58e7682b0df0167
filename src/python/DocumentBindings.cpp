// tarvik.Document: a graph store with its offscreen chart, driven by the batch runner.
#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <vector>

#include "core/OutputLimits.h"
#include "python/Bindings.h"
#include "python/PointViews.h"

namespace py = pybind11;

namespace tarvik::python {
namespace {

constexpr const char* kDocumentDoc = R"(
A document: graphs, the active graph, the chart's texts and view, the dialogs' fields,
and the undo steps, as one window or one tarvik-batch run holds them. Every dialog
starts at its built-in default; no settings file is read.

decimal_separator is the separator of typed numbers, CSV fields and numbers written in
texts: "." or ",".

A document may be used from several threads; one command runs on it at a time.)";

constexpr const char* kRunDoc = R"(
Runs a script of tarvik-batch commands on the document and returns what it printed on
standard output.

The script is read as a tarvik-batch script file: one command per line, several on a
line separated by ";", "#" starting a comment line. Every command name and argument is
checked before anything runs. A command that ends with an error raises tarvik.Error with
the message (the commands before it keep what they made; its `output` attribute holds
what was printed); a usage error raises tarvik.UsageError ("line N: ..."); information
messages are issued as tarvik.Info warnings. answer ("yes"/"no" or True/False) answers
the questions of commands that give no answer= of their own (yes when left out).

The command runs with the GIL released. Ctrl+C (or stop() from another thread) stops it
as the window's stop button does: it ends with what it made so far, the rest of the
script is not run, and KeyboardInterrupt is raised.)";

constexpr const char* kOpenDoc = R"(
Opens files (str, bytes or os.PathLike) in order, as the open command does: every file
type Tarvik reads, one graph per curve or channel, the last made active. A file that
cannot be read raises tarvik.Error with the reader's message; the files before it stay
open.)";

constexpr const char* kAddDoc = R"(
Appends a graph of the points x, y (array-likes of real numbers of equal length: numpy
arrays, lists, pandas Series) and returns it.

The points are copied once into the graph's own arrays, ordered by X as a reader orders
them (a point goes after the last one whose X is not greater), so an ascending x stays
as it is. The graph takes the new-graph colour and an unnamed source-file entry and
becomes the active graph; the addition is one undo step. TypeError for what is not a
sequence of numbers; ValueError for arrays of more than one dimension, of different
lengths or with a value that is not finite. Nothing is added when any check fails.)";

// The texts above start on the line after their opening quote; help() shows them from
// their first word.
constexpr const char* docText(const char* text) { return text[0] == '\n' ? text + 1 : text; }

char separatorOf(const std::string& separator) {
  if (separator != "." && separator != ",") {
    throw py::value_error("decimal_separator must be \".\" or \",\", not \"" + separator + "\"");
  }
  return separator[0];
}

batch::BatchArgs command(const std::string& name) {
  batch::BatchArgs args;
  args.command = name;
  return args;
}

std::size_t graphCount(Document& d) {
  const DocumentLock lock(d.session);
  return d.session.store().count();
}

// A 1-based graph number of a binding's argument; IndexError when there is no such graph.
std::string graphNumber(Document& d, long long number) {
  const std::size_t count = graphCount(d);
  if (number < 1 || static_cast<unsigned long long>(number) > count) {
    throw py::index_error("there is no graph " + std::to_string(number) + " (the document has " +
                          std::to_string(count) + " graphs)");
  }
  return std::to_string(number);
}

py::str runScript(Document& d, const std::string& script, const py::object& answer) {
  const std::optional<bool> yes = answerArgument(answer);
  PendingPythonError interruption;
  RunOutcome outcome = runWatched(
      d.session, [&] { return d.session.runScript(script, yes); }, interruption);
  return finishRun(outcome, interruption, false);
}

void openFiles(Document& d, const py::args& paths) {
  if (paths.empty()) {
    throw py::type_error("open() needs at least one file");
  }
  batch::BatchArgs open = command("open");
  for (const py::handle path : paths) {
    open.positional.push_back(pathArgument(path));
  }
  runBuilt(d, {open});
}

GraphRef addGraph(const std::shared_ptr<Document>& d, const py::object& x, const py::object& y,
                  const std::string& title) {
  CheckedPoints xs = finitePoints(x, "x", true);
  CheckedPoints ys = finitePoints(y, "y", false);
  if (xs.values.size() != ys.values.size()) {
    throw py::value_error("x and y differ in length (" + std::to_string(xs.values.size()) +
                          " and " + std::to_string(ys.values.size()) + ")");
  }
  const DocumentLock lock(d->session);
  return GraphRef{
      d, d->session.addGraph(title, std::move(xs.values), std::move(ys.values), xs.ascending)};
}

// undo or redo: true when there was a step to walk.
bool walkStep(Document& d, const char* name, bool undo) {
  bool stepThere = false;
  PendingPythonError interruption;
  RunOutcome outcome = runWatched(
      d.session,
      [&] {
        const UndoHistory& history = d.session.store().history();
        stepThere = undo ? history.canUndo() : history.canRedo();
        return d.session.runCommands({command(name)});
      },
      interruption);
  finishRun(outcome, interruption, true);
  return stepThere;
}

void saveGraph(Document& d, long long number, const py::object& path, const py::object& answer) {
  batch::BatchArgs save = command("save");
  save.named["graph"] = graphNumber(d, number);
  save.named["file"] = pathArgument(path);
  runBuilt(d, {save}, answerArgument(answer));
}

void sessionCommand(Document& d, const char* name, const py::object& path) {
  batch::BatchArgs args = command(name);
  args.named["file"] = pathArgument(path);
  runBuilt(d, {args});
}

py::object activeGraph(Document& d) {
  int active = -1;
  std::size_t count = 0;
  {
    const DocumentLock lock(d.session);
    active = d.session.store().activeIndex();
    count = d.session.store().count();
  }
  if (active < 0 || static_cast<std::size_t>(active) >= count) {
    return py::none();
  }
  return py::int_(active + 1);
}

void setActiveGraph(Document& d, long long number) {
  batch::BatchArgs activate = command("activate");
  activate.named["graph"] = graphNumber(d, number);
  runBuilt(d, {activate});
}

void bindStepsAndFiles(py::class_<Document, std::shared_ptr<Document>>& doc) {
  doc.def(
      "undo", [](Document& d) { return walkStep(d, "undo", true); },
      "Undoes the newest step (a command that changed the document, an add); False when "
      "there was none (the command's information message is issued as a warning).");
  doc.def(
      "redo", [](Document& d) { return walkStep(d, "redo", false); },
      "Redoes the step undone last; False when there was none.");
  doc.def("save", &saveGraph, py::arg("n"), py::arg("path"), py::arg("answer") = py::none(),
          "Writes graph n (1-based) as a plain graph file, as the save command does. answer "
          "replies to the question whether to replace an existing file (yes when left out).");
  doc.def(
      "save_session",
      [](Document& d, const py::object& p) { sessionCommand(d, "save-session", p); },
      py::arg("path"),
      "Writes the whole document and its chart view as a session file (HDF5). Not an undo "
      "step.");
  doc.def(
      "open_session",
      [](Document& d, const py::object& p) { sessionCommand(d, "open-session", p); },
      py::arg("path"),
      "Replaces the document with a session file's (one undo step). A file that is not a "
      "readable session raises tarvik.Error and changes nothing.");
}

}  // namespace

void bindDocument(py::module_& module) {
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) {
        std::rethrow_exception(failure);
      }
    } catch (const OutOfMemoryError& e) {
      PyErr_SetString(PyExc_MemoryError, e.what());
    } catch (const Error& e) {
      PyErr_SetObject(moduleErrors().error.ptr(), utf8(e.what()).ptr());
    }
  });

  py::class_<Document, std::shared_ptr<Document>> doc(module, "Document", docText(kDocumentDoc));
  doc.def(py::init([](const std::string& separator) {
            return std::make_shared<Document>(separatorOf(separator));
          }),
          py::arg("decimal_separator") = ".");
  doc.def_property_readonly(
      "decimal_separator",
      [](const Document& d) { return std::string(1, d.session.decimalSeparator()); },
      "The decimal separator of typed numbers and of numbers in texts.");
  doc.def("run", &runScript, py::arg("script"), py::arg("answer") = py::none(), docText(kRunDoc));
  doc.def("open", &openFiles, docText(kOpenDoc));
  doc.def_property_readonly(
      "graphs", [](const std::shared_ptr<Document>& d) { return GraphList{d}; },
      "The graphs in their order (a tarvik.GraphList; doc.graphs[0] is graph 1).");
  doc.def_property("active", &activeGraph, &setActiveGraph,
                   "The active graph's 1-based number, None when no graph is active. Setting "
                   "it runs the activate command (an undo step).");
  doc.def("add", &addGraph, py::arg("x"), py::arg("y"), py::arg("title") = "", docText(kAddDoc));
  bindStepsAndFiles(doc);
  doc.def(
      "stop", [](Document& d) { d.session.requestStop(); },
      "Asks the command running on this document (in another thread) to stop, as the "
      "window's stop button does; the rest of its script is not run. Returns at once.");
  doc.def("__repr__", [](Document& d) {
    return "<tarvik.Document of " + std::to_string(graphCount(d)) + " graphs>";
  });
}

}  // namespace tarvik::python
