// Malformed files of every kind end with the message the reader names, never a crash or a
// hang, and the store stays consistent.
#include <gtest/gtest.h>

#include <random>

#include "io/CsvReaders.h"
#include "io/FileCommands.h"
#include "io/GeneratedGraphReader.h"
#include "io/PlainGraphReader.h"
#include "io/TempDir.h"
#include "support/ScriptedUi.h"
#include "synth/Calibration.h"
#include "synth/SensorConversion.h"

namespace tarvik {
namespace {

std::string binaryBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

const std::string kOscHead = "Record Length,2,,0,1,,Record Length,2,,0,1,\r\n";
const std::string kNotFloat = " is not a valid floating point value";

TEST(BadInput, EveryKindOfFileEndsWithItsMessage) {
  struct Case {
    std::string name;
    std::string bytes;
    std::vector<std::string> errors;
  };
  const std::string longLine(10 << 20, '7');
  const std::vector<Case> cases = {
      {"empty.grf", "", {}},
      {"empty.csv", "", {}},
      {"binary.grf", binaryBytes(4096, 1), {"Invalid numeric input"}},
      {"nul.grf", std::string(100, '\0'), {}},
      {"nul.csv", std::string(100, '\0'), {"''" + kNotFloat}},  // no comma: no time
      {"text.grf", "just words here\r\n", {"Invalid numeric input"}},
      {"text.csv", "time,value\r\n", {"'time'" + kNotFloat}},
      {"truncated.grf", "1 2\r\n3", {"Invalid numeric input"}},
      {"truncated.csv", kOscHead + ",,,1e-9,2,,,,,1e-", {"'1e-'" + kNotFloat}},
      {"huge.grf", "1e999999999999 2\r\n", {"Invalid numeric input"}},
      {"tiny.grf", "1e-999999999999 2\r\n", {}},  // underflow reads as zero
      {"huge.csv", kOscHead + ",,,1e-9,1e400,,,,,1e-9,2,\r\n", {"'1e400'" + kNotFloat}},
      {"longline.grf", "1 2 " + longLine + "\r\n3 4\r\n", {}},
      {"longnumber.grf", "1 " + longLine + "\r\n", {"Invalid numeric input"}},  // overflows
      {"longline.csv",
       kOscHead + ",,," + longLine + ",2,,,,,1e-9,2,\r\n",
       {"'" + std::string(200, '7') + "...'" + kNotFloat}},
      {"only-header.csv", "Record Length\r\n", {}},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    GraphStore store;
    testing::ScriptedUi ui;
    CommandContext ctx{store, ui};
    openFiles(ctx, {dir.write(c.name, c.bytes)});
    EXPECT_EQ(ui.errors(), c.errors) << c.name;
    EXPECT_TRUE(store.entriesConsistent()) << c.name;
    EXPECT_EQ(store.activeIndex(), static_cast<int>(store.count()) - 1) << c.name;
  }
}

// One bad token of a megabyte (a broken file can be one line): every reader's message
// quotes the token's start and stays short.
TEST(BadInput, AHugeBadTokenIsQuotedByItsStartOnly) {
  const std::string token = "1.5e+bad" + std::string(std::size_t{1} << 20, 'q');
  const auto message = [](const std::optional<ReadError>& error) {
    return error ? error->message : std::string("(no error)");
  };
  const struct {
    const char* reader;
    std::string message;
    bool quotesTheToken;
  } cases[] = {
      {"plain CSV", message(readPlainCsv("0,1\n1e-9," + token + "\n", '.').error), true},
      {"oscilloscope CSV",
       message(readOscilloscopeCsv(kOscHead + ",,,1e-9," + token + ",,,,1e-9,2,\r\n", '.').error),
       true},
      {"generated graph",
       message(readGeneratedGraph("1 2\r\n3 " + token + "\r\n", "Streem.txt").error), true},
      {"values file", synth::readDivisorList("2\r\n" + token + "\r\n", 2, '.').error.value_or(""),
       true},
      {"plain graph", message(readPlainGraph("1 2\r\n3 " + token + "\r\n").error), false},
      {"calibration", message(synth::readCalibrationFile("1 2\r\n3 " + token + "\r\n").error),
       false},
  };
  for (const auto& c : cases) {
    EXPECT_LE(c.message.size(), 260u) << c.reader;
    EXPECT_NE(c.message, "(no error)") << c.reader;
    if (c.quotesTheToken) {
      EXPECT_NE(c.message.find(token.substr(0, 150)), std::string::npos) << c.reader;
      EXPECT_NE(c.message.find("q..."), std::string::npos) << c.reader;
    }
  }
}

TEST(BadInput, RandomBytesNeverBreakTheReaders) {
  testing::TempDir dir;
  for (unsigned seed = 0; seed < 40; ++seed) {
    std::string bytes = binaryBytes(1 + seed * 97, seed);
    if (seed % 2 == 0) {
      bytes = kOscHead + bytes;
    }
    GraphStore store;
    testing::ScriptedUi ui;
    CommandContext ctx{store, ui};
    for (const char* name : {"r.grf", "r.csv"}) {
      openFiles(ctx, {dir.write(name, bytes)});
    }
    appendGeneratedGraph(ctx, dir.write("r.txt", bytes));
    EXPECT_TRUE(store.entriesConsistent());
  }
}

}  // namespace
}  // namespace tarvik
