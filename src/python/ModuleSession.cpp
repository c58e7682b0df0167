#include "python/ModuleSession.h"

#include <utility>

#include "core/Error.h"
#include "core/OutputLimits.h"
#include "core/Palette.h"
#include "io/PointOrder.h"

namespace tarvik::python {
namespace {

// Drawing needs the window's chart, which the module does not carry: the picture commands
// exist, so that scripts written for tarvik-batch parse the same, and each says why it
// cannot run.
void noPictures(batch::BatchSession&, const batch::BatchArgs& a) {
  throw Error(a.command +
              ": the Python module draws no charts (plot the arrays with matplotlib, or run "
              "tarvik-batch built with the chart window)");
}

batch::BatchRegistry makeRegistry() {
  batch::BatchRegistry registry = batch::standardRegistry();
  registry.add(
      {"picture", "picture file=PATH [width=W height=H]", {"file", "width", "height"}, noPictures});
  registry.add({"print-pdf",
                "print-pdf file=PATH [scale=thin|screen] [orientation=portrait|landscape] "
                "[size=half|full]",
                {"file", "scale", "orientation", "size"},
                noPictures});
  return registry;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The undo step of an addition, closed however the addition ends.
class AddStep {
 public:
  explicit AddStep(GraphStore& store) : m_store(store) { m_store.beginStep("add"); }
  ~AddStep() { m_store.endStep(); }
  AddStep(const AddStep&) = delete;
  AddStep& operator=(const AddStep&) = delete;

 private:
  GraphStore& m_store;
};

}  // namespace

const batch::BatchRegistry& moduleRegistry() {
  static const batch::BatchRegistry registry = makeRegistry();
  return registry;
}

void sortMessages(const std::string& stream, RunOutcome& outcome) {
  static const std::string kError = "error: ";
  static const std::string kInfo = "info: ";
  static const std::string kUsage = "usage error: ";
  std::string::size_type start = 0;
  while (start < stream.size()) {
    std::string::size_type end = stream.find('\n', start);
    if (end == std::string::npos) {
      end = stream.size();
    }
    const std::string line = stream.substr(start, end - start);
    start = end + 1;
    if (startsWith(line, kError)) {
      outcome.errors.push_back(line.substr(kError.size()));
    } else if (startsWith(line, kUsage)) {
      outcome.usageError = line.substr(kUsage.size());
    } else if (startsWith(line, kInfo)) {
      outcome.infos.push_back(line.substr(kInfo.size()));
    } else if (!line.empty()) {
      outcome.infos.push_back(line);  // nothing else is written there; kept, not lost
    }
  }
}

ModuleSession::ModuleSession(char decimalSeparator)
    : m_session(m_out, m_err, decimalSeparator), m_runner(m_session, moduleRegistry(), m_err) {
  // The stop request is the store's, read by the command on its own thread; it is set
  // there, at the command's progress reports, as the window's stop button is seen.
  m_session.ui.pendingEvents = [this] {
    if (m_stopWanted.load()) {
      m_session.store.stopRequest = true;
    }
  };
  m_runner.setStopBeforeNext([this] { return m_stopWanted.load(); });
}

void ModuleSession::clearStop() { m_stopWanted.store(false); }

RunOutcome ModuleSession::runScript(const std::string& text, std::optional<bool> answer) {
  m_runner.setDefaultAnswer(answer.value_or(true));
  return collect(m_runner.run(batch::scriptLines(text)));
}

RunOutcome ModuleSession::runCommands(const std::vector<batch::BatchArgs>& commands,
                                      std::optional<bool> answer) {
  m_runner.setDefaultAnswer(answer.value_or(true));
  return collect(m_runner.run(commands));
}

RunOutcome ModuleSession::collect(int status) {
  RunOutcome outcome;
  outcome.status = status;
  outcome.output = m_out.str();
  sortMessages(m_err.str(), outcome);
  outcome.stopped = m_stopWanted.load();
  m_out.str({});
  m_out.clear();
  m_err.str({});
  m_err.clear();
  return outcome;
}

std::size_t ModuleSession::addGraph(std::string title, std::vector<double> xs,
                                    std::vector<double> ys, bool xsAscending) {
  GraphStore& store = m_session.store;
  PointArrays points{std::move(xs), std::move(ys)};
  if (!xsAscending) {
    applyPointOrder(points);
  }
  Graph graph;
  graph.colour = newGraphColour(store.count());
  graph.title = std::move(title);
  graph.setPoints(std::move(points.xs), std::move(points.ys));
  const AddStep step(store);
  std::size_t index = 0;
  keepStoreOnMemoryShortage(store, [&] {
    std::string entry = store.takeUnnamedEntry();
    index = store.attachGraph(std::move(graph), std::move(entry));
  });
  store.setActiveIndex(static_cast<int>(index));
  store.chart().refreshIndicator();
  store.chart().refreshMenus();
  store.chart().legendRelayout();
  return index;
}

}  // namespace tarvik::python
