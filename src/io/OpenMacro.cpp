#include "io/OpenMacro.h"

#include <cstddef>
#include <vector>

namespace tarvik {
namespace {

constexpr std::size_t kLeadCharacters = 7;   // [open("
constexpr std::size_t kTrailCharacters = 3;  // ")]

bool isContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// Length of the sequence starting with `lead`, 1 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xF0U && lead <= 0xF4U) {
    return 4;
  }
  if (lead >= 0xE0U) {
    return lead <= 0xEFU ? 3 : 1;
  }
  if (lead >= 0xC2U) {
    return 2;
  }
  return 1;
}

// Byte length of the character starting at `pos`: a well-formed UTF-8 sequence counts as
// one character, any other byte on its own.
std::size_t characterAt(std::string_view text, std::size_t pos) {
  const std::size_t wanted = sequenceLength(static_cast<unsigned char>(text[pos]));
  if (wanted == 1 || pos + wanted > text.size()) {
    return 1;
  }
  for (std::size_t i = 1; i < wanted; ++i) {
    if (!isContinuation(static_cast<unsigned char>(text[pos + i]))) {
      return 1;
    }
  }
  return wanted;
}

// Byte offsets at which the characters of `line` start.
std::vector<std::size_t> characterStarts(std::string_view line) {
  std::vector<std::size_t> starts;
  for (std::size_t pos = 0; pos < line.size(); pos += characterAt(line, pos)) {
    starts.push_back(pos);
  }
  return starts;
}

}  // namespace

std::string buildOpenMacro(std::string_view path) {
  std::string macro = "[open(\"";
  macro += path;
  macro += "\")]\n";
  return macro;
}

bool canHandOverPath(std::string_view path) {
  return path.find_first_of("\r\n") == std::string_view::npos;
}

std::string_view firstMacroLine(std::string_view text) {
  std::string_view line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r' && line.size() < text.size()) {
    line.remove_suffix(1);
  }
  return line;
}

std::string pathFromOpenMacro(std::string_view text) {
  const std::string_view line = firstMacroLine(text);
  const std::vector<std::size_t> starts = characterStarts(line);
  if (starts.size() <= kLeadCharacters + kTrailCharacters) {
    return {};
  }
  const std::size_t begin = starts[kLeadCharacters];
  const std::size_t end = starts[starts.size() - kTrailCharacters];
  return std::string(line.substr(begin, end - begin));
}

}  // namespace tarvik
