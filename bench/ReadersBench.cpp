// Throughput and peak memory of the graph file readers and the writer. Each measurement
// runs in a fresh process (peak memory is per process), so the program does one thing per
// call; bench/run_readers_bench.sh drives it and the peer readers.
//
//   ReadersBench generate-osc PATH RECORDS CHANNELS   oscilloscope export to read
//   ReadersBench write-plain PATH LINES                plain graph file, timed as the writer
//   ReadersBench read PATH                             "Read graph file" as the open command
//                                                      (graph_MB: the graphs' arrays, a shared
//                                                      one counted once)
//   ReadersBench digest PATH                           what the reader made of the file: graphs,
//                                                      points, titles and an FNV-1a hash of
//                                                      every X and Y bit (to compare builds)
#include <sys/resource.h>

#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <string>

#include "core/Command.h"
#include "io/FileCommands.h"
#include "io/GraphWriter.h"

namespace {

using Clock = std::chrono::steady_clock;

class BenchUi : public tarvik::Ui {
 public:
  std::optional<std::vector<int>> chooseEntries(const tarvik::GraphChoiceRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> askValueText(const std::string&) override { return std::nullopt; }
  bool editOptions(tarvik::DialogOptions&) override { return false; }
  void message(tarvik::MessageKind, const std::string& text) override {
    std::cerr << "message: " << text << "\n";
    failed = true;
  }
  bool question(const std::string&) override { return false; }
  std::optional<std::vector<std::string>> askOpenFiles(const tarvik::FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> askSaveFile(const tarvik::FileDialogRequest&) override {
    return std::nullopt;
  }
  void rememberFolder(const std::string&) override {}
  void progress(const std::string&) override {}
  char decimalSeparator() const override { return '.'; }
  bool failed = false;
};

// User and system CPU seconds of this process so far (both reading threads included).
double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Page faults of the process so far (minor: a page new to the process or one of the page
// cache mapped in; major: read from the disk).
long pageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt + usage.ru_majflt;
}

long peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void append(std::string& line, double value, std::chars_format format, int precision) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
  line.append(buffer, result.ptr);
}

// A noisy pulse with a rise of a few nanoseconds on every channel, sampled every 0.2 ns.
int generateOscilloscope(const std::string& path, std::size_t records, std::size_t channels) {
  static const char* labels[] = {
      "Record Length",    "Sample Interval", "Trigger Point",   "Source",
      "Vertical Units",   "Vertical Scale",  "Vertical Offset", "Horizontal Units",
      "Horizontal Scale", "Pt Fmt",          "Yzero",           "Probe Atten"};
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::cerr << "cannot write " << path << "\n";
    return 1;
  }
  std::mt19937_64 random(42);
  std::normal_distribution<double> noise(0.0, 0.004);
  const double step = 2e-10;
  std::string line;
  for (std::size_t i = 0; i < records; ++i) {
    line.clear();
    const double t = (static_cast<double>(i) - static_cast<double>(records) / 2) * step;
    for (std::size_t c = 0; c < channels; ++c) {
      if (i < std::size(labels)) {
        line += labels[i];
        line += ',';
        line += i == 3 ? "CH" + std::to_string(c + 1) : std::string("1.000000e+00");
      } else {
        line += ',';
      }
      line += ",,";
      append(line, t, std::chars_format::scientific, 6);
      line += ',';
      const double rise = 1.0 / (1.0 + std::exp(-(t + 1e-9 * static_cast<double>(c)) / 1e-9));
      append(line, 0.5 * (1 + static_cast<double>(c)) * rise + noise(random),
             std::chars_format::fixed, 5);
      line += c + 1 < channels ? ",," : ",";
    }
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), out);
  }
  return std::fclose(out) == 0 ? 0 : 1;
}

int writePlain(const std::string& path, std::size_t lines) {
  tarvik::GraphStore store;
  tarvik::Graph& g = store.graph(store.appendGraph("bench"));
  std::mt19937_64 random(7);
  std::normal_distribution<double> noise(0.0, 1.0);
  g.reserve(lines);
  for (std::size_t i = 0; i < lines; ++i) {
    g.appendPoint(static_cast<double>(i) * 0.2,
                  std::sin(static_cast<double>(i) * 1e-4) + noise(random));
  }
  const auto start = Clock::now();
  tarvik::writeGraphFile(g, store, path, '.');
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  std::printf("write plain_graph points=%zu MB=%.1f seconds=%.3f MB/s=%.0f\n", lines, mb, seconds,
              mb / seconds);
  return 0;
}

int read(const std::string& path) {
  tarvik::GraphStore store;
  BenchUi ui;
  tarvik::CommandContext ctx{store, ui};
  const long faultsStart = pageFaults();
  const double cpuStart = cpuSeconds();
  const auto start = Clock::now();
  const bool ok = tarvik::readGraphFile(ctx, path);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = cpuSeconds() - cpuStart;
  const long faults = pageFaults() - faultsStart;
  std::size_t points = 0;
  std::set<const tarvik::PointBlock*> blocks;  // graphs may share an array: counted once
  std::size_t values = 0;
  for (std::size_t i = 0; i < store.count(); ++i) {
    const tarvik::Graph& graph = store.graph(i);
    points += graph.size();
    for (const auto& block : {graph.xBlock(), graph.yBlock()}) {
      values += blocks.insert(block.get()).second ? block->size() : 0;
    }
  }
  const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  const double peakMb = static_cast<double>(peakKilobytes()) / 1024.0 * 1.048576;
  const double graphMb = static_cast<double>(values) * 8 / 1e6;
  std::printf(
      "read %s graphs=%zu points=%zu MB=%.1f seconds=%.3f cpu=%.3f MB/s=%.0f peak_MB=%.1f "
      "graph_MB=%.1f peak/graph=%.2f faults=%ld\n",
      std::filesystem::path(path).filename().c_str(), store.count(), points, mb, seconds, cpu,
      mb / seconds, peakMb, graphMb, peakMb / graphMb, faults);
  return ok && !ui.failed ? 0 : 1;
}

int digest(const std::string& path) {
  tarvik::GraphStore store;
  BenchUi ui;
  tarvik::CommandContext ctx{store, ui};
  const bool ok = tarvik::readGraphFile(ctx, path);
  std::uint64_t hash = 1469598103934665603ULL;
  auto mix = [&hash](std::uint64_t word) {
    for (int i = 0; i < 8; ++i) {
      hash = (hash ^ ((word >> (8 * i)) & 0xFF)) * 1099511628211ULL;
    }
  };
  for (std::size_t g = 0; g < store.count(); ++g) {
    const tarvik::Graph& graph = store.graph(g);
    for (std::size_t i = 0; i < graph.size(); ++i) {
      mix(std::bit_cast<std::uint64_t>(graph.x(i)));
      mix(std::bit_cast<std::uint64_t>(graph.y(i)));
    }
    std::printf("graph %zu points=%zu title=%s\n", g, graph.size(), graph.title.c_str());
  }
  std::printf("axes bottom=%s y=%s foot_lines=%zu ok=%d hash=%016llx\n",
              store.bottomAxisTitle.c_str(), store.yAxisTitle.c_str(), store.footLines.size(),
              ok ? 1 : 0, static_cast<unsigned long long>(hash));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "generate-osc" && argc == 5) {
    return generateOscilloscope(argv[2], std::stoul(argv[3]), std::stoul(argv[4]));
  }
  if (mode == "write-plain" && argc == 4) {
    return writePlain(argv[2], std::stoul(argv[3]));
  }
  if (mode == "read" && argc == 3) {
    return read(argv[2]);
  }
  if (mode == "digest" && argc == 3) {
    return digest(argv[2]);
  }
  std::cerr << "usage: ReadersBench generate-osc PATH RECORDS CHANNELS | write-plain PATH LINES"
               " | read PATH | digest PATH\n";
  return 2;
}
