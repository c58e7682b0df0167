#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(Export, UnwritableFileStopsBeforeTheStartAndAFailedStartIsAnError) {
  TempDir dir;
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  addGraph(store, "a", 1);
  addGraph(store, "b", 2);
  fs::create_directories(dir.path("export/~001"));  // a folder where the second file goes
  RecordingStarter starter;
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

}  // namespace
}  // namespace tarvik::io
