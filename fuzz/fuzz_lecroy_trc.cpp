// The LeCroy waveform file reader on arbitrary bytes: it refuses them with a ScopeFormatError or returns
// whole titled traces that the file's bytes can hold.
#include <cstddef>
#include <cstdint>

#include "ScopeFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tarvik::fuzz::runScopeReader(data, size, tarvik::readLecroyTrc, 1);
}
