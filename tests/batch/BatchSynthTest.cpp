// tarvik-batch runs the generator and model commands: their graphs, their fields kept from
// command to command, their refusals ending the run with exit status 1, and the table file
// that never lands in the working folder.
#include <cmath>
#include <string>
#include <vector>

#include "BatchProgram.h"

namespace tarvik::batch::e2e {
namespace {

class BatchSynth : public BatchProgram {
 protected:
  // The private and data folders inside the test's folder.
  Outcome runSynth(const std::string& commands) {
    fs::create_directories(dir / "run");
    const std::string env = "XDG_RUNTIME_DIR=" + quoted((dir / "run").string()) +
                            " XDG_DATA_HOME=" + quoted((dir / "data").string());
    return runArgs("-e " + quoted(commands), "", env);
  }
};

TEST_F(BatchSynth, EveryCommandAppendsItsGraph) {
  std::ofstream(dir / "Streem.txt", std::ios::binary) << "mine\n";
  const Outcome r = runSynth(
      "error-table; three-exp; sinc; water-re; water-im; water-sigma; polar; "
      "reflect-delay; list");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> want = {
      "1\t-\t80\tБез имени-1\tПогрешность при Т=1 с",
      "2\t-\t101\tЗ-х экспон. импульс\tЗ-х экспон. импульс",
      "3\t-\t1001\tSin(X)X\tSin(X)/X",
      "4\t-\t2001\tБез имени-4\tВода Re",
      "5\t-\t4001\tБез имени-5\tВода Im{eps}",
      "6\t-\t4001\tБез имени-6\tВода - проводимость, См/м",
      "7\t-\t51\tБез имени-7\tПроницаемость {Re} (120/15/6.67e-9)",
      "8\t-\t51\tБез имени-8\tПроводимость, См/м (120/15/6.67e-9/0.64)",
      "9\t*\t11\tБез имени-9\tЗадержка при H1= 5 и L= 10",
  };
  EXPECT_EQ(lines(r.out), want);
  EXPECT_EQ(readFile(dir / "Streem.txt"), "mine\n");
  EXPECT_TRUE(fs::exists(dir / "data/tarvik/Streem.txt"));
  EXPECT_TRUE(fs::is_empty(dir / "run/tarvik"));
}

TEST_F(BatchSynth, FieldsKeepTheirValuesWithinTheRun) {
  const Outcome r = runSynth(
      "three-exp end=1e-6; three-exp step=2e-9; reflect-delay h2=2.5 model=under; "
      "reflect-delay l=20; polar fmax=0.125 cond=off; polar es=80; list; dump graph=4");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_GE(out.size(), 6u);
  EXPECT_EQ(out[0], "1\t-\t146\tЗ-х экспон. импульс\tЗ-х экспон. импульс");
  // end= stays 1e-6: 51 points of 2 ns to 100 ns, then 40 ns steps.
  EXPECT_EQ(out[1], "2\t-\t73\tЗ-х экспон. импульс\tЗ-х экспон. импульс");
  EXPECT_EQ(out[2], "3\t-\t3\tБез имени-3\tЗадержка при H1= 5 и L= 10");
  EXPECT_EQ(out[3], "4\t-\t3\tБез имени-4\tЗадержка при H1= 5 и L= 20");
  EXPECT_EQ(out[4], "5\t-\t13\tБез имени-5\tПроницаемость {Re} (120/15/6.67e-9)");
  EXPECT_EQ(out[5], "6\t*\t13\tБез имени-6\tПроницаемость {Re} (80/15/6.67e-9)");
  // Graph 4 keeps the model chosen before: at h = 0, (5 + 20 − √425)/3e8 s.
  ASSERT_EQ(out.size(), 9u);
  const std::vector<std::string> first = fields(out[6]);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0], "0");
  EXPECT_NEAR(std::stod(first[1]), (25 - std::sqrt(425.0)) / 3e8 * 1e9, 1e-9);
}

TEST_F(BatchSynth, RefusalsEndTheRunWithStatusOne) {
  const struct {
    const char* script;
    const char* error;
  } cases[] = {
      {"three-exp step=0; list", "error: Шаг по времени должен быть больше нуля\n"},
      {"three-exp end=1; list",
       "error: Слишком много точек: в одном графике может быть не больше 10000000 точек\n"},
      {"reflect-delay h2=2e7; list",
       "error: Слишком много точек: в одном графике может быть не больше 10000000 точек\n"},
      {"polar tau=abc; list", "error: 'abc' — не число\n"},
  };
  for (const auto& c : cases) {
    const Outcome r = runSynth(c.script);
    EXPECT_EQ(r.status, 1) << c.script;
    EXPECT_EQ(r.err, c.error) << c.script;
    EXPECT_EQ(r.out, "") << c.script;  // the run stopped before `list`
  }
  const Outcome usage = runSynth("reflect-delay model=mirror");
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("model= takes specular or under"), std::string::npos) << usage.err;
}

}  // namespace
}  // namespace tarvik::batch::e2e
