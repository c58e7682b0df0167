// The batch script parser on arbitrary bytes: script files and -e texts split into
// numbered commands, each split into its words and name=value arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "batch/BatchRunner.h"

namespace {

using namespace tarvik;

void checkLines(const std::vector<batch::ScriptLine>& lines, bool fromFile) {
  int previous = 0;
  for (const batch::ScriptLine& line : lines) {
    fuzz::require(line.number >= 1, "line numbers start at 1");
    fuzz::require(line.number >= previous, "line numbers never go back");
    fuzz::require(!fromFile || line.text.find('\n') == std::string::npos,
                  "a command of a script file holds no line end");
    previous = line.number;
    try {
      const batch::BatchArgs args = batch::parseCommand(line);
      fuzz::require(args.line == line.number, "a command keeps its line number");
      for (const auto& [name, value] : args.named) {
        fuzz::require(!name.empty(), "an argument has a name");
      }
    } catch (const batch::UsageError&) {
      // A malformed command is refused with a usage error; anything else escapes and stops.
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  checkLines(batch::scriptLines(text), true);
  checkLines(batch::inlineLines(text), false);
  std::size_t outside = 0;
  for (const std::string& piece : batch::splitCommands(text)) {
    outside += piece.size() + 1;
  }
  fuzz::require(outside == text.size() + 1, "the pieces and their ';' make up the text");
  return 0;
}
