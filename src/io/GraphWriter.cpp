#include "io/GraphWriter.h"

#include <array>

#include "core/NumberFormat.h"
#include "core/TextCodec.h"
#include "io/AtomicFile.h"

namespace tarvik {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr int kDigits = 15;

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

void formatGraphFile(const Graph& graph, const ChartTexts& texts, char decimalSeparator,
                     const std::function<void(std::string_view)>& out) {
  const std::array<std::string, 5> lines = lineTexts(graph, texts);
  std::string chunk;
  chunk.reserve(kChunkBytes + 256);
  for (std::size_t i = 0; i < graph.size(); ++i) {
    chunk += formatGeneral(graph.x(i), kDigits, decimalSeparator);
    chunk += ' ';
    chunk += formatGeneral(graph.y(i), kDigits, decimalSeparator);
    chunk += ' ';
    if (i < lines.size()) {
      chunk += lines[i];
    }
    chunk += "\r\n";
    if (chunk.size() >= kChunkBytes) {
      out(chunk);
      chunk.clear();
    }
  }
  if (!chunk.empty()) {
    out(chunk);
  }
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
