// The oscilloscope CSV reader on arbitrary bytes, with both decimal separators.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "io/CsvReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (char separator : {'.', ','}) {
    const CsvData result = readOscilloscopeCsv(bytes, separator);
    fuzz::require(result.channels.size() == oscilloscopeChannelCount(bytes), "channel count");
    for (const CsvChannel& channel : result.channels) {
      fuzz::requireParallel(channel.points);
    }
  }
  return 0;
}
