#pragma once
// Shared body of the scope reader fuzz targets: a reader either refuses the bytes with a
// ScopeFormatError or returns whole traces; any other exception, a crash or a broken
// invariant is a finding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "io/ScopeRecord.h"

namespace tarvik::fuzz {

// `bytesPerSample`: the fewest file bytes one sample of the family takes, so a trace longer
// than the file could hold shows an allocation the header was not checked for. (Channels of
// a crafted file may point at the same bytes, so the bound holds per trace.)
template <typename Read>
int runScopeReader(const std::uint8_t* data, std::size_t size, Read read,
                   std::size_t bytesPerSample) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)detectScopeFormat(bytes, ".bin");
  ScopeInput input;
  input.bytes = bytes;
  input.path = "fuzz.bin";
  input.release = [size](std::size_t end) {
    require(end <= size, "released past the end of the file");
  };
  ScopeRecord record;
  try {
    record = read(input);
  } catch (const ScopeFormatError&) {
    return 0;
  }
  require(!record.traces.empty(), "a record without traces was returned");
  for (const ScopeTrace& trace : record.traces) {
    requireParallel(trace.points);
    require(!trace.points.xs.empty(), "an empty trace was returned");
    require(!trace.title.empty(), "a trace without a title was returned");
    require(trace.points.xs.size() <= size / bytesPerSample, "more samples than the file holds");
    require(trace.points.xs.front() == 0.0, "X does not start at the first sample");
    for (std::size_t i = 1; i < trace.points.xs.size(); ++i) {
      require(trace.points.xs[i] >= trace.points.xs[i - 1], "X goes back");
      require(std::isfinite(trace.points.xs[i]), "X is not finite");
    }
  }
  return 0;
}

}  // namespace tarvik::fuzz
