// The Python module `tarvik`: the engine of the chart window from Python. A Document is a
// graph store with its own offscreen chart that runs every batch command; its graphs hand
// their points to numpy without copying.
#include <Python.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "python/Bindings.h"
#include "python/PointViews.h"

namespace py = pybind11;

namespace tarvik::python {
namespace {

ModuleErrors g_errors;

constexpr const char* kModuleDoc = R"(The Tarvik engine from Python.

A Document is a graph store, as the chart window holds one, with its own offscreen chart.
It opens every file Tarvik opens and runs every command of tarvik-batch on its graphs,
with the batch runner's names, arguments and output formats::

    import tarvik
    doc = tarvik.Document(decimal_separator=".")
    doc.open("a.csv", "b.grf")
    text = doc.run("spectrum graphs=1 kind=fft; pulse-stats")
    g = doc.graphs[0]          # graph 1
    g.x, g.y                   # numpy float64 arrays, read-only views of its points

The arrays of a graph are views of its own shared arrays, not copies; they stay valid and
unchanged whatever later commands do to the graph. A command that ends with an error
raises tarvik.Error; a usage error (unknown command or argument, a graph number that is
not there) raises tarvik.UsageError; information messages are issued as tarvik.Info
warnings. Commands run with the GIL released, and Ctrl+C stops a long command as the
window's stop button does.

tarvik.read(path) reads one file into a list of (title, x, y) without a document.)";

constexpr const char* kErrorDoc =
    "A command ended with an error. The text is the message the window would show; "
    "`output` holds what the run printed before it. The document keeps what the command "
    "and those before it made, as the batch runner keeps it.";
constexpr const char* kUsageDoc =
    "A script that cannot run as written: an unknown command or argument, a value a "
    "command refuses to take, a graph number that is not there. The text names the line "
    "(\"line N: ...\"); `output` holds what the run printed before it.";
constexpr const char* kInfoDoc =
    "An information message of a command (the window shows it in an information box), "
    "issued with warnings.warn.";

constexpr const char* kReadDoc =
    R"(Reads one file of any type Tarvik opens, without a document: one tuple per graph the file
holds, in the file's order, x and y as read-only float64 numpy arrays (not copies).
Raises tarvik.Error with the reader's message when the file cannot be read.)";

[[noreturn]] void raiseWithOutput(py::handle type, const std::string& text,
                                  const std::string& output) {
  py::object exception = py::reinterpret_borrow<py::object>(type)(utf8(text));
  exception.attr("output") = utf8(output);
  PyErr_SetObject(type.ptr(), exception.ptr());
  throw py::error_already_set();
}

// "line 0: TEXT" names no line of the caller's: a binding built the command.
std::string withoutLineZero(const std::string& text) {
  const std::string prefix = "line 0: ";
  return text.compare(0, prefix.size(), prefix) == 0 ? text.substr(prefix.size()) : text;
}

char separatorArgument(const std::string& separator) {
  if (separator != "." && separator != ",") {
    throw py::value_error("decimal_separator must be \".\" or \",\", not \"" + separator + "\"");
  }
  return separator[0];
}

py::list readFile(const py::object& path, const std::string& separator) {
  Document document(separatorArgument(separator));
  batch::BatchArgs open;
  open.command = "open";
  open.positional.push_back(pathArgument(path));
  runBuilt(document, {open});
  // No one else reaches this document: its graphs are taken whole, the lock not needed.
  const GraphStore& store = document.session.store();
  py::list graphs;
  for (std::size_t i = 0; i < store.count(); ++i) {
    const Graph& g = store.graph(i);
    graphs.append(py::make_tuple(utf8(g.title), blockView(g.xBlock()), blockView(g.yBlock())));
  }
  return graphs;
}

}  // namespace

const ModuleErrors& moduleErrors() { return g_errors; }

void makeModuleErrors(py::module_& module) {
  // The types live as long as the interpreter: the module keeps a reference, and so do we.
  g_errors.error = PyErr_NewExceptionWithDoc("tarvik.Error", kErrorDoc, PyExc_Exception, nullptr);
  if (!g_errors.error) {
    throw py::error_already_set();
  }
  g_errors.usageError =
      PyErr_NewExceptionWithDoc("tarvik.UsageError", kUsageDoc, g_errors.error.ptr(), nullptr);
  g_errors.info = PyErr_NewExceptionWithDoc("tarvik.Info", kInfoDoc, PyExc_UserWarning, nullptr);
  if (!g_errors.usageError || !g_errors.info) {
    throw py::error_already_set();
  }
  module.add_object("Error", g_errors.error);
  module.add_object("UsageError", g_errors.usageError);
  module.add_object("Info", g_errors.info);
}

py::str utf8(const std::string& text) {
  PyObject* decoded =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
  if (decoded == nullptr) {
    throw py::error_already_set();
  }
  return py::reinterpret_steal<py::str>(decoded);
}

py::str finishRun(RunOutcome& outcome, PendingPythonError& interruption, bool builtCommands) {
  if (!outcome.infos.empty()) {
    // Called from here, warn's first level is the caller's line. A filter that makes the
    // warning an error raises it from here.
    const py::object warn = py::module_::import("warnings").attr("warn");
    for (const std::string& info : outcome.infos) {
      warn(utf8(info), g_errors.info, 1);
    }
  }
  if (interruption.holds()) {
    interruption.raise();
  }
  if (!outcome.usageError.empty()) {
    raiseWithOutput(g_errors.usageError,
                    builtCommands ? withoutLineZero(outcome.usageError) : outcome.usageError,
                    outcome.output);
  }
  if (!outcome.errors.empty()) {
    std::string text;
    for (const std::string& error : outcome.errors) {
      text += (text.empty() ? "" : "\n") + error;
    }
    raiseWithOutput(g_errors.error, text, outcome.output);
  }
  return utf8(outcome.output);
}

py::str runBuilt(Document& document, const std::vector<batch::BatchArgs>& commands,
                 std::optional<bool> answer) {
  PendingPythonError interruption;
  RunOutcome outcome = runWatched(
      document.session, [&] { return document.session.runCommands(commands, answer); },
      interruption);
  return finishRun(outcome, interruption, true);
}

std::optional<bool> answerArgument(const py::object& answer) {
  if (answer.is_none()) {
    return std::nullopt;
  }
  if (py::isinstance<py::bool_>(answer)) {
    return answer.cast<bool>();
  }
  if (py::isinstance<py::str>(answer)) {
    const std::string text = answer.cast<std::string>();
    if (text == "yes" || text == "no") {
      return text == "yes";
    }
    throw py::value_error("answer must be \"yes\" or \"no\", not \"" + text + "\"");
  }
  throw py::type_error("answer must be None, a bool, \"yes\" or \"no\"");
}

std::string pathArgument(const py::handle& path) {
  // os.fsencode takes str, bytes and os.PathLike (TypeError for anything else) and gives
  // the file system's own bytes, also for names that are not UTF-8.
  const py::object encoded = py::module_::import("os").attr("fsencode")(path);
  return encoded.cast<std::string>();
}

}  // namespace tarvik::python

PYBIND11_MODULE(tarvik, module) {
  using namespace tarvik::python;
  module.doc() = kModuleDoc;
  module.attr("__version__") = TARVIK_VERSION;
  makeModuleErrors(module);
  bindGraphs(module);
  bindDocument(module);
  module.def("read", &readFile, kReadDoc, py::arg("path"), py::arg("decimal_separator") = ".");
}
