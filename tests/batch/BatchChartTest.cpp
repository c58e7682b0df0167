// The chart commands of tarvik-batch, end to end: the pulse measurement and its values, the
// cursor table, the pan of the active graph and the offscreen view. Expected numbers are
// worked out here from the points written, not taken from the program.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchProgram.h"

namespace tarvik::batch::e2e {
namespace {

struct Point {
  double x, y;
};

class BatchChart : public BatchProgram {
 protected:
  // Writes a plain graph file ("X Y" per line) and returns the `open` command for it.
  std::string graph(const std::string& name, const std::vector<Point>& points) {
    std::ofstream file(dir / name, std::ios::binary);
    file.precision(17);
    for (const Point& p : points) {
      file << p.x << ' ' << p.y << "\r\n";
    }
    return "open " + name + "; ";
  }

  // A triangle: 0 at X = 0, 10 at X = 10, back to 0 at X = 20, one point per unit of X.
  static std::vector<Point> triangle(double sign = 1) {
    std::vector<Point> points;
    for (int i = 0; i <= 20; ++i) {
      points.push_back({double(i), sign * (i <= 10 ? i : 20 - i)});
    }
    return points;
  }
};

// name<TAB>value lines as a map; "none" reads as nullopt.
std::map<std::string, std::optional<double>> table(const std::string& out) {
  std::map<std::string, std::optional<double>> values;
  for (const std::string& line : lines(out)) {
    const std::vector<std::string> f = fields(line);
    EXPECT_EQ(f.size(), 2u) << line;
    values[f[0]] =
        f[1] == "none" ? std::nullopt : std::optional<double>(std::strtod(f[1].c_str(), nullptr));
  }
  return values;
}

// The two lines of `view` as {bottom min, bottom max, left min, left max}.
std::vector<double> viewOf(const std::string& out) {
  std::vector<double> limits;
  const std::vector<std::string> rows = lines(out);
  EXPECT_EQ(rows.size(), 2u) << out;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::vector<std::string> f = fields(rows[i]);
    EXPECT_EQ(f[0], i == 0 ? "bottom" : "left");
    limits.push_back(std::strtod(f[1].c_str(), nullptr));
    limits.push_back(std::strtod(f[2].c_str(), nullptr));
  }
  return limits;
}

TEST_F(BatchChart, MeasuresTheTriangleWithBothMethodsAndTheSensorCorrection) {
  const Outcome r = run(graph("t.grf", triangle()) +
                        "measure; measure method=0.1-0.5; measure; measure method=0.5-0.5 "
                        "sensor=6; measure sensor=9; measure sensor=\"  abc \"");
  ASSERT_EQ(r.status, 0) << r.err;
  // √(8² − 6²) = √28 = 5.2915…; a sensor of 9 is longer than the rise of 8; a text that is
  // not a number applies no correction.
  EXPECT_EQ(r.out,
            "Aмплитуда = 10; Tф = 8; Tи = 10\n"
            "Aмплитуда = 10; Tф = 8; Tи = 14\n"
            "Aмплитуда = 10; Tф = 8; Tи = 14\n"
            "Aмплитуда = 10; Tф = 5.29; Tи = 10\n"
            "Aмплитуда = 10; Tф = 8; Tи = 10\n"
            "Aмплитуда = 10; Tф = 8; Tи = 10\n");
  EXPECT_EQ(r.err,
            "info: Недопустимое значение ПХ! ПХ больше чем фронт!\n"
            "info: Ошибка в задании ПХ датчика!\n");
}

TEST_F(BatchChart, MeasurementWithTheRunsSeparatorWithoutPolarityAndWithoutAGraph) {
  // Extremes +3 and -3: no polarity, amplitude 0 and no crossing.
  const std::string symmetric = graph("s.grf", {{0, 0}, {1, 3}, {2, -3}, {3, 0}});
  const Outcome r = runArgs("--decimal-separator=, -e " +
                            quoted(graph("t.grf", triangle()) + "measure sensor=6 xmin=0,5; " +
                                   symmetric + "measure; measure-values; close-all; measure"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Aмплитуда = 10; Tф = 5,29; Tи = 10\n"
            "Aмплитуда = 0\n"
            "amplitude\t0\npolarity\t0\nt10\tnone\nt50r\tnone\nt90\tnone\nt50f\tnone\n"
            "rise\tnone\nduration\tnone\n");
}

TEST_F(BatchChart, MeasurementValuesFollowTheVisibleRange) {
  const std::vector<std::string> names{"amplitude", "t10",  "t50r",    "t90",
                                       "t50f",      "rise", "duration"};
  using Values = std::vector<std::optional<double>>;
  const std::optional<double> none;
  struct Case {
    const char* args;
    double sign;
    Values expected;  // in the order of `names`
  };
  const Case cases[] = {
      {"", 1, Values{10, 1, 5, 9, 15, 8, 10}},
      {"method=0.1-0.5", -1, Values{-10, 1, 5, 9, 15, 8, 14}},
      // Only the falling edge is visible: its highest point is 8, no rising stage is met.
      {"xmin=12", 1, Values{8, none, none, none, none, none, none}},
      // The rising edge up to 9.5: 9 is the peak, L90 = 8.1 is crossed between 8 and 9.
      {"xmax=9.5", 1, Values{9, 0.9, 4.5, 8.1, none, 8.1 - 0.9, none}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome r = run(graph("t.grf", triangle(c.sign)) + "measure-values " + c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto values = table(r.out);
    EXPECT_EQ(lines(r.out)[1], std::string("polarity\t") + (c.sign > 0 ? "+" : "-"));
    for (std::size_t k = 0; k < names.size(); ++k) {
      ASSERT_EQ(values.count(names[k]), 1u) << names[k];
      const std::optional<double> got = values.at(names[k]);
      ASSERT_EQ(got.has_value(), c.expected[k].has_value()) << names[k];
      if (got) {
        EXPECT_NEAR(*got, *c.expected[k], 1e-12) << names[k];
      }
    }
  }
}

TEST_F(BatchChart, CursorTableMatchesReferenceSums) {
  const std::vector<Point> points{{0, 1}, {1, 3}, {2, -2}, {3, 5}, {4, 4}};
  const Outcome r = run(graph("c.grf", points) + "cursors x1=3.5 x2=0.5");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names;
  for (const std::string& line : lines(r.out)) {
    names.push_back(fields(line)[0]);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"x1", "x2", "dx", "inv-dx", "y1", "y2", "dy", "count",
                                             "min", "max", "p2p", "mean", "rms", "integral"}));
  // Between the cursors: the points at 1, 2 and 3.
  double sum = 0, squares = 0, integral = 0;
  for (std::size_t i = 1; i <= 3; ++i) {
    sum += points[i].y;
    squares += points[i].y * points[i].y;
    if (i > 1) {
      integral += (points[i].x - points[i - 1].x) * (points[i].y + points[i - 1].y) / 2;
    }
  }
  const auto v = table(r.out);
  EXPECT_EQ(v.at("dx"), -3.0);
  EXPECT_DOUBLE_EQ(*v.at("inv-dx"), -1.0 / 3.0);
  EXPECT_EQ(v.at("y1"), 4.5);  // halfway from (3, 5) to (4, 4)
  EXPECT_EQ(v.at("y2"), 2.0);  // halfway from (0, 1) to (1, 3)
  EXPECT_EQ(v.at("dy"), -2.5);
  EXPECT_EQ(v.at("count"), 3.0);
  EXPECT_EQ(v.at("min"), -2.0);
  EXPECT_EQ(v.at("max"), 5.0);
  EXPECT_EQ(v.at("p2p"), 7.0);
  EXPECT_DOUBLE_EQ(*v.at("mean"), sum / 3);
  EXPECT_DOUBLE_EQ(*v.at("rms"), std::sqrt(squares / 3));
  EXPECT_DOUBLE_EQ(*v.at("integral"), integral);
}

TEST_F(BatchChart, CursorTableSaysNoneWhereThereIsNoValue) {
  const Outcome r = run(graph("c.grf", {{0, 1}, {1, 3}, {2, -2}}) +
                        "cursors x1=9 x2=9; close-all; cursors x1=0 x2=1");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto v = table(r.out);  // the second table is not printed: no graph
  EXPECT_EQ(lines(r.out).size(), 14u);
  for (const char* name :
       {"inv-dx", "y1", "y2", "dy", "min", "max", "p2p", "mean", "rms", "integral"}) {
    EXPECT_FALSE(v.at(name).has_value()) << name;
  }
  EXPECT_EQ(v.at("count"), 0.0);
  EXPECT_EQ(v.at("dx"), 0.0);
}

TEST_F(BatchChart, PanMovesTheActiveGraphOnly) {
  const std::vector<Point> first{{0, 1}, {0.25, -3}, {7, 2}};
  const std::vector<Point> second{{1, 1}, {2, 4}};
  const Outcome r = run(graph("a.grf", first) + graph("b.grf", second) +
                        "activate graph=1; pan dx=0.5 dy=-1; dump graph=1; dump graph=2");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), first.size() + second.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const bool moved = i < first.size();
    const Point p = moved ? first[i] : second[i - first.size()];
    const std::vector<std::string> f = fields(out[i]);
    EXPECT_EQ(std::strtod(f[0].c_str(), nullptr), moved ? p.x + 0.5 : p.x) << out[i];
    EXPECT_EQ(std::strtod(f[1].c_str(), nullptr), moved ? p.y - 1 : p.y) << out[i];
  }
}

TEST_F(BatchChart, ViewFollowsTheZoomButtonsAndShowAllUndoesThem) {
  const Outcome r = run("view; " + graph("t.grf", triangle()) +
                        "view; zoom percent=115; view; zoom percent=85; view; show-all; view; "
                        "stretch-y; view; show-all; view");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 14u) << r.out;
  const auto at = [&](std::size_t k) { return viewOf(out[2 * k] + "\n" + out[2 * k + 1]); };
  EXPECT_EQ(at(0), (std::vector<double>{0, 5, 0, 5}));  // no graph yet
  EXPECT_EQ(at(1), (std::vector<double>{0, 20, 0, 10}));
  EXPECT_EQ(at(2), (std::vector<double>{3, 17, 1.5, 8.5}));  // 70 % around the centre
  // Out by 85 %: each side moves out by 15 % of the zoomed span, 0.91 of the old range.
  const std::vector<double> out85 = at(3);
  EXPECT_DOUBLE_EQ(out85[0], 3 - 14 * 0.15);
  EXPECT_DOUBLE_EQ(out85[1], 17 + 14 * 0.15);
  EXPECT_DOUBLE_EQ(out85[2], 1.5 - 7 * 0.15);
  EXPECT_DOUBLE_EQ(out85[3], 8.5 + 7 * 0.15);
  EXPECT_EQ(at(4), (std::vector<double>{0, 20, 0, 10}));
  EXPECT_EQ(at(5), (std::vector<double>{0, 20, -0.5, 10.5}));  // ± 10 / 20
  EXPECT_EQ(at(6), (std::vector<double>{0, 20, 0, 10}));       // left automatic again
}

TEST_F(BatchChart, FrameReachesAGraphBesideTheViewAndCloseAllShowsAll) {
  const Outcome r = run(graph("t.grf", triangle()) + "zoom percent=115; " +
                        graph("far.grf", {{100, 50}, {104, 60}, {110, 55}}) +
                        "frame; view; close-all; view; frame; view");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 6u) << r.out;
  EXPECT_EQ(viewOf(out[0] + "\n" + out[1]), (std::vector<double>{100, 110, 50, 60}));
  // Close all undoes the zooms back to the whole extent; framing without a graph does nothing.
  EXPECT_EQ(viewOf(out[2] + "\n" + out[3]), (std::vector<double>{0, 20, 0, 10}));
  EXPECT_EQ(viewOf(out[4] + "\n" + out[5]), (std::vector<double>{0, 20, 0, 10}));
}

TEST_F(BatchChart, AutomaticAxesCentreAConstantGraphAndJoinAllGraphs) {
  const Outcome r =
      run(graph("p.grf", {{3, 7}}) + "view; " + graph("q.grf", {{-1, 8}, {4, 2}}) + "view");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 4u) << r.out;
  // One point: the start width 5 stays, centred on it.
  EXPECT_EQ(viewOf(out[0] + "\n" + out[1]), (std::vector<double>{0.5, 5.5, 4.5, 9.5}));
  EXPECT_EQ(viewOf(out[2] + "\n" + out[3]), (std::vector<double>{-1, 4, 2, 8}));
}

// The automatic axes follow a graph whose points a command changed, and the change undone
// and redone, while the extents of graphs no command touched are kept from before.
TEST_F(BatchChart, AutomaticAxesFollowPointsChangedInPlaceAndTheirUndo) {
  const Outcome r = run(graph("t.grf", triangle()) + graph("s.grf", {{2, 1}, {3, 2}}) +
                        "activate graph=1; pan dx=100 dy=5; view; undo; view; redo; view; "
                        "activate graph=2; pan dx=-10 dy=0; view");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 8u) << r.out;
  const auto at = [&](std::size_t k) { return viewOf(out[2 * k] + "\n" + out[2 * k + 1]); };
  EXPECT_EQ(at(0), (std::vector<double>{2, 120, 1, 15}));
  EXPECT_EQ(at(1), (std::vector<double>{0, 20, 0, 10}));
  EXPECT_EQ(at(2), (std::vector<double>{2, 120, 1, 15}));
  EXPECT_EQ(at(3), (std::vector<double>{-8, 120, 1, 15}));
}

TEST_F(BatchChart, ZoomRefusesPercentagesThatInvertOrVanish) {
  for (const char* percent : {"150", "0", "-5"}) {
    SCOPED_TRACE(percent);
    const Outcome r = run(graph("t.grf", triangle()) + "zoom percent=" + percent + "; view");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("error: zoom: percent="), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace tarvik::batch::e2e
