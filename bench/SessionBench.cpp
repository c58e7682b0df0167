// Saving and opening a session of one 10M-point graph and four 1M-point graphs, against
// reading the same points from the oscilloscope CSV exports they came from. One call runs
// one round, in a fresh process; bench/run_session_bench.sh alternates rounds with the
// h5py peer (bench/session_peers.py) and prints the medians.
//
//   SessionBench round SESSION CSV...   reads the CSV files with the open command's reader
//                                       (timed), writes them as SESSION (timed, the flush
//                                       to the disk timed apart), opens SESSION (timed)
//                                       and checks that it holds the CSV's points bit for
//                                       bit; prints one JSON object
//
// Times are wall (steady clock) and CPU (user + system of the process, every thread).
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "core/Command.h"
#include "io/FileCommands.h"
#include "io/SessionFile.h"

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

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Timing {
  double wall = 0;
  double cpu = 0;
};

template <class Work>
Timing timed(Work&& work) {
  const double cpu = cpuSeconds();
  const auto start = Clock::now();
  work();
  return {std::chrono::duration<double>(Clock::now() - start).count(), cpuSeconds() - cpu};
}

// XOR and wrapping sum of every X and Y bit pattern: the h5py peer computes the same two
// words from its arrays, so both sides are seen to hold identical points.
struct Digest {
  std::uint64_t xorOfBits = 0;
  std::uint64_t sumOfBits = 0;
  std::size_t points = 0;
};

Digest digestOf(const tarvik::DocumentState& document) {
  Digest d;
  for (const tarvik::Graph& graph : document.graphs) {
    for (auto values : {graph.xs(), graph.ys()}) {
      for (double v : values) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        d.xorOfBits ^= bits;
        d.sumOfBits += bits;
      }
    }
    d.points += graph.size();
  }
  return d;
}

bool syncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

void printTiming(const char* name, const Timing& t, bool last = false) {
  std::printf("  \"%s\": {\"wall\": %.6f, \"cpu\": %.6f}%s\n", name, t.wall, t.cpu,
              last ? "" : ",");
}

int round(const std::string& session, const std::vector<std::string>& csvFiles) {
  tarvik::GraphStore store;
  BenchUi ui;
  tarvik::CommandContext ctx{store, ui};
  const Timing csv = timed([&] {
    for (const std::string& file : csvFiles) {
      tarvik::readGraphFile(ctx, file);
    }
  });
  const tarvik::DocumentState document = store.state();
  tarvik::SessionWriteOptions noFlush;
  noFlush.flushToDisk = false;
  const Timing save =
      timed([&] { tarvik::writeSession(session, document, tarvik::SessionView{}, noFlush); });
  bool synced = false;
  const Timing flush = timed([&] { synced = syncFile(session); });
  tarvik::Session back;
  const Timing open = timed([&] { back = tarvik::readSession(session); });

  const bool same = back.document.sameAs(document);
  const Digest digest = digestOf(back.document);
  const double pointBytes = static_cast<double>(digest.points) * 2 * sizeof(double);
  std::printf("{\n");
  printTiming("csv_read", csv);
  printTiming("session_save", save);
  printTiming("session_flush", flush);
  printTiming("session_open", open);
  std::printf("  \"graphs\": %zu, \"points\": %zu, \"point_bytes\": %.0f,\n",
              document.graphs.size(), digest.points, pointBytes);
  std::printf("  \"file_bytes\": %ju,\n",
              static_cast<std::uintmax_t>(std::filesystem::file_size(session)));
  std::printf("  \"xor\": \"%016llx\", \"sum\": \"%016llx\", \"same\": %s\n}\n",
              static_cast<unsigned long long>(digest.xorOfBits),
              static_cast<unsigned long long>(digest.sumOfBits), same ? "true" : "false");
  return same && synced && !ui.failed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "round" && argc >= 4) {
    return round(argv[2], std::vector<std::string>(argv + 3, argv + argc));
  }
  std::cerr << "usage: SessionBench round SESSION CSV...\n";
  return 2;
}
