// Opening an oscilloscope export whose channels have the same time column: the graphs share
// one X array, and nothing a later step does to one graph reaches the others.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "io/FileCommands.h"
#include "io/GraphWriter.h"
#include "io/SessionFile.h"
#include "io/TempDir.h"
#include "support/ScriptedUi.h"

namespace tarvik {
namespace {

using testing::ScriptedUi;
using testing::TempDir;

// Three channels with the same times; channel 3's times are its own when `ownThird`.
std::string exportFile(bool ownThird) {
  std::string file;
  for (int i = 0; i < 2000; ++i) {
    const std::string label = i == 0 ? "Record Length" : i == 1 ? "Source" : "";
    const std::string t = std::to_string(i) + "e-9";
    const std::string t3 = ownThird ? std::to_string(i) + "e-8" : t;
    file += label + "," + (i == 1 ? "CH1" : "") + ",," + t + "," + std::to_string(i % 7) + ",," +
            label + "," + (i == 1 ? "CH2" : "") + ",," + t + "," + std::to_string(-i) + ",," +
            label + "," + (i == 1 ? "CH3" : "") + ",," + t3 + "," + std::to_string(i % 3) + ",\r\n";
  }
  return file;
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class OpenSharedTimes : public ::testing::Test {
 protected:
  GraphStore store;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  TempDir dir;
};

TEST_F(OpenSharedTimes, ChannelsWithTheSameTimesShareOneXArray) {
  ASSERT_TRUE(readGraphFile(ctx, dir.write("same.csv", exportFile(false))));
  ASSERT_TRUE(readGraphFile(ctx, dir.write("own.csv", exportFile(true))));
  ASSERT_EQ(store.count(), 6u);
  EXPECT_EQ(store.graph(1).xBlock(), store.graph(0).xBlock());
  EXPECT_EQ(store.graph(2).xBlock(), store.graph(0).xBlock());
  EXPECT_EQ(store.graph(4).xBlock(), store.graph(3).xBlock());
  EXPECT_NE(store.graph(5).xBlock(), store.graph(3).xBlock());
  EXPECT_NE(store.graph(3).xBlock(), store.graph(0).xBlock());  // one file's graphs only
  for (std::size_t g = 0; g < 6; ++g) {
    ASSERT_EQ(store.graph(g).size(), 2000u) << g;
    EXPECT_DOUBLE_EQ(store.graph(g).x(1999), g == 5 ? 19990 : 1999) << g;
  }
  EXPECT_EQ(store.graph(1).title, "CH2");
  EXPECT_EQ(store.graph(1).y(1999), -1999);
}

// A step that rewrites one graph's X copies the array first: the other graphs keep theirs,
// the undo brings the old X back, and the graphs share again only where nothing changed.
TEST_F(OpenSharedTimes, ChangingOneGraphsXLeavesTheOthers) {
  ASSERT_TRUE(readGraphFile(ctx, dir.write("same.csv", exportFile(false))));
  const Graph before = store.graph(1);
  store.beginStep("Сдвиг по X");
  for (double& x : store.graph(1).xsMutable()) {
    x += 5;
  }
  store.endStep();
  EXPECT_EQ(store.graph(1).x(10), 15);
  EXPECT_EQ(store.graph(0).x(10), 10);
  EXPECT_EQ(store.graph(2).x(10), 10);
  EXPECT_EQ(store.graph(0).xBlock(), store.graph(2).xBlock());
  store.beginStep("Правка точки");
  store.graph(0).setX(0, -1);
  store.endStep();
  EXPECT_EQ(store.graph(2).x(0), 0);
  EXPECT_EQ(store.graph(1).x(0), 5);
  ASSERT_TRUE(store.undo());
  ASSERT_TRUE(store.undo());
  EXPECT_TRUE(store.graph(1).samePoints(before));
  EXPECT_EQ(store.graph(0).x(0), 0);
  EXPECT_EQ(store.graph(1).x(10), 10);
  const std::span<const double> xs0 = store.graph(0).xs();
  EXPECT_TRUE(std::equal(xs0.begin(), xs0.end(), store.graph(2).xs().begin()));
}

// Saves and sessions of shared graphs hold what graphs with their own arrays hold.
TEST_F(OpenSharedTimes, SavesAndSessionsReadTheSharedPoints) {
  ASSERT_TRUE(readGraphFile(ctx, dir.write("same.csv", exportFile(false))));
  ASSERT_EQ(store.graph(2).xBlock(), store.graph(0).xBlock());
  Graph own = store.graph(2);
  own.setX(0, own.x(0));  // a private copy of the same values
  ASSERT_NE(own.xBlock(), store.graph(0).xBlock());
  writeGraphFile(store.graph(2), store, dir.path("shared.grf"), '.');
  writeGraphFile(own, store, dir.path("own.grf"), '.');
  EXPECT_EQ(fileBytes(dir.path("shared.grf")), fileBytes(dir.path("own.grf")));

  const DocumentState document = store.state();
  writeSession(dir.path("session.h5"), document, SessionView{});
  const Session back = readSession(dir.path("session.h5"));
  EXPECT_TRUE(back.document.sameAs(document));
  ASSERT_EQ(back.document.graphs.size(), 3u);
  for (std::size_t g = 0; g < 3; ++g) {
    EXPECT_TRUE(back.document.graphs[g].samePoints(store.graph(g))) << g;
  }
}

// Each opened graph carries the extent its reader found, the extent of its points; a step
// that changes a graph's points leaves that graph without it and the others with theirs.
TEST_F(OpenSharedTimes, OpenedGraphsKnowTheirExtentUntilChanged) {
  ASSERT_TRUE(readGraphFile(ctx, dir.write("same.csv", exportFile(false))));
  ASSERT_EQ(store.count(), 3u);
  for (std::size_t g = 0; g < 3; ++g) {
    const Graph& graph = store.graph(g);
    ASSERT_NE(graph.knownExtent(), nullptr) << g;
    EXPECT_EQ(*graph.knownExtent(), finiteExtent(graph.xs(), graph.ys())) << g;
  }
  EXPECT_EQ(store.graph(1).knownExtent()->value().minY, -1999);
  store.beginStep("Умножение Y");
  for (double& y : store.graph(1).ysMutable()) {
    y *= 2;
  }
  store.endStep();
  EXPECT_EQ(store.graph(1).knownExtent(), nullptr);
  EXPECT_NE(store.graph(0).knownExtent(), nullptr);
  EXPECT_NE(store.graph(2).knownExtent(), nullptr);
}

}  // namespace
}  // namespace tarvik
