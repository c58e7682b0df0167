#pragma once
// What the binding files of the module share: the document object Python holds, the
// graph handles, the module's exception types and the end of a run on the Python side.
#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>
#include <string>

#include "python/ModuleSession.h"
#include "python/RunWatch.h"

namespace tarvik::python {

// tarvik.Document: a batch session owned through shared pointers, so graph handles and
// lists keep it alive after the Python name of the document is gone.
struct Document {
  explicit Document(char decimalSeparator) : session(decimalSeparator) {}
  ModuleSession session;
};

// tarvik.Graph: graph `index` (0-based) of a document, looked up at each access.
struct GraphRef {
  std::shared_ptr<Document> document;
  std::size_t index = 0;
};

// tarvik.GraphList: the graphs of a document as a sequence.
struct GraphList {
  std::shared_ptr<Document> document;
};

// The module's exception and warning types, made at import.
struct ModuleErrors {
  pybind11::handle error;       // tarvik.Error
  pybind11::handle usageError;  // tarvik.UsageError (a tarvik.Error)
  pybind11::handle info;        // tarvik.Info (a UserWarning)
};
const ModuleErrors& moduleErrors();
void makeModuleErrors(pybind11::module_& module);

// A Python str of UTF-8 text; bytes that are not UTF-8 become U+FFFD, never an exception.
pybind11::str utf8(const std::string& text);

// The Python end of a run: each info message is issued as a tarvik.Info warning, then a
// pending interruption is raised, then a usage error as tarvik.UsageError and error
// messages as tarvik.Error (both carrying the run's standard output as `output`); without
// any of them the standard output is returned.
pybind11::str finishRun(RunOutcome& outcome, PendingPythonError& interruption, bool builtCommands);

// Runs commands built by a binding (file names passed as they are), then finishRun.
pybind11::str runBuilt(Document& document, const std::vector<batch::BatchArgs>& commands,
                       std::optional<bool> answer = std::nullopt);

// The answer= of a binding: None, True/False or "yes"/"no".
std::optional<bool> answerArgument(const pybind11::object& answer);
// A path argument (str, bytes or os.PathLike) as the file system's bytes.
std::string pathArgument(const pybind11::handle& path);

void bindGraphs(pybind11::module_& module);
void bindDocument(pybind11::module_& module);

}  // namespace tarvik::python
