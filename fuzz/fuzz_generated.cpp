// The generated graph file reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "io/GeneratedGraphReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvik;
  const GeneratedGraphData result =
      readGeneratedGraph(std::string_view(reinterpret_cast<const char*>(data), size), "Streem.txt");
  fuzz::requireParallel(result.points);
  if (result.error) {
    fuzz::require(result.error->message.rfind("Ошибка ", 0) == 0, "error text");
  }
  return 0;
}
