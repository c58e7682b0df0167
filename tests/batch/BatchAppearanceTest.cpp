// The appearance commands of tarvik-batch run against one session: titles with fields
// left out, the title lines in `texts`, legend titles, lines, background, legend side.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "batch/BatchRunner.h"

namespace tarvik::batch {
namespace {

class BatchAppearance : public ::testing::Test {
 protected:
  // Runs `script` (commands separated by ';') in a fresh session with three graphs a, b, c
  // (c active) and returns the exit status.
  int run(const std::string& script) {
    out.str("");
    err.str("");
    session = std::make_unique<BatchSession>(out, err, '.');
    for (const char* title : {"a", "b", "c"}) {
      session->store.appendGraph(title);
    }
    BatchRunner runner(*session, registry, err);
    return runner.run(inlineLines(script));
  }
  GraphStore& store() { return session->store; }

  BatchRegistry registry = standardRegistry();
  std::ostringstream out;
  std::ostringstream err;
  std::unique_ptr<BatchSession> session;
};

TEST_F(BatchAppearance, TitlesChangeOnlyTheFieldsGivenAndTextsListsTitleLinesLast) {
  ASSERT_EQ(run("titles title=\"Импульс 1|канал A\" foot=\"низ\" left=\"U, кВ\"; "
                "titles bottom=\"f, МГц\"; texts"),
            kExitOk)
      << err.str();
  EXPECT_EQ(out.str(),
            "bottom\tf, МГц\n"
            "left\tU, кВ\n"
            "foot\tниз\n"
            "title\tИмпульс 1\n"
            "title\tканал A\n");

  // An empty title prints no title line; the foot keeps its value.
  ASSERT_EQ(run("titles foot=x|y; titles title=; texts"), kExitOk) << err.str();
  EXPECT_EQ(out.str(), "bottom\tt, нс\nleft\t\nfoot\tx\nfoot\ty\n");
}

TEST_F(BatchAppearance, LegendsGiveMissingLinesEmptyTitles) {
  ASSERT_EQ(run("legends text=\"первый|второй\"; list"), kExitOk) << err.str();
  EXPECT_EQ(store().graph(0).title, "первый");
  EXPECT_EQ(store().graph(1).title, "второй");
  EXPECT_EQ(store().graph(2).title, "");
  EXPECT_NE(out.str().find("1\t-\t0\ta\tпервый\n"), std::string::npos) << out.str();

  EXPECT_EQ(run("legends"), kExitUsage);
  EXPECT_NE(err.str().find("text= is required"), std::string::npos) << err.str();
}

TEST_F(BatchAppearance, LineChangesOneGraphAndRefusesAStyleAboveWidthOne) {
  ASSERT_EQ(run("line graph=2 style=dash-dot color=#00ff80; line graph=2 width=4"), kExitOk)
      << err.str();
  const Graph& g = store().graph(1);
  EXPECT_EQ(g.lineStyle, LineStyle::DashDot);
  EXPECT_EQ(g.lineWidth, 4);
  EXPECT_EQ(g.colour, (Rgb{0, 255, 128}));
  EXPECT_EQ(store().graph(0).lineWidth, 1);

  const struct {
    const char* script;
    const char* message;
  } refused[] = {
      {"line graph=1 width=3 style=dot", "only at width 1"},
      {"line graph=1 width=101", "1 to 100"},
      {"line graph=1 width=0 color=#000000", "1 to 100"},
      {"line graph=1 style=wavy", "is not one of"},
      {"line graph=1 color=#12345", "is not a colour"},
      {"line graph=4 width=2", "no graph 4"},
      {"line width=2", "graph= is required"},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(run(r.script), kExitUsage) << r.script;
    EXPECT_NE(err.str().find(r.message), std::string::npos) << r.script << ": " << err.str();
    EXPECT_EQ(store().graph(0).lineWidth, 1) << r.script;
    EXPECT_EQ(store().graph(0).lineStyle, LineStyle::Solid) << r.script;
  }
}

TEST_F(BatchAppearance, BackgroundAndLegendSide) {
  ASSERT_EQ(run("background color=#FFFFE0; legend-position side=right"), kExitOk) << err.str();
  EXPECT_EQ(store().background, (Rgb{255, 255, 224}));
  EXPECT_EQ(store().legendColour, (Rgb{255, 255, 224}));
  EXPECT_TRUE(store().legendRight);
  ASSERT_EQ(run("legend-position side=right; legend-position side=left"), kExitOk);
  EXPECT_FALSE(store().legendRight);

  EXPECT_EQ(run("background color=white"), kExitUsage);
  EXPECT_EQ(run("legend-position side=top"), kExitUsage);
  EXPECT_EQ(store().background, (Rgb{255, 255, 255}));
}

}  // namespace
}  // namespace tarvik::batch
