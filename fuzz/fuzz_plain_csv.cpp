// The two-column CSV reader on arbitrary bytes, with both decimal separators.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "io/CsvReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (char separator : {'.', ','}) {
    const CsvData result = readPlainCsv(bytes, separator);
    fuzz::require(result.channels.size() == 1, "one channel");
    fuzz::requireParallel(result.channels[0].points);
    if (!result.error && !result.channels[0].points.xs.empty()) {
      fuzz::require(result.channels[0].points.xs[0] == 0 ||
                        result.channels[0].points.xs[0] != result.channels[0].points.xs[0],
                    "the first sample is the origin");
    }
  }
  return 0;
}
