// The run of a script: exit statuses, messages, the answers the batch Ui gives.
#include <gtest/gtest.h>

#include <sstream>

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
    add("info", {}, [](BatchSession& s, const BatchArgs&) {
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
  }

  void add(std::string name, std::vector<std::string> args, BatchCommandFn fn) {
    registry.add({name, name, std::move(args), std::move(fn)});
  }

  int run(const std::string& script, char separator = '.') {
    session = std::make_unique<BatchSession>(out, err, separator);
    BatchRunner runner(*session, registry, err);
    return runner.run(inlineLines(script));
  }

  BatchRegistry registry;
  std::ostringstream out, err;
  std::unique_ptr<BatchSession> session;
  std::string seen;
};

TEST_F(RunnerTest, ExitStatusAndMessages) {
  struct Case {
    const char* script;
    int status;
    const char* seen;
    const char* err;
    std::size_t graphs;
  };
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
      {"ask", kExitOk, "cancel;", "", 0},
      {"ask value=abc", kExitCommandFailed, "cancel;", "error: 'abc'?\n", 0},
      {"question; question answer=no; question answer=yes", kExitOk, "yes;no;yes;", "", 0},
      {"files a b \"c d\"", kExitOk, "3;", "", 0},
      {"", kExitOk, "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    seen.clear();
    err.str("");
    EXPECT_EQ(run(c.script), c.status);
    EXPECT_EQ(seen, c.seen);
    if (c.err != nullptr) {
      EXPECT_EQ(err.str(), c.err);
    } else {
      EXPECT_EQ(err.str().rfind("usage error: line 2: ", 0), 0u) << err.str();
    }
    EXPECT_EQ(session->store.count(), c.graphs);
  }
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
