// The commands of the measurement of every pulse, end to end: the formats of levels,
// transitions, pulses and pulse-stats, the fields that persist and those that do not, the
// graphs histogram and trend append, usage errors and data errors. Expected numbers are
// worked out here from the points written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "batch/BatchProgram.h"

namespace tarvik::batch::e2e {
namespace {

class BatchPulse : public BatchProgram {
 protected:
  // Writes a plain graph file titled `title` and returns the `open` command for it.
  std::string graph(const std::string& name, const std::string& title,
                    const std::vector<double>& ys, double step = 1) {
    std::ofstream file(dir / name, std::ios::binary);
    file.precision(17);
    for (std::size_t i = 0; i < ys.size(); ++i) {
      file << double(i) * step << ' ' << ys[i] << (i == 0 ? " " + title : std::string()) << "\r\n";
    }
    return "open " + name + "; ";
  }

  // Six trapezoids of period 50 on a unit grid: 0 up to 10, a straight rise to 1 at 20,
  // 1 up to 40, a straight fall to 0 at 50; 0 again after the last one, to X = 300.
  static std::vector<double> trapezoids() {
    std::vector<double> ys;
    for (int i = 0; i <= 300; ++i) {
      const int p = i % 50;
      ys.push_back(i == 300 || p < 10 ? 0.0
                   : p < 20           ? (p - 10) / 10.0
                   : p < 40           ? 1.0
                                      : 1 - (p - 40) / 10.0);
    }
    return ys;
  }
};

double number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

TEST_F(BatchPulse, LevelsTransitionsPulsesAndStatisticsOfATrapezoidTrain) {
  const Outcome r =
      run(graph("t.grf", "tr", trapezoids()) + "levels; transitions; pulses; pulse-stats");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 3u + 12u + 6u + 12u) << r.out;
  EXPECT_EQ(out[0], "low\t0");
  EXPECT_EQ(out[1], "high\t1");
  EXPECT_EQ(out[2], "amplitude\t1");
  for (int k = 0; k < 12; ++k) {
    SCOPED_TRACE(k);
    const std::vector<std::string> f = fields(out[3 + std::size_t(k)]);
    ASSERT_EQ(f.size(), 11u);
    const bool rise = k % 2 == 0;
    const double edge = 10 + 50 * (k / 2) + (rise ? 0 : 30);  // where the edge starts
    EXPECT_EQ(f[0], std::to_string(k + 1));
    EXPECT_EQ(f[1], rise ? "rise" : "fall");
    EXPECT_NEAR(number(f[2]), edge + (rise ? 1 : 9), 1e-12);  // t_lower
    EXPECT_NEAR(number(f[3]), edge + 5, 1e-12);               // t_mid
    EXPECT_NEAR(number(f[4]), edge + (rise ? 9 : 1), 1e-12);  // t_upper
    EXPECT_NEAR(number(f[5]), 8, 1e-12);
    EXPECT_NEAR(number(f[6]), rise ? 0.1 : -0.1, 1e-15);  // 0.8 per 8
    EXPECT_EQ(f[7], "0");                                 // no overshoot
    // The post region runs up to the start of the next edge, whose first point (0.9 or
    // 0.1) lies on it; the last fall ends on the flat end.
    EXPECT_NEAR(number(f[8]), k == 11 ? 0 : 10, 1e-12);
    EXPECT_EQ(f[9], "0");                  // no preshoot
    EXPECT_NEAR(number(f[10]), 4, 1e-12);  // settled at t_end
  }
  for (int k = 0; k < 6; ++k) {
    const std::vector<std::string> f = fields(out[15 + std::size_t(k)]);
    ASSERT_EQ(f.size(), 8u);
    EXPECT_EQ(f[0], std::to_string(k + 1));
    EXPECT_EQ(f[1], "+");
    EXPECT_NEAR(number(f[2]), 15 + 50 * k, 1e-12);
    EXPECT_NEAR(number(f[3]), 45 + 50 * k, 1e-12);
    EXPECT_NEAR(number(f[4]), 30, 1e-12);
    if (k < 5) {
      EXPECT_NEAR(number(f[5]), 50, 1e-12);
      EXPECT_NEAR(number(f[6]), 0.6, 1e-15);
      EXPECT_NEAR(number(f[7]), 0.02, 1e-15);
    } else {
      EXPECT_EQ(f[5] + f[6] + f[7], "nonenonenone");
    }
  }
  const char* names[] = {"rise",      "fall",       "slew-rise", "slew-fall",
                         "overshoot", "undershoot", "preshoot",  "settling",
                         "width",     "period",     "duty",      "frequency"};
  const std::size_t counts[] = {6, 6, 6, 6, 12, 12, 12, 12, 6, 5, 5, 5};
  for (std::size_t k = 0; k < 12; ++k) {
    const std::vector<std::string> f = fields(out[21 + k]);
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[0], names[k]);
    EXPECT_EQ(f[1], std::to_string(counts[k])) << names[k];
  }
  // rise: all 8, so the deviation is 0; undershoot: eleven 10s and one 0.
  EXPECT_EQ(out[21], "rise\t6\t8\t0\t8\t8");
  const std::vector<std::string> under = fields(out[26]);
  EXPECT_NEAR(number(under[2]), 110.0 / 12, 1e-12);
  EXPECT_NEAR(number(under[3]),
              std::sqrt((11 * std::pow(10 - 110.0 / 12, 2) + std::pow(110.0 / 12, 2)) / 11), 1e-12);
  EXPECT_EQ(under[4], "0");
  EXPECT_EQ(under[5], "10");
}

TEST_F(BatchPulse, FieldsPersistWithinTheRunButGraphAndRangeDoNot) {
  // A spike to 3 on the first pulse: the extremes differ from the histogram's states.
  std::vector<double> ys = trapezoids();
  ys[30] = 3;
  const Outcome r = run(graph("a.grf", "a", ys) + graph("b.grf", "b", trapezoids()) +
                        "levels graph=1 levels=minmax; levels graph=1; levels graph=1 "
                        "levels=histogram xmin=100; levels graph=1; list; "
                        "transitions lower=20 mid=40 upper=80 xmax=60; transitions xmax=60; "
                        "transitions xmax=60 lower=10 mid=50 upper=90");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 4u * 3 + 2 + 3 * 2) << r.out;
  EXPECT_EQ(out[1], "high\t3");  // minmax
  EXPECT_EQ(out[4], "high\t3");  // minmax kept
  EXPECT_EQ(out[7], "high\t1");  // histogram over X ≥ 100, where there is no spike
  // The whole graph again: at 100 bins over [0, 3] the spike is alone in the upper half.
  EXPECT_EQ(out[10], "high\t3");
  // graph= left the active graph as it was: the last opened.
  EXPECT_EQ(fields(out[12])[1], "-");
  EXPECT_EQ(fields(out[13])[1], "*");
  // Levels 20/40/80 % hold for the second command; the rise is then from 12 to 18.
  EXPECT_EQ(out[14], out[16]);
  EXPECT_NEAR(number(fields(out[14])[2]), 12, 1e-12);
  EXPECT_NEAR(number(fields(out[14])[3]), 14, 1e-12);
  EXPECT_NEAR(number(fields(out[14])[4]), 18, 1e-12);
  EXPECT_NEAR(number(fields(out[18])[2]), 11, 1e-12);
}

TEST_F(BatchPulse, HistogramAndTrendAppendGraphsThatAreUndoneAndStayInactive) {
  const Outcome r = run(graph("t.grf", "tr", trapezoids()) +
                        "histogram metric=width classes=3; trend metric=rise; "
                        "histogram metric=overshoot; list; dump graph=2; dump graph=3; undo; "
                        "undo; list");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 4u + 1 + 6 + 2) << r.out;
  EXPECT_EQ(fields(out[0])[1], "*");
  EXPECT_EQ(fields(out[1])[4], "Гистограмма: width (tr)");
  EXPECT_EQ(fields(out[2])[4], "Тренд: rise (tr)");
  EXPECT_EQ(fields(out[3])[4], "Гистограмма: overshoot (tr)");
  EXPECT_EQ(fields(out[1])[1], "-");
  EXPECT_EQ(fields(out[1])[2], "1");  // every width is 30: one class at 30
  EXPECT_EQ(out[4], "30\t6");
  for (int k = 0; k < 6; ++k) {  // t_mid of each rise, its duration
    EXPECT_NEAR(number(fields(out[5 + std::size_t(k)])[0]), 15 + 50 * k, 1e-12);
    EXPECT_NEAR(number(fields(out[5 + std::size_t(k)])[1]), 8, 1e-12);
  }
  // Two undos leave the graph and the histogram of widths.
  EXPECT_EQ(fields(out[12])[4], "Гистограмма: width (tr)");

  // Classes of equal width over [min, max] of the values, centres as X: the undershoots
  // are eleven 10s and one 0 over two classes.
  const Outcome h = run(graph("t.grf", "tr", trapezoids()) +
                        "histogram metric=undershoot classes=2; dump graph=2");
  ASSERT_EQ(h.status, 0) << h.err;
  EXPECT_EQ(h.out, "2.5\t1\n7.5\t11\n");
}

TEST_F(BatchPulse, BadFieldValuesAreUsageErrors) {
  const std::string open = graph("t.grf", "tr", trapezoids());
  const char* scripts[] = {
      "levels bins=1",
      "levels bins=100001",
      "levels bins=many",
      "levels levels=median",
      "levels levels=manual",
      "levels levels=manual low=2 high=1",
      "transitions lower=50",
      "transitions lower=60 mid=70 upper=65",
      "transitions upper=100",
      "transitions region=0",
      "transitions tolerance=-1",
      "pulses polarity=up",
      "pulse-stats graph=2",
      "histogram",
      "histogram metric=height",
      "histogram metric=rise classes=0",
      "histogram metric=rise classes=10001",
      "trend metric=Rise",
      "levels lower=10",
  };
  for (const char* script : scripts) {
    SCOPED_TRACE(script);
    const Outcome r = run(open + script + "; list");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("usage error: line ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // Good values at the edges of their ranges.
  const Outcome r = run(open +
                        "levels bins=2; levels bins=100000; histogram metric=rise classes=10000; "
                        "histogram metric=rise classes=1; levels levels=manual low=-1 high=2");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("low\t-1\nhigh\t2\namplitude\t3\n"), std::string::npos) << r.out;
}

TEST_F(BatchPulse, DataThatCannotBeMeasuredEndsTheCommandWithAMessage) {
  struct Case {
    std::string script;
    const char* message;
  };
  const Case cases[] = {
      {graph("two.grf", "two", {0, 1}) + "levels", "не меньше 3 точек"},
      {graph("flat.grf", "flat", {2, 2, 2, 2}) + "pulse-stats", "равны"},
      // X from Y after swap-xy: 0, 1, 0 — X decreases.
      {graph("v.grf", "v", {0, 1, 0, 1}) + "swap-xy graphs=1; transitions", "X убывает"},
      {graph("t.grf", "tr", trapezoids()) + "levels xmin=10 xmax=11", "не меньше 3 точек"},
      // One pulse has no period: no value to draw.
      {graph("t.grf", "tr", trapezoids()) + "histogram metric=period xmax=60", "period"},
      {graph("t.grf", "tr", trapezoids()) + "trend metric=duty xmax=60", "duty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const Outcome r = runArgs("-k -e " + quoted(c.script + "; list"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.out).size(), 1u) << r.out;  // nothing appended, nothing printed
  }
}

TEST_F(BatchPulse, WithoutAnActiveGraphNothingIsPrinted) {
  const Outcome r = run(graph("t.grf", "tr", trapezoids()) +
                        "close-all; levels; transitions; pulses; pulse-stats; "
                        "histogram metric=rise; trend metric=rise; list");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace tarvik::batch::e2e
