// Random short scripts run by the batch runner over two small graphs: every command but the
// file commands, with keep-going on. A command whose arguments would make a large graph or
// a long computation is left out (the point is faults, not the refusal of huge requests),
// and a script stops once its graphs grow past a few thousand points.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "batch/BatchRunner.h"

namespace {

using namespace tarvik;
using batch::BatchArgs;

constexpr std::size_t kMaxCommands = 8;
constexpr std::size_t kMaxGraphPoints = 4096;
constexpr double kMaxSpectrumPoints = 20000;

// Dialog fields keep their values for the whole run, so the budget follows them too.
struct Budget {
  std::map<std::string, std::map<std::string, std::string>> fields = {
      {"spectrum", {{"fmin", "0"}, {"fmax", "1e9"}, {"df", "1e6"}, {"auto", "off"}}},
      {"impedance", {{"fmin", "0"}, {"fmax", "1e9"}, {"df", "1e6"}}},
      {"inverse-spectrum", {{"points", "256"}}}};
  bool inversePointsKnown = true;
};

// A number as typed ('.' separator); NaN when it is not one.
double number(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' ? v : std::nan("");
}

double timeUnit(const std::string& unit) {
  return unit == "us" ? 1e-6 : unit == "ms" ? 1e-3 : unit == "s" ? 1 : 1e-9;
}

// Longest X extent of any graph, in seconds for the given time unit.
double longestDuration(const GraphStore& store, double unitSeconds) {
  double longest = 0;
  for (std::size_t i = 0; i < store.count(); ++i) {
    const Graph& g = store.graph(i);
    if (!g.empty()) {
      longest = std::max(longest, (g.maxX() - g.minX()) * unitSeconds);
    }
  }
  return longest;
}

// Frequencies and resampled samples of a spectrum-like command stay small.
bool spectrumFits(std::map<std::string, std::string>& f, const BatchArgs& a,
                  const GraphStore& store) {
  for (const char* name : {"fmin", "fmax", "df", "auto", "time"}) {
    if (const auto v = a.get(name)) {
      f[name] = *v;
    }
  }
  const double duration = longestDuration(store, timeUnit(f["time"]));
  const double fmin = number(f["fmin"]), fmax = number(f["fmax"]);
  const double df = f["auto"] == "on" ? 0.5 / duration / 1.01 : number(f["df"]);
  const double frequencies = std::fabs((fmax - fmin) / df);
  const double samples = duration * std::fabs(fmax) * 2;
  // Not numbers at all: the command refuses them itself.
  return !(frequencies > kMaxSpectrumPoints) && !(samples > 1e5);
}

bool withinBudget(Budget& budget, const BatchArgs& a, const GraphStore& store) {
  const std::string& c = a.command;
  if (c == "open" || c == "save" || c == "save-session" || c == "open-session") {
    return false;  // no files
  }
  if (c == "clone") {
    const double points = number(a.get("points").value_or("0"));
    return std::fabs(points) <= static_cast<double>(kMaxGraphPoints);
  }
  if (c == "spectrum") {
    if (a.get("inverse") == "on") {
      budget.inversePointsKnown = false;  // the inverse dialog takes the spectrum's preset
    }
    return spectrumFits(budget.fields["spectrum"], a, store);
  }
  if (c == "impedance") {
    return spectrumFits(budget.fields["impedance"], a, store);
  }
  if (c == "inverse-spectrum") {
    if (const auto points = a.get("points")) {
      budget.fields[c]["points"] = *points;
      budget.inversePointsKnown = true;
    }
    const double points = number(budget.fields[c]["points"]);
    return budget.inversePointsKnown && !(std::fabs(points) > 2048);
  }
  return true;
}

std::size_t largestGraph(const GraphStore& store) {
  std::size_t largest = 0;
  for (std::size_t i = 0; i < store.count(); ++i) {
    largest = std::max(largest, store.graph(i).size());
  }
  return largest;
}

void addGraph(GraphStore& store, const char* title, std::size_t points, double scale) {
  const std::size_t i = store.appendGraph(title);
  for (std::size_t k = 0; k < points; ++k) {
    const double x = static_cast<double>(k) * 0.5;
    store.graph(i).addPoint(x, scale * std::exp(-(x - 20) * (x - 20) / 30) + 0.01 * std::sin(x));
  }
}

void checkStore(const GraphStore& store) {
  fuzz::require(store.sourceFiles().size() == store.count(), "one source entry per graph");
  fuzz::require(store.activeIndex() >= -1 && store.activeIndex() < static_cast<int>(store.count()),
                "the active index is a graph or none");
  for (std::size_t i = 0; i < store.count(); ++i) {
    fuzz::require(store.graph(i).xs().size() == store.graph(i).ys().size(),
                  "X and Y arrays differ in length");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const batch::BatchRegistry registry = batch::standardRegistry();
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<batch::ScriptLine> lines = batch::scriptLines(text);
  if (lines.size() > kMaxCommands) {
    lines.resize(kMaxCommands);
  }
  std::ostringstream out, err;
  batch::BatchSession session(out, err, '.');
  addGraph(session.store, "Напряжение", 80, 2.0);
  addGraph(session.store, "Ток", 64, 0.5);
  const DocumentState initial = session.store.state();
  batch::BatchRunner runner(session, registry, err);
  runner.setKeepGoing(true);
  Budget budget;
  for (const batch::ScriptLine& line : lines) {
    try {
      if (!withinBudget(budget, batch::parseCommand(line), session.store)) {
        continue;
      }
    } catch (const batch::UsageError&) {
      continue;
    }
    const int status = runner.run({line});
    fuzz::require(status == batch::kExitOk || status == batch::kExitCommandFailed ||
                      status == batch::kExitUsage,
                  "a run ends with one of its exit statuses");
    checkStore(session.store);
    if (largestGraph(session.store) > kMaxGraphPoints) {
      break;
    }
  }
  // Every command that changed the document is a step (saving is left out above), so
  // undoing them all gives the document back bit for bit.
  while (session.store.undo()) {
  }
  fuzz::require(session.store.state().sameAs(initial),
                "undoing every step gives the document back");
  return 0;
}
