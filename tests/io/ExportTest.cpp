#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "core/Error.h"
#include "io/Export.h"
#include "io/GraphWriter.h"
#include "io/TempDir.h"
#include "support/ScriptedUi.h"

namespace tarvik::io {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedUi;
using testing::TempDir;

// Records the start instead of making it; answers with `succeed`.
class RecordingStarter : public ProgramStarter {
 public:
  bool startDetached(const std::string& path, const std::vector<std::string>& words,
                     const std::string& folder) override {
    ++starts;
    program = path;
    arguments = words;
    workingFolder = folder;
    return succeed;
  }
  bool succeed = true;
  int starts = 0;
  std::string program;
  std::vector<std::string> arguments;
  std::string workingFolder;
};

void addGraph(GraphStore& store, const std::string& title, double y) {
  Graph& g = store.graph(store.appendGraph(title));
  g.appendPoint(0, y);
  g.appendPoint(1, y + 0.5);
}

std::string makeExecutable(const TempDir& dir, const std::string& name, const std::string& text) {
  const std::string path = dir.write(name, text);
  ::chmod(path.c_str(), 0700);
  return path;
}

// Waits up to ten seconds for a started program to leave its file complete (its last line
// ends with "end").
std::string waitForFile(const std::string& path) {
  for (int i = 0; i < 1000; ++i) {
    const std::string text = TempDir::read(path);
    if (text.find("end\n") != std::string::npos) {
      return text;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return TempDir::read(path);
}

TEST(Export, WritesOneFilePerGraphAndStartsTheProgramWithTheirNames) {
  TempDir dir;
  GraphStore store;
  ScriptedUi ui;
  ui.separator = ',';
  CommandContext ctx{store, ui};
  for (int i = 0; i < 11; ++i) {
    addGraph(store, "g" + std::to_string(i), i);
  }
  const std::string program = makeExecutable(dir, "Ruzna", "#!/bin/sh\n");
  RecordingStarter starter;
  const ExportSetup setup{std::nullopt, dir.folder().string(), dir.path("out/export")};
  exportCommand(ctx, setup, starter);

  ASSERT_EQ(starter.starts, 1);
  EXPECT_EQ(starter.program, program);
  EXPECT_EQ(starter.workingFolder, setup.exportFolder);
  ASSERT_EQ(starter.arguments.size(), 11u);
  EXPECT_EQ(starter.arguments[0], "~000");
  EXPECT_EQ(starter.arguments[2], "~002");
  EXPECT_EQ(starter.arguments[10], "~0010");
  for (std::size_t i = 0; i < store.count(); ++i) {
    EXPECT_EQ(TempDir::read(setup.exportFolder + "/" + starter.arguments[i]),
              graphFileBytes(store.graph(i), chartTexts(store), ','))
        << i;
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST(Export, LooksForRuznaThenRuznaExeBesideTheExecutable) {
  TempDir dir;
  const ProgramLookup none = findSiblingProgram(dir.folder().string());
  EXPECT_FALSE(none.found);
  EXPECT_EQ(none.tried, dir.path("Ruzna"));
  fs::create_directory(dir.path("Ruzna"));  // a folder of that name is no program
  EXPECT_FALSE(findSiblingProgram(dir.folder().string()).found);
  const std::string exe = dir.write("Ruzna.exe", "");
  EXPECT_EQ(findSiblingProgram(dir.folder().string()).found, exe);
  fs::remove(dir.path("Ruzna"));
  const std::string plain = dir.write("Ruzna", "");
  EXPECT_EQ(findSiblingProgram(dir.folder().string() + "/").found, plain);
}

TEST(Export, MissingProgramIsNamedAndNothingIsWritten) {
  TempDir dir;
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  addGraph(store, "a", 1);
  RecordingStarter starter;
  exportCommand(ctx, {std::nullopt, dir.folder().string(), dir.path("export")}, starter);
  EXPECT_EQ(ui.errors(), std::vector<std::string>{"Файл " + dir.path("Ruzna") + "\nне найден !!!"});
  EXPECT_EQ(starter.starts, 0);
  EXPECT_FALSE(fs::exists(dir.path("export")));
}

// A named program that is not there (or is a folder) is reported as the sibling program
// is, before a file or folder is written.
TEST(Export, NamedProgramThatIsNotThereIsReportedBeforeAnythingIsWritten) {
  TempDir dir;
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  addGraph(store, "a", 1);
  fs::create_directory(dir.path("tools"));
  for (const std::string& program : {dir.path("no-such-program"), dir.path("tools")}) {
    RecordingStarter starter;
    ui.messages.clear();
    exportCommand(ctx, {program, "", dir.path("export")}, starter);
    EXPECT_EQ(ui.errors(), std::vector<std::string>{"Файл " + program + "\nне найден !!!"});
    EXPECT_EQ(starter.starts, 0);
    EXPECT_FALSE(fs::exists(dir.path("export")));
  }
}

TEST(Export, UnwritableFileStopsBeforeTheStartAndAFailedStartIsAnError) {
  TempDir dir;
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  addGraph(store, "a", 1);
  addGraph(store, "b", 2);
  fs::create_directories(dir.path("export/~001"));  // a folder where the second file goes
  RecordingStarter starter;
  makeExecutable(dir, "prog", "#!/bin/sh\n");
  const ExportSetup setup{dir.path("prog"), "", dir.path("export")};
  EXPECT_THROW(exportCommand(ctx, setup, starter), IoError);
  EXPECT_EQ(starter.starts, 0);
  EXPECT_TRUE(fs::is_regular_file(dir.path("export/~000")));

  fs::remove(dir.path("export/~001"));
  starter.succeed = false;
  try {
    exportCommand(ctx, setup, starter);
    ADD_FAILURE() << "a failed start must be an error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Ошибка при запуске " + dir.path("prog"));
  }
  EXPECT_TRUE(fs::is_regular_file(dir.path("export/~001")));  // the files stay
}

// A starter whose system allows `limit` bytes of arguments and environment.
class LimitedStarter : public RecordingStarter {
 public:
  explicit LimitedStarter(std::size_t bytes) : limit(bytes) {}
  std::size_t argumentListLimit() const override { return limit; }
  std::size_t limit;
};

TEST(Export, ArgumentListTooLongForTheSystemIsRefusedBeforeAnyFileIsWritten) {
  TempDir dir;
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  for (int i = 0; i < 20; ++i) {
    addGraph(store, "g", i);
  }
  const std::string program = makeExecutable(dir, "prog", "#!/bin/sh\n");
  std::vector<std::string> argv{program};
  for (std::size_t i = 0; i < store.count(); ++i) {
    argv.push_back(exportFileName(i));
  }
  const std::size_t needed = argumentListBytes(argv, environ);
  const ExportSetup setup{program, "", dir.path("data/export")};

  LimitedStarter tooSmall(needed - 1);
  try {
    exportCommand(ctx, setup, tooSmall);
    ADD_FAILURE() << "a list over the limit must be refused";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), argumentListTooLongText(program, needed, needed - 1));
    EXPECT_NE(std::string(e.what()).find(" " + std::to_string(needed - 1) + " байт"),
              std::string::npos);
  }
  EXPECT_EQ(tooSmall.starts, 0);
  EXPECT_FALSE(fs::exists(dir.path("data"))) << "nothing is written, not even the folder";

  LimitedStarter exact(needed);
  exportCommand(ctx, setup, exact);
  EXPECT_EQ(exact.starts, 1);
  EXPECT_EQ(exact.arguments.size(), 20u);
  EXPECT_TRUE(fs::is_regular_file(dir.path("data/export/~0019")));
}

TEST(Export, ArgumentBytesAreCountedAsTheSystemCountsThem) {
  const char* const environment[] = {"A=1", "BB=22", nullptr};
  // "/p/R" twice (5 + 5), "~000" (5), two environment strings (4 + 6), four pointers.
  EXPECT_EQ(argumentListBytes({"/p/R", "~000"}, environment), 25u + 4 * sizeof(char*));
  EXPECT_EQ(argumentListBytes({"/p/R"}, nullptr), 10u + sizeof(char*));
  EXPECT_LE(systemArgumentListLimit(), std::size_t{6} << 20);
  EXPECT_GE(systemArgumentListLimit(), std::size_t{128} << 10);

  // The kernel itself: under a 1 MiB stack limit the system allows a quarter of it, and a
  // list of exactly that many bytes starts while one byte more does not. The list is made
  // before the fork; the child only lowers its limit and starts it.
  constexpr std::size_t kLimit = std::size_t{256} << 10;
  const auto startsWith = [](std::size_t beyond) {
    // Words of 1000 bytes: one word may not be longer than 32 pages.
    const std::size_t target = kLimit + beyond;
    const std::string pad(1000, 'a');
    const std::size_t padBytes = pad.size() + 1 + sizeof(char*);
    std::vector<std::string> argv{"/bin/true"};
    while (argumentListBytes(argv, environ) + 2 * padBytes <= target) {
      argv.push_back(pad);
    }
    const std::size_t rest = target - argumentListBytes(argv, environ);
    argv.push_back(std::string(rest - 1 - sizeof(char*), 'b'));
    std::vector<char*> words;
    for (std::string& w : argv) {
      words.push_back(w.data());
    }
    words.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
      struct rlimit stack {};
      ::getrlimit(RLIMIT_STACK, &stack);
      stack.rlim_cur = std::size_t{1} << 20;
      if (::setrlimit(RLIMIT_STACK, &stack) != 0 || systemArgumentListLimit() != kLimit) {
        ::_exit(3);
      }
      ::execve("/bin/true", words.data(), environ);
      ::_exit(errno == E2BIG ? 4 : 5);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(startsWith(0), 0);
  EXPECT_EQ(startsWith(1), 4);
}

TEST(Export, RealStartPassesArgumentsWordForWordInTheExportFolder) {
  TempDir dir;
  // A program path with a blank and a quote: a command string would split or misread it.
  fs::create_directories(dir.path("my tools"));
  const std::string report = dir.path("report.txt");
  const std::string program =
      makeExecutable(dir, "my tools/it's prog",
                     "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; echo end; } > '" +
                         report + "'\n");
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  addGraph(store, "a", 1);
  addGraph(store, "b b", 2);
  addGraph(store, "c", 3);
  DetachedStarter starter;
  const std::string folder = dir.path("data/export");
  exportCommand(ctx, {program, "", folder}, starter);
  EXPECT_EQ(waitForFile(report),
            fs::canonical(folder).string() + "\n[~000]\n[~001]\n[~002]\nend\n");
}

TEST(Export, RealStartReportsWhatCannotStart) {
  TempDir dir;
  DetachedStarter starter;
  EXPECT_FALSE(starter.startDetached(dir.path("missing"), {}, dir.folder().string()));
  const std::string plain = dir.write("not-executable", "#!/bin/sh\n");
  EXPECT_FALSE(starter.startDetached(plain, {}, dir.folder().string()));
  EXPECT_FALSE(starter.startDetached("/bin/true", {}, dir.path("no-such-folder")));
  EXPECT_TRUE(starter.startDetached("/bin/true", {}, dir.folder().string()));
}

TEST(RenameToLegends, YesGivesEveryEntryItsTitleWithGrfAndKeepsSlashesAndColons) {
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  addGraph(store, "U/I: канал 1", 1);  // Append graph drops "/" and ":" from the entry
  addGraph(store, "", 2);
  ASSERT_EQ(store.sourceFile(0), "UI канал 1");

  ui.answers = {false};
  EXPECT_FALSE(renameToLegendsCommand(ctx));
  EXPECT_EQ(store.sourceFile(0), "UI канал 1");

  ui.answers = {true};
  EXPECT_TRUE(renameToLegendsCommand(ctx));
  EXPECT_EQ(store.sourceFiles(), (std::vector<std::string>{"U/I: канал 1.grf", ".grf"}));
  EXPECT_EQ(ui.questions, (std::vector<std::string>(2, "Заменить все имена файлов на легенды")));
}

// A document put back with fewer entries than graphs (an older session, an undo across a
// repair): every graph still gets its entry, none is written past the list's end.
TEST(RenameToLegends, AfterAStateWithFewerEntriesThanGraphsEveryGraphGetsOne) {
  GraphStore store;
  DocumentState state;
  for (const char* title : {"a", "b", "c"}) {
    Graph g;
    g.title = title;
    state.graphs.push_back(g);
  }
  state.sourceFiles = {"first.srg"};
  state.active = 0;
  store.restore(state);
  ASSERT_FALSE(store.entriesConsistent());
  ScriptedUi ui;
  ui.answers = {true};
  CommandContext ctx{store, ui};
  EXPECT_TRUE(renameToLegendsCommand(ctx));
  EXPECT_EQ(store.sourceFiles(), (std::vector<std::string>{"a.grf", "b.grf", "c.grf"}));
}

}  // namespace
}  // namespace tarvik::io
