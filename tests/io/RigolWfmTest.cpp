// Rigol .wfm files crafted from the published layouts: channel slots, scaling, rolling
// mode, the interwoven record, and hostile headers refused with the field and offset.
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

// DS1000B with CH2 and CH4 on (CH1 and CH3 slots empty), `length` samples each.
ScopeFileBytes ds1000b(std::uint32_t length) {
  ScopeFileBytes f(0x1a4 + 4 * std::size_t{length});
  f.text(0, std::string_view("\xa5\xa5\xa4\x01", 4)).text(4, "DS1204B");
  f.set<std::uint32_t>(0x3c, length).set<float>(0xb4, 125000.0f);
  for (int k : {1, 3}) {
    const std::size_t block = 0x44 + 24 * static_cast<std::size_t>(k);
    f.set<float>(block + 8, k == 1 ? 10.0f : 1.0f);                 // probe
    f.set<std::uint8_t>(block + 14, 1);                             // enabled
    f.set<std::int32_t>(block + 16, k == 1 ? 100000 : 2000000);     // µV/div
    f.set<std::int16_t>(block + 20, static_cast<std::int16_t>(k == 1 ? -25 : 10));
  }
  for (std::uint32_t i = 0; i < length; ++i) {
    f.set<std::uint8_t>(0x1a4 + length + i, static_cast<std::uint8_t>(100 + i));
    f.set<std::uint8_t>(0x1a4 + 3 * std::size_t{length} + i, static_cast<std::uint8_t>(127));
  }
  return f;
}

TEST(RigolWfm, Ds1000bReadsEachEnabledChannelFromItsOwnSlot) {
  const ScopeFileBytes f = ds1000b(3);
  ASSERT_TRUE(looksLikeRigolWfm(f.bytes()));
  const ScopeRecord r = readRigolWfm(scopeInput(f.bytes()));
  ASSERT_EQ(r.traces.size(), 2u);
  EXPECT_EQ(r.traces[0].title, "CH2");
  EXPECT_EQ(r.traces[1].title, "CH4");
  // CH2: 1 V/div (0.1 V/div × probe 10), s = 0.04 V, shift −25 codes.
  const double s = 1.0 / 25.0;
  for (std::size_t i = 0; i < 3; ++i) {
    const double code = 100.0 + static_cast<double>(i);
    EXPECT_NEAR(r.traces[0].points.ys[i], s * (127 - code) + 25 * s - 1.12, 1e-12) << i;
    EXPECT_EQ(r.traces[0].points.xs[i], static_cast<double>(i) * (1.0 / 125000.0) * 1e9);
  }
  // CH4: code 127 is the centre; 2 V/div, shift 10 codes.
  EXPECT_NEAR(r.traces[1].points.ys[0], -10 * (2.0 / 25.0) - 1.12 * 2.0, 1e-12);
  EXPECT_EQ(r.traces[1].points.xs.size(), 3u);
}

TEST(RigolWfm, Ds1000bInvertedChannelChangesSign) {
  ScopeFileBytes f = ds1000b(2);
  f.set<std::uint8_t>(0x44 + 24 + 15, 1);
  const ScopeRecord r = readRigolWfm(scopeInput(f.bytes()));
  const double s = -1.0 / 25.0;
  EXPECT_NEAR(r.traces[0].points.ys[0], s * (127 - 100) + 25 * s + 1.12, 1e-12);
}

// DS1000E, both channels, memory depth `depth`, rolling-mode stop mark `roll`.
ScopeFileBytes ds1000e(std::uint32_t depth, std::uint32_t roll) {
  ScopeFileBytes f(0x114 + 2 * std::size_t{depth});
  f.text(0, std::string_view("\xa5\xa5\x00\x00", 4));
  f.set<std::uint32_t>(0x14, roll).set<std::uint32_t>(0x1c, depth).set<float>(0x64, 2.5e6f);
  for (int k : {0, 1}) {
    const std::size_t block = 0x22 + 24 * static_cast<std::size_t>(k);
    f.set<float>(block + 10, 1.0f).set<std::uint8_t>(block + 15, 1);
    f.set<std::int32_t>(block + 18, 2000000).set<std::int16_t>(block + 22, 30);
  }
  for (std::uint32_t i = 0; i < depth; ++i) {
    f.set<std::uint8_t>(0x114 + i, static_cast<std::uint8_t>(10 + i));
    f.set<std::uint8_t>(0x114 + depth + i, static_cast<std::uint8_t>(200 - i));
  }
  return f;
}

TEST(RigolWfm, Ds1000eDropsTheBytesRollingModeLeavesInvalid) {
  const ScopeFileBytes plain = ds1000e(8, 0);
  const ScopeRecord all = readRigolWfm(scopeInput(plain.bytes()));
  ASSERT_EQ(all.traces.size(), 2u);
  EXPECT_EQ(all.traces[0].points.ys.size(), 8u);
  const double s = 2.0 / 25.0;
  EXPECT_NEAR(all.traces[0].points.ys[0], s * (125 - 10) - 30 * s, 1e-12);
  EXPECT_NEAR(all.traces[1].points.ys[0], s * (125 - 200) - 30 * s, 1e-12);
  EXPECT_EQ(all.traces[1].points.xs[1], (1.0 / 2.5e6) * 1e9);

  // Stop mark 3: the last 3 + 2 bytes of each channel are no samples, and channel 2 still
  // starts after the whole of channel 1's memory.
  const ScopeFileBytes rolled = ds1000e(8, 3);
  const ScopeRecord r = readRigolWfm(scopeInput(rolled.bytes()));
  ASSERT_EQ(r.traces.size(), 2u);
  EXPECT_EQ(r.traces[0].points.ys.size(), 3u);
  EXPECT_EQ(r.traces[1].points.ys.size(), 3u);
  EXPECT_NEAR(r.traces[1].points.ys[0], s * (125 - 200) - 30 * s, 1e-12);

  ScopeFileBytes tooLong = ds1000e(8, 6);  // skip 8 leaves nothing
  EXPECT_NE(scopeError(readRigolWfm, tooLong.bytes()).find("пропуска прокрутки"),
            std::string::npos);
}

// DS2000 with CH2 on; `interwoven`: its record uses the memory of both channels.
ScopeFileBytes ds2000(bool interwoven, std::uint32_t length) {
  // Only the bytes a reader needs, so that every cut removes some.
  ScopeFileBytes f(0x200 + length + (interwoven ? length / 2 : length));
  f.text(0, std::string_view("\xa5\xa5\x38\x00", 4)).text(4, "DS2072A");
  f.set<std::uint8_t>(0x40, 0x02).set<std::uint8_t>(0x41, interwoven ? 1 : 0);
  f.set<std::uint32_t>(0x44, 0x200).set<std::uint32_t>(0x48, 0x200 + length);
  f.set<float>(0x60, 2e6f).set<std::uint32_t>(0xf8, 0).set<std::uint32_t>(0xfc, length);
  const std::size_t block = 0x78 + 28;
  f.set<std::uint8_t>(block, 8).set<float>(block + 8, 2.0f).set<float>(block + 12, 0.5f);
  for (std::uint32_t i = 0; i < f.size() - 0x200; ++i) {
    f.set<std::uint8_t>(0x200 + i, static_cast<std::uint8_t>(i));
  }
  return f;
}

TEST(RigolWfm, Ds2000ReadsPlainAndInterwovenRecords) {
  const double s = 2.0 / 25.0;
  const ScopeFileBytes plain = ds2000(false, 4);
  const ScopeRecord p = readRigolWfm(scopeInput(plain.bytes()));
  ASSERT_EQ(p.traces.size(), 1u);
  EXPECT_EQ(p.traces[0].title, "CH2");
  ASSERT_EQ(p.traces[0].points.ys.size(), 4u);
  // CH2's own block starts at 0x204.
  EXPECT_NEAR(p.traces[0].points.ys[0], s * (4 - 127) - 0.5, 1e-12);

  // Interwoven, 5 samples: 0, 1, 2 from the first block and 4, 5 from the second.
  const ScopeFileBytes woven = ds2000(true, 5);
  const ScopeRecord w = readRigolWfm(scopeInput(woven.bytes()));
  ASSERT_EQ(w.traces.size(), 1u);
  EXPECT_EQ(w.traces[0].title, "CH2");
  const double codes[] = {0, 5, 1, 6, 2};
  ASSERT_EQ(w.traces[0].points.ys.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_NEAR(w.traces[0].points.ys[i], s * (codes[i] - 127) - 0.5, 1e-12) << i;
  }
  EXPECT_EQ(w.traces[0].points.xs[4], 4.0 * (1.0 / 2e6) * 1e9);
}

// Every cut of a file ends with a ScopeFormatError, never a crash or a partial record.
TEST(RigolWfm, EveryTruncationIsRefused) {
  for (const ScopeFileBytes& f : {ds1000b(3), ds1000e(4, 0), ds2000(false, 3), ds2000(true, 3)}) {
    for (std::size_t n = 0; n < f.size(); ++n) {
      const std::string cut = f.bytes().substr(0, n);
      if (!looksLikeRigolWfm(cut)) {
        EXPECT_LT(n, 4u);
        continue;
      }
      const std::string error = scopeError(readRigolWfm, cut);
      EXPECT_NE(error.find("Rigol .wfm"), std::string::npos) << n << ": " << error;
      EXPECT_NE(error.find("(смещение 0x"), std::string::npos) << n << ": " << error;
    }
  }
}

TEST(RigolWfm, HostileHeadersAreRefusedBeforeAllocation) {
  struct Case {
    const char* what;
    ScopeFileBytes file;
    const char* field;
  };
  ScopeFileBytes huge = ds1000b(3);
  huge.set<std::uint32_t>(0x3c, 0xffffffffu);  // 4·10^9 samples per channel in 400 bytes
  ScopeFileBytes noRate = ds1000b(3);
  noRate.set<float>(0xb4, 0.0f);
  ScopeFileBytes nanRate = ds1000e(4, 0);
  nanRate.set<float>(0x64, std::numeric_limits<float>::quiet_NaN());
  ScopeFileBytes negativeRate = ds2000(false, 3);
  negativeRate.set<float>(0x60, -1.0f);
  ScopeFileBytes noChannel = ds1000b(3);
  noChannel.set<std::uint8_t>(0x44 + 24 + 14, 0).set<std::uint8_t>(0x44 + 72 + 14, 0);
  ScopeFileBytes emptyRecord = ds1000b(3);
  emptyRecord.set<std::uint32_t>(0x3c, 0);
  ScopeFileBytes farOffset = ds2000(false, 3);
  farOffset.set<std::uint32_t>(0x48, 0xfffffff0u);
  ScopeFileBytes nanScale = ds2000(false, 3);
  nanScale.set<float>(0x78 + 28 + 8, std::numeric_limits<float>::infinity());
  ScopeFileBytes overlapping = ds2000(true, 4);
  overlapping.set<std::uint32_t>(0x48, 0x201);  // the second half inside the first
  ScopeFileBytes hugeDepth = ds1000e(4, 0);
  hugeDepth.set<std::uint32_t>(0x1c, 0x7fffffffu);
  const Case cases[] = {
      {"record length past the end", huge, "данные CH2"},
      {"rate 0", noRate, "частота дискретизации"},
      {"rate NaN", nanRate, "частота дискретизации"},
      {"negative rate", negativeRate, "частота дискретизации"},
      {"no channel on", noChannel, "ни один аналоговый канал"},
      {"empty record", emptyRecord, "нет ни одной точки"},
      {"data offset past the end", farOffset, "данные CH2"},
      {"infinite V/div", nanScale, "В/дел"},
      {"memory depth past the end", hugeDepth, "данные CH1"},
      {"interwoven halves overlap", overlapping, "перекрываются"},
  };
  for (const Case& c : cases) {
    const std::string error = scopeError(readRigolWfm, c.file.bytes());
    EXPECT_NE(error.find(c.field), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find("(смещение 0x"), std::string::npos) << c.what << ": " << error;
  }
}

}  // namespace
}  // namespace tarvik
