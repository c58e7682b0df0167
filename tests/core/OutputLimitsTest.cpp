// The point bound of one graph and the undo of a command that ran out of memory.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/OutputLimits.h"

namespace tarvik {
namespace {

TEST(OutputLimits, TenMillionPointsFitInOneGraphAndNoMore) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double count;
    bool fits;
  };
  // Negative counts fit: they are the caller's to refuse.
  const Case cases[] = {
      {0, true},      {1, true},    {9999999, true}, {1e7, true}, {10000001, false}, {2e9, false},
      {1e300, false}, {inf, false}, {NAN, false},    {-5, true},  {-inf, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(fitsInOneGraph(c.count), c.fits);
  }
}

class RecordingChart : public ChartPort {
 public:
  void setChartVisible(bool visible) override { events += visible ? "show;" : "hide;"; }
  void redraw() override { events += "redraw;"; }
  std::string events;
};

// A store of two graphs, the first active, as a command finds it.
struct StoreFixture : ::testing::Test {
  StoreFixture() {
    store.setChartPort(&chart);
    store.appendGraph("U");
    store.appendGraph("I");
    store.setActiveIndex(0);
    store.bottomAxisTitle = "t, мкс";
    chart.events.clear();
  }
  // The command's work: hides the chart, appends two graphs (which moves the active index,
  // the counter and the axis title), then fails with `failure`.
  template <class Failure>
  void appendTwoThenFail(const Failure& failure) {
    keepStoreOnMemoryShortage(store, [&] {
      store.chart().setChartVisible(false);
      store.graph(store.appendGraph("Модуль")).appendPoint(1, 2);
      store.attachGraph(Graph{}, store.takeUnnamedEntry());
      throw failure;
    });
  }
  RecordingChart chart;
  GraphStore store;
};

TEST_F(StoreFixture, ShortageRemovesAppendedGraphsAndRestoresTheStore) {
  const int counter = store.unnamedCounter();
  try {
    appendTwoThenFail(std::bad_alloc());
    FAIL() << "no error";
  } catch (const OutOfMemoryError& e) {
    EXPECT_STREQ(e.what(), "Недостаточно памяти");
  }
  ASSERT_EQ(store.count(), 2u);
  EXPECT_EQ(store.graph(0).title, "U");
  EXPECT_EQ(store.graph(1).title, "I");
  EXPECT_EQ(store.sourceFiles(), (std::vector<std::string>{"U", "I"}));
  EXPECT_EQ(store.activeIndex(), 0);
  EXPECT_EQ(store.unnamedCounter(), counter);
  EXPECT_EQ(store.bottomAxisTitle, "t, мкс");
  EXPECT_EQ(chart.events, "hide;show;redraw;");  // the hidden chart comes back

  // A container asked for more than it can hold is the same shortage.
  EXPECT_THROW(appendTwoThenFail(std::length_error("vector::reserve")), OutOfMemoryError);
  EXPECT_EQ(store.count(), 2u);
}

TEST_F(StoreFixture, OtherFailuresAndSuccessKeepWhatTheWorkDid) {
  // A field that does not convert ends the command; what it changed stays changed.
  EXPECT_THROW(appendTwoThenFail(ConvertError("'x' — не число")), ConvertError);
  EXPECT_EQ(store.count(), 4u);
  keepStoreOnMemoryShortage(store, [&] { store.appendGraph("done"); });
  EXPECT_EQ(store.count(), 5u);
  EXPECT_EQ(store.activeIndex(), 4);
  // Graphs removed by the work itself are not brought back.
  keepStoreOnMemoryShortage(store, [&] { store.removeGraph(0); });
  EXPECT_EQ(store.count(), 4u);
  EXPECT_EQ(chart.events, "hide;");
}

}  // namespace
}  // namespace tarvik
