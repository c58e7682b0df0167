// The generator and model commands over the Ui port: dialogs, refusals, titles, and the
// Streem.txt path (a private folder for tables loaded and deleted, the user's data folder
// for the counting-error table, never the working folder).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "core/Error.h"
#include "core/GraphStore.h"
#include "core/OutputLimits.h"
#include "io/TempDir.h"
#include "support/ScriptedUi.h"
#include "synth/GeneratedTable.h"
#include "synth/SynthCommands.h"
#include "synth/TableFile.h"

namespace tarvik::synth {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedUi;
using testing::TempDir;

constexpr const char* kUsersOwnFile = "a user's own file\r\n";

// Each test runs in a working folder that holds a user's own "Streem.txt", with the
// private and data folders inside a temporary folder of its own.
class SynthCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    m_oldCwd = fs::current_path();
    m_oldRuntime = saved("XDG_RUNTIME_DIR");
    m_oldData = saved("XDG_DATA_HOME");
    fs::create_directories(m_dir.folder() / "work");
    fs::create_directories(m_dir.folder() / "run");
    ::setenv("XDG_RUNTIME_DIR", m_dir.path("run").c_str(), 1);
    ::setenv("XDG_DATA_HOME", m_dir.path("data").c_str(), 1);
    fs::current_path(m_dir.folder() / "work");
    m_dir.write("work/Streem.txt", kUsersOwnFile);
  }
  void TearDown() override {
    fs::current_path(m_oldCwd);
    restore("XDG_RUNTIME_DIR", m_oldRuntime);
    restore("XDG_DATA_HOME", m_oldData);
  }

  static std::optional<std::string> saved(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  }
  static void restore(const char* name, const std::optional<std::string>& value) {
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }

  std::string runFolder() const { return m_dir.path("run/tarvik"); }
  std::string dataFolder() const { return m_dir.path("data/tarvik"); }
  std::string usersFile() const { return TempDir::read(m_dir.path("work/Streem.txt")); }

  // Answers the next options dialog by letting `edit` change the fields.
  template <class Options, class Edit>
  void answerDialog(Edit edit) {
    ui.options = [edit](DialogOptions& o) {
      edit(dynamic_cast<Options&>(o));
      return true;
    };
  }

  TempDir m_dir;
  fs::path m_oldCwd;
  std::optional<std::string> m_oldRuntime, m_oldData;
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
};

TEST_F(SynthCommands, ErrorTableStaysInTheDataFolderAndTheUsersFileIsUntouched) {
  store.appendGraph("прежний");
  countingErrorTableCommand(ctx);
  ASSERT_EQ(store.count(), 2u);
  const Graph& g = store.graph(1);
  EXPECT_EQ(g.title, "Погрешность при Т=1 с");
  EXPECT_EQ(g.size(), 80u);
  EXPECT_EQ(store.sourceFile(1), "Без имени-2");
  EXPECT_EQ(store.unnamedCounter(), 3);
  EXPECT_EQ(store.bottomAxisTitle, "V, км/ч");
  EXPECT_EQ(store.yAxisTitle, "Погр., %");
  EXPECT_EQ(store.activeIndex(), 1);
  const std::string kept = TempDir::read(dataFolder() + "/Streem.txt");
  EXPECT_EQ(kept.substr(0, 23), "6.90996329847903E-0002 ");
  EXPECT_EQ(kept.substr(kept.size() - 2), "\r\n");
  EXPECT_NE(kept.find("\xCF\xEE\xE3\xF0\xE5\xF8\xED\xEE\xF1\xF2\xFC"), std::string::npos)
      << "the label is written in Windows 1251";
  EXPECT_EQ(usersFile(), kUsersOwnFile);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SynthCommands, WaterTablesLoadThroughAPrivateFileThatIsThenDeleted) {
  const struct {
    WaterTable table;
    const char* title;
    const char* left;
    std::size_t points;
  } cases[] = {
      {WaterTable::RealPermittivity, "Вода Re", "Re{eps}", 2001},
      {WaterTable::ImaginaryPermittivity, "Вода Im{eps}", "eps0*w*Im{eps},См/м", 4001},
      {WaterTable::Conductivity, "Вода - проводимость, См/м", "eps0*w*Im{eps},См/м", 4001},
  };
  std::size_t n = 0;
  for (const auto& c : cases) {
    waterTableCommand(ctx, c.table);
    ASSERT_EQ(store.count(), ++n);
    EXPECT_EQ(store.graph(n - 1).title, c.title);
    EXPECT_EQ(store.graph(n - 1).size(), c.points);
    EXPECT_EQ(store.sourceFile(n - 1), "Без имени-" + std::to_string(n));
    EXPECT_EQ(store.bottomAxisTitle, "f, ГГц");
    EXPECT_EQ(store.yAxisTitle, c.left);
    EXPECT_FALSE(fs::exists(runFolder() + "/Streem.txt"));
  }
  struct stat st {};
  ASSERT_EQ(::lstat(runFolder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_FALSE(fs::exists(dataFolder() + "/Streem.txt"));
  EXPECT_EQ(usersFile(), kUsersOwnFile);
  EXPECT_NEAR(store.graph(0).y(0), 81.0, 1e-12);
}

TEST_F(SynthCommands, PrivateFolderThatIsNotOursIsRefused) {
  // A link planted where the private folder goes: nothing is written through it.
  fs::create_directories(m_dir.folder() / "elsewhere");
  fs::create_symlink(m_dir.folder() / "elsewhere", runFolder());
  EXPECT_THROW(waterTableCommand(ctx, WaterTable::RealPermittivity), IoError);
  EXPECT_TRUE(fs::is_empty(m_dir.folder() / "elsewhere"));
  EXPECT_EQ(store.count(), 0u);
  fs::remove(runFolder());
  // Our own folder left open to others is closed again before use.
  fs::create_directories(runFolder());
  fs::permissions(runFolder(), fs::perms::all);
  waterTableCommand(ctx, WaterTable::RealPermittivity);
  EXPECT_EQ(store.count(), 1u);
  EXPECT_EQ(fs::status(runFolder()).permissions(), fs::perms::owner_all);
}

// Two runs of the same user side by side (the window and a batch run, say) share the
// private folder: each must read back the table it wrote, every time.
TEST_F(SynthCommands, RunsSideBySideReadOnlyTheirOwnTables) {
  constexpr int kRounds = 400;
  const auto run = [this](double mark, TableFileFate fate, std::string& fault) {
    GraphStore ownStore;
    ScriptedUi ownUi;
    CommandContext own{ownStore, ownUi};
    const double xs[] = {1, 2, 3};
    const double ys[] = {mark, mark, mark};
    const std::string text = generatedTableText(xs, ys, {"T", "x", "y"});
    for (int round = 0; round < kRounds && fault.empty(); ++round) {
      const std::string folder =
          fate == TableFileFate::Keep ? keptTableFolder() : privateTableFolder();
      if (!loadTableThroughFile(own, text, folder, fate)) {
        fault = "round " + std::to_string(round) + ": " + ownUi.messages.back().text;
      } else if (ownStore.graph(ownStore.count() - 1).y(0) != mark) {
        fault = "round " + std::to_string(round) + ": the other run's table";
      }
    }
  };
  std::string faults[3];
  std::thread first(run, 1.0, TableFileFate::Delete, std::ref(faults[0]));
  std::thread second(run, 2.0, TableFileFate::Delete, std::ref(faults[1]));
  std::thread kept(run, 3.0, TableFileFate::Keep, std::ref(faults[2]));
  first.join();
  second.join();
  kept.join();
  EXPECT_EQ(faults[0], "");
  EXPECT_EQ(faults[1], "");
  EXPECT_EQ(faults[2], "");
  EXPECT_TRUE(fs::is_empty(runFolder())) << "every file read is removed";
  EXPECT_NE(TempDir::read(dataFolder() + "/Streem.txt").find(" T\r\n"), std::string::npos);
}

// The file read has a name of its own, yet the graph and the messages name "Streem.txt".
TEST_F(SynthCommands, TableReadThroughItsOwnFileStillReadsAsStreemTxt) {
  EXPECT_TRUE(
      loadTableThroughFile(ctx, "1 2\r\n3 4\r\n", privateTableFolder(), TableFileFate::Delete));
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.graph(0).title, "Streem.txt");
  EXPECT_FALSE(
      loadTableThroughFile(ctx, "1 2\r\n3 x\r\n", privateTableFolder(), TableFileFate::Delete));
  EXPECT_EQ(ui.errors(), std::vector<std::string>{"Ошибка x в строке 2 в файле Streem.txt"});
  EXPECT_FALSE(loadTableThroughFile(ctx, "1 y\r\n", keptTableFolder(), TableFileFate::Keep));
  EXPECT_EQ(ui.errors().back(), "Ошибка y в строке 1 в файле Streem.txt");
  EXPECT_EQ(TempDir::read(dataFolder() + "/Streem.txt"), "1 y\r\n");
  EXPECT_EQ(store.count(), 1u);
  EXPECT_TRUE(fs::is_empty(runFolder()));
}

TEST_F(SynthCommands, PrivateFolderFallsBackToTheTemporaryFolder) {
  ::setenv("XDG_RUNTIME_DIR", "relative/path", 1);
  EXPECT_EQ(privateTableFolder(),
            fs::temp_directory_path().string() + "/tarvik-" + std::to_string(::getuid()));
  ::setenv("XDG_RUNTIME_DIR", m_dir.path("missing").c_str(), 1);
  EXPECT_EQ(privateTableFolder().rfind(fs::temp_directory_path().string(), 0), 0u);
}

TEST_F(SynthCommands, PolarDielectricTitlesQuoteTheFieldsAsTyped) {
  ui.separator = ',';
  answerDialog<PolarDielectricOptions>([](PolarDielectricOptions& o) {
    o.es = "1,2e2";
    o.tau = " 6.67e-9";
  });
  polarDielectricCommand(ctx);
  ASSERT_EQ(store.count(), 2u);
  // The file's line normalisation drops the blank that followed "(".
  EXPECT_EQ(store.graph(0).title, "Проницаемость {Re} (1,2e2/15/ 6.67e-9)");
  EXPECT_EQ(store.graph(1).title, "Проводимость, См/м (1,2e2/15/ 6.67e-9/0.64)");
  EXPECT_EQ(store.graph(0).size(), 51u);
  EXPECT_EQ(store.graph(0).y(0), 120);
  EXPECT_EQ(store.graph(1).y(0), 0.64);
  EXPECT_EQ(store.yAxisTitle, "eps0*w*Im{eps},См/м");
  EXPECT_EQ(store.sourceFile(1), "Без имени-2");
}

TEST_F(SynthCommands, PolarDielectricChoicesRefusalsAndCancel) {
  answerDialog<PolarDielectricOptions>([](PolarDielectricOptions& o) {
    o.permittivity = false;
    o.conductivity = false;
  });
  polarDielectricCommand(ctx);
  EXPECT_EQ(store.count(), 0u);
  answerDialog<PolarDielectricOptions>([](PolarDielectricOptions& o) { o.permittivity = false; });
  polarDielectricCommand(ctx);
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.graph(0).title, "Проводимость, См/м (120/15/6.67e-9/0.64)");

  answerDialog<PolarDielectricOptions>([](PolarDielectricOptions& o) { o.sigma = "0.6x"; });
  EXPECT_THROW(
      {
        try {
          polarDielectricCommand(ctx);
        } catch (const ConvertError& e) {
          EXPECT_STREQ(e.what(), "'0.6x' — не число");
          throw;
        }
      },
      ConvertError);
  answerDialog<PolarDielectricOptions>([](PolarDielectricOptions& o) { o.fmax = "1e6"; });
  polarDielectricCommand(ctx);
  EXPECT_EQ(ui.errors(), std::vector<std::string>{kTooManyPoints});
  ui.options = nullptr;  // cancel
  polarDielectricCommand(ctx);
  EXPECT_EQ(store.count(), 1u);
}

TEST_F(SynthCommands, ThreeExpPulseRunsWithProgressAndAppendsOneGraph) {
  answerDialog<ThreeExpOptions>([](ThreeExpOptions& o) { o.end = "1e-6"; });
  threeExpPulseCommand(ctx);
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.graph(0).title, "З-х экспон. импульс");
  EXPECT_EQ(store.graph(0).size(), 146u);
  EXPECT_EQ(store.bottomAxisTitle, "t, нс");
  EXPECT_EQ(store.activeIndex(), 0);
  ASSERT_FALSE(ui.progressTexts.empty());
  EXPECT_EQ(ui.progressTexts.front(), "Вычисление функции - 0 %");
  EXPECT_EQ(ui.optionDialogs, std::vector<std::string>{"Tfm3expDLG"});
}

TEST_F(SynthCommands, ThreeExpPulseRefusalsLeaveNoGraph) {
  const struct {
    const char* field;
    const char* text;
    const char* message;  // nullptr: a conversion error is thrown
  } cases[] = {
      {"step", "0", kNonPositiveStep},
      {"step", "-1e-9", kNonPositiveStep},
      {"step", "1e-16", kTooManyPoints},  // 1e9 points before 100 ns
      {"end", "1e3", kTooManyPoints},
      {"step", "inf", nullptr},
      {"a", "nan", nullptr},
      {"t3", "1e999", nullptr},
      {"k1", "", nullptr},
  };
  for (const auto& c : cases) {
    ui.messages.clear();
    answerDialog<ThreeExpOptions>([&c](ThreeExpOptions& o) {
      (std::string(c.field) == "step"  ? o.step
       : std::string(c.field) == "end" ? o.end
       : std::string(c.field) == "a"   ? o.a
       : std::string(c.field) == "t3"  ? o.t3
                                       : o.k1) = c.text;
    });
    if (c.message) {
      threeExpPulseCommand(ctx);
      EXPECT_EQ(ui.errors(), std::vector<std::string>{c.message}) << c.text;
    } else {
      EXPECT_THROW(threeExpPulseCommand(ctx), ConvertError) << c.text;
    }
    EXPECT_EQ(store.count(), 0u) << c.text;
  }
  ui.options = nullptr;  // "Не надо"
  threeExpPulseCommand(ctx);
  EXPECT_EQ(store.count(), 0u);
}

// A Ui whose stop button is pressed at the n-th progress report.
class StoppingUi : public ScriptedUi {
 public:
  StoppingUi(GraphStore& s, std::size_t at) : m_store(s), m_at(at) {}
  void progress(const std::string& text) override {
    ScriptedUi::progress(text);
    if (progressTexts.size() == m_at) {
      m_store.stopRequest = true;
    }
  }

 private:
  GraphStore& m_store;
  std::size_t m_at;
};

TEST_F(SynthCommands, StoppedThreeExpPulseKeepsThePointsMadeSoFar) {
  StoppingUi stopping(store, 31);
  stopping.options = [](DialogOptions&) { return true; };
  store.stopRequest = true;  // left over from an earlier command: reset at the start
  CommandContext c{store, stopping};
  threeExpPulseCommand(c);
  ASSERT_EQ(store.count(), 1u);
  // Reports 0 … 30 were shown before points 0 … 30; the stop came with the 31st.
  EXPECT_EQ(store.graph(0).size(), 30u);
  EXPECT_EQ(stopping.progressTexts.back(), "Вычисление функции - 30 %");
}

TEST_F(SynthCommands, ReflectedDelayGraphAndRefusals) {
  store.appendGraph("прежний");
  answerDialog<DistanceOptions>([](DistanceOptions& o) {
    o.h1 = "5.0";
    o.h2 = "10.5";
    o.specular = false;
  });
  reflectedDelayCommand(ctx);
  ASSERT_EQ(store.count(), 2u);
  const Graph& g = store.graph(1);
  EXPECT_EQ(g.title, "Задержка при H1= 5.0 и L= 10");
  EXPECT_EQ(g.size(), 11u);
  EXPECT_NEAR(g.y(0), 12.732, 5e-4);
  EXPECT_EQ(store.sourceFile(1), "Без имени-2");
  EXPECT_EQ(store.bottomAxisTitle, "h, м");
  EXPECT_EQ(store.yAxisTitle, "t, нс");
  EXPECT_EQ(store.activeIndex(), 1);

  answerDialog<DistanceOptions>([](DistanceOptions& o) { o.h2 = "-1"; });
  reflectedDelayCommand(ctx);
  ASSERT_EQ(store.count(), 3u);
  EXPECT_EQ(store.graph(2).size(), 0u);  // a negative H2 gives a graph without points

  answerDialog<DistanceOptions>([](DistanceOptions& o) { o.h2 = "1e7"; });
  reflectedDelayCommand(ctx);
  EXPECT_EQ(ui.errors(), std::vector<std::string>{kTooManyPoints});
  answerDialog<DistanceOptions>([](DistanceOptions& o) { o.l = "десять"; });
  EXPECT_THROW(reflectedDelayCommand(ctx), ConvertError);
  ui.options = nullptr;
  reflectedDelayCommand(ctx);
  EXPECT_EQ(store.count(), 3u);
  EXPECT_EQ(store.unnamedCounter(), 4);
}

}  // namespace
}  // namespace tarvik::synth
