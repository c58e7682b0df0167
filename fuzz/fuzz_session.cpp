// The session reader on arbitrary bytes: the whole path a file takes, the checks before the
// library, the reading process and the points it hands back. Whatever the bytes, the reading
// ends with a session or with an Error carrying a message, in bounded time.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "FuzzCheck.h"
#include "core/OutputLimits.h"
#include "io/SessionFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  static const std::string path = "/tmp/tarvik-fuzz-session-" + std::to_string(::getpid()) + ".h5";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  SessionReadOptions options;
  options.timeLimitSeconds = 3;
  try {
    const Session session = readSession(path, options);
    const DocumentState& d = session.document;
    fuzz::require(d.sourceFiles.size() == d.graphs.size(), "an entry per graph");
    fuzz::require(d.active >= -1 && d.active < static_cast<int>(d.graphs.size()), "active");
    for (const Graph& graph : d.graphs) {
      fuzz::require(graph.xs().size() == graph.ys().size(), "x and y of one length");
      fuzz::require(graph.size() <= kMaxGraphPoints, "the cap of one graph");
    }
  } catch (const Error& e) {
    fuzz::require(std::string(e.what()).find(path) != std::string::npos, "the file is named");
  }
  return 0;
}
