// The R&S waveform reader on arbitrary bytes: the XML header up to its closing
// "</Database>", the companion .Wfm.bin after it. It either refuses them with a
// ScopeFormatError or hands back whole traces, X and Y of equal length, X from 0.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "io/RsBin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string_view end = "</Database>";
  const std::size_t split = bytes.find(end);
  const std::string_view xml =
      split == std::string_view::npos ? bytes : bytes.substr(0, split + end.size());
  const std::string_view companion = bytes.substr(xml.size());
  (void)looksLikeRsBin(xml);
  ScopeRecord record;
  try {
    record = readRsBinParts(xml, companion, "/fuzz/input.Wfm.bin");
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
