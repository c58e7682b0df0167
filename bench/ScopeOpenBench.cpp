// Opening a deep oscilloscope record: a 16-bit Tektronix .isf written from the format's
// published layout, opened by the batch runner as a whole process, against a peer that
// reads the same file with numpy. bench/run_scope_open_bench.sh drives it.
//
//   ScopeOpenBench write-isf PATH SAMPLES   a one-channel 16-bit record, low byte first
//   ScopeOpenBench run PROGRAM ARGS...      runs PROGRAM and prints its wall and CPU
//                                           seconds and its peak resident memory
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

// A 1 MHz sine of 0.8 V with a little noise, 1 ns apart, codes of 0.15625 mV.
constexpr double kVoltsPerCode = 1.5625e-4;

int writeIsf(const std::string& path, std::uint64_t samples) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  const std::string length = std::to_string(samples * 2);
  const std::string head =
      ":WFMPRE:BYT_NR 2;BIT_NR 16;ENCDG BIN;BN_FMT RI;BYT_OR LSB;NR_PT " + std::to_string(samples) +
      ";WFID \"Ch1, DC coupling, 200.0mV/div, 10.00ms/div, " + std::to_string(samples) +
      " points, Sample mode\";PT_FMT Y;XINCR 1.0000E-9;XZERO 0.0E+0;PT_OFF 0;XUNIT \"s\";"
      "YMULT 156.2500E-6;YZERO 0.0E+0;YOFF 0.0E+0;YUNIT \"V\";:CURVE #" +
      std::to_string(length.size()) + length;
  std::fwrite(head.data(), 1, head.size(), out);
  std::vector<unsigned char> block(1 << 20);
  std::uint32_t noise = 12345;
  std::uint64_t written = 0;
  while (written < samples) {
    const std::uint64_t n = std::min<std::uint64_t>(block.size() / 2, samples - written);
    for (std::uint64_t i = 0; i < n; ++i) {
      noise = noise * 1664525u + 1013904223u;
      const double t = static_cast<double>(written + i) * 1e-9;
      const double volts = 0.8 * std::sin(2 * std::numbers::pi * 1e6 * t);
      const auto code = static_cast<std::int16_t>(std::lround(volts / kVoltsPerCode) +
                                                  static_cast<int>(noise >> 29) - 4);
      const auto bits = static_cast<std::uint16_t>(code);
      block[2 * i] = static_cast<unsigned char>(bits & 0xFF);
      block[2 * i + 1] = static_cast<unsigned char>(bits >> 8);
    }
    std::fwrite(block.data(), 1, static_cast<std::size_t>(2 * n), out);
    written += n;
  }
  std::fputc('\n', out);
  return std::fclose(out) == 0 ? 0 : 1;
}

double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// Runs the program as a child and reports what the child used: wall time from start to
// exit, user + system CPU, and its peak resident memory.
int run(char** argv) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 1;
  }
  if (child == 0) {
    execvp(argv[0], argv);
    std::perror("exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) {
    std::perror("wait4");
    return 1;
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("seconds=%.3f cpu=%.3f peak_MB=%.1f status=%d\n", wall,
              seconds(usage.ru_utime) + seconds(usage.ru_stime),
              static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6,
              WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "write-isf" && argc == 4) {
    return writeIsf(argv[2], std::stoull(argv[3]));
  }
  if (mode == "run" && argc > 2) {
    return run(argv + 2);
  }
  std::fprintf(stderr,
               "usage: ScopeOpenBench write-isf PATH SAMPLES\n"
               "       ScopeOpenBench run PROGRAM ARGS...\n");
  return 2;
}
