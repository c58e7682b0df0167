// The oscilloscope CSV exports on arbitrary bytes: detection and reading with both decimal
// separators. A claimed file either reads whole or is refused with a ScopeFormatError; the
// listed CSV path keeps every file it reads at its first line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "io/CsvReaders.h"
#include "io/ScopeRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!looksLikeScopeCsv(bytes)) {
    return 0;
  }
  // What is claimed here is refused by the listed path at line 1 or read as nothing there.
  const CsvData listed = isOscilloscopeCsv(bytes) ? readOscilloscopeCsv(bytes, '.')
                                                  : readPlainCsv(bytes, '.');
  if (!listed.error) {
    for (const CsvChannel& channel : listed.channels) {
      fuzz::require(channel.points.xs.empty(), "a file the listed CSV path reads is claimed");
    }
  } else {
    fuzz::require(listed.error->line == 1, "a file the listed CSV path reads in part is claimed");
  }
  for (char separator : {'.', ','}) {
    try {
      const ScopeRecord record = readScopeCsv(ScopeInput{bytes, "fuzz.csv", {}, separator});
      fuzz::require(!record.traces.empty(), "a record without graphs");
      for (const ScopeTrace& trace : record.traces) {
        fuzz::requireParallel(trace.points);
        fuzz::require(!trace.points.xs.empty(), "a graph without points");
      }
    } catch (const ScopeFormatError&) {
    }
  }
  return 0;
}
