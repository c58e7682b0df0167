// Tektronix WFM#003 files laid out field by field, single records and FastFrame sets: what
// is read, and how a damaged or hostile header is refused.
#include <gtest/gtest.h>

#include <limits>

#include "io/CraftedBytes.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

using testing::CraftedBytes;
using testing::refusal;

struct WfmLayout {
  std::endian order = std::endian::little;
  std::string label;
  std::uint32_t frames = 1;
  std::int32_t format = 0;  // int16
  std::uint8_t bytesPerPoint = 2;
  double scale = 0.5;
  double offset = -1.0;
  double dt = 2e-11;
  std::uint32_t precharge = 2;  // samples before the data in each frame
  std::uint32_t points = 3;
  std::uint32_t postcharge = 1;  // samples after it
};

std::string wfm(const WfmLayout& layout) {
  const std::uint32_t curve = 838 + 54 * (layout.frames - 1);
  const std::uint32_t frameBytes =
      (layout.precharge + layout.points + layout.postcharge) * layout.bytesPerPoint;
  CraftedBytes f(curve, layout.order);
  f.write(0, layout.order == std::endian::little ? "\x0f\x0f" : "\xf0\xf0").write(2, ":WFM#003");
  f.put<std::uint8_t>(15, layout.bytesPerPoint).put<std::uint32_t>(16, curve).write(40, layout.label);
  f.put<std::uint32_t>(72, layout.frames - 1).put<std::int32_t>(122, 2);
  f.put<double>(168, layout.scale).put<double>(176, layout.offset).put<std::int32_t>(240, layout.format);
  f.put<double>(488, layout.dt);
  f.put<std::uint32_t>(808 + 14, layout.precharge * layout.bytesPerPoint);
  f.put<std::uint32_t>(808 + 18, (layout.precharge + layout.points) * layout.bytesPerPoint);
  f.put<std::uint32_t>(808 + 22, frameBytes).put<std::uint32_t>(808 + 26, frameBytes);
  // Sample i of frame k holds the code 10·k + i − precharge: the data begin with 10·k.
  for (std::uint32_t k = 0; k < layout.frames; ++k) {
    for (std::uint32_t i = 0; i < frameBytes / layout.bytesPerPoint; ++i) {
      const std::size_t at = curve + k * frameBytes + i * layout.bytesPerPoint;
      const int code = static_cast<int>(10 * k + i) - static_cast<int>(layout.precharge);
      if (layout.bytesPerPoint == 2) {
        f.put<std::int16_t>(at, static_cast<std::int16_t>(code));
      } else if (layout.bytesPerPoint == 1) {
        f.put<std::int8_t>(at, static_cast<std::int8_t>(code));
      } else {
        f.put<float>(at, static_cast<float>(code));
      }
    }
  }
  return f.bytes() + std::string(8, '\0');  // the checksum after the curve buffer
}

ScopeRecord read(const std::string& bytes, const std::string& path = "/data/tek0001.wfm") {
  return readTekWfm(ScopeInput{bytes, path, {}, '.'});
}

TEST(TekWfm, SingleRecordInEitherByteOrderDropsPreAndPostCharge) {
  for (std::endian order : {std::endian::little, std::endian::big}) {
    WfmLayout layout;
    layout.order = order;
    layout.label = "Probe A";
    const std::string bytes = wfm(layout);
    EXPECT_EQ(detectScopeFormat(bytes, ".wfm"), ScopeFormat::TekWfm);
    const ScopeRecord record = read(bytes);
    ASSERT_EQ(record.traces.size(), 1u);
    EXPECT_EQ(record.traces[0].title, "Probe A");
    const PointArrays& p = record.traces[0].points;
    ASSERT_EQ(p.ys.size(), 3u);
    EXPECT_EQ(p.ys[0], -1.0);  // code 0·scale + offset
    EXPECT_EQ(p.ys[2], 0.0);
    EXPECT_EQ(p.xs[1], 2e-11 * 1e9);
  }
}

TEST(TekWfm, FastFrameFramesFollowEachOtherNamedAfterTheFile) {
  WfmLayout layout;
  layout.frames = 4;
  layout.format = 7;  // int8
  layout.bytesPerPoint = 1;
  const ScopeRecord record = read(wfm(layout), "/d/ff.wfm");
  ASSERT_EQ(record.traces.size(), 4u);
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(record.traces[k].title, "ff.grf #" + std::to_string(k + 1));
    ASSERT_EQ(record.traces[k].points.ys.size(), 3u);
    EXPECT_EQ(record.traces[k].points.ys[0], 0.5 * static_cast<double>(10 * k) - 1.0);
  }
}

TEST(TekWfm, FloatCodesAreScaledToo) {
  WfmLayout layout;
  layout.format = 4;
  layout.bytesPerPoint = 4;
  EXPECT_EQ(read(wfm(layout)).traces[0].points.ys[1], 0.5 * 1.0 - 1.0);
}

TEST(TekWfm, EveryTruncationAndHostileFieldIsRefused) {
  WfmLayout layout;
  layout.frames = 2;
  const std::string good = wfm(layout);
  for (std::size_t n = 0; n + 8 < good.size(); ++n) {
    const std::string message = refusal([&] { read(good.substr(0, n)); });
    ASSERT_NE(message, "") << "prefix " << n;
    EXPECT_EQ(message.rfind("Tektronix WFM: ", 0), 0u) << message;
  }
  const auto patched = [&](std::size_t offset, auto value) {
    return refusal([&] { read(CraftedBytes(0).write(0, good).put(offset, value).bytes()); });
  };
  EXPECT_NE(patched(72, std::uint32_t{0xffffffff}).find("curve buffer offset"), std::string::npos);
  EXPECT_NE(patched(16, std::uint32_t{0xfffffff0}).find("curve buffer: за концом файла"),
            std::string::npos);
  EXPECT_NE(patched(808 + 26, std::uint32_t{0x7fffffff}).find("за концом файла"),
            std::string::npos);
  EXPECT_NE(patched(808 + 18, std::uint32_t{4}).find("данных нет"), std::string::npos);
  EXPECT_NE(patched(808 + 18, std::uint32_t{9}).find("не делятся на отсчёты"), std::string::npos);
  EXPECT_NE(patched(808 + 26, std::uint32_t{6}).find("раньше конца данных"), std::string::npos);
  EXPECT_NE(patched(240, std::int32_t{2}).find("2: формат отсчётов не читается"),
            std::string::npos);
  EXPECT_NE(patched(15, std::uint8_t{1}).find("bytes per point"), std::string::npos);
  EXPECT_NE(patched(122, std::int32_t{6}).find("data type"), std::string::npos);
  EXPECT_NE(patched(488, 0.0).find("implicit dimension scale: шаг по времени"), std::string::npos);
  EXPECT_NE(patched(488, std::numeric_limits<double>::quiet_NaN()).find("шаг по времени"),
            std::string::npos);
  EXPECT_NE(patched(2, std::uint64_t{0}).find("version"), std::string::npos);
  EXPECT_NE(refusal([&] {
              read(std::string("\x0f\x0f:WFM#002", 10) + std::string(900, '\0'));
            }).find("читается только WFM#003"),
            std::string::npos);
  EXPECT_NE(refusal([&] { read(std::string(900, '\x01')); }).find("byte order"), std::string::npos);
  EXPECT_FALSE(looksLikeTekWfm(std::string("\x0f\x0e:WFM#003", 10)));
  EXPECT_TRUE(looksLikeTekWfm(std::string("\xf0\xf0:WFM#001", 10)));
}

}  // namespace
}  // namespace tarvik
