// Keysight and Rigol .bin files crafted from the published layout: labels, the 16-byte
// Rigol RG03 header, logic waveforms and integer buffers skipped, hostile sizes refused.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "io/ScopeFileBytes.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

using testing::ScopeFileBytes;
using testing::scopeError;
using testing::scopeInput;

struct Buffer {
  std::uint16_t type = 1;  // normal float32
  std::uint16_t width = 4;
  std::vector<float> values;
};

struct Waveform {
  std::uint32_t type = 1;  // normal
  std::string label;
  double dt = 5e-7;
  std::uint32_t points = 0;
  std::vector<Buffer> buffers;
};

// A file of cookie `cookie` ("AG10", "RG01" or "RG03") holding `waveforms`.
std::string binFile(std::string_view cookie, const std::vector<Waveform>& waveforms) {
  const bool wide = cookie == "RG03";
  ScopeFileBytes f(wide ? 16 : 12);
  f.text(0, cookie);
  if (wide) {
    f.set<std::uint32_t>(12, static_cast<std::uint32_t>(waveforms.size()));
  } else {
    f.set<std::uint32_t>(8, static_cast<std::uint32_t>(waveforms.size()));
  }
  for (const Waveform& w : waveforms) {
    const std::size_t at = f.size();
    f.set<std::uint32_t>(at, 140).set<std::uint32_t>(at + 4, w.type);
    f.set<std::uint32_t>(at + 8, static_cast<std::uint32_t>(w.buffers.size()));
    f.set<std::uint32_t>(at + 12, w.points).set<double>(at + 32, w.dt);
    f.set<std::uint32_t>(at + 48, 2).set<std::uint32_t>(at + 52, 1);
    f.text(at + 112, w.label).set<std::uint32_t>(at + 136, 0);
    for (const Buffer& b : w.buffers) {
      const std::size_t h = f.size();
      const std::size_t size = b.values.size() * b.width;
      f.set<std::uint32_t>(h, wide ? 16 : 12).set<std::uint16_t>(h + 4, b.type);
      f.set<std::uint16_t>(h + 6, b.width);
      if (wide) {
        f.set<std::uint64_t>(h + 8, size);
      } else {
        f.set<std::uint32_t>(h + 8, static_cast<std::uint32_t>(size));
      }
      const std::size_t data = f.size();
      for (std::size_t i = 0; i < b.values.size(); ++i) {
        if (b.width == 4) {
          f.set<float>(data + 4 * i, b.values[i]);
        } else {
          f.set<std::uint8_t>(data + i * b.width, 1);
        }
      }
    }
  }
  const std::uint64_t total = f.size();
  if (wide) {
    f.set<std::uint64_t>(4, total);
  } else {
    f.set<std::uint32_t>(4, static_cast<std::uint32_t>(total));
  }
  return f.bytes();
}

Waveform analog(std::string label, std::vector<float> values, double dt = 5e-7) {
  Waveform w;
  w.label = std::move(label);
  w.dt = dt;
  w.points = static_cast<std::uint32_t>(values.size());
  w.buffers.push_back({1, 4, std::move(values)});
  return w;
}

TEST(AgilentBin, KeysightWaveformsKeepTheirLabelsAndFloatValues) {
  const std::string bytes =
      binFile("AG10", {analog("1", {0.5f, -1.25f, 3.1f}), analog("2", {1e-3f, 2e-3f, 0.1f})});
  ASSERT_TRUE(looksLikeAgilentBin(bytes));
  const ScopeRecord r = readAgilentBin(scopeInput(bytes));
  ASSERT_EQ(r.traces.size(), 2u);
  EXPECT_EQ(r.traces[0].title, "1");
  EXPECT_EQ(r.traces[1].title, "2");
  EXPECT_EQ(r.traces[0].points.ys, (std::vector<double>{0.5, -1.25, static_cast<double>(3.1f)}));
  EXPECT_EQ(r.traces[1].points.ys[2], static_cast<double>(0.1f));  // widened, not rounded
  EXPECT_EQ(r.traces[0].points.xs, (std::vector<double>{0.0, 5e-7 * 1e9, 2.0 * 5e-7 * 1e9}));
}

TEST(AgilentBin, EmptyLabelsCountOnlyAnalogWaveformsAndDigitalOnesAreSkipped) {
  Waveform logic;
  logic.type = 6;
  logic.label = "D0-7";
  logic.points = 3;
  logic.buffers.push_back({6, 1, {0, 0, 0}});
  Waveform counts = analog("", {1, 2});
  counts.buffers[0].type = 5;  // integer counts: no volts
  const std::string bytes =
      binFile("RG01", {analog("", {1.0f}), logic, counts, analog("", {2.0f, 3.0f})});
  const ScopeRecord r = readAgilentBin(scopeInput(bytes));
  ASSERT_EQ(r.traces.size(), 2u);
  EXPECT_EQ(r.traces[0].title, "CH1");
  EXPECT_EQ(r.traces[1].title, "CH2");
  EXPECT_EQ(r.traces[1].points.ys, (std::vector<double>{2.0, 3.0}));
}

TEST(AgilentBin, Rg03HasSixteenByteHeadersAndSixtyFourBitSizes) {
  const double dt = 4.0000000467443897e-07;
  const std::string bytes = binFile("RG03", {analog("CH1", {1, 2, 3, 4}, dt)});
  const ScopeRecord r = readAgilentBin(scopeInput(bytes));
  ASSERT_EQ(r.traces.size(), 1u);
  EXPECT_EQ(r.traces[0].title, "CH1");
  EXPECT_EQ(r.traces[0].points.ys, (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(r.traces[0].points.xs[3], 3.0 * dt * 1e9);  // the stored interval, not 4e-7
}

TEST(AgilentBin, PeakDetectGivesItsFirstFloatBuffer) {
  Waveform peak = analog("1", {5.0f, 6.0f});
  peak.type = 2;
  peak.buffers.push_back({3, 4, {-5.0f, -6.0f}});
  const ScopeRecord r = readAgilentBin(scopeInput(binFile("AG10", {peak, analog("2", {7})})));
  ASSERT_EQ(r.traces.size(), 2u);
  EXPECT_EQ(r.traces[0].points.ys, (std::vector<double>{5.0, 6.0}));
  EXPECT_EQ(r.traces[1].points.ys, (std::vector<double>{7.0}));
}

TEST(AgilentBin, EveryTruncationIsRefused) {
  for (const std::string& bytes : {binFile("AG10", {analog("1", {1, 2}), analog("2", {3, 4})}),
                                   binFile("RG03", {analog("CH1", {1, 2, 3})})}) {
    for (std::size_t n = 4; n < bytes.size(); ++n) {
      const std::string error = scopeError(readAgilentBin, bytes.substr(0, n));
      EXPECT_NE(error.find(".bin: "), std::string::npos) << n << ": " << error;
      EXPECT_NE(error.find("(смещение 0x"), std::string::npos) << n << ": " << error;
    }
  }
}

TEST(AgilentBin, HostileHeadersAreRefusedBeforeAllocation) {
  const std::string good = binFile("AG10", {analog("1", {1, 2, 3})});
  auto patched = [&](std::size_t at, auto value) {
    ScopeFileBytes f(0);
    f.append(good).set(at, value);
    return f.bytes();
  };
  const std::size_t w = 12;         // the waveform header
  const std::size_t d = 12 + 140;   // its data header
  const struct {
    const char* what;
    std::string bytes;
    const char* field;
  } cases[] = {
      {"10^9 waveforms", patched(8, std::uint32_t{1000000000}), "размер заголовка"},
      {"points beyond the buffer", patched(w + 12, std::uint32_t{0xfffffff0u}), "размер буфера"},
      {"buffer past the end", patched(d + 8, std::uint32_t{0xfffffff0u}), "буфер"},
      {"4·10^9 buffers", patched(w + 8, std::uint32_t{0xffffffffu}), "размер заголовка данных"},
      {"header size 0", patched(w, std::uint32_t{0}), "размер заголовка"},
      {"data header size 0", patched(d, std::uint32_t{0}), "размер заголовка данных"},
      {"two-byte floats", patched(d + 6, std::uint16_t{2}), "байт на точку"},
      {"interval 0", patched(w + 32, 0.0), "шаг по времени"},
      {"interval NaN", patched(w + 32, std::numeric_limits<double>::quiet_NaN()), "шаг по времени"},
      {"interval −1", patched(w + 32, -1.0), "шаг по времени"},
      {"last time overflows", patched(w + 32, 1e299), "время последней точки"},
      {"no points", patched(w + 12, std::uint32_t{0}), "число точек"},
      {"no waveform", patched(8, std::uint32_t{0}), "нет аналоговых"},
  };
  for (const auto& c : cases) {
    const std::string error = scopeError(readAgilentBin, c.bytes);
    EXPECT_NE(error.find("Keysight .bin: "), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(c.field), std::string::npos) << c.what << ": " << error;
  }
}

TEST(AgilentBin, OnlyTheKnownCookiesAreRecognised) {
  for (const char* head : {"AG10", "AG01", "RG01", "RG03"}) {
    EXPECT_TRUE(looksLikeAgilentBin(std::string(head) + std::string(20, '\0'))) << head;
  }
  for (const char* head : {"AG1", "ag10", "RG02", "XG10", ""}) {
    EXPECT_FALSE(looksLikeAgilentBin(head)) << head;
  }
}

}  // namespace
}  // namespace tarvik
