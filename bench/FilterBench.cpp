// Filter benchmarks, one case per process so the runner can alternate with the peer:
//
//   FilterBench iir      8th-order Butterworth low-pass (0.1 of Nyquist), zero phase
//   FilterBench fir      1001-tap Hamming low-pass, centred convolution
//   FilterBench median   running median of width 101
//
// Each case filters 10,000,000 samples of Gaussian noise (POINTS= overrides) once per
// repetition (REPEAT=, 3 by default) and prints "CASE wall_s cpu_s" of the best repetition
// (CPU time of the whole process, both threads). The peer is bench/filter_peers.py; the
// runner is bench/run_filter_bench.sh.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "spectral/FirDesign.h"
#include "spectral/FirFilter.h"
#include "spectral/IirDesign.h"
#include "spectral/MedianFilter.h"
#include "spectral/SosFilter.h"

namespace {

using namespace tarvik::spectral;

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

std::size_t envNumber(const char* name, std::size_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr ? static_cast<std::size_t>(std::atoll(text)) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: FilterBench iir|fir|median\n");
    return 2;
  }
  const std::string which = argv[1];
  const std::size_t n = envNumber("POINTS", 10'000'000);
  const std::size_t repeat = envNumber("REPEAT", 3);
  std::mt19937_64 engine(24);
  std::normal_distribution<double> noise;
  std::vector<double> y(n);
  for (double& v : y) v = noise(engine);

  IirDesignRequest request;
  request.order = 8;
  request.edge1 = 0.1;
  const Sections sections = designIir(request);
  const std::vector<double> taps = designFir(1001, BandType::Lowpass, 0.1, 0, FirWindow::Hamming, 0);

  double bestWall = 1e300, bestCpu = 1e300, checksum = 0;
  for (std::size_t r = 0; r < repeat; ++r) {
    const double cpu0 = cpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    std::vector<double> out;
    if (which == "iir") {
      out = filterZeroPhase(sections, y);
    } else if (which == "fir") {
      out = convolveCentred(y, taps);
    } else if (which == "median") {
      out = medianFilter(y, 101);
    } else {
      std::fprintf(stderr, "unknown case %s\n", which.c_str());
      return 2;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = cpuSeconds() - cpu0;
    if (wall < bestWall) {
      bestWall = wall;
      bestCpu = cpu;
    }
    checksum += out[n / 2];
  }
  std::printf("%s %.6f %.6f %.17g\n", which.c_str(), bestWall, bestCpu, checksum);
  return 0;
}
