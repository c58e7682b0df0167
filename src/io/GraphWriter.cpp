#include "io/GraphWriter.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "core/TextCodec.h"
#include "io/AtomicFile.h"
#include "io/GeneralNumberText.h"

namespace tarvik {
namespace {

// A line without text: two numbers, two blanks, CR LF.
constexpr std::size_t kMaxPlainLine = 2 * kGeneral15MaxChars + 4;

bool isBlank(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) > 32) {
      return false;
    }
  }
  return true;
}

std::string fileText(const std::string& utf8) {
  std::string bytes = utf8ToCp1251(utf8);
  for (char& c : bytes) {
    if (c == '\r' || c == '\n') {
      c = ' ';
    }
  }
  return bytes;
}

std::array<std::string, 5> lineTexts(const Graph& graph, const ChartTexts& texts) {
  std::array<std::string, 5> lines{
      fileText(graph.title), fileText(texts.bottomAxisTitle), fileText(texts.yAxisTitle), {}, {}};
  std::size_t next = 3;
  for (const std::string& foot : texts.footLines) {
    if (next == lines.size()) {
      break;
    }
    if (!isBlank(foot)) {
      lines[next++] = fileText(foot);
    }
  }
  return lines;
}

}  // namespace

ChartTexts chartTexts(const GraphStore& store) {
  return {store.bottomAxisTitle, store.yAxisTitle, store.footLines};
}

namespace {

// Room for the plain lines of `count` points, and for the last number's overlong copies.
std::size_t plainLinesRoom(std::size_t count) { return kMaxPlainLine * count + kGeneral15Room; }

// Writes the lines of points [first, last), which carry no text, at `out`; returns their end.
char* plainLines(const Graph& graph, std::size_t first, std::size_t last, char sep, char* out) {
  const double* xs = graph.xs().data();
  const double* ys = graph.ys().data();
  for (std::size_t i = first; i < last; ++i) {
    out = writeGeneral15(out, xs[i], sep);
    *out++ = ' ';
    out = writeGeneral15(out, ys[i], sep);
    out[0] = ' ';
    out[1] = '\r';
    out[2] = '\n';
    out += 3;
  }
  return out;
}

// The plain lines cut into blocks that the calling thread and its helpers format, each
// taking the next block nobody has taken, into a ring of buffers made once (so the pages of
// a block are not asked of the kernel again for every block). The calling thread hands the
// blocks to `out` in file order and, while the next one is not ready, formats one itself, so
// a helper without a core of its own holds nothing up. A buffer is formatted again only after
// its block has been handed on.
class BlockPipeline {
 public:
  BlockPipeline(const Graph& graph, std::size_t first, std::size_t blockPoints, char sep,
                unsigned helpers)
      : m_graph(graph),
        m_first(first),
        m_blockPoints(blockPoints),
        m_blocks((graph.size() - first + blockPoints - 1) / blockPoints),
        m_sep(sep),
        m_slots(std::min<std::size_t>(m_blocks, helpers == 0 ? 1 : helpers + 3)) {
    const std::size_t room = plainLinesRoom(std::min(blockPoints, graph.size() - first));
    for (Slot& slot : m_slots) {
      slot.text = std::make_unique_for_overwrite<char[]>(room);
    }
    m_helpers.reserve(helpers);
    try {
      for (unsigned i = 0; i < helpers; ++i) {
        m_helpers.emplace_back([this] { helperLoop(); });
      }
    } catch (const std::system_error&) {
      // No further thread: the calling thread formats what the others leave.
    }
  }
  BlockPipeline(const BlockPipeline&) = delete;
  BlockPipeline& operator=(const BlockPipeline&) = delete;
  // An exception from `out` (a full disk) ends the helpers here, before the buffers go.
  ~BlockPipeline() {
    {
      std::lock_guard lock(m_mutex);
      m_stopped = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_helpers) {
      t.join();
    }
  }

  void run(const std::function<void(std::string_view)>& out) {
    for (std::size_t block = 0; block < m_blocks; ++block) {
      Slot& slot = m_slots[block % m_slots.size()];
      std::unique_lock lock(m_mutex);
      while (slot.ready != block) {
        if (std::optional<std::size_t> mine = takeBlock()) {
          lock.unlock();
          format(*mine);
          lock.lock();
        } else {
          m_done.wait(lock);
        }
      }
      lock.unlock();
      out(std::string_view(slot.text.get(), slot.size));
      lock.lock();
      m_handedOn = block + 1;
      lock.unlock();
      m_wake.notify_all();
    }
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  struct Slot {
    std::unique_ptr<char[]> text;
    std::size_t size = 0;
    std::size_t ready = kNone;  // the block whose text the buffer holds
  };

  // The next block whose buffer is free; called with the mutex held.
  std::optional<std::size_t> takeBlock() {
    if (m_next < m_blocks && m_next < m_handedOn + m_slots.size()) {
      return m_next++;
    }
    return std::nullopt;
  }

  void format(std::size_t block) {
    Slot& slot = m_slots[block % m_slots.size()];
    const std::size_t from = m_first + block * m_blockPoints;
    const std::size_t to = std::min(m_graph.size(), from + m_blockPoints);
    char* const text = slot.text.get();
    const std::size_t size =
        static_cast<std::size_t>(plainLines(m_graph, from, to, m_sep, text) - text);
    {
      std::lock_guard lock(m_mutex);
      slot.size = size;
      slot.ready = block;
    }
    m_done.notify_one();
  }

  void helperLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_stopped) {
      if (std::optional<std::size_t> mine = takeBlock()) {
        lock.unlock();
        format(*mine);
        lock.lock();
      } else if (m_next == m_blocks) {
        return;
      } else {
        m_wake.wait(lock);
      }
    }
  }

  const Graph& m_graph;
  const std::size_t m_first, m_blockPoints, m_blocks;
  const char m_sep;
  std::vector<Slot> m_slots;
  std::mutex m_mutex;
  std::condition_variable m_wake;  // helpers: a buffer was handed on, or stop
  std::condition_variable m_done;  // the calling thread: a block is ready
  std::size_t m_next = 0;          // the next block nobody has taken
  std::size_t m_handedOn = 0;      // blocks handed to `out`
  bool m_stopped = false;
  std::vector<std::thread> m_helpers;  // last: they start once everything else is made
};

// Helpers beside the calling thread: one per further core, at most three (the writing of the
// text into the file takes a core's share too).
unsigned formattingHelpers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores < 2 ? 0 : std::min(cores, 4U) - 1;
}

// The plain lines from `first` on, handed to `out` in file order.
void emitPlainLines(const Graph& graph, std::size_t first, char sep, std::size_t blockPoints,
                    const std::function<void(std::string_view)>& out) {
  const std::size_t n = graph.size();
  if (first >= n) {
    return;
  }
  const unsigned helpers = n - first <= blockPoints ? 0 : formattingHelpers();
  BlockPipeline(graph, first, blockPoints, sep, helpers).run(out);
}

}  // namespace

void formatGraphFile(const Graph& graph, const ChartTexts& texts, char decimalSeparator,
                     const std::function<void(std::string_view)>& out, std::size_t blockPoints) {
  if (blockPoints == 0) {
    throw std::invalid_argument("formatGraphFile: no points per block");
  }
  const std::array<std::string, 5> lines = lineTexts(graph, texts);
  const std::size_t headed = std::min(graph.size(), lines.size());
  std::string head;
  char number[kGeneral15Room];
  for (std::size_t i = 0; i < headed; ++i) {
    head.append(number, writeGeneral15(number, graph.x(i), decimalSeparator));
    head += ' ';
    head.append(number, writeGeneral15(number, graph.y(i), decimalSeparator));
    head += ' ';
    head += lines[i];
    head += "\r\n";
  }
  if (!head.empty()) {
    out(head);
  }
  emitPlainLines(graph, headed, decimalSeparator, blockPoints, out);
}

std::string graphFileBytes(const Graph& graph, const ChartTexts& texts, char decimalSeparator) {
  std::string bytes;
  formatGraphFile(graph, texts, decimalSeparator,
                  [&bytes](std::string_view piece) { bytes.append(piece); });
  return bytes;
}

void writeGraphFile(const Graph& graph, const GraphStore& store, const std::string& path,
                    char decimalSeparator) {
  AtomicFile file(path);
  formatGraphFile(graph, chartTexts(store), decimalSeparator,
                  [&file](std::string_view piece) { file.write(piece); });
  file.commit();
}

}  // namespace tarvik
