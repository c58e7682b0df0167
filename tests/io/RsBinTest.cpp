// R&S waveform exports: an XML header and its .Wfm.bin companion crafted as the scopes write
// them, one channel and interleaved channels, float and double-time rows; what is read, and
// how a missing companion or a hostile header or row count is refused.
#include <gtest/gtest.h>

#include "io/CraftedBytes.h"
#include "io/RsBin.h"
#include "io/TempDir.h"

namespace tarvik {
namespace {

using testing::CraftedBytes;
using testing::refusal;
using testing::TempDir;

std::string prop(const std::string& name, const std::string& value) {
  return "\t\t<Prop Avail=\"0\" ValueKey=\"\" Name=\"" + name + "\" Value=\"" + value +
         "\" UserValue=\"0\"/>\n";
}

struct RsLayout {
  std::string format = "eRS_SIGNAL_FORMAT_FLOAT";
  std::vector<std::string> sources{"eRS_SIGNAL_SOURCE_CH2_TR1"};
  std::uint32_t settling = 2;
  std::uint32_t length = 3;
  std::uint32_t trailing = 1;
  std::string resolution = "1.25e-06";
};

std::string xml(const RsLayout& layout) {
  std::string text =
      "<?xml version=\"1.0\" standalone=\"no\"?>\n<Database FWVersion=\"\">\n"
      "\t<Group Name=\"ReferenceCurveAttributes\">\n";
  text += prop("Resolution", layout.resolution) + prop("RecordLength", std::to_string(layout.length));
  text += prop("LeadingSettlingSamples", std::to_string(layout.settling));
  text += prop("SignalFormat", layout.format) + prop("NumberOfAcquisitions", "1");
  if (layout.sources.size() == 1) {
    text += prop("Source", layout.sources[0]) + prop("MultiChannelExport", "eRS_ONOFF_OFF");
  } else {
    text += prop("MultiChannelExport", "eRS_ONOFF_ON");
    std::string state = "\t\t<Prop Name=\"MultiChannelExportState\"";
    std::string source = "\t\t<Prop Name=\"MultiChannelSource\"";
    for (std::size_t i = 0; i < layout.sources.size() + 1; ++i) {
      const std::string key = " I_" + std::to_string(i) + "=";
      // Slot 1 is switched off: the exported channels are slots 0, 2, 3 …
      state += key + (i == 1 ? "\"eRS_ONOFF_OFF\"" : "\"eRS_ONOFF_ON\"");
      source +=
          key + "\"" +
          (i == 1 ? std::string("eRS_SIGNAL_SOURCE_CH9_TR1") : layout.sources[i == 0 ? 0 : i - 1]) +
          "\"";
    }
    text += state + "/>\n" + source + "/>\n";
  }
  return text + "\t</Group>\n</Database>\n";
}

// Row r, channel c holds 100·c + r (the settling rows included); the time column −r.
std::string companion(const RsLayout& layout) {
  const bool xy = layout.format.ends_with("XYDOUBLEFLOAT");
  const std::size_t channels = layout.sources.size();
  const std::uint32_t rows = layout.settling + layout.length + layout.trailing;
  const std::size_t rowBytes = (xy ? 8 : 0) + 4 * channels;
  CraftedBytes c(8);
  c.put<std::uint32_t>(0, xy ? 6 : 4).put<std::uint32_t>(4, rows);
  for (std::uint32_t r = 0; r < rows; ++r) {
    const std::size_t at = 8 + r * rowBytes;
    if (xy) {
      c.put<double>(at, -static_cast<double>(r));
    }
    for (std::size_t ch = 0; ch < channels; ++ch) {
      c.put<float>(at + (xy ? 8 : 0) + 4 * ch, static_cast<float>(100 * ch + r));
    }
  }
  return c.bytes();
}

ScopeRecord read(const RsLayout& layout) {
  return readRsBinParts(xml(layout), companion(layout), "x.Wfm.bin");
}

TEST(RsBin, OneChannelDropsTheSettlingRows) {
  const ScopeRecord record = read(RsLayout{});
  ASSERT_EQ(record.traces.size(), 1u);
  EXPECT_EQ(record.traces[0].title, "CH2");
  EXPECT_EQ(record.traces[0].points.ys, (std::vector<double>{2, 3, 4}));
  EXPECT_EQ(record.traces[0].points.xs[2], 2 * (1.25e-06 * 1e9));
}

TEST(RsBin, InterleavedChannelsInExportOrderWithAndWithoutTimes) {
  for (const char* format : {"eRS_SIGNAL_FORMAT_FLOAT", "eRS_SIGNAL_FORMAT_XYDOUBLEFLOAT"}) {
    RsLayout layout;
    layout.format = format;
    layout.sources = {"eRS_SIGNAL_SOURCE_CH1_TR1", "eRS_SIGNAL_SOURCE_CH3_TR1",
                    "eRS_SIGNAL_SOURCE_M1"};
    layout.resolution = "2.5e-11";
    const ScopeRecord record = read(layout);
    ASSERT_EQ(record.traces.size(), 3u) << format;
    EXPECT_EQ(record.traces[0].title, "CH1");
    EXPECT_EQ(record.traces[1].title, "CH3");
    EXPECT_EQ(record.traces[2].title, "M1");
    for (std::size_t c = 0; c < 3; ++c) {
      const double base = 100.0 * static_cast<double>(c);
      EXPECT_EQ(record.traces[c].points.ys, (std::vector<double>{base + 2, base + 3, base + 4}));
      EXPECT_EQ(record.traces[c].points.xs[1], 2.5e-11 * 1e9);
    }
  }
}

TEST(RsBin, CompanionBesideTheHeaderOrItsNameInTheMessage) {
  TempDir dir;
  RsLayout layout;
  const std::string header = dir.write("cap.bin", xml(layout));
  EXPECT_TRUE(looksLikeRsBin(xml(layout)));
  EXPECT_EQ(detectScopeFormat(xml(layout), ".bin"), ScopeFormat::RsBin);
  const std::string missing = refusal([&] { readRsBin(ScopeInput{xml(layout), header, {}, '.'}); });
  EXPECT_NE(missing.find(dir.path("cap.Wfm.bin")), std::string::npos) << missing;
  dir.write("cap.Wfm.bin", companion(layout));
  std::size_t reached = 0;
  const ScopeRecord record =
      readRsBin(ScopeInput{xml(layout), header, [&](std::size_t end) { reached = end; }, '.'});
  ASSERT_EQ(record.traces.size(), 1u);
  EXPECT_EQ(record.traces[0].points.ys.size(), 3u);
  EXPECT_LE(reached, xml(layout).size());  // progress is a share of the header file
}

TEST(RsBin, HostileHeadersAndCompanionsAreRefused) {
  const RsLayout base;
  const auto withXml = [&](const std::string& from, const std::string& to) {
    std::string text = xml(base);
    text.replace(text.find(from), from.size(), to);
    return refusal([&] { readRsBinParts(text, companion(base), "x.Wfm.bin"); });
  };
  EXPECT_NE(withXml("\"RecordLength\" Value=\"3\"", "\"RecordLength\" Value=\"1000000000000\"")
                .find("меньше LeadingSettlingSamples + RecordLength"),
            std::string::npos);
  EXPECT_NE(withXml("\"RecordLength\" Value=\"3\"", "\"RecordLength\" Value=\"0\"")
                .find("RecordLength: 0"),
            std::string::npos);
  EXPECT_NE(withXml("Value=\"2\"", "Value=\"-2\"").find("LeadingSettlingSamples: '-2'"),
            std::string::npos);
  EXPECT_NE(withXml("1.25e-06", "0").find("Resolution: шаг по времени"), std::string::npos);
  EXPECT_NE(withXml("1.25e-06", "fast").find("Resolution: 'fast' не число"), std::string::npos);
  EXPECT_NE(withXml("FORMAT_FLOAT", "FORMAT_INT8BIT").find("SignalFormat"), std::string::npos);
  EXPECT_NE(withXml("Name=\"SignalFormat\"", "Name=\"Other\"").find("SignalFormat: нет"),
            std::string::npos);
  EXPECT_NE(withXml("Value=\"1\"", "Value=\"5\"").find("NumberOfAcquisitions: 5"),
            std::string::npos);
  EXPECT_NE(withXml("UserValue=\"0\"/>\n\t</Group>", "UserValue=\"0").find("не закрыто"),
            std::string::npos);

  const std::string good = companion(base);
  const auto withCompanion = [&](const std::string& bytes) {
    return refusal([&] { readRsBinParts(xml(base), bytes, "x.Wfm.bin"); });
  };
  for (std::size_t n = 0; n < good.size(); ++n) {
    const std::string message = withCompanion(good.substr(0, n));
    ASSERT_NE(message, "") << "prefix " << n;
    EXPECT_EQ(message.rfind("R&S RTP x.Wfm.bin: ", 0), 0u) << message;
  }
  EXPECT_NE(withCompanion(CraftedBytes(0).write(0, good).put<std::uint32_t>(0, 6).bytes())
                .find("format code: 6"),
            std::string::npos);
  EXPECT_NE(withCompanion(CraftedBytes(0).write(0, good).put<std::uint32_t>(4, 0xfffffff).bytes())
                .find("row count: за концом файла"),
            std::string::npos);
  EXPECT_NE(withCompanion(CraftedBytes(0).write(0, good).put<std::uint32_t>(4, 4).bytes())
                .find("строк меньше"),
            std::string::npos);
}

TEST(RsBin, CompanionWrittenHighByteFirstIsReadSo) {
  const RsLayout layout;
  std::string bytes = companion(layout);
  // Every 32-bit word reversed: the head and the floats.
  for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
    std::swap(bytes[at], bytes[at + 3]);
    std::swap(bytes[at + 1], bytes[at + 2]);
  }
  EXPECT_EQ(readRsBinParts(xml(layout), bytes, "x").traces[0].points.ys,
            (std::vector<double>{2, 3, 4}));
}

TEST(RsBin, DetectionWantsTheDatabaseAndItsSignalFormat) {
  EXPECT_FALSE(looksLikeRsBin("<?xml version=\"1.0\"?><Database><Prop Name=\"Other\"/>"));
  EXPECT_FALSE(looksLikeRsBin("<?xml version=\"1.0\"?><html Name=\"SignalFormat\">"));
  EXPECT_TRUE(looksLikeRsBin("\xef\xbb\xbf<?xml?><Database><Prop Name=\"SignalFormat\"/>"));
}

}  // namespace
}  // namespace tarvik
