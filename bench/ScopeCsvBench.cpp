// Reading speed of the oscilloscope CSV exports with header rows against the "Record Length"
// export the open command has long read, on the same points: the same noisy pulse on every
// channel, written in each layout. Each measurement runs in a fresh process (peak memory is
// per process); bench/run_scope_csv_bench.sh drives it and the peer reader.
//
//   ScopeCsvBench generate LAYOUT PATH ROWS CHANNELS   write a file of ROWS samples a channel
//       LAYOUT: record-length  six cells a channel, the time beside every sample
//               rigol          "X,CH1,…,Start,Increment" and a sample number per row
//               keysight       "x-axis,1,2,…" / "second,Volt,…", a time column
//               siglent        "Record Length,Analog:N" header rows, a time column
//   ScopeCsvBench read PATH                            the open command on the file
#include <sys/resource.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>

#include "core/Command.h"
#include "io/FileCommands.h"

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

// Sample i of channel c: a rise of a few nanoseconds with noise, sampled every 0.2 ns.
struct Signal {
  std::mt19937_64 random{42};
  std::normal_distribution<double> noise{0.0, 0.004};
  static constexpr double kStep = 2e-10;
  std::size_t rows = 0;

  double time(std::size_t i) const {
    return (static_cast<double>(i) - static_cast<double>(rows) / 2) * kStep;
  }
  double value(std::size_t i, std::size_t c) {
    const double rise = 1.0 / (1.0 + std::exp(-(time(i) + 1e-9 * static_cast<double>(c)) / 1e-9));
    return 0.5 * (1 + static_cast<double>(c)) * rise + noise(random);
  }
};

int generate(const std::string& layout, const std::string& path, std::size_t rows,
             std::size_t channels) {
  static const char* labels[] = {
      "Record Length",    "Sample Interval", "Trigger Point",   "Source",
      "Vertical Units",   "Vertical Scale",  "Vertical Offset", "Horizontal Units",
      "Horizontal Scale", "Pt Fmt",          "Yzero",           "Probe Atten"};
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::cerr << "cannot write " << path << "\n";
    return 1;
  }
  Signal signal;
  signal.rows = rows;
  std::string line;
  auto put = [&] { std::fwrite(line.data(), 1, line.size(), out); };
  if (layout == "rigol") {
    line = "X";
    for (std::size_t c = 0; c < channels; ++c) {
      line += ",CH" + std::to_string(c + 1);
    }
    line += ",Start,Increment,\r\nSequence";
    for (std::size_t c = 0; c < channels; ++c) {
      line += ",Volt";
    }
    line += ",";
    append(line, signal.time(0), std::chars_format::scientific, 6);
    line += ",2.000000e-10\r\n";
    put();
  } else if (layout == "keysight" || layout == "siglent") {
    line.clear();
    if (layout == "siglent") {
      line = "Record Length,Analog:" + std::to_string(rows) + ",,,\nSample Interval";
      for (std::size_t c = 0; c < channels; ++c) {
        line += ",CH" + std::to_string(c + 1) + ":0.00000000020000";
      }
      line += "\nVertical Units,CH1:V,,,\nSource";
    } else {
      line = "x-axis";
    }
    for (std::size_t c = 0; c < channels; ++c) {
      line += layout == "siglent" ? ",CH" + std::to_string(c + 1) : "," + std::to_string(c + 1);
    }
    line += layout == "siglent" ? "\nSecond" : "\nsecond";
    for (std::size_t c = 0; c < channels; ++c) {
      line += ",Volt";
    }
    line += "\n";
    put();
  } else if (layout != "record-length") {
    std::cerr << "unknown layout " << layout << "\n";
    return 2;
  }
  for (std::size_t i = 0; i < rows; ++i) {
    line.clear();
    if (layout == "record-length") {
      for (std::size_t c = 0; c < channels; ++c) {
        if (i < std::size(labels)) {
          line += labels[i];
          line += ',';
          line += i == 3 ? "CH" + std::to_string(c + 1) : std::string("1.000000e+00");
        } else {
          line += ',';
        }
        line += ",,";
        append(line, signal.time(i), std::chars_format::scientific, 6);
        line += ',';
        append(line, signal.value(i, c), std::chars_format::fixed, 5);
        line += c + 1 < channels ? ",," : ",";
      }
      line += "\r\n";
    } else {
      if (layout == "rigol") {
        line += std::to_string(i);
      } else {
        append(line, signal.time(i), std::chars_format::scientific, 6);
      }
      for (std::size_t c = 0; c < channels; ++c) {
        line += ',';
        append(line, signal.value(i, c), std::chars_format::fixed, 5);
      }
      line += layout == "rigol" ? ",\r\n" : "\n";
    }
    put();
  }
  return std::fclose(out) == 0 ? 0 : 1;
}

int read(const std::string& path) {
  tarvik::GraphStore store;
  BenchUi ui;
  tarvik::CommandContext ctx{store, ui};
  const double cpuStart = cpuSeconds();
  const auto start = Clock::now();
  const bool ok = tarvik::readGraphFile(ctx, path);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = cpuSeconds() - cpuStart;
  std::size_t points = 0;
  for (std::size_t i = 0; i < store.count(); ++i) {
    points += store.graph(i).size();
  }
  const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  const double peakMb = static_cast<double>(peakKilobytes()) / 1024.0 * 1.048576;
  const double graphMb = static_cast<double>(points) * 16 / 1e6;
  std::printf(
      "read %s graphs=%zu points=%zu MB=%.1f seconds=%.3f cpu=%.3f MB/s=%.0f Mpoints/s=%.1f "
      "peak_MB=%.1f peak/graph=%.2f\n",
      std::filesystem::path(path).filename().c_str(), store.count(), points, mb, seconds, cpu,
      mb / seconds, static_cast<double>(points) / 1e6 / seconds, peakMb, peakMb / graphMb);
  return ok && !ui.failed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "generate" && argc == 6) {
    return generate(argv[2], argv[3], std::stoul(argv[4]), std::stoul(argv[5]));
  }
  if (mode == "read" && argc == 3) {
    return read(argv[2]);
  }
  std::cerr << "usage: ScopeCsvBench generate LAYOUT PATH ROWS CHANNELS | read PATH\n";
  return 2;
}
