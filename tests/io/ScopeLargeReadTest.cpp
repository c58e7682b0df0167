// A large scope file shows its reading progress as a CSV file does, and the stop button
// pressed during it ends the open with nothing of that file kept.
#include <gtest/gtest.h>

#include "core/GraphStore.h"
#include "io/FileCommands.h"
#include "io/ScopeFileBytes.h"
#include "io/TempDir.h"
#include "support/ScriptedUi.h"

namespace tarvik {
namespace {

class StoppingUi : public testing::ScriptedUi {
 public:
  GraphStore* store = nullptr;
  bool stopAfterStart = false;
  void progress(const std::string& text) override {
    ScriptedUi::progress(text);
    if (stopAfterStart && text != std::string(kReadProgress) + "0 %") {
      store->stopRequest = true;
    }
  }
};

// One Keysight float32 waveform just over the progress threshold (about 13 million samples).
std::string largeKeysight() {
  const std::uint32_t points = static_cast<std::uint32_t>(kReadProgressBytes / 4 + 1000);
  testing::ScopeFileBytes f(12 + 140 + 12);
  f.text(0, "AG10").set<std::uint32_t>(8, 1);
  f.set<std::uint32_t>(12, 140).set<std::uint32_t>(16, 1).set<std::uint32_t>(20, 1);
  f.set<std::uint32_t>(24, points).set<double>(44, 1e-9).text(12 + 112, "1");
  f.set<std::uint32_t>(152, 12).set<std::uint16_t>(156, 1).set<std::uint16_t>(158, 4);
  f.set<std::uint32_t>(160, points * 4);
  std::string bytes = f.bytes();
  bytes.resize(bytes.size() + std::size_t{points} * 4, '\0');
  return bytes;
}

TEST(ScopeLargeRead, ProgressRisesAndTheStopKeepsNothing) {
  GraphStore store;
  StoppingUi ui;
  ui.store = &store;
  CommandContext ctx{store, ui};
  testing::TempDir dir;
  const std::string path = dir.write("big.bin", largeKeysight());

  ASSERT_TRUE(readGraphFile(ctx, path));
  ASSERT_EQ(store.count(), 1u);
  EXPECT_EQ(store.graph(0).size(), kReadProgressBytes / 4 + 1000);
  ASSERT_GE(ui.progressTexts.size(), 3u);
  EXPECT_EQ(ui.progressTexts.front(), "Чтение файла - 0 %");
  // 100 % last, then the status bar is given back.
  EXPECT_EQ(ui.progressTexts[ui.progressTexts.size() - 2], "Чтение файла - 100 %");
  EXPECT_EQ(ui.progressTexts.back(), "");
  for (std::size_t i = 1; i < ui.progressTexts.size(); ++i) {
    EXPECT_NE(ui.progressTexts[i], ui.progressTexts[i - 1]);
  }

  ui.progressTexts.clear();
  ui.stopAfterStart = true;
  const std::string small = dir.write("small.grf", "1 2\n");
  EXPECT_FALSE(openFiles(ctx, {path, small}));  // the file after a stopped one is not read
  EXPECT_EQ(store.count(), 1u);                 // only the graph of the first reading
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_GE(ui.progressTexts.size(), 2u);
}

}  // namespace
}  // namespace tarvik
