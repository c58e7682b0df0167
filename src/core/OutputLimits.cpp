#include "core/OutputLimits.h"

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace tarvik {
namespace {

// What a command may change in the store besides appending graphs.
struct StoreMark {
  explicit StoreMark(const GraphStore& store)
      : count(store.count()),
        active(store.activeIndex()),
        unnamedCounter(store.unnamedCounter()),
        bottomAxisTitle(store.bottomAxisTitle) {}

  // Puts the store back without allocating: erasing from the end and moving a string in.
  void restore(GraphStore& store) {
    while (store.count() > count) {
      store.removeGraph(store.count() - 1);
    }
    store.setActiveIndex(active);
    store.setUnnamedCounter(unnamedCounter);
    store.bottomAxisTitle = std::move(bottomAxisTitle);
  }

  std::size_t count;
  int active;
  int unnamedCounter;
  std::string bottomAxisTitle;
};

}  // namespace

void keepStoreOnMemoryShortage(GraphStore& store, const std::function<void()>& work) {
  StoreMark mark(store);
  bool shortage = false;
  try {
    work();
  } catch (const std::bad_alloc&) {
    shortage = true;
  } catch (const std::length_error&) {
    shortage = true;
  }
  if (!shortage) {
    return;
  }
  // The failed work's buffers are gone once the handler is left; only then is the chart
  // asked to draw the store again.
  mark.restore(store);
  store.chart().setChartVisible(true);  // long computations hide it while they run
  store.chart().legendRelayout();
  store.chart().redraw();
  store.chart().refreshIndicator();
  store.chart().refreshMenus();
  throw OutOfMemoryError();
}

}  // namespace tarvik
