// Script text to commands: lines, comments, quotes, ';', and graph lists.
#include <gtest/gtest.h>

#include <sstream>

#include "batch/BatchRunner.h"

namespace tarvik::batch {
namespace {

struct LineCase {
  const char* text;
  std::vector<int> numbers;  // script line of each command
  std::vector<std::string> commands;
};

TEST(BatchScript, SplitsLinesDropsCommentsAndBlanks) {
  const LineCase cases[] = {
      {"", {}, {}},
      {"list", {1}, {"list"}},
      {"list\r\ntexts\r\n", {1, 2}, {"list", "texts"}},
      {"# a comment\n\n   \nlist\n", {4}, {"list"}},
      {"  # indented comment; list\nlist", {2}, {"list"}},
      {"open a.grf; list\ntexts", {1, 1, 2}, {"open a.grf", " list", "texts"}},
      {"save file=\"a;b.grf\" graph=1", {1}, {"save file=\"a;b.grf\" graph=1"}},
      {"list;;texts", {1, 1}, {"list", "texts"}},
      {"\n\n\ndump graph=1\t", {4}, {"dump graph=1\t"}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.text);
    const std::vector<ScriptLine> lines = scriptLines(c.text);
    ASSERT_EQ(lines.size(), c.commands.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].number, c.numbers[i]);
      EXPECT_EQ(lines[i].text, c.commands[i]);
    }
  }
}

TEST(BatchScript, InlineCommandsAreNumberedInOrder) {
  const std::vector<ScriptLine> lines =
      inlineLines("open \"x;y.csv\"; # skipped; list ;  ; dump graph=2");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].number, 1);
  EXPECT_EQ(lines[0].text, "open \"x;y.csv\"");
  EXPECT_EQ(lines[1].number, 3);
  EXPECT_EQ(lines[2].number, 5);
  EXPECT_EQ(lines[2].text, " dump graph=2");
}

TEST(BatchScript, ParsesWordsArgumentsAndQuotes) {
  struct Case {
    const char* text;
    std::string command;
    std::map<std::string, std::string> named;
    std::vector<std::string> positional;
  };
  const Case cases[] = {
      {"list", "list", {}, {}},
      {"  dump\tgraph=3  ", "dump", {{"graph", "3"}}, {}},
      {"open a.grf b.csv", "open", {}, {"a.grf", "b.csv"}},
      {"open \"my pulse.grf\" \"a=b.grf\"", "open", {}, {"my pulse.grf", "a=b.grf"}},
      {"save file=\"с пробелом; и точкой.grf\" graph=1",
       "save",
       {{"file", "с пробелом; и точкой.grf"}, {"graph", "1"}},
       {}},
      {"x title=\"\" value=a=b", "x", {{"title", ""}, {"value", "a=b"}}, {}},
      {"x name=\"two words\"tail", "x", {{"name", "two wordstail"}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const BatchArgs args = parseCommand({7, c.text});
    EXPECT_EQ(args.line, 7);
    EXPECT_EQ(args.command, c.command);
    EXPECT_EQ(args.named, c.named);
    EXPECT_EQ(args.positional, c.positional);
  }
}

TEST(BatchScript, MalformedCommandsAreUsageErrors) {
  for (const char* text : {"open \"unclosed", "x =value", "x a=1 a=2", "   "}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(parseCommand({1, text}), UsageError);
  }
}

class GraphListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 6; ++i) {
      session.store.appendGraph("g" + std::to_string(i + 1));
    }
    session.store.setActiveIndex(2);
  }
  std::ostringstream out, err;
  BatchSession session{out, err, '.'};
};

TEST_F(GraphListTest, NumbersRangesAllAndActiveBecomeRows) {
  struct Case {
    const char* text;
    std::vector<int> rows;
  };
  const Case cases[] = {
      {"1", {0}},
      {"6", {5}},
      {"1,3-5", {0, 2, 3, 4}},
      {"5,1,5", {0, 4}},
      {"2-2", {1}},
      {"all", {0, 1, 2, 3, 4, 5}},
      {"active", {2}},
      {"4-6,1-2", {0, 1, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(session.parseGraphList(c.text), c.rows);
  }
}

TEST_F(GraphListTest, NumbersThatAreNoGraphAreUsageErrors) {
  for (const char* text : {"0", "7", "-1", "1,", "3-", "5-3", "x", "", "1.5", "2-9"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(session.parseGraphList(text), UsageError);
  }
}

TEST_F(GraphListTest, ActiveWithoutActiveGraphIsUsageError) {
  session.store.setActiveIndex(-1);
  EXPECT_THROW(session.parseGraphList("active"), UsageError);
}

TEST(BatchArgsHelpers, ConvertOrNameTheArgument) {
  std::ostringstream out, err;
  BatchSession comma(out, err, ',');
  BatchArgs a = parseCommand({1, "x f=2,5 g=1.25 n=-3 on=on off=off bad=z"});
  EXPECT_DOUBLE_EQ(numberArg(comma, a, "f"), 2.5);
  EXPECT_DOUBLE_EQ(numberArg(comma, a, "g"), 1.25);
  EXPECT_EQ(integerArg(a, "n"), -3);
  EXPECT_TRUE(onOffArg(a, "on"));
  EXPECT_FALSE(onOffArg(a, "off"));
  EXPECT_THROW(numberArg(comma, a, "bad"), UsageError);
  EXPECT_THROW(numberArg(comma, a, "missing"), UsageError);
  EXPECT_THROW(integerArg(a, "g"), UsageError);
  EXPECT_THROW(onOffArg(a, "bad"), UsageError);
}

}  // namespace
}  // namespace tarvik::batch
