// The spline and sensor commands of tarvik-batch, run as a user runs the program.
#include <cmath>
#include <fstream>

#include "BatchProgram.h"

namespace tarvik::batch::e2e {
namespace {

class BatchSensor : public BatchProgram {
 protected:
  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  void SetUp() override {
    BatchProgram::SetUp();
    write("volts.grf", "0 0.5 volts\n1 -2.5\n2 4\n3 0\n");
    write("tri.grf", "0 0 tri\n1 1\n2 0\n");
    // Windows 1251 comment "Линейный" on the first line.
    write("lin.CAL", "1 1 \xCB\xE8\xED\xE5\xE9\xED\xFB\xE9\n2 2\n3 3\n");
  }
  // The Y values of a `dump`.
  static std::vector<double> dumpedY(const std::string& out) {
    std::vector<double> ys;
    for (const std::string& line : lines(out)) {
      ys.push_back(std::stod(fields(line).at(1)));
    }
    return ys;
  }
};

TEST_F(BatchSensor, SplinesAppendOneCurvePerGraph) {
  const Outcome r = run("open tri.grf volts.grf; spline graphs=1,2; bspline graphs=1; list");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> rows = lines(r.out);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(fields(rows[2]).at(2), "21");
  EXPECT_EQ(fields(rows[2]).at(4), "Сплайн для tri");
  EXPECT_EQ(fields(rows[3]).at(2), "31");
  EXPECT_EQ(fields(rows[4]).at(2), "10");
  EXPECT_EQ(fields(rows[4]).at(4), "Сплайн Безье для tri");
  EXPECT_EQ(fields(rows[4]).at(1), "*");  // the last curve is active
}

TEST_F(BatchSensor, CalibrateAndLarenConvertVoltages) {
  const Outcome r =
      run("open volts.grf; calibrate cal=lin.CAL graphs=1; dump graph=2; laren; dump graph=2");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<double> ys = dumpedY(r.out);
  ASSERT_EQ(ys.size(), 8u);
  EXPECT_EQ(ys[0], 0.5);
  EXPECT_NEAR(ys[1], -2.5, 2.5e-3);
  EXPECT_EQ(ys[2], 4);
  EXPECT_EQ(ys[3], 0);
  // laren works on the active graph, the calibrated one, in place.
  EXPECT_NEAR(ys[4], 0.5 / (0.6 + 7 * (1 - std::exp(-0.055 * std::pow(500, 0.7)))), 1e-12);
  EXPECT_LT(ys[5], 0);
  EXPECT_EQ(ys[7], 0);
}

TEST_F(BatchSensor, DivideListDividesEveryGraph) {
  write("factors.txt", "2\r\n4\r\n");
  const Outcome r =
      run("open tri.grf volts.grf; divide-list file=factors.txt; dump graph=1; "
          "dump graph=2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dumpedY(r.out), (std::vector<double>{0, 0.5, 0, 0.125, -0.625, 1, 0}));
}

TEST_F(BatchSensor, MessagesEndTheRunAndChangeNothing) {
  write("empty.CAL", "\n");
  write("short.txt", "2\n");
  write("zero.txt", "2\n0\n");
  struct Case {
    std::string command;
    std::string error;
  };
  for (const Case& c :
       {Case{"calibrate cal=empty.CAL", "error: Файл калибровки пуст"},
        Case{"calibrate cal=missing.CAL", "error: File not found"},
        Case{"divide-list file=short.txt", "error: List index out of bounds (1)"},
        Case{"divide-list file=zero.txt", "error: Floating point division by zero"}}) {
    const Outcome stopped = run("open tri.grf volts.grf; " + c.command + "; list");
    EXPECT_EQ(stopped.status, 1) << c.command;
    EXPECT_EQ(stopped.err, c.error + "\n") << c.command;
    EXPECT_EQ(stopped.out, "") << c.command;  // the run ended before list
    const Outcome kept = runArgs("--keep-going -e " +
                                 quoted("open tri.grf volts.grf; " + c.command + "; dump graph=1"));
    EXPECT_EQ(dumpedY(kept.out), (std::vector<double>{0, 1, 0})) << c.command;
  }
  EXPECT_EQ(run("open tri.grf; calibrate").status, 2);  // no file ever chosen
}

TEST_F(BatchSensor, CalibrationFileIsKeptForLaterCommands) {
  const Outcome r = run("open volts.grf; calibrate cal=lin.CAL graphs=1; calibrate graphs=1; list");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> rows = lines(r.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(fields(rows[2]).at(4), "U-I volts");
}

}  // namespace
}  // namespace tarvik::batch::e2e
