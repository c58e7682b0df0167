// LeCroy waveform files crafted field by field in both templates: what is read from them,
// and how a damaged or hostile one is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "io/CraftedBytes.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

using testing::CraftedBytes;
using testing::refusal;

struct TrcLayout {
  bool v23 = true;
  std::endian order = std::endian::little;
  bool words = true;  // int16, else int8
  std::vector<int> codes{-3, 0, 7, 100};
  std::int32_t segments = 1;
  std::int16_t source = 1;
  float gain = 0.5f;
  float offset = 0.25f;
  float dt = 1e-9f;
  std::string userText;
  std::string trigTime;
  std::string blockHeader;  // "#9…" before WAVEDESC
};

// Field offsets in the two templates: user text, trigtime, wave array 1, count, subarrays,
// gain, offset, interval, source, descriptor length.
struct Fields {
  std::size_t userText, trigTime, waveArray1, count, subarrays, gain, offset, interval, source,
      length;
};
constexpr Fields k23{40, 48, 60, 116, 144, 156, 160, 176, 344, 346};
constexpr Fields k10{40, 44, 48, 92, 108, 120, 290, 134, 296, 320};

std::string trc(const TrcLayout& layout) {
  const Fields& f = layout.v23 ? k23 : k10;
  const std::size_t width = layout.words ? 2 : 1;
  CraftedBytes d(f.length, layout.order);
  d.write(0, "WAVEDESC").write(16, layout.v23 ? "LECROY_2_3" : "LECROY_1_0");
  d.put<std::int16_t>(32, layout.words ? 1 : 0);
  d.write(34, layout.order == std::endian::little ? std::string("\x01\x00", 2)
                                                : std::string("\x00\x00", 2));
  d.put<std::int32_t>(36, static_cast<std::int32_t>(f.length));
  d.put<std::int32_t>(f.userText, static_cast<std::int32_t>(layout.userText.size()));
  d.put<std::int32_t>(f.trigTime, static_cast<std::int32_t>(layout.trigTime.size()));
  d.put<std::int32_t>(f.waveArray1, static_cast<std::int32_t>(layout.codes.size() * width));
  d.put<std::int32_t>(f.count, static_cast<std::int32_t>(layout.codes.size()));
  d.put<std::int32_t>(f.subarrays, layout.segments);
  d.put<float>(f.gain, layout.gain).put<float>(f.offset, layout.offset).put<float>(f.interval, layout.dt);
  d.put<std::int16_t>(f.source, layout.source);
  if (!layout.v23) {
    d.put<float>(124, 99.0f);  // the display offset, which is not the acquisition's
  }
  CraftedBytes data(0, layout.order);
  for (std::size_t i = 0; i < layout.codes.size(); ++i) {
    if (layout.words) {
      data.put<std::int16_t>(i * 2, static_cast<std::int16_t>(layout.codes[i]));
    } else {
      data.put<std::int8_t>(i, static_cast<std::int8_t>(layout.codes[i]));
    }
  }
  return layout.blockHeader + d.bytes() + layout.userText + layout.trigTime + data.bytes();
}

ScopeRecord read(const std::string& bytes, const std::string& path = "/data/scope.trc") {
  return readLecroyTrc(ScopeInput{bytes, path, {}, '.'});
}

TEST(LecroyTrc, ReadsBothTemplatesInBothByteOrdersAndWidths) {
  for (bool v23 : {true, false}) {
    for (std::endian order : {std::endian::little, std::endian::big}) {
      for (bool words : {true, false}) {
        TrcLayout layout;
        layout.v23 = v23;
        layout.order = order;
        layout.words = words;
        layout.source = v23 ? 2 : 3;  // channel 3 either way
        layout.userText = "notes";
        layout.trigTime = std::string(16, '\x7f');
        layout.blockHeader = v23 ? "#9000000000" : "";
        SCOPED_TRACE(::testing::Message() << v23 << " " << (order == std::endian::big) << words);
        const std::string bytes = trc(layout);
        EXPECT_TRUE(looksLikeLecroyTrc(bytes));
        EXPECT_EQ(detectScopeFormat(bytes, ".000"), ScopeFormat::LecroyTrc);
        const ScopeRecord record = read(bytes);
        ASSERT_EQ(record.traces.size(), 1u);
        EXPECT_EQ(record.traces[0].title, "C3");
        const PointArrays& p = record.traces[0].points;
        ASSERT_EQ(p.ys.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) {
          EXPECT_EQ(p.ys[i], 0.5 * layout.codes[i] - 0.25);
          EXPECT_EQ(p.xs[i], static_cast<double>(i) * (static_cast<double>(1e-9f) * 1e9));
        }
      }
    }
  }
}

TEST(LecroyTrc, SequenceSegmentsBecomeTracesInOrder) {
  TrcLayout layout;
  layout.codes = {1, 2, 3, 4, 5, 6};
  layout.segments = 3;
  layout.trigTime = std::string(3 * 16, '\0');
  layout.source = 0;
  const ScopeRecord record = read(trc(layout));
  ASSERT_EQ(record.traces.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(record.traces[k].title, "C1 #" + std::to_string(k + 1));
    ASSERT_EQ(record.traces[k].points.ys.size(), 2u);
    EXPECT_EQ(record.traces[k].points.ys[0], 0.5 * static_cast<double>(2 * k + 1) - 0.25);
    EXPECT_EQ(record.traces[k].points.xs[0], 0.0);
  }
  layout.segments = 0;  // older single sweeps leave it unset
  EXPECT_EQ(read(trc(layout)).traces.size(), 1u);
}

TEST(LecroyTrc, TraceWithoutInputChannelIsNamedAfterTheFile) {
  TrcLayout layout;
  layout.source = 9;
  EXPECT_EQ(read(trc(layout), "/x/F1.trc").traces[0].title, "F1.grf");
}

TEST(LecroyTrc, EveryTruncationIsRefusedWithTheField) {
  for (bool v23 : {true, false}) {
    TrcLayout layout;
    layout.v23 = v23;
    layout.userText = "abc";
    const std::string whole = trc(layout);
    for (std::size_t n = 0; n < whole.size(); ++n) {
      const std::string message = refusal([&] { read(whole.substr(0, n)); });
      ASSERT_NE(message, "") << "prefix " << n;
      EXPECT_EQ(message.rfind("LeCroy WAVEDESC: ", 0), 0u) << message;
    }
  }
}

TEST(LecroyTrc, HeadersClaimingMoreThanTheFileAreRefusedBeforeAllocation) {
  const std::string good = trc(TrcLayout{});
  const auto patched = [&](std::size_t offset, std::int32_t value) {
    return CraftedBytes(0).write(0, good).put<std::int32_t>(offset, value).bytes();
  };
  const std::int32_t huge = std::numeric_limits<std::int32_t>::max();
  EXPECT_NE(refusal([&] { read(patched(60, huge)); }).find("WAVE_ARRAY_1: за концом файла"),
            std::string::npos);
  EXPECT_NE(refusal([&] { read(patched(116, huge)); }).find("WAVE_ARRAY_COUNT: 2147483647"),
            std::string::npos);
  EXPECT_NE(refusal([&] { read(patched(40, huge)); }).find("WAVE_ARRAY_1: за концом"),
            std::string::npos);
  EXPECT_NE(refusal([&] { read(patched(48, -16)); }).find("TRIGTIME_ARRAY: -16"),
            std::string::npos);
  EXPECT_NE(refusal([&] { read(patched(36, 100)); }).find("короче шаблона"), std::string::npos);
  EXPECT_NE(refusal([&] { read(patched(116, 0)); }).find("WAVE_ARRAY_COUNT: 0"), std::string::npos);
  EXPECT_NE(refusal([&] { read(patched(144, 3)); }).find("SUBARRAY_COUNT: 3"), std::string::npos);
  EXPECT_NE(refusal([&] { read(patched(144, -1)); }).find("SUBARRAY_COUNT"), std::string::npos);
  EXPECT_NE(refusal([&] { read(patched(144, huge)); }).find("SUBARRAY_COUNT"), std::string::npos);
}

TEST(LecroyTrc, BadCodesOrderTemplateAndIntervalAreNamed) {
  const std::string good = trc(TrcLayout{});
  const auto with = [&](std::size_t offset, std::string_view bytes) {
    return CraftedBytes(0).write(0, good).write(offset, bytes).bytes();
  };
  EXPECT_NE(refusal([&] {
              read(with(32, std::string("\x02\x00", 2)));
            }).find("COMM_TYPE: 2: отсчёты не int8 (0) и не int16 (1) (смещение 0x20)"),
            std::string::npos);
  EXPECT_NE(refusal([&] { read(with(34, std::string("\x00\x01", 2))); }).find("COMM_ORDER: 256"),
            std::string::npos);
  EXPECT_NE(refusal([&] { read(with(16, "LECROY_9_9")); }).find("шаблон 'LECROY_9_9'"),
            std::string::npos);
  for (float dt : {0.0f, -1e-9f, std::numeric_limits<float>::quiet_NaN(),
                   std::numeric_limits<float>::infinity()}) {
    TrcLayout layout;
    layout.dt = dt;
    EXPECT_NE(refusal([&] { read(trc(layout)); }).find("HORIZ_INTERVAL: шаг по времени"),
              std::string::npos)
        << dt;
  }
  EXPECT_NE(refusal([&] { read("#9000000000 nothing here"); }).find("нет блока WAVEDESC"),
            std::string::npos);
  EXPECT_FALSE(looksLikeLecroyTrc("0 1\r\n1 2\r\n"));
  EXPECT_FALSE(looksLikeLecroyTrc("#9000000000WAVEDESC"));  // ends at the descriptor's name
  EXPECT_FALSE(looksLikeLecroyTrc("WAVEDESC        LECROY"));
  EXPECT_FALSE(looksLikeLecroyTrc(std::string(600, ' ') + "WAVEDESC        LECROY_2_3"));
}

}  // namespace
}  // namespace tarvik
