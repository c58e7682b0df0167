// Saving a 5,000,000-point graph as a plain graph file: a noisy pulse on a 0.1 ns grid, as
// a fast digitiser records it. The cases separate the formatting, the writing into the page
// cache and the final flush to the disk that makes the save safe.
//
//   SaveBench [google-benchmark flags]   times the cases below (DIR: $SAVE_BENCH_DIR or /tmp)
//   SaveBench --write-data FILE          writes the points (all X, then all Y, as raw native
//                                        doubles) for the peer script
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "core/GraphStore.h"
#include "io/AtomicFile.h"
#include "io/GraphWriter.h"

namespace {

constexpr std::size_t kPoints = 5'000'000;

const tarvik::Graph& graph() {
  static const tarvik::Graph g = [] {
    tarvik::Graph out;
    out.reserve(kPoints);
    std::mt19937_64 engine(20261208);
    std::normal_distribution<double> noise(0.0, 0.01);
    for (std::size_t i = 0; i < kPoints; ++i) {
      const double t = static_cast<double>(i) * 0.1;
      out.appendPoint(t, std::exp(-t / 200000) * (1 - std::exp(-t / 5000)) + noise(engine));
    }
    return out;
  }();
  return g;
}

std::string target() {
  const char* dir = std::getenv("SAVE_BENCH_DIR");
  return std::string(dir ? dir : "/tmp") + "/save-bench-" + std::to_string(::getpid()) + ".grf";
}

std::size_t fileBytes() {
  static const std::size_t bytes = [] {
    std::size_t n = 0;
    tarvik::formatGraphFile(graph(), tarvik::ChartTexts{}, '.',
                            [&n](std::string_view piece) { n += piece.size(); });
    return n;
  }();
  return bytes;
}

// Formatting only: the pieces are counted and dropped.
void BM_Format(benchmark::State& state) {
  for (auto _ : state) {
    std::size_t n = 0;
    tarvik::formatGraphFile(graph(), tarvik::ChartTexts{}, '.',
                            [&n](std::string_view piece) { n += piece.size(); });
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes()));
}

// Formatting and writing into the new file, without the final flush (the unflushed file is
// dropped outside the timing).
void BM_FormatAndWrite(benchmark::State& state) {
  const std::string path = target();
  for (auto _ : state) {
    auto* file = new tarvik::AtomicFile(path);
    tarvik::formatGraphFile(graph(), tarvik::ChartTexts{}, '.',
                            [file](std::string_view piece) { file->write(piece); });
    state.PauseTiming();
    delete file;
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes()));
}

// The final flush alone: commit() of a fully written file.
void BM_Flush(benchmark::State& state) {
  const std::string path = target();
  for (auto _ : state) {
    state.PauseTiming();
    tarvik::AtomicFile file(path);
    tarvik::formatGraphFile(graph(), tarvik::ChartTexts{}, '.',
                            [&file](std::string_view piece) { file.write(piece); });
    state.ResumeTiming();
    file.commit();
  }
  std::remove(path.c_str());
}

// The whole save as the save command does it.
void BM_WholeSave(benchmark::State& state) {
  const std::string path = target();
  for (auto _ : state) {
    tarvik::writeGraphFile(graph(), tarvik::GraphStore{}, path, '.');
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes()));
}

BENCHMARK(BM_Format)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FormatAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Flush)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeSave)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-data") == 0) {
    std::FILE* f = std::fopen(argv[2], "wb");
    if (!f) {
      return 1;
    }
    const tarvik::Graph& g = graph();
    std::fwrite(g.xs().data(), sizeof(double), g.size(), f);
    std::fwrite(g.ys().data(), sizeof(double), g.size(), f);
    return std::fclose(f) == 0 ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
