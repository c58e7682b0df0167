#include <gtest/gtest.h>

#include "core/TextCodec.h"
#include "io/GeneratedGraphReader.h"

namespace tarvik {
namespace {

TEST(GeneratedGraphReader, LinesAreNormalisedIntoWords) {
  const std::string file = "\t 1   2  " + utf8ToCp1251("Заголовок   текст") +
                           " \r\n"
                           "skipped\r\n"
                           "\r\n"
                           "3\t4\r\n"
                           " 5.5E+0000 -6.25E-0001 U, V\n"
                           "7 8 foot one\n8 9 foot two\n9 10 ignored\n";
  const GeneratedGraphData data = readGeneratedGraph(file, "gen.txt");
  ASSERT_FALSE(data.error);
  EXPECT_EQ(data.points.xs, (std::vector<double>{1, 3, 5.5, 7, 8, 9}));
  EXPECT_EQ(data.points.ys, (std::vector<double>{2, 4, -0.625, 8, 9, 10}));
  EXPECT_EQ(data.texts[0], "Заголовок текст");
  EXPECT_FALSE(data.texts[1]);  // counted line 2 has no third word
  EXPECT_EQ(data.texts[2], "U, V");
  EXPECT_EQ(data.texts[3], "foot one");
  EXPECT_EQ(data.texts[4], "foot two");
}

TEST(GeneratedGraphReader, BadWordNamesItsCountedLineAndTheFile) {
  struct Case {
    std::string file;
    std::string message;
    std::size_t kept;
  };
  const std::vector<Case> cases = {
      {"1 2\nalone\n3 x\n", "Ошибка x в строке 2 в файле gen.txt", 1},
      {"a b\n", "Ошибка a в строке 1 в файле gen.txt", 0},
      {"1 2\n\n1,5.5 2\n", "Ошибка 1,5.5 в строке 2 в файле gen.txt", 1},
      {"1 2\r\n3 " + utf8ToCp1251("ж") + "\r\n", "Ошибка ж в строке 2 в файле gen.txt", 1},
      {"1 2 a\rb\r3 x\r", "Ошибка x в строке 2 в файле gen.txt", 1},  // CR alone ends lines
  };
  for (const Case& c : cases) {
    const GeneratedGraphData data = readGeneratedGraph(c.file, "gen.txt");
    ASSERT_TRUE(data.error) << c.file;
    EXPECT_EQ(data.error->message, c.message);
    EXPECT_EQ(data.points.xs.size(), c.kept);
  }
}

TEST(GeneratedGraphReader, CrAloneEndsALineAsLfAndCrLfDo) {
  const std::string lf = "1 2 Title\n\nskipped\n3 4 t, ns\n5 6\n";
  const GeneratedGraphData expected = readGeneratedGraph(lf, "g");
  ASSERT_EQ(expected.points.xs.size(), 3u);
  for (const std::string lineEnd : {"\r", "\r\n"}) {
    std::string file;
    for (char c : lf) {
      file += c == '\n' ? lineEnd : std::string(1, c);
    }
    const GeneratedGraphData data = readGeneratedGraph(file, "g");
    EXPECT_FALSE(data.error);
    EXPECT_EQ(data.points.xs, expected.points.xs);
    EXPECT_EQ(data.points.ys, expected.points.ys);
    EXPECT_EQ(data.texts, expected.texts);
  }
}

TEST(GeneratedGraphReader, EmptyOrWordlessFilesGiveNoPoints) {
  for (const std::string file : {"", "\n\n", "one\ntwo\n", "\t \t\r\n"}) {
    const GeneratedGraphData data = readGeneratedGraph(file, "g");
    EXPECT_FALSE(data.error);
    EXPECT_TRUE(data.points.xs.empty());
  }
}

}  // namespace
}  // namespace tarvik
