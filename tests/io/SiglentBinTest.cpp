// Siglent .bin files of the SDS2000X-E layout crafted byte by byte: channels one after
// another from 0x800, values with SI magnitudes, a header recognised by its shape only.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "io/ScopeFileBytes.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

using testing::ScopeFileBytes;
using testing::scopeError;
using testing::scopeInput;

void valueWithUnit(ScopeFileBytes& f, std::size_t at, double value, std::uint32_t magnitude) {
  f.set<double>(at, value).set<std::uint32_t>(at + 8, magnitude);
}

// CH1 and CH3 on, `length` samples each: CH1 500 mV/div (given in milli), offset 0.25 V;
// CH3 2 V/div, no offset; 1 MSa/s given in mega.
ScopeFileBytes siglent(std::uint32_t length) {
  ScopeFileBytes f(0x800 + 2 * std::size_t{length});
  f.set<std::uint32_t>(0x0, 1).set<std::uint32_t>(0x8, 1);
  for (std::size_t k = 0; k < 4; ++k) {
    valueWithUnit(f, 0x10 + 16 * k, 1.0, 8);
    valueWithUnit(f, 0x50 + 16 * k, 0.0, 8);
  }
  valueWithUnit(f, 0x10, 500.0, 7);
  valueWithUnit(f, 0x50, 250.0, 7);
  valueWithUnit(f, 0x30, 2.0, 8);
  f.set<std::uint32_t>(0xf4, length);
  valueWithUnit(f, 0xf8, 1.0, 10);
  for (std::uint32_t i = 0; i < length; ++i) {
    f.set<std::uint8_t>(0x800 + i, static_cast<std::uint8_t>(128 + i));
    f.set<std::uint8_t>(0x800 + length + i, static_cast<std::uint8_t>(100));
  }
  return f;
}

TEST(SiglentBin, ChannelsFollowOneAnotherWithTheirScaleAndOffset) {
  const ScopeFileBytes f = siglent(4);
  ASSERT_TRUE(looksLikeSiglentBin(f.bytes()));
  const ScopeRecord r = readSiglentBin(scopeInput(f.bytes()));
  ASSERT_EQ(r.traces.size(), 2u);
  EXPECT_EQ(r.traces[0].title, "CH1");
  EXPECT_EQ(r.traces[1].title, "CH3");
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(r.traces[0].points.ys[i], static_cast<double>(i) * 0.5 / 25.0 - 0.25, 1e-12);
    EXPECT_EQ(r.traces[0].points.xs[i], static_cast<double>(i) * (1.0 / 1e6) * 1e9);
  }
  EXPECT_NEAR(r.traces[1].points.ys[3], (100.0 - 128.0) * 2.0 / 25.0, 1e-12);
}

TEST(SiglentBin, TextAndOtherBinariesAreNotTakenForIt) {
  const ScopeFileBytes good = siglent(4);
  ScopeFileBytes notOnOff = good;
  notOnOff.set<std::uint32_t>(0x4, 2);
  ScopeFileBytes allOff = good;
  allOff.set<std::uint32_t>(0x0, 0).set<std::uint32_t>(0x8, 0);
  ScopeFileBytes strangeMagnitude = good;
  strangeMagnitude.set<std::uint32_t>(0x10 + 8, 99);
  ScopeFileBytes longerThanFile = good;
  longerThanFile.set<std::uint32_t>(0xf4, 5);  // 2·5 samples do not fit
  for (const ScopeFileBytes& f : {notOnOff, allOff, strangeMagnitude, longerThanFile}) {
    EXPECT_FALSE(looksLikeSiglentBin(f.bytes()));
  }
  EXPECT_FALSE(looksLikeSiglentBin(std::string(4096, '1')));
  EXPECT_FALSE(looksLikeSiglentBin(good.bytes().substr(0, 0x800)));
}

TEST(SiglentBin, HostileHeadersAreRefusedWithFieldAndOffset) {
  ScopeFileBytes huge = siglent(4);
  huge.set<std::uint32_t>(0xf4, 0xffffffffu);
  ScopeFileBytes empty = siglent(4);
  empty.set<std::uint32_t>(0xf4, 0);
  ScopeFileBytes zeroRate = siglent(4);
  valueWithUnit(zeroRate, 0xf8, 0.0, 8);
  ScopeFileBytes nanRate = siglent(4);
  valueWithUnit(nanRate, 0xf8, std::numeric_limits<double>::quiet_NaN(), 8);
  ScopeFileBytes slowRate = siglent(4);
  valueWithUnit(slowRate, 0xf8, 1e-299, 8);  // dt 1e299 s: the 4th sample's time overflows
  ScopeFileBytes badMagnitude = siglent(4);
  valueWithUnit(badMagnitude, 0x30, 2.0, 1000);
  ScopeFileBytes infiniteScale = siglent(4);
  valueWithUnit(infiniteScale, 0x10, 1e300, 16);
  ScopeFileBytes noChannel = siglent(4);
  noChannel.set<std::uint32_t>(0x0, 0).set<std::uint32_t>(0x8, 0);
  ScopeFileBytes badOnWord = siglent(4);
  badOnWord.set<std::uint32_t>(0xc, 7);
  const struct {
    const char* what;
    const ScopeFileBytes& file;
    const char* text;
  } cases[] = {
      {"4·10^9 samples", huge, "данные CH1: за концом файла"},
      {"no samples", empty, "нет ни одной точки"},
      {"rate 0", zeroRate, "частота дискретизации"},
      {"rate NaN", nanRate, "частота дискретизации"},
      {"times overflow", slowRate, "время последней точки"},
      {"magnitude 1000", badMagnitude, "неизвестный множитель 1000 (смещение 0x38)"},
      {"scale overflows", infiniteScale, "В/дел"},
      {"no channel", noChannel, "ни один аналоговый канал"},
      {"on word 7", badOnWord, "не 0 и не 1, а 7 (смещение 0xc)"},
  };
  for (const auto& c : cases) {
    const std::string error = scopeError(readSiglentBin, c.file.bytes());
    EXPECT_NE(error.find("Siglent .bin: "), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(c.text), std::string::npos) << c.what << ": " << error;
  }
  const ScopeFileBytes good = siglent(3);
  for (std::size_t n = 0; n < good.size(); n += 7) {
    EXPECT_NE(scopeError(readSiglentBin, good.bytes().substr(0, n)), "no error") << n;
  }
}

}  // namespace
}  // namespace tarvik
