#include <gtest/gtest.h>

#include "core/Error.h"
#include "core/TextCodec.h"
#include "io/FileCommands.h"
#include "io/TempDir.h"
#include "support/ScriptedUi.h"

namespace tarvik {
namespace {

using testing::ScriptedUi;
using testing::TempDir;

struct RecordingChart : ChartPort {
  int indicator = 0, menus = 0, legend = 0;
  bool legendChecked = true;
  void refreshIndicator() override { ++indicator; }
  void refreshMenus() override { ++menus; }
  void legendRelayout() override { ++legend; }
  bool legendMenuChecked() const override { return legendChecked; }
};

class FileCommands : public ::testing::Test {
 protected:
  FileCommands() { store.setChartPort(&chart); }
  GraphStore store;
  RecordingChart chart;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  TempDir dir;
};

TEST_F(FileCommands, OpenDialogThenEveryFileInOrder) {
  const std::string a = dir.write("a.grf", "0 1 first\r\n1 2 t\r\n2 3 U\r\n3 4 A\r\n");
  const std::string b = dir.write("b.sig", "5 6\r\n");
  chart.legendChecked = false;
  ui.openFiles.push_back(std::vector<std::string>{a, b});
  openCommand(ctx);
  ASSERT_EQ(ui.fileRequests.size(), 1u);
  EXPECT_EQ(ui.fileRequests[0].filters,
            (std::vector<std::string>{"*.grf;*.sig;*.srg;*.csv;*.gpj", "Все файлы(*.*)",
                                      "Файлы графиков(*.grf;*.sig;*.srg)", "Тектроникс(*.csv)",
                                      "Проект(*.gpj)",
                                      "Осциллограммы (*.wfm *.bin *.trc *.000 *.isf *.csv)"}));
  EXPECT_EQ(ui.rememberedFolders, (std::vector<std::string>{dir.folder().string()}));
  ASSERT_EQ(store.count(), 2u);
  EXPECT_EQ(store.graph(0).title, "first");
  EXPECT_EQ(store.graph(1).title, "");  // record 1 without text empties the title
  EXPECT_EQ(store.sourceFile(0), "a.grf");
  EXPECT_EQ(store.sourceFile(1), "b.sig");
  EXPECT_EQ(store.activeIndex(), 1);
  EXPECT_EQ(store.footLines, (std::vector<std::string>{"", "A"}));
  EXPECT_FALSE(store.graph(0).showInLegend);
  EXPECT_FALSE(store.graph(1).showInLegend);
  EXPECT_GT(chart.indicator, 0);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FileCommands, SecondOfThreeFilesBadStopsTheOpen) {
  const std::string a = dir.write("a.grf", "0 1\r\n1 2\r\n");
  const std::string b = dir.write("b.grf", "0 1\r\n1 oops\r\n2 3\r\n");
  const std::string c = dir.write("c.grf", "7 8\r\n");
  EXPECT_FALSE(openFiles(ctx, {a, b, c}));
  EXPECT_EQ(ui.errors(), (std::vector<std::string>{"Invalid numeric input"}));
  ASSERT_EQ(store.count(), 2u);
  EXPECT_EQ(store.graph(0).size(), 2u);
  EXPECT_EQ(store.graph(1).size(), 1u);
  // The graphs read so far are shown all the same.
  EXPECT_EQ(store.activeIndex(), 1);
  EXPECT_GT(chart.indicator, 0);
  EXPECT_GT(chart.menus, 0);
}

TEST_F(FileCommands, FileThatCannotBeOpenedIsNamedAndTheNextIsRead) {
  const std::string missing = dir.path("missing.grf");
  const std::string c = dir.write("c.grf", "7 8\r\n");
  // A folder and an endless device are not graph files either.
  EXPECT_FALSE(openFiles(ctx, {missing, dir.folder().string(), "/dev/zero", c}));
  EXPECT_EQ(ui.errors(),
            (std::vector<std::string>{"Невозможно открыть файл:" + missing,
                                      "Невозможно открыть файл:" + dir.folder().string(),
                                      "Невозможно открыть файл:/dev/zero"}));
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.sourceFile(0), "c.grf");
}

TEST_F(FileCommands, ProjectFilesAreIgnoredOnlyInLowerCase) {
  const std::string lower = dir.write("x.gpj", "1 2\r\n");
  const std::string upper = dir.write("y.GPJ", "1 2\r\n");
  EXPECT_TRUE(readGraphFile(ctx, lower));
  EXPECT_EQ(store.count(), 0u);
  EXPECT_TRUE(readGraphFile(ctx, upper));
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.sourceFile(0), "y.GPJ");
}

TEST_F(FileCommands, CsvGraphsAreNamedGrfUntilASourceRow) {
  const std::string osc = dir.write(
      "a.CSV", "Record Length,2,,0,1,,Record Length,2,,0,1,\r\n,,,1e-9,2,,Source,CH2,,1e-9,3,\r\n");
  const std::string plain = dir.write("p.csv", "0,1.5\r\n1e-9,2.5\r\n");
  ui.separator = ',';
  EXPECT_TRUE(openFiles(ctx, {osc, plain}));
  ASSERT_EQ(store.count(), 3u);
  EXPECT_EQ(store.graph(0).title, "a.grf");
  EXPECT_EQ(store.graph(1).title, "CH2");
  EXPECT_EQ(store.graph(2).title, "p.grf");
  EXPECT_EQ(store.sourceFiles(), (std::vector<std::string>{"a.grf", "a.grf", "p.grf"}));
  EXPECT_EQ(store.graph(2).ys()[1], 2.5);
  EXPECT_EQ(store.yAxisTitle, "U, В");
  EXPECT_EQ(store.bottomAxisTitle, "t, нс");
}

TEST_F(FileCommands, FewerThanThreeRecordsKeepTheOtherChartTexts) {
  store.yAxisTitle = "kept";
  const std::string path = dir.write("two.srg", "1 2 title\r\n2 3 bottom\r\n");
  EXPECT_TRUE(readGraphFile(ctx, path));
  EXPECT_EQ(store.yAxisTitle, "kept");
  EXPECT_EQ(store.bottomAxisTitle, "bottom");
}

TEST_F(FileCommands, GeneratedGraphGetsAnUnnamedEntry) {
  store.footLines = {"", "old"};
  const std::string path =
      dir.write("Streem.txt", " 1.0E+0000  2.0E+0000 " + utf8ToCp1251("Импульс") +
                                  "\r\n 2 3 t\r\n 3 4 U\r\n 4 5 foot\r\n");
  EXPECT_TRUE(appendGeneratedGraph(ctx, path));
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.graph(0).title, "Импульс");
  EXPECT_EQ(store.sourceFile(0), "Без имени-1");
  EXPECT_EQ(store.unnamedCounter(), 2);
  EXPECT_EQ(store.footLines, (std::vector<std::string>{"foot"}));
  EXPECT_EQ(store.activeIndex(), 0);

  const std::string bad = dir.write("Bad.txt", "1 2\r\n3 z\r\n");
  EXPECT_FALSE(appendGeneratedGraph(ctx, bad));
  EXPECT_EQ(store.count(), 1u);
  EXPECT_EQ(store.unnamedCounter(), 2);
  EXPECT_EQ(ui.errors().back(), "Ошибка z в строке 2 в файле Bad.txt");
  EXPECT_FALSE(appendGeneratedGraph(ctx, dir.path("none.txt")));
  EXPECT_EQ(ui.errors().back(), "Невозможно открыть файл:none.txt");
}

class SaveCommand : public FileCommands {
 protected:
  SaveCommand() {
    store.appendGraph("g1");
    store.graph(0).appendPoint(1, 2);
    store.appendGraph("g2");
    store.graph(1).appendPoint(3, 4);
  }
};

TEST_F(SaveCommand, NoToTheOverwriteQuestionAsksAgainForTheSameGraph) {
  const std::string existing = dir.write("old.srg", "keep");
  const std::string fresh = dir.path("new.srg");
  ui.selections.push_back(std::vector<int>{0});
  ui.saveFiles = {existing, existing, fresh};
  ui.answers = {false, true};
  saveCommand(ctx);
  EXPECT_EQ(ui.choiceRequests.at(0).caption, "Сохранить график");
  EXPECT_EQ(ui.questions,
            (std::vector<std::string>{"Файл " + existing + " уже есть. Переписать?",
                                      "Файл " + existing + " уже есть. Переписать?"}));
  ASSERT_EQ(ui.fileRequests.size(), 2u);  // the third answer was never asked for
  for (const FileDialogRequest& r : ui.fileRequests) {
    EXPECT_EQ(r.title, "Сохранение графика");
    EXPECT_EQ(r.filters, (std::vector<std::string>{"*.srg;*.grf", "*.*"}));
    EXPECT_EQ(r.defaultExtension, "srg");
    EXPECT_EQ(r.proposedName, "g1");
  }
  EXPECT_EQ(TempDir::read(existing), "1 2 g1\r\n");
  EXPECT_EQ(store.sourceFile(0), existing);
  EXPECT_EQ(ui.rememberedFolders, (std::vector<std::string>{dir.folder().string()}));
}

TEST_F(SaveCommand, CancelOfTheFirstOfTwoSavesOnlyTheSecond) {
  const std::string second = dir.path("second.grf");
  ui.selections.push_back(std::vector<int>{0, 1});
  ui.saveFiles = {std::nullopt, second};
  saveCommand(ctx);
  EXPECT_EQ(store.sourceFile(0), "g1");
  EXPECT_EQ(store.sourceFile(1), second);
  EXPECT_EQ(TempDir::read(second), "3 4 g2\r\n");
  EXPECT_EQ(ui.fileRequests.at(1).proposedName, "g2");
}

TEST_F(SaveCommand, FailedWriteStopsAndChangesNothing) {
  const std::string bad = dir.path("missing/x.srg");
  ui.selections.push_back(std::vector<int>{0, 1});
  ui.saveFiles = {bad, dir.path("never.srg")};
  EXPECT_THROW(saveCommand(ctx), IoError);
  EXPECT_EQ(store.sourceFile(0), "g1");
  EXPECT_TRUE(ui.rememberedFolders.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path("never.srg")));
}

TEST_F(SaveCommand, ProjectDialogWritesNothing) {
  const std::string project = dir.path("p.gpj");
  ui.saveFiles = {project};
  saveProjectCommand(ctx);
  ASSERT_EQ(ui.fileRequests.size(), 1u);
  EXPECT_EQ(ui.fileRequests[0].title, "Сохранение проекта");
  EXPECT_EQ(ui.fileRequests[0].defaultExtension, "gpj");
  EXPECT_FALSE(std::filesystem::exists(project));
}

}  // namespace
}  // namespace tarvik
