#pragma once
// The plain graph file (.grf, .sig, .srg and any file not recognised otherwise): records of
// a number X, a number Y and the rest of the line. Numbers are tokens separated by any
// characters up to code 32, read with "." as the decimal point (the writer's own "INF",
// "-INF", "NAN" and a "," decimal point are accepted too). The texts of records 1 to 5 pass
// the DOS Cyrillic rule and are converted from Windows 1251 to UTF-8.
#include <string_view>

#include "io/ReadResult.h"

namespace tarvik {

struct PlainGraphData {
  PointArrays points;              // in the order the graph holds them
  FileTexts texts;                 // set for each of records 1..5 that was read
  std::optional<ReadError> error;  // "Invalid numeric input" at the record's line
  ReadExtent extent;
};

// Reads the whole of `bytes`. Empty input, or input of blanks and line ends only, gives no
// points and no texts. A token that is not a number (or an X without its Y at the end of
// the file) stops reading; the records before it are kept. `release` is told as reading
// moves on.
PlainGraphData readPlainGraph(std::string_view bytes, const ReleaseBytes& release = {});

// The message of a token that is not a number.
inline constexpr const char* kInvalidNumericInput = "Invalid numeric input";

}  // namespace tarvik
