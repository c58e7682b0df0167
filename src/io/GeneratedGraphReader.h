#pragma once
// The generated graph file that the signal generators write and load back: per line, after
// tabs become blanks and blanks are trimmed and collapsed, word 1 is X, word 2 is Y ("."
// decimal point) and, on counted lines 1 to 5, the words from the third on are the chart
// texts (title, bottom axis, stored Y axis, two foot lines), converted from Windows 1251.
// Lines of fewer than two words are skipped and not counted.
#include <string>
#include <string_view>

#include "io/ReadResult.h"

namespace tarvik {

struct GeneratedGraphData {
  PointArrays points;  // in the order the graph holds them
  FileTexts texts;     // set for counted lines 1..5 that have a third word
  // "Ошибка WORD в строке N в файле NAME" for a word 1 or 2 that is not a number (a long
  // word quoted by its start, as quotedFileText cuts it).
  std::optional<ReadError> error;
};

// `fileName` (without folder) is only used in the error message.
GeneratedGraphData readGeneratedGraph(std::string_view bytes, const std::string& fileName);

}  // namespace tarvik
