#include "io/GeneratedGraphReader.h"

#include <cstring>

#include "core/TextCodec.h"
#include "io/LineBlocks.h"
#include "io/NumberTokens.h"
#include "io/PointOrder.h"

namespace tarvik {
namespace {

// Tabs become blanks, leading and trailing blanks go, runs of blanks shrink to one.
std::string normalise(const char* b, const char* e) {
  std::string line;
  line.reserve(static_cast<std::size_t>(e - b));
  for (const char* p = b; p != e; ++p) {
    const char c = *p == '\t' ? ' ' : *p;
    if (c == ' ' && (line.empty() || line.back() == ' ')) {
      continue;
    }
    line.push_back(c);
  }
  if (!line.empty() && line.back() == ' ') {
    line.pop_back();
  }
  return line;
}

std::string errorText(std::string_view word, std::size_t line, const std::string& fileName) {
  return "Ошибка " + quotedFileText(word) + " в строке " + std::to_string(line) + " в файле " +
         fileName;
}

}  // namespace

GeneratedGraphData readGeneratedGraph(std::string_view bytes, const std::string& fileName) {
  GeneratedGraphData data;
  std::size_t counted = 0;
  detail::forEachLine(bytes, [&](const char* b, const char* e) {
    const std::string line = normalise(b, e);
    const std::size_t firstBlank = line.find(' ');
    if (firstBlank == std::string::npos) {
      return true;  // fewer than two words
    }
    ++counted;
    const std::size_t secondBlank = line.find(' ', firstBlank + 1);
    const std::string_view words(line);
    const std::string_view xWord = words.substr(0, firstBlank);
    const std::string_view yWord = words.substr(firstBlank + 1, secondBlank - firstBlank - 1);
    const std::optional<double> x = detail::fileToken(xWord);
    const std::optional<double> y = x ? detail::fileToken(yWord) : std::nullopt;
    if (!y) {
      data.error = ReadError{counted, errorText(x ? yWord : xWord, counted, fileName)};
      return false;
    }
    data.points.xs.push_back(*x);
    data.points.ys.push_back(*y);
    if (counted <= data.texts.size() && secondBlank != std::string::npos) {
      data.texts[counted - 1] = cp1251ToUtf8(words.substr(secondBlank + 1));
    }
    return true;
  });
  applyPointOrder(data.points);
  return data;
}

}  // namespace tarvik
