// Which reader a file goes to: its content decides, the extension only breaks ties, and a
// file of none of the scope families takes the listed path through the open command.
#include <gtest/gtest.h>

#include "core/GraphStore.h"
#include "io/FileCommands.h"
#include "io/ScopeFileBytes.h"
#include "io/ScopeRecord.h"
#include "io/TempDir.h"
#include "support/ScriptedUi.h"

namespace tarvik {
namespace {

using testing::ScopeFileBytes;
using testing::ScriptedUi;
using testing::TempDir;

// A Siglent-shaped header (CH1 on, 4 samples) that also starts with a Keysight cookie
// would be both: the extension decides; without a telling extension the order does.
std::string siglentShaped(std::string_view head) {
  ScopeFileBytes f(0x804);
  f.set<std::uint32_t>(0, 1);
  for (std::size_t k = 0; k < 4; ++k) {
    f.set<std::uint32_t>(0x10 + 16 * k + 8, 8).set<std::uint32_t>(0x50 + 16 * k + 8, 8);
  }
  f.set<std::uint32_t>(0xf4, 4).set<double>(0xf8, 1e6).set<std::uint32_t>(0x100, 8);
  std::string bytes = f.bytes();
  bytes.replace(0, head.size(), head);
  return bytes;
}

TEST(ScopeDetect, ContentDecidesAndTheExtensionOnlyBreaksTies) {
  const std::string siglent = siglentShaped("");
  EXPECT_EQ(detectScopeFormat(siglent, ".bin"), ScopeFormat::SiglentBin);
  EXPECT_EQ(detectScopeFormat(siglent, ".dat"), ScopeFormat::SiglentBin);
  const std::string rigolWfm = std::string("\xa5\xa5\x00\x00", 4) + std::string(300, '\0');
  EXPECT_EQ(detectScopeFormat(rigolWfm, ".wfm"), ScopeFormat::RigolWfm);
  EXPECT_EQ(detectScopeFormat(rigolWfm, ".bin"), ScopeFormat::RigolWfm);  // a renamed file
  const std::string keysight = "AG10" + std::string(200, '\0');
  EXPECT_EQ(detectScopeFormat(keysight, ".bin"), ScopeFormat::AgilentBin);
  EXPECT_EQ(detectScopeFormat(keysight, ".wfm"), ScopeFormat::AgilentBin);
  for (const char* text : {"", "0 1\r\n1 2\r\n", "Record Length,2,,0,1,\r\n",
                           "1.5,2\n", "\xa5\xa5"}) {
    EXPECT_EQ(detectScopeFormat(text, ".bin"), ScopeFormat::None) << text;
    EXPECT_EQ(detectScopeFormat(text, ".csv"), ScopeFormat::None) << text;
  }
}

struct QuietChart : ChartPort {
  void refreshIndicator() override {}
  void refreshMenus() override {}
  void legendRelayout() override {}
  bool legendMenuChecked() const override { return true; }
};

class ScopeOpen : public ::testing::Test {
 protected:
  ScopeOpen() { store.setChartPort(&chart); }
  GraphStore store;
  QuietChart chart;
  ScriptedUi ui;
  CommandContext ctx{store, ui};
  TempDir dir;
};

// The open command: one graph per channel with the file's entry, X in nanoseconds and the
// bottom axis "t, нс"; a damaged file shows the reason and keeps nothing of itself.
TEST_F(ScopeOpen, GraphsPerChannelOrTheReasonAndNothingKept) {
  ScopeFileBytes f(12);
  f.text(0, "AG10").set<std::uint32_t>(8, 1);
  f.set<std::uint32_t>(12, 140).set<std::uint32_t>(16, 1).set<std::uint32_t>(20, 1);
  f.set<std::uint32_t>(24, 2).set<double>(44, 1e-9).text(12 + 112, "CH7");
  f.set<std::uint32_t>(152, 12).set<std::uint16_t>(156, 1).set<std::uint16_t>(158, 4);
  f.set<std::uint32_t>(160, 8).set<float>(164, 1.5f).set<float>(168, -2.0f);
  const std::string good = dir.write("scope.BIN", f.bytes());
  EXPECT_TRUE(openFiles(ctx, {good}));
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.graph(0).title, "CH7");
  EXPECT_EQ(store.sourceFile(0), "scope.grf");
  EXPECT_EQ(store.graph(0).size(), 2u);
  EXPECT_EQ(store.graph(0).x(1), 1.0);
  EXPECT_EQ(store.graph(0).y(1), -2.0);
  EXPECT_EQ(store.bottomAxisTitle, "t, нс");
  EXPECT_TRUE(ui.errors().empty());

  const std::string bad = dir.write("cut.bin", f.bytes().substr(0, 166));
  EXPECT_FALSE(openFiles(ctx, {bad}));
  EXPECT_EQ(store.count(), 1u);  // nothing of the damaged file
  ASSERT_EQ(ui.errors().size(), 1u);
  EXPECT_EQ(ui.errors()[0].rfind("Невозможно открыть файл:" + bad + ": Keysight .bin: ", 0), 0u)
      << ui.errors()[0];
  EXPECT_NE(ui.errors()[0].find("(смещение 0x"), std::string::npos);
}

}  // namespace
}  // namespace tarvik
