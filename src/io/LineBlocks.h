#pragma once
// Parallel parsing of line-oriented text with the lines kept in order. The text is cut into
// blocks of whole lines of about `blockBytes`; the threads take the blocks one after the
// other as they come free, and the calling thread hands them to the result in file order.
// Parsed blocks are small and reused, so memory stays at the size of the results plus a few
// blocks.
#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <exception>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

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

// Parses text[begin, size) into `result` with all cores. The text is cut into blocks of
// whole lines of about `blockBytes` each, many more than there are threads; every thread
// (the calling one included) takes the next block nobody has taken yet from a shared
// counter, so when another program holds a core the threads that run take over its share
// instead of waiting for it. The calling thread hands the blocks to `result` in file order:
// a block it takes when every block before it is in already is parsed straight into
// `result`, any other one into a spare block that is appended when its turn comes. Only a
// few blocks may be ahead of the last one handed in, so memory stays at the size of the
// results plus those few blocks, and the bytes of every block handed in are released.
//
// The reader provides, for its Block type:
//   parse(std::string_view lines, Block& into)  appends the lines, stops at a bad one
//   append(Block& into, const Block& from)      appends a parsed block, in file order
//   reset(Block&)                               empties a spare block for reuse
//   failed(const Block&)                        true once a bad line was met
// and, for formats whose records may run past a line end:
//   openAtEnd(const Block&)                     true when the last record goes on in the
//                                               next block; parse then continues it
// parse and reset run on several threads at once, on different blocks. Blocks after a
// failed one are dropped. Exceptions of the other threads are rethrown here, in file order.
// Bytes passed to `release` are never read again.
template <class Block, class Reader>
void parseLinesInParallel(std::string_view text, std::size_t begin, std::size_t blockBytes,
                          Reader& reader, Block& result, const ReleaseBytes& release) {
  std::vector<std::size_t> starts{begin};
  while (starts.back() < text.size()) {
    starts.push_back(nextLineStart(text, starts.back(), starts.back() + blockBytes));
  }
  const std::size_t blocks = starts.size() - 1;
  if (blocks == 0) {
    return;
  }
  const auto lines = [&](std::size_t b) {
    return text.substr(starts[b], starts[b + 1] - starts[b]);
  };
  const std::size_t helpers = std::min<std::size_t>(
      blocks - 1, std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 4) - 1);
  // Blocks parsed but not yet handed in, at most: enough that the calling thread goes on
  // while another thread is held up for two blocks' time. Each one ahead keeps its bytes
  // mapped and its values twice until handed in, so the window is kept small.
  const std::size_t window = helpers + 3;

  struct Spare {
    Block block;
    std::exception_ptr error;
    std::size_t ready = 0;  // 1 + the index of the block parsed into it, 0 before
  };
  std::vector<Spare> spares(window);
  std::atomic<std::size_t> next{0};  // the first block nobody has taken
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t handedIn = 0;  // blocks in `result`, guarded by `mutex`
  bool stop = false;         // guarded by `mutex`

  // Takes the next block if it lies within the window; the caller then owns it.
  const auto takeWithinWindow = [&](std::size_t limit, std::size_t& taken) {
    std::size_t b = next.load();
    while (b < blocks && b < limit) {
      if (next.compare_exchange_weak(b, b + 1)) {
        taken = b;
        return true;
      }
    }
    return false;
  };
  const auto parseSpare = [&](std::size_t b) {
    Spare& spare = spares[b % window];
    try {
      reader.reset(spare.block);
      reader.parse(lines(b), spare.block);
    } catch (...) {
      spare.error = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(mutex);
    spare.ready = b + 1;
    changed.notify_all();
  };
  const auto helperLoop = [&] {
    for (;;) {
      const std::size_t b = next.fetch_add(1);
      if (b >= blocks) {
        return;
      }
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stop || b < handedIn + window; });
        if (stop) {
          return;
        }
      }
      parseSpare(b);
    }
  };

  // Stops and joins the helpers on every way out, an exception included.
  struct Helpers {
    std::vector<std::thread> threads;
    std::mutex& mutex;
    std::condition_variable& changed;
    bool& stop;
    ~Helpers() {
      {
        const std::lock_guard<std::mutex> lock(mutex);
        stop = true;
      }
      changed.notify_all();
      for (std::thread& t : threads) {
        t.join();
      }
    }
  } running{{}, mutex, changed, stop};
  for (std::size_t h = 0; h < helpers; ++h) {
    running.threads.emplace_back(helperLoop);
  }

  const auto handIn = [&](std::size_t b) {
    const std::lock_guard<std::mutex> lock(mutex);
    handedIn = b + 1;
    changed.notify_all();
  };
  while (handedIn < blocks && !reader.failed(result)) {
    const std::size_t b = handedIn;
    Spare& spare = spares[b % window];
    bool ready = false;
    {
      const std::lock_guard<std::mutex> lock(mutex);
      ready = spare.ready == b + 1;
    }
    if (ready) {
      if (spare.error) {
        std::rethrow_exception(spare.error);
      }
      bool parsedAgain = false;
      if constexpr (requires { reader.openAtEnd(result); }) {
        // The block before ended inside a record, so this one was parsed from a wrong
        // start: it is parsed again, going on from that record.
        if (reader.openAtEnd(result)) {
          reader.parse(lines(b), result);
          parsedAgain = true;
        }
      }
      if (!parsedAgain) {
        reader.append(result, spare.block);
      }
    } else {
      std::size_t own = 0;
      if (takeWithinWindow(b + window, own)) {
        if (own != b) {
          parseSpare(own);
          continue;
        }
        reader.parse(lines(b), result);
      } else {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return spare.ready == b + 1; });
        continue;
      }
    }
    handIn(b);
    if (release) {
      release(starts[b + 1]);
    }
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
inline void appendValues(std::vector<double>& values, std::span<const double> tail,
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
