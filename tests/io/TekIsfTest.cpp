// Tektronix .isf files written as the scopes write them, with long and short keywords:
// what is read, and how a damaged or hostile preamble or block is refused.
#include <gtest/gtest.h>

#include "io/CraftedBytes.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

using testing::CraftedBytes;
using testing::refusal;

ScopeRecord read(const std::string& bytes, const std::string& path = "/data/TEK0001.ISF") {
  return readTekIsf(ScopeInput{bytes, path, {}, '.'});
}

std::string block(const std::string& data) {
  const std::string length = std::to_string(data.size());
  return "#" + std::to_string(length.size()) + length + data;
}

const std::string kLong =
    ":WFMPRE:BYT_NR 2;BIT_NR 16;ENCDG BIN;BN_FMT RI;BYT_OR LSB;NR_PT 3;"
    "WFID \"Ref1, DC coupling; odd, 2.0V/div\";PT_FMT Y;XINCR 4.0E-9;XZERO -1.0E-6;"
    "PT_OFF 0;XUNIT \"s\";YMULT 2.5E-1;YZERO 1.0E+0;YOFF -4.0E+0;YUNIT \"V\";:CURVE ";

TEST(TekIsf, LongKeywordsSignedLowByteFirst) {
  const std::string data = CraftedBytes(0)
                               .put<std::int16_t>(0, -4)
                               .put<std::int16_t>(2, 0)
                               .put<std::int16_t>(4, 300)
                               .bytes();
  const std::string bytes = kLong + block(data) + "\n";
  EXPECT_EQ(detectScopeFormat(bytes, ".isf"), ScopeFormat::TekIsf);
  const ScopeRecord record = read(bytes);
  ASSERT_EQ(record.traces.size(), 1u);
  EXPECT_EQ(record.traces[0].title, "Ref1");
  const PointArrays& p = record.traces[0].points;
  ASSERT_EQ(p.ys.size(), 3u);
  EXPECT_EQ(p.ys[0], 1.0);  // YZERO + YMULT·(code − YOFF)
  EXPECT_EQ(p.ys[1], 2.0);
  EXPECT_EQ(p.ys[2], 1.0 + 0.25 * 304);
  EXPECT_EQ(p.xs[2], 2 * (4.0e-9 * 1e9));
}

TEST(TekIsf, ShortKeywordsUnsignedBytesAndPeakDetectPairsKeptInOrder) {
  const std::string head =
      ":WFMP:NR_P 4;:WFMP:BYT_N 1;BIT_N 8;ENC BIN;BN_F RP;BYT_O MSB;WFI \"Ch4, DC\";"
      "PT_F ENV;XUN \"s\";XIN 1.0E-5;YMU 1.0E-1;YOF 1.28E+2;YZE 0.0E+0;:CURV ";
  const ScopeRecord record = read(head + block(std::string("\x00\x80\xff\x7f", 4)));
  ASSERT_EQ(record.traces.size(), 1u);
  EXPECT_EQ(record.traces[0].title, "Ch4");
  const std::vector<double> expected{-12.8, 0.0, 12.7, -0.1};
  ASSERT_EQ(record.traces[0].points.ys.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(record.traces[0].points.ys[i], expected[i]);
  }
}

TEST(TekIsf, BigEndianWordsIndefiniteBlockAndNoWaveformId) {
  const std::string head = "WFMPRE:BYT_NR 2;BN_FMT RI;XINCR 1;YMULT 1;CURVE ";
  const ScopeRecord record = read(head + "#0" + std::string("\x01\x02\xff\xfe\n", 5), "/a/x.isf");
  ASSERT_EQ(record.traces[0].points.ys.size(), 2u);
  EXPECT_EQ(record.traces[0].points.ys[0], 258.0);
  EXPECT_EQ(record.traces[0].points.ys[1], -2.0);
  EXPECT_EQ(record.traces[0].title, "x.grf");
}

TEST(TekIsf, DamagedPreambleOrBlockIsRefusedWithTheKeyword) {
  const std::string data(6, '\0');
  const std::string good = kLong + block(data);
  for (std::size_t n = 0; n < good.size(); ++n) {
    const std::string message = refusal([&] { read(good.substr(0, n)); });
    ASSERT_NE(message, "") << "prefix " << n;
    EXPECT_EQ(message.rfind("Tektronix ISF: ", 0), 0u) << message;
  }
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string bytes = good;
    bytes.replace(bytes.find(from), from.size(), to);
    return refusal([&] { read(bytes); });
  };
  EXPECT_NE(replaced("#16", "#9999999999"), "");
  EXPECT_NE(replaced("#16", "#9999999999").find("CURVE: за концом файла"), std::string::npos);
  EXPECT_NE(replaced("#16", "#15").find("не делится на отсчёты по 2"), std::string::npos);
  EXPECT_NE(replaced("#16", "#10").find("не делится"), std::string::npos);
  EXPECT_NE(replaced("#16", "#x6").find("после '#' не цифра"), std::string::npos);
  EXPECT_NE(replaced("XINCR 4.0E-9", "XINCR 0").find("XINCR: шаг по времени"), std::string::npos);
  EXPECT_NE(replaced("XINCR 4.0E-9", "XINCR abc").find("XINCR: 'abc' не число"), std::string::npos);
  EXPECT_NE(replaced("XINCR 4.0E-9;", "").find("XINCR: нет в заголовке"), std::string::npos);
  EXPECT_NE(replaced("YMULT 2.5E-1", "YMULT 1e999").find("YMULT: '1e999' не число"),
            std::string::npos);
  EXPECT_NE(replaced("BYT_NR 2", "BYT_NR 3").find("3 байт на отсчёт"), std::string::npos);
  EXPECT_NE(replaced("ENCDG BIN", "ENCDG ASC").find("ENCDG: 'ASC'"), std::string::npos);
  EXPECT_NE(replaced("BYT_OR LSB", "BYT_OR XYZ").find("BYT_OR"), std::string::npos);
  EXPECT_NE(replaced("PT_FMT Y", "PT_FMT XY").find("PT_FMT"), std::string::npos);
  EXPECT_NE(replaced(":CURVE ", ":CURVA ").find("нет блока :CURVE"), std::string::npos);
  EXPECT_NE(refusal([&] { read(":WFMPRE:WFID \"never closed"); }).find("не закрыта"),
            std::string::npos);
  // A preamble that never reaches its block is not searched beyond its bounded length.
  EXPECT_NE(refusal([&] { read(":WFMPRE:" + std::string(1 << 17, 'A')); }).find("нет блока"),
            std::string::npos);
}

TEST(TekIsf, DetectionWantsThePreambleAtTheStart) {
  EXPECT_TRUE(looksLikeTekIsf(":WFMPRE:BYT_NR 1"));
  EXPECT_TRUE(looksLikeTekIsf(":wfmp:byt_n 1"));
  EXPECT_TRUE(looksLikeTekIsf("WFMOUTPRE:BYT_NR 1"));
  EXPECT_FALSE(looksLikeTekIsf("0 1\r\n:WFMPRE"));
  EXPECT_FALSE(looksLikeTekIsf(""));
  EXPECT_FALSE(looksLikeTekIsf(":::"));
}

}  // namespace
}  // namespace tarvik
