// The session commands without a window: the save dialog's name, the question before an
// existing file is replaced, the question before open graphs are replaced, and a file that
// cannot be read leaving the document alone. The window and the batch runner only wire
// them to their dialogs and views.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Error.h"
#include "io/SessionCommands.h"
#include "io/TempDir.h"
#include "support/ScriptedUi.h"

namespace tarvik {
namespace {

using testing::ScriptedUi;
using testing::TempDir;

void fillStore(GraphStore& store, double shift) {
  for (const char* title : {"Канал 1", "Канал 2"}) {
    const std::size_t i = store.appendGraph(title);
    store.graph(i).setPoints({0, 1, 2}, {shift, shift + 1, shift + double(i)});
  }
}

SessionView someView() {
  SessionView view;
  view.bottom = SessionAxis{false, -5, 7, false};
  view.left = SessionAxis{true, 0, 3, true};
  return view;
}

TEST(SessionCommands, SaveNamesTheFileAndAsksBeforeReplacingOne) {
  struct Case {
    const char* name;
    SessionFileName naming;
    bool fileThere;
    std::vector<bool> answers;  // to the overwrite question, in order
    const char* written;        // "" when nothing is written
    std::size_t dialogs;
  };
  const Case cases[] = {
      {"опыт", SessionFileName::WithSessionExtension, false, {}, "опыт.h5", 1},
      {"опыт.dat", SessionFileName::WithSessionExtension, false, {}, "опыт.dat.h5", 1},
      {"опыт.H5", SessionFileName::WithSessionExtension, false, {}, "опыт.H5", 1},
      {"опыт.dat", SessionFileName::AsGiven, false, {}, "опыт.dat", 1},
      // An existing file: Yes replaces it, No opens the dialog again (cancelled here).
      {"старый.h5", SessionFileName::WithSessionExtension, true, {true}, "старый.h5", 1},
      {"старый.h5", SessionFileName::WithSessionExtension, true, {false}, "", 2},
      {"старый", SessionFileName::AsGiven, true, {false}, "", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string typed = dir.path(c.name);
    if (c.fileThere) {
      dir.write(c.name, "old bytes");
    }
    GraphStore store;
    fillStore(store, 1);
    ScriptedUi ui;
    ui.saveFiles = {typed};
    ui.answers.assign(c.answers.begin(), c.answers.end());
    CommandContext ctx{store, ui};

    const bool saved = saveSessionCommand(ctx, someView(), c.naming);

    EXPECT_EQ(saved, std::string(c.written) != "");
    EXPECT_EQ(ui.fileRequests.size(), c.dialogs);
    ASSERT_FALSE(ui.fileRequests.empty());
    EXPECT_EQ(ui.fileRequests[0].title, "Сохранение сеанса");
    EXPECT_EQ(ui.fileRequests[0].filters, std::vector<std::string>{"Сеанс (*.h5)"});
    EXPECT_EQ(ui.fileRequests[0].defaultExtension, "h5");
    if (c.fileThere) {
      EXPECT_EQ(ui.questions,
                std::vector<std::string>{"Файл " + typed + " уже есть. Переписать?"});
    } else {
      EXPECT_TRUE(ui.questions.empty());
    }
    if (saved) {
      EXPECT_EQ(ui.rememberedFolders, std::vector<std::string>{dir.folder().string()});
      const Session back = readSession(dir.path(c.written));
      EXPECT_TRUE(back.document.sameAs(store.state()));
      EXPECT_EQ(back.view.bottom.upper, 7);
      EXPECT_TRUE(back.view.left.logarithmic);
    } else {
      EXPECT_EQ(TempDir::read(typed), "old bytes");
      EXPECT_TRUE(ui.rememberedFolders.empty());
    }
  }
}

TEST(SessionCommands, OpenAsksBeforeGraphsAreReplaced) {
  TempDir dir;
  GraphStore saved;
  fillStore(saved, 10);
  const std::string file = dir.path("s.h5");
  writeSession(file, saved.state(), someView());

  struct Case {
    const char* what;
    bool graphsOpen;
    std::vector<bool> answers;
    bool replaced;
    std::size_t questions;
  };
  const Case cases[] = {
      {"no graphs: no question", false, {}, true, 0},
      {"graphs, Yes", true, {true}, true, 1},
      {"graphs, No: no dialog either", true, {false}, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GraphStore store;
    if (c.graphsOpen) {
      fillStore(store, 1);
    }
    const DocumentState before = store.state();
    ScriptedUi ui;
    ui.openFiles = {std::vector<std::string>{file}};
    ui.answers.assign(c.answers.begin(), c.answers.end());
    CommandContext ctx{store, ui};

    const std::optional<SessionView> view = openSessionCommand(ctx);

    EXPECT_EQ(ui.questions.size(), c.questions);
    if (c.questions != 0) {
      EXPECT_EQ(ui.questions[0], kSessionReplaceQuestion);
    }
    EXPECT_EQ(view.has_value(), c.replaced);
    if (c.replaced) {
      ASSERT_EQ(ui.fileRequests.size(), 1u);
      EXPECT_EQ(ui.fileRequests[0].title, "Открытие сеанса");
      EXPECT_TRUE(store.state().sameAs(saved.state()));
      EXPECT_FALSE(view->bottom.automatic);
      EXPECT_EQ(view->bottom.lower, -5);
      EXPECT_EQ(ui.rememberedFolders, std::vector<std::string>{dir.folder().string()});
    } else {
      EXPECT_TRUE(ui.fileRequests.empty());
      EXPECT_TRUE(store.state().sameAs(before));
    }
  }
}

TEST(SessionCommands, OpenCancelledOrUnreadableChangesNothing) {
  TempDir dir;
  const std::string text = dir.write("text.h5", "0 1\n1 2\n");
  GraphStore store;
  fillStore(store, 1);
  const DocumentState before = store.state();

  ScriptedUi cancelled;
  cancelled.answers = {true};
  CommandContext cancelledCtx{store, cancelled};
  EXPECT_FALSE(openSessionCommand(cancelledCtx));
  EXPECT_EQ(cancelled.fileRequests.size(), 1u);

  ScriptedUi unreadable;
  unreadable.answers = {true};
  unreadable.openFiles = {std::vector<std::string>{text}};
  CommandContext unreadableCtx{store, unreadable};
  EXPECT_THROW(openSessionCommand(unreadableCtx), Error);
  EXPECT_TRUE(store.state().sameAs(before));
  EXPECT_TRUE(unreadable.rememberedFolders.empty());
}

}  // namespace
}  // namespace tarvik
