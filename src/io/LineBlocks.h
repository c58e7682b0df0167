#pragma once
// Parallel parsing of line-oriented text with the lines kept in order. The text is cut into
// rounds of two blocks, each block a whole number of lines of about `blockBytes`; the two
// blocks of a round are parsed at the same time (one on a helper thread), then handed to
// `commit` in file order on the calling thread. Parsed blocks are small and reused, so
// memory stays at the size of the results plus two blocks.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <exception>
#include <string_view>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "io/ReadResult.h"

namespace tarvik::detail {

// Lines end with CR LF, LF or CR alone (files from old systems); each is one line end.

// The first CR or LF in [p, end), or `end`.
inline const char* findLineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    if (hits != 0) {
      return p + __builtin_ctz(static_cast<unsigned>(hits));
    }
  }
#endif
  for (; p != end; ++p) {
    if (*p == '\r' || *p == '\n') {
      return p;
    }
  }
  return end;
}

// The start of the next line, given the line end at `lineEnd` (found by findLineEnd).
inline const char* afterLineEnd(const char* lineEnd, const char* end) {
  if (lineEnd == end) {
    return end;
  }
  return (*lineEnd == '\r' && lineEnd + 1 != end && lineEnd[1] == '\n') ? lineEnd + 2 : lineEnd + 1;
}

// The start of the line that follows `pos` (or `pos` itself when it starts a line), never
// before `from`. A CR LF pair is never split.
inline std::size_t nextLineStart(std::string_view text, std::size_t from, std::size_t pos) {
  if (pos <= from) {
    return from;
  }
  if (pos >= text.size()) {
    return text.size();
  }
  const char* end = text.data() + text.size();
  const char* lineEnd = findLineEnd(text.data() + pos - 1, end);
  return static_cast<std::size_t>(afterLineEnd(lineEnd, end) - text.data());
}

// Parses text[begin, size) into `result` with two threads. The text is cut into rounds of
// two blocks of whole lines of about `blockBytes` each. In a round the calling thread first
// appends the previous round's second block to `result` and then parses its own block
// straight into `result`, while a helper thread parses the second block into a spare block.
// So the only copying overlaps with parsing, and the lines stay in file order.
//
// The reader provides, for its Block type:
//   parse(std::string_view lines, Block& into)  appends the lines, stops at a bad one
//   append(Block& into, const Block& from)      appends a parsed block, in file order
//   reset(Block&)                               empties a spare block for reuse
//   failed(const Block&)                        true once a bad line was met
// and, for formats whose records may run past a line end:
//   openAtEnd(const Block&)                     true when the last record goes on in the
//                                               next block; parse then continues it
// Blocks after a failed one are dropped. Exceptions of the helper thread are rethrown here.
// Bytes passed to `release` are never read again.
template <class Block, class Reader>
void parseLinesInParallel(std::string_view text, std::size_t begin, std::size_t blockBytes,
                          Reader& reader, Block& result, const ReleaseBytes& release) {
  std::array<Block, 2> spare;
  Block* pending = nullptr;
  std::size_t round = 0;
  for (std::size_t pos = begin; pos < text.size() && !reader.failed(result); ++round) {
    const std::size_t mid = nextLineStart(text, pos, pos + blockBytes);
    const std::size_t end = nextLineStart(text, mid, mid + blockBytes);
    Block& second = spare[round % 2];
    reader.reset(second);
    std::exception_ptr helperError;
    std::thread helper;
    if (end > mid) {
      helper = std::thread([&] {
        try {
          reader.parse(text.substr(mid, end - mid), second);
        } catch (...) {
          helperError = std::current_exception();
        }
      });
    }
    std::exception_ptr ownError;
    try {
      if (pending != nullptr) {
        reader.append(result, *pending);
      }
      if (!reader.failed(result)) {
        reader.parse(text.substr(pos, mid - pos), result);
      }
    } catch (...) {
      ownError = std::current_exception();
    }
    if (helper.joinable()) {
      helper.join();
    }
    for (const std::exception_ptr& e : {ownError, helperError}) {
      if (e) {
        std::rethrow_exception(e);
      }
    }
    pending = end > mid ? &second : nullptr;
    if constexpr (requires { reader.openAtEnd(result); }) {
      // The first block ended inside a record, so the second was parsed from a wrong start:
      // it is parsed again here, going on from that record, before its bytes are released.
      if (pending != nullptr && !reader.failed(result) && reader.openAtEnd(result)) {
        reader.parse(text.substr(mid, end - mid), result);
        pending = nullptr;
      }
    }
    pos = end;
    if (release) {
      release(pos);
    }
  }
  if (pending != nullptr && !reader.failed(result)) {
    reader.append(result, *pending);
  }
}

// Calls onLine(const char* begin, const char* end) for each line of `block` (line ends
// CR LF, LF or CR, removed); stops when onLine returns false.
template <class OnLine>
void forEachLine(std::string_view block, OnLine onLine) {
  const char* p = block.data();
  const char* const end = p + block.size();
  while (p < end) {
    const char* lineEnd = findLineEnd(p, end);
    if (!onLine(p, lineEnd)) {
      return;
    }
    p = afterLineEnd(lineEnd, end);
  }
}

// Appends `tail` to `values`, growing the capacity towards `expectedTotal` rather than by
// doubling, so one large array is not briefly held twice.
inline void appendValues(std::vector<double>& values, const std::vector<double>& tail,
                         std::size_t expectedTotal) {
  const std::size_t needed = values.size() + tail.size();
  if (needed > values.capacity()) {
    values.reserve(std::max(needed + needed / 8, expectedTotal));
  }
  values.insert(values.end(), tail.begin(), tail.end());
}

// Where the text stops having lines worth reading: line ends (and nothing else) at the very
// end of a file are not empty records.
inline std::size_t endWithoutTrailingLineEnds(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) {
    --end;
  }
  return end;
}

// Lines expected in text[from, size): a sample from the middle of the text, with margin, but
// never more than the text can hold when each line takes at least `minLineBytes` bytes
// with its line end (capacity is reserved from this, so a sample of blank lines must not
// make it larger than the file).
inline std::size_t estimateLines(std::string_view text, std::size_t from,
                                 std::size_t minLineBytes) {
  const std::size_t size = text.size() - std::min(from, text.size());
  const std::size_t most = size / std::max<std::size_t>(minLineBytes, 1) + 1;
  const std::size_t sampleSize = std::min<std::size_t>(size, 1 << 16);
  const std::size_t sampleStart = from + (size - sampleSize) / 2;
  const std::string_view sample = text.substr(sampleStart, sampleSize);
  // Line ends are CR LF, LF or CR alone: the more frequent of the two characters counts them.
  const auto lines =
      static_cast<std::size_t>(std::max(std::count(sample.begin(), sample.end(), '\n'),
                                        std::count(sample.begin(), sample.end(), '\r')));
  if (lines == 0) {
    return std::min<std::size_t>(most, 16);
  }
  const auto estimate =
      static_cast<std::size_t>(static_cast<double>(lines) * 1.25 * static_cast<double>(size) /
                               static_cast<double>(sampleSize)) +
      16;
  return std::min(estimate, most);
}

}  // namespace tarvik::detail
