#include "io/GraphWriter.h"

#include <algorithm>
#include <array>
#include <deque>
#include <future>
#include <thread>

#include "core/TextCodec.h"
#include "io/AtomicFile.h"
#include "io/GeneralNumberText.h"

namespace tarvik {
namespace {

// Points formatted as one block by one core (about 1.5 MB of text); blocks are written in
// order while the next ones are being formatted.
constexpr std::size_t kBlockPoints = 32768;
// Blocks being formatted ahead of the one being written.
constexpr std::size_t kBlocksAhead = 2;
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

// Lines of points [first, last) that carry no text.
std::string plainLines(const Graph& graph, std::size_t first, std::size_t last, char sep) {
  std::string text(kMaxPlainLine * (last - first), '\0');
  char* out = text.data();
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
  text.resize(static_cast<std::size_t>(out - text.data()));
  return text;
}

// The plain lines from `first` on, formatted in blocks by up to two cores and handed to
// `out` in file order.
void emitPlainLines(const Graph& graph, std::size_t first, char sep,
                    const std::function<void(std::string_view)>& out) {
  const std::size_t n = graph.size();
  if (first >= n) {
    return;
  }
  if (n - first <= kBlockPoints || std::thread::hardware_concurrency() < 2) {
    for (std::size_t from = first; from < n; from += kBlockPoints) {
      out(plainLines(graph, from, std::min(n, from + kBlockPoints), sep));
    }
    return;
  }
  // Destroying a pending future waits for its block, so an exception from `out` (a full
  // disk) leaves no thread behind.
  std::deque<std::future<std::string>> pending;
  std::size_t next = first;
  const auto launch = [&] {
    const std::size_t to = std::min(n, next + kBlockPoints);
    pending.push_back(std::async(std::launch::async, [&graph, from = next, to, sep] {
      return plainLines(graph, from, to, sep);
    }));
    next = to;
  };
  while (next < n || !pending.empty()) {
    while (next < n && pending.size() < kBlocksAhead) {
      launch();
    }
    const std::string block = pending.front().get();
    pending.pop_front();
    if (next < n) {
      launch();  // keeps both cores busy while this block is written
    }
    out(block);
  }
}

}  // namespace

void formatGraphFile(const Graph& graph, const ChartTexts& texts, char decimalSeparator,
                     const std::function<void(std::string_view)>& out) {
  const std::array<std::string, 5> lines = lineTexts(graph, texts);
  const std::size_t headed = std::min(graph.size(), lines.size());
  std::string head;
  char number[kGeneral15MaxChars];
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
  emitPlainLines(graph, headed, decimalSeparator, out);
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
