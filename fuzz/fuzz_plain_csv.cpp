// The two-column CSV reader on arbitrary bytes, with both decimal separators.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "io/CsvReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (char separator : {'.', ','}) {
    const CsvData result = readPlainCsv(bytes, separator);
    fuzz::require(result.channels.size() == 1, "one channel");
    fuzz::requireParallel(result.channels[0].points);
    fuzz::requireKnownExtent(result.channels[0].extent, result.channels[0].points.xs,
                             result.channels[0].points.ys);
    const std::vector<double>& xs = result.channels[0].points.xs;
    if (!xs.empty()) {
      // Line 1 is the origin; the ordering rule may move its point, but it is there.
      fuzz::require(
          std::any_of(xs.begin(), xs.end(), [](double x) { return x == 0 || std::isnan(x); }),
          "the first sample is the origin");
    }
  }
  return 0;
}
