#pragma once
// The R&S waveform reader on bytes already at hand: the XML header file and the content of
// its companion "<name>.Wfm.bin". readRsBin finds and maps the companion, then calls this;
// tests and the fuzz target call it directly.
#include <string>
#include <string_view>

#include "io/ScopeRecord.h"

namespace tarvik {

// `companionName` is the companion's path as messages name it. `release` is told the
// companion's offsets as its samples are converted (it may throw to stop).
ScopeRecord readRsBinParts(std::string_view xml, std::string_view companion,
                           const std::string& companionName, const ReleaseBytes& release = {});

}  // namespace tarvik
