// The run of a script: exit statuses, messages, the answers the batch Ui gives.
#include <gtest/gtest.h>

#include <new>
#include <span>
#include <sstream>
#include <vector>

#include "batch/BatchRunner.h"
#include "core/Error.h"

namespace tarvik::batch {
namespace {

struct LevelOptions : DialogOptions {
  int level = 3;
  std::string_view dialogName() const override { return "TfmLevel"; }
};

// A registry of small commands that exercise each path of the Ui; what they saw is
// written to `seen`, one word per event.
class RunnerTest : public ::testing::Test {
 protected:
  RunnerTest() {
    add("add", {"title"}, [](BatchSession& s, const BatchArgs& a) {
      s.store.appendGraph(a.get("title").value_or("g"));
    });
    add("pick", {"graphs", "graph"}, [this](BatchSession& s, const BatchArgs&) {
      CommandContext ctx = s.context();
      const auto rows = pickRows(ctx, "Выбор");
      seen += rows ? "rows" : "none";
      for (std::size_t r : rows.value_or(std::vector<std::size_t>{})) {
        seen += " " + std::to_string(r);
      }
      seen += ";";
    });
    add("ask", {"value"}, [this](BatchSession& s, const BatchArgs&) {
      CommandContext ctx = s.context();
      const auto v = askNumber(ctx, "Число", [](const std::string& t) { return "'" + t + "'?"; });
      seen += v ? std::to_string(*v) + ";" : "cancel;";
    });
    add("fail", {}, [](BatchSession& s, const BatchArgs&) {
      s.ui.message(MessageKind::Error, "Плохо\nсовсем");
    });
    add("throw", {}, [](BatchSession&, const BatchArgs&) { throw IoError("Сбой записи"); });
    add("bug", {}, [](BatchSession&, const BatchArgs&) {
      throw std::invalid_argument("broken precondition");
    });
    add("info", {"value"}, [](BatchSession& s, const BatchArgs&) {
      s.ui.message(MessageKind::Info, "Нет выбранных графиков");
    });
    add("question", {"answer"}, [this](BatchSession& s, const BatchArgs&) {
      seen += s.ui.question("Переписать?") ? "yes;" : "no;";
    });
    add("level", {"level"}, [this](BatchSession& s, const BatchArgs& a) {
      LevelOptions& fields = s.dialog<LevelOptions>();
      if (a.has("level")) {
        fields.level = integerArg(a, "level");
      }
      LevelOptions o;
      o.level = -1;
      seen += s.ui.editOptions(o) ? std::to_string(o.level) + ";" : "cancel;";
    });
    add("files", {"FILE..."}, [this](BatchSession&, const BatchArgs& a) {
      seen += std::to_string(a.positional.size()) + ";";
    });
    // Appends two graphs and runs out of memory while making the second one's points.
    add("hog", {}, [](BatchSession& s, const BatchArgs&) {
      s.store.appendGraph("half");
      s.store.appendGraph("made");
      throw std::bad_alloc();
    });
    add("overgrow", {}, [](BatchSession&, const BatchArgs&) {
      std::vector<double> points;
      points.reserve(points.max_size() + 1);  // more than a vector can ever hold
    });
  }

  void add(std::string name, std::vector<std::string> args, BatchCommandFn fn) {
    registry.add({name, name, std::move(args), std::move(fn)});
  }

  int run(const std::string& script, char separator = '.', bool keepGoing = false) {
    session = std::make_unique<BatchSession>(out, err, separator);
    BatchRunner runner(*session, registry, err);
    runner.setKeepGoing(keepGoing);
    return runner.run(inlineLines(script));
  }

  // One scripted run: its exit status, what the commands saw, what went to standard error
  // (nullptr: any usage error on line 2) and how many graphs are left.
  struct Case {
    const char* script;
    int status;
    const char* seen;
    const char* err;
    std::size_t graphs;
  };
  void expectCases(std::span<const Case> cases, bool keepGoing) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.script);
      seen.clear();
      err.str("");
      EXPECT_EQ(run(c.script, '.', keepGoing), c.status);
      EXPECT_EQ(seen, c.seen);
      if (c.err != nullptr) {
        EXPECT_EQ(err.str(), c.err);
      } else {
        EXPECT_EQ(err.str().rfind("usage error: line 2: ", 0), 0u) << err.str();
      }
      EXPECT_EQ(session->store.count(), c.graphs);
    }
  }

  BatchRegistry registry;
  std::ostringstream out, err;
  std::unique_ptr<BatchSession> session;
  std::string seen;
};

TEST_F(RunnerTest, ExitStatusAndMessages) {
  const Case cases[] = {
      {"add; add; pick graphs=1", kExitOk, "rows 0;", "", 2},
      {"add; add; pick", kExitOk, "rows 1;", "", 2},
      {"add; add; add; pick graphs=all", kExitOk, "rows 0 1 2;", "", 3},
      {"add; pick graphs=2", kExitUsage, "",
       "usage error: line 2: there is no graph 2 (graphs: 1)\n", 1},
      {"add; pick graph=1,2", kExitUsage, "", nullptr, 1},
      {"add; nosuch", kExitUsage, "", "usage error: line 2: unknown command \"nosuch\"\n", 0},
      {"add; add bogus=1", kExitUsage, "", nullptr, 0},
      {"add; question answer=maybe", kExitUsage, "", nullptr, 0},
      {"add; add stray", kExitUsage, "", nullptr, 0},
      {"add; fail; add", kExitCommandFailed, "", "error: Плохо совсем\n", 1},
      {"throw; add", kExitCommandFailed, "", "error: Сбой записи\n", 0},
      {"bug", kExitCommandFailed, "", "error: broken precondition\n", 0},
      {"info; add", kExitOk, "", "info: Нет выбранных графиков\n", 1},
      {"ask value=2.5", kExitOk, "2.500000;", "", 0},
      {"ask", kExitOk, "0.000000;", "", 0},
      {"ask value=abc", kExitCommandFailed, "cancel;", "error: 'abc'?\n", 0},
      {"question; question answer=no; question answer=yes", kExitOk, "yes;no;yes;", "", 0},
      {"files a b \"c d\"", kExitOk, "3;", "", 0},
      {"", kExitOk, "", "", 0},
  };
  expectCases(cases, false);
}

TEST_F(RunnerTest, KeepGoingRunsOnAfterFailedCommands) {
  const Case cases[] = {
      {"add; fail; add; throw; add", kExitCommandFailed, "",
       "error: Плохо совсем\nerror: Сбой записи\n", 3},
      {"ask value=x; ask value=3; bug; info", kExitCommandFailed, "cancel;3.000000;",
       "error: 'x'?\nerror: broken precondition\ninfo: Нет выбранных графиков\n", 0},
      {"add; info; ask value=1", kExitOk, "1.000000;", "info: Нет выбранных графиков\n", 1},
      // Usage errors still end the run: before it starts, or when a graph is missing.
      {"fail; add; nosuch", kExitUsage, "", "usage error: line 3: unknown command \"nosuch\"\n", 0},
      {"add; fail; pick graphs=2; add", kExitUsage, "",
       "error: Плохо совсем\nusage error: line 3: there is no graph 2 (graphs: 1)\n", 1},
  };
  expectCases(cases, true);
}

TEST_F(RunnerTest, RunningOutOfMemoryEndsTheCommandWithTheDocumentAsItWas) {
  for (const char* failing : {"hog", "overgrow"}) {
    SCOPED_TRACE(failing);
    err.str("");
    const std::string script = std::string("add title=a; add title=b; ") + failing + "; add";
    EXPECT_EQ(run(script, '.', true), kExitCommandFailed);
    EXPECT_EQ(err.str(), "error: Недостаточно памяти\n");
    const GraphStore& store = session->store;
    ASSERT_EQ(store.count(), 3u);  // the two before and the one after; none of the failed
    EXPECT_EQ(store.graph(1).title, "b");
    EXPECT_EQ(store.graph(2).title, "g");
    EXPECT_EQ(store.sourceFiles().size(), 3u);
  }
}

TEST_F(RunnerTest, ValueLeftOutAnswersWithTheValueGivenLast) {
  // The value dialog opens with the number used last in the run, "0" at first; a value
  // given to a command that never asks is not typed.
  EXPECT_EQ(run("ask; ask value=2.5; ask; info value=7; ask; ask value=-1e3; ask"), kExitOk);
  EXPECT_EQ(seen, "0.000000;2.500000;2.500000;2.500000;-1000.000000;-1000.000000;");
  seen.clear();
  EXPECT_EQ(run("ask"), kExitOk);  // a new run starts from "0" again
  EXPECT_EQ(seen, "0.000000;");
  // A text that did not convert stays in the box, as in the window, and fails again.
  seen.clear();
  err.str("");
  EXPECT_EQ(run("ask value=abc; ask", '.', true), kExitCommandFailed);
  EXPECT_EQ(seen, "cancel;cancel;");
  EXPECT_EQ(err.str(), "error: 'abc'?\nerror: 'abc'?\n");
}

TEST_F(RunnerTest, TypedNumbersUseTheGivenSeparator) {
  EXPECT_EQ(run("ask value=2,5", ','), kExitOk);
  EXPECT_EQ(seen, "2.500000;");
}

TEST_F(RunnerTest, NoSelectionWithoutActiveGraphShowsTheNoticeAndSucceeds) {
  // The store's own "no graph selected" notice is an information box, not a failure.
  EXPECT_EQ(run("add; pick"), kExitOk);
  session->store.setActiveIndex(-1);
  err.str("");
  seen.clear();
  BatchRunner runner(*session, registry, err);
  EXPECT_EQ(runner.run(inlineLines("pick")), kExitOk);
  EXPECT_EQ(seen, "none;");
  EXPECT_EQ(err.str(), "info: Нет выбранных графиков\n");
}

TEST_F(RunnerTest, DialogFieldsStartAtDefaultAndPersistWithinTheRun) {
  EXPECT_EQ(run("level; level level=7; level; level level=1"), kExitOk);
  EXPECT_EQ(seen, "3;7;7;1;");
  seen.clear();
  EXPECT_EQ(run("level"), kExitOk);  // a new run starts from the default again
  EXPECT_EQ(seen, "3;");
}

TEST(BatchUiTest, OptionsOfAnUnknownDialogAreCancelled) {
  std::ostringstream err;
  BatchUi ui(err, '.');
  LevelOptions o;
  EXPECT_FALSE(ui.editOptions(o));
  EXPECT_EQ(o.level, 3);
}

TEST(BatchUiTest, SaveDialogAnswersOncePerCommand) {
  std::ostringstream err;
  BatchUi ui(err, '.');
  ui.prepare(std::nullopt, std::nullopt, true);
  ui.setSaveFile("/tmp/a.grf");
  EXPECT_EQ(ui.askSaveFile({}), "/tmp/a.grf");
  EXPECT_EQ(ui.askSaveFile({}), std::nullopt);  // shown again after "No": cancelled
  ui.setOpenFiles({"a", "b"});
  EXPECT_EQ(ui.askOpenFiles({}), (std::vector<std::string>{"a", "b"}));
  ui.prepare(std::nullopt, std::nullopt, true);
  EXPECT_EQ(ui.askOpenFiles({}), std::nullopt);
}

// A front-end with its own stop key (the Python module) asks before each command whether
// to go on; the default answer holds for questions of commands without answer=.
TEST_F(RunnerTest, StopBeforeNextEndsTheRunAfterTheRunningCommand) {
  session = std::make_unique<BatchSession>(out, err, '.');
  BatchRunner runner(*session, registry, err);
  int asked = 0;
  runner.setStopBeforeNext([&asked] { return ++asked == 2; });
  EXPECT_EQ(runner.run(inlineLines("add; add; add; add")), kExitOk);
  EXPECT_EQ(asked, 2);  // never before the first command
  EXPECT_EQ(session->store.count(), 2u);
}

TEST_F(RunnerTest, DefaultAnswerHoldsWhereACommandGivesNone) {
  session = std::make_unique<BatchSession>(out, err, '.');
  BatchRunner runner(*session, registry, err);
  runner.setDefaultAnswer(false);
  EXPECT_EQ(runner.run(inlineLines("question; question answer=yes; question")), kExitOk);
  EXPECT_EQ(seen, "no;yes;no;");
}

TEST_F(RunnerTest, BuiltCommandsAreCheckedFirstAndNamedByTheirLine) {
  session = std::make_unique<BatchSession>(out, err, '.');
  BatchRunner runner(*session, registry, err);
  BatchArgs files;
  files.command = "files";
  files.positional = {"a b.grf", "x=\"y\";z"};  // no script could quote these
  BatchArgs unknown;
  unknown.command = "no-such";
  unknown.line = 7;
  EXPECT_EQ(runner.run(std::vector<BatchArgs>{files, unknown}), kExitUsage);
  EXPECT_EQ(seen, "");
  EXPECT_EQ(err.str(), "usage error: line 7: unknown command \"no-such\"\n");
  EXPECT_EQ(runner.run(std::vector<BatchArgs>{files}), kExitOk);
  EXPECT_EQ(seen, "2;");
}

TEST(BatchUiTest, PendingEventsRunAtEachProgressReport) {
  std::ostringstream err;
  BatchUi ui(err, '.');
  int ran = 0;
  ui.pendingEvents = [&ran] { ++ran; };
  ui.progress("10%");
  ui.progress("20%");
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(err.str(), "");
}

TEST(BatchUiTest, ProgressStaysOffTheStreamUnlessItIsATerminal) {
  std::ostringstream err;
  BatchUi ui(err, '.');
  ui.progress("50%");
  EXPECT_EQ(err.str(), "");
  ui.progressToTerminal = true;
  ui.progress("60%");
  ui.message(MessageKind::Info, "готово");
  EXPECT_EQ(err.str(), "\r60%\x1b[K\ninfo: готово\n");
}

}  // namespace
}  // namespace tarvik::batch
