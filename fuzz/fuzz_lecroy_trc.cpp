// The LeCroy waveform file reader on arbitrary bytes: it either refuses them with a
// ScopeFormatError or hands back whole traces, X and Y of equal length, X from 0, each titled.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "io/ScopeRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)looksLikeLecroyTrc(bytes);
  ScopeRecord record;
  try {
    record = readLecroyTrc(ScopeInput{bytes, "/fuzz/input", {}, '.'});
  } catch (const ScopeFormatError&) {
    return 0;
  }
  fuzz::require(!record.traces.empty(), "a record read without traces");
  for (const ScopeTrace& trace : record.traces) {
    fuzz::requireParallel(trace.points);
    fuzz::require(!trace.points.xs.empty(), "a trace without samples");
    fuzz::require(trace.points.xs[0] == 0.0, "X does not start at 0");
    fuzz::require(!trace.title.empty(), "a trace without a title");
  }
  return 0;
}
