// Undo and redo walk every command of the batch runner: each command that changes the
// document is one step, undo brings back the document as it was before the command bit
// for bit, and redo the one after it. Commands that change nothing leave no step.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "batch/BatchRunner.h"

namespace tarvik::batch {
namespace {

namespace fs = std::filesystem;

// One command as a script line, with what it needs done first and whether it must change
// the document (so a command that silently failed cannot pass as "nothing to undo").
struct Walk {
  std::string line;
  bool changes;
  std::string before = {};
};

class BatchUndo : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tarvik-undo-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    // Three graphs on one uniform grid: a Gaussian pulse, a step response, a wobble.
    writeGraph("a.grf", "a", [](double t) { return std::exp(-(t - 10) * (t - 10) / 9); });
    writeGraph("b.grf", "b", [](double t) { return t > 0 ? 1 - std::exp(-t / 4) : 0.0; });
    writeGraph("c.grf", "c", [](double t) { return std::sin(t / 3) + 0.1 * std::cos(7 * t); });
    write("lin.CAL", "1 1 lin\n2 2\n3 3\n");
    write("factors.txt", "2\n3\n4\n");
    write("table.txt", "0\t1\n1\t2\n");
  }
  void TearDown() override { fs::remove_all(dir); }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
  }
  template <class F>
  void writeGraph(const std::string& name, const std::string& title, F f) {
    std::ostringstream text;
    text.precision(17);
    for (int i = 0; i < 64; ++i) {
      const double t = i * 0.5;
      text << t << ' ' << f(t) << (i == 0 ? " " + title : std::string()) << '\n';
    }
    write(name, text.str());
  }
  std::string path(const std::string& name) const { return "\"" + (dir / name).string() + "\""; }

  // Runs `script` in the session; commands may fail (their messages go to `err`).
  void run(const std::string& script) {
    BatchRunner runner(*session, registry, err);
    runner.setKeepGoing(true);
    runner.run(inlineLines(script));
  }
  void freshSession() {
    err.str("");
    session = std::make_unique<BatchSession>(out, err, '.');
    run("open " + path("a.grf") + " " + path("b.grf") + " " + path("c.grf") +
        "; titles title=\"Импульс\" foot=низ");
  }

  fs::path dir;
  BatchRegistry registry = standardRegistry();
  std::ostringstream out;
  std::ostringstream err;
  std::unique_ptr<BatchSession> session;
};

TEST_F(BatchUndo, EveryCommandIsUndoneAndRedoneBitForBit) {
  const std::vector<Walk> walks = {
      {"open " + path("c.grf"), true},
      {"save graph=1 file=" + path("saved.grf"), false},
      {"list", false},
      {"texts", false},
      {"dump graph=1", false},
      {"close graphs=1", true},
      {"close-all", true},
      {"activate graph=1", true},
      {"move-up", true},
      {"move-down", true, "activate graph=1"},
      {"shift-x graphs=1 value=2", true},
      {"mul-x graphs=1 value=2", true},
      {"div-x graphs=1 value=2", true},
      {"inv-x graphs=1", true},
      {"shift-y graphs=1 value=2", true},
      {"mul-y graphs=1,2 value=2", true},
      {"div-y graphs=1 value=2", true},
      {"sqrt-abs graphs=1", true},
      {"square graphs=1", true},
      {"abs graphs=3", true},
      {"negate graphs=1", true},
      {"inv-y graphs=1", true},
      {"normalize graphs=3", true},
      {"zero-x graphs=1", true, "shift-x graphs=1 value=3"},
      {"db graphs=1 value=1", true},
      {"x-div-y graphs=1", true},
      {"y-div-x graphs=1", true},
      {"swap-xy graphs=1", true},
      {"sum graphs=1,2", true},
      {"product graphs=1,2", true},
      {"derivative graphs=1", true},
      {"integral graphs=1", true},
      {"rc-diff graphs=1", true},
      {"rc-int graphs=1", true},
      {"rc-tau value=2", false},
      {"mean graphs=1", true},
      {"rms graphs=1", true},
      {"energy graphs=1 time=ns current=A", true},
      {"clone graphs=1 points=10", true},
      {"crop graphs=1 xmin=1 xmax=10", true},
      {"halve graphs=1", true},
      {"splice first=1 second=2 x=5", true},
      {"spectrum graphs=1 fmax=1 df=0.1", true},
      {"inverse-spectrum tmin=0 tmax=10 points=20", true,
       "spectrum graphs=1 fmax=1 df=0.1 nophase=off"},
      {"impedance voltage=1 current=2 fmax=1 df=0.1", true},
      {"convolve signal=1 response=2", true},
      {"filter graphs=1 kind=butterworth order=4 cutoff=100 freq=MHz time=ns", true},
      {"fft-selftest", true},
      {"measure", false},
      {"measure-values", false},
      {"levels", false},
      {"transitions", false},
      {"pulses", false},
      {"pulse-stats", false},
      {"histogram metric=rise", true},
      {"trend metric=fall", true},
      {"cursors x1=1 x2=5", false},
      {"pan dx=1 dy=1", true},
      {"zoom percent=110", false},
      {"show-all", false},
      {"frame", false},
      {"stretch-y", false},
      {"view", false},
      {"titles left=\"U, кВ\" bottom=\"f, МГц\"", true},
      {"legends text=\"первый|второй\"", true},
      {"line graph=1 width=3 color=#00ff80", true},
      {"background color=#112233", true},
      {"legend-position side=right", true},
      {"table graph=1 file=" + path("table.txt"), true},
      {"export program=/bin/true", false},
      {"rename-to-legends answer=yes", true, "legends text=\"первый|второй\""},
      {"error-table", true},
      {"three-exp a=1 k1=1 k2=1 k3=1 t1=1 t2=2 t3=3 end=10 step=0.1", true},
      {"sinc", true},
      {"water-re", true},
      {"water-im", true},
      {"water-sigma", true},
      {"polar", true},
      {"reflect-delay l=20", true},
      {"spline graphs=1", true},
      {"bspline graphs=1", true},
      {"calibrate cal=" + path("lin.CAL") + " graphs=1", true},
      {"laren", true},
      {"divide-list file=" + path("factors.txt"), true},
      {"save-session file=" + path("s.h5"), false},
      {"open-session file=" + path("s.h5"), true, "save-session file=" + path("s.h5") + "; sinc"},
      {"picture file=" + path("p.png"), false},
      {"print-pdf file=" + path("p.pdf"), false},
  };

  // Every command of the runner is walked here (undo and redo by the walk itself).
  std::set<std::string> walked = {"undo", "redo"};
  for (const Walk& w : walks) {
    walked.insert(w.line.substr(0, w.line.find(' ')));
  }
  for (const BatchCommand& command : registry.all()) {
    EXPECT_TRUE(walked.count(command.name)) << command.name << " is not walked";
  }

  for (const Walk& w : walks) {
    SCOPED_TRACE(w.line);
    freshSession();
    if (!w.before.empty()) {
      run(w.before);
    }
    const DocumentState before = session->store.state();
    const std::size_t steps = session->store.history().undoCount();
    run(w.line);
    const DocumentState after = session->store.state();
    if (!w.changes) {
      EXPECT_EQ(session->store.history().undoCount(), steps);
      continue;
    }
    if (after.sameAs(before) || session->store.history().undoCount() != steps + 1) {
      ADD_FAILURE() << "the command changed nothing or made no step: " << err.str();
      continue;
    }
    EXPECT_EQ(session->store.history().undoCaption(), w.line.substr(0, w.line.find(' ')));
    run("undo");
    EXPECT_TRUE(session->store.state().sameAs(before));
    run("redo");
    EXPECT_TRUE(session->store.state().sameAs(after));
  }
}

TEST_F(BatchUndo, NothingToUndoOrRedoIsAnInfoLineAndANewStepDropsTheRedoSide) {
  session = std::make_unique<BatchSession>(out, err, '.');
  run("undo; redo");
  EXPECT_EQ(err.str(), "info: Нечего отменять\ninfo: Нечего повторять\n");

  freshSession();
  run("mul-y graphs=1 value=2; mul-y graphs=1 value=3; undo; undo");
  const DocumentState opened = session->store.state();
  EXPECT_EQ(session->store.history().redoCount(), 2u);
  run("redo; negate graphs=2");
  EXPECT_FALSE(session->store.history().canRedo());
  run("undo; undo");
  EXPECT_TRUE(session->store.state().sameAs(opened));
}

}  // namespace
}  // namespace tarvik::batch
