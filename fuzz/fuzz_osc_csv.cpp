// The oscilloscope CSV reader on arbitrary bytes, with both decimal separators, reading every
// channel's times into its own array and sharing those equal to an earlier channel's: the
// two must give the same channels bit for bit, the same error included. An extent either
// read gives is that of the channel's points.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "io/CsvReaders.h"

namespace {

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (char separator : {'.', ','}) {
    const CsvData result = readOscilloscopeCsv(bytes, separator);
    fuzz::require(result.channels.size() == oscilloscopeChannelCount(bytes), "channel count");
    for (const CsvChannel& channel : result.channels) {
      fuzz::requireParallel(channel.points);
      fuzz::require(!channel.xOfChannel, "a separate read shares no times");
      fuzz::requireKnownExtent(channel.extent, channel.points.xs, channel.points.ys);
    }
    const CsvData shared = readOscilloscopeCsv(bytes, separator, {}, CsvTimes::sharedWhereEqual);
    fuzz::require(shared.channels.size() == result.channels.size(), "shared: channel count");
    fuzz::require(shared.error.has_value() == result.error.has_value(), "shared: error");
    if (shared.error && result.error) {
      fuzz::require(shared.error->line == result.error->line &&
                        shared.error->message == result.error->message,
                    "shared: the same error");
    }
    for (std::size_t i = 0; i < shared.channels.size(); ++i) {
      const CsvChannel& channel = shared.channels[i];
      const std::vector<double>* xs = &channel.points.xs;
      if (channel.xOfChannel) {
        fuzz::require(*channel.xOfChannel < i, "shared: times of an earlier channel");
        const CsvChannel& owner = shared.channels[*channel.xOfChannel];
        fuzz::require(!owner.xOfChannel, "shared: the owner holds its times");
        fuzz::require(channel.points.xs.empty(), "shared: no copy of the times");
        xs = &owner.points.xs;
      }
      fuzz::require(sameBits(*xs, result.channels[i].points.xs), "shared: the same X");
      fuzz::require(sameBits(channel.points.ys, result.channels[i].points.ys), "shared: the same Y");
      fuzz::requireKnownExtent(channel.extent, *xs, channel.points.ys);
    }
  }
  return 0;
}
