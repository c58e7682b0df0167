// The built tarvik-batch program on the bundled examples: output formats, exit statuses,
// and a saved graph that reads back as the same graph.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "batch/BatchProgram.h"
#include "batch/BatchRunner.h"

namespace tarvik::batch::e2e {
namespace {

TEST_F(BatchProgram, ListsTheOscilloscopeChannelsAndTheirTexts) {
  const Outcome r = run("open \"" + example("pulse_scope.csv") + "\"; list; texts");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "1\t-\t10000\tpulse_scope.grf\tCH1\n"
            "2\t-\t10000\tpulse_scope.grf\tCH2\n"
            "3\t-\t10000\tpulse_scope.grf\tCH3\n"
            "4\t*\t10000\tpulse_scope.grf\tCH4\n"
            "bottom\tt, нс\n"
            "left\tU, В\n"
            "foot\t\n");
}

TEST_F(BatchProgram, DumpHoldsTheCsvSamplesInNanosecondsFromTheFirstSample) {
  const Outcome r = run("open \"" + example("pulse_scope.csv") + "\"; dump graph=3");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> dumped = lines(r.out);
  const std::vector<std::string> csv = lines(readFile(example("pulse_scope.csv")));
  ASSERT_EQ(dumped.size(), csv.size());
  const double t0 = std::strtod(fields(csv[0], ',')[15].c_str(), nullptr);
  for (std::size_t i = 0; i < csv.size(); i += 97) {
    const std::vector<std::string> row = fields(csv[i], ',');
    const std::vector<std::string> point = fields(dumped[i]);
    ASSERT_EQ(point.size(), 2u) << dumped[i];
    const double x = std::strtod(point[0].c_str(), nullptr);
    const double expectedX = std::strtod(row[15].c_str(), nullptr) * 1e9 - t0 * 1e9;
    EXPECT_NEAR(x, expectedX, 1e-9) << "record " << i;
    EXPECT_EQ(std::strtod(point[1].c_str(), nullptr), std::strtod(row[16].c_str(), nullptr))
        << "record " << i;
  }
  EXPECT_EQ(dumped.front(), "0\t-0.0080000000000000002");
}

TEST_F(BatchProgram, SavedGraphReadsBackAsTheSameGraph) {
  struct Case {
    const char* file;
    const char* graph;
    const char* separator;
  };
  for (const Case& c : {Case{"pulse_scope.csv", "2", "."}, Case{"pulse.grf", "1", "."},
                        Case{"pulse.grf", "1", ","}, Case{"pulse_two_column.csv", "1", "."}}) {
    SCOPED_TRACE(std::string(c.file) + " separator " + c.separator);
    const std::string open = "open \"" + example(c.file) + "\"; ";
    const std::string saved = (dir / "saved;copy.grf").string();
    const std::string sep = std::string("--decimal-separator=") + c.separator + " -e ";
    const Outcome original = runArgs(sep + quoted(open + "dump graph=" + c.graph));
    const Outcome copy = runArgs(sep + quoted(open + "save graph=" + c.graph + " file=\"" + saved +
                                              "\"; close-all; open \"" + saved + "\"; dump; list"));
    ASSERT_EQ(original.status, 0) << original.err;
    ASSERT_EQ(copy.status, 0) << copy.err;
    std::vector<std::string> a = lines(original.out);
    std::vector<std::string> b = lines(copy.out);
    ASSERT_EQ(b.size(), a.size() + 1);
    EXPECT_EQ(fields(b.back())[3], "saved;copy.grf");
    b.pop_back();
    for (std::size_t i = 0; i < a.size(); ++i) {
      for (int k = 0; k < 2; ++k) {
        const double va = std::strtod(fields(a[i])[static_cast<std::size_t>(k)].c_str(), nullptr);
        const double vb = std::strtod(fields(b[i])[static_cast<std::size_t>(k)].c_str(), nullptr);
        // The file keeps 15 significant digits.
        ASSERT_NEAR(vb, va, std::abs(va) * 1e-14 + 1e-300) << "line " << i;
      }
    }
  }
}

TEST_F(BatchProgram, PlainGraphFileTextsAndFootLines) {
  const Outcome r = run("open \"" + example("pulse.grf") + "\"; list; texts");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "1\t*\t1001\tpulse.grf\tИмпульс\n"
            "bottom\tt, нс\n"
            "left\tU, В\n"
            "foot\t\n"
            "foot\tГенератор импульсов, нагрузка 50 Ом\n"
            "foot\tКанал 1\n");
}

TEST_F(BatchProgram, ActivateMoveAndCloseReorderTheList) {
  const std::string open = "open \"" + example("pulse_scope.csv") + "\"; ";
  const Outcome r = run(open + "activate graph=2; move-up; move-up; list; move-down; move-down; " +
                        "move-down; move-down; list; close graphs=1,3; list");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> titles;
  for (const std::string& line : lines(r.out)) {
    const auto f = fields(line);
    titles.push_back(f[0] + f[1] + f[4]);
  }
  const std::vector<std::string> expected = {
      "1*CH2", "2-CH1", "3-CH3", "4-CH4",  // CH2 at the top; moving up again changes nothing
      "1-CH1", "2-CH3", "3-CH4", "4*CH2",  // down to the bottom and no further
      "1-CH3", "2*CH2"};  // rows 1 and 3 (CH1, CH4) closed; the active CH2 stays active
  EXPECT_EQ(titles, expected);
}

TEST_F(BatchProgram, ExitStatusesAndMessages) {
  struct Case {
    std::string args;
    std::string input;
    int status;
    std::string errStart;
  };
  const std::string missing = (dir / "missing.grf").string();
  const Case cases[] = {
      {"-e " + quoted("open \"" + missing + "\"; list"), "", 1,
       "error: Невозможно открыть файл:" + missing + "\n"},
      {"-e " + quoted("list; frobnicate"), "", 2, "usage error: line 2: unknown command"},
      {"-e " + quoted("list; dump graph=1"), "", 2, "usage error: line 2: there is no graph 1"},
      {"-", "# a comment\n\nlist\nlist extra=1\n", 2, "usage error: line 4: list: unknown"},
      {"-", "list\r\ntexts\r\n", 0, ""},
      {"-e " + quoted("dump"), "", 1, "error: Не выбран активный график\n"},
      {"", "", 2, "tarvik-batch: give one SCRIPT"},
      {"--decimal-separator=ab -e list", "", 2, "tarvik-batch: --decimal-separator"},
      {"no-such-script.txt", "", 2, "tarvik-batch: cannot read the script"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome r = runArgs(c.args, c.input);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.err.substr(0, c.errStart.size()), c.errStart);
    if (c.errStart.empty()) {
      EXPECT_EQ(r.err, "");
    }
  }
}

TEST_F(BatchProgram, SaveOverAnExistingFileFollowsTheAnswer) {
  const fs::path target = dir / "exists.grf";
  std::ofstream(target, std::ios::binary) << "old";
  const std::string open = "open \"" + example("pulse.grf") + "\"; ";
  Outcome r = run(open + "save graph=1 file=exists.grf answer=no");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(target), "old");
  r = run(open + "save graph=1 file=exists.grf");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(target).substr(0, 4), "0 0.");
}

TEST_F(BatchProgram, HelpListsEveryRegisteredCommand) {
  const Outcome r = runArgs("--help");
  ASSERT_EQ(r.status, 0);
  const tarvik::batch::BatchRegistry registry = tarvik::batch::standardRegistry();
  ASSERT_GE(registry.all().size(), 10u);
  for (const auto& command : registry.all()) {
    EXPECT_NE(r.out.find("  " + command.usage + "\n"), std::string::npos) << command.name;
  }
}

}  // namespace
}  // namespace tarvik::batch::e2e
