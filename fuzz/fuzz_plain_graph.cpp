// The plain graph file reader on arbitrary bytes; whatever it reads must survive a write
// and a second read unchanged in length (the writer's output is always readable).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "io/GraphWriter.h"
#include "io/PlainGraphReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  const PlainGraphData first =
      readPlainGraph(std::string_view(reinterpret_cast<const char*>(data), size));
  fuzz::requireParallel(first.points);
  fuzz::requireKnownExtent(first.extent, first.points.xs, first.points.ys);
  if (first.error) {
    fuzz::require(first.error->line >= 1, "error without a line");
    return 0;
  }
  Graph graph;
  graph.setPoints(first.points.xs, first.points.ys);
  graph.title = first.texts[0].value_or("");
  ChartTexts texts{first.texts[1].value_or(""), first.texts[2].value_or(""), {}};
  for (char separator : {'.', ','}) {
    const PlainGraphData again = readPlainGraph(graphFileBytes(graph, texts, separator));
    fuzz::require(!again.error, "the writer's output does not read back");
    fuzz::require(again.points.xs.size() == graph.size(), "a written point was lost");
  }
  return 0;
}
