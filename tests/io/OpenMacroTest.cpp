#include <gtest/gtest.h>

#include <string>

#include "io/OpenMacro.h"

namespace tarvik {
namespace {

// The macro a hand-over sends gives back exactly the path it was built from, whatever the
// path holds between its ends: spaces, quotes, brackets, Cyrillic letters.
TEST(OpenMacro, BuiltMacroGivesBackItsPath) {
  for (const std::string path : {"/home/lab/pulse.grf", "/tmp/с пробелом/сигнал 1.csv",
                                 "/tmp/a\")]b.grf", "/x", "/tmp/[open(\"y\")].srg"}) {
    const std::string macro = buildOpenMacro(path);
    EXPECT_EQ(macro, "[open(\"" + path + "\")]\n");
    EXPECT_EQ(pathFromOpenMacro(macro), path);
  }
}

// The desktop fills the registered form itself: the path replaces %1.
TEST(OpenMacro, RegisteredFormWithThePathOpensThatPath) {
  std::string macro(kOpenMacroForm);
  macro.replace(macro.find("%1"), 2, "/data/Измерения/x.grf");
  EXPECT_EQ(pathFromOpenMacro(macro), "/data/Измерения/x.grf");
}

// Only the first line counts; a CR before its LF belongs to the line end, and a text
// without any line end is one line.
TEST(OpenMacro, OnlyTheFirstLineIsUsed) {
  struct Case {
    std::string text;
    std::string path;
  };
  const Case cases[] = {
      {"[open(\"/a.grf\")]\n[open(\"/b.grf\")]\n", "/a.grf"},
      {"[open(\"/a.grf\")]\r\n[open(\"/b.grf\")]\r\n", "/a.grf"},
      {"[open(\"/a.grf\")]", "/a.grf"},
      {"[open(\"/a.grf\")]\n\n\ngarbage", "/a.grf"},
      {"\n[open(\"/a.grf\")]\n", ""},
      {"[open(\"/a\r.grf\")]\n", "/a\r.grf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pathFromOpenMacro(c.text), c.path) << c.text;
  }
}

// The path is cut by position: 7 characters off the front, 3 off the end, the command
// word never read. Lines of 10 characters or fewer give an empty path; a line that lacks
// its closing characters loses path characters instead.
TEST(OpenMacro, PathIsTakenByPositionAndBoundsChecked) {
  struct Case {
    std::string line;
    std::string path;
  };
  const Case cases[] = {
      {"", ""},
      {"[", ""},
      {"[open(\"", ""},
      {"[open(\"ab", ""},
      {"[open(\"\")]", ""},
      {"[open(\"x\")]", "x"},
      {"[open(\"/tmp/a", "/tm"},
      {"[print(\"/a.grf\")]", "\"/a.grf"},
      {"1234567/data/f.grf890", "/data/f.grf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pathFromOpenMacro(c.line), c.path) << c.line;
    EXPECT_EQ(pathFromOpenMacro(c.line + "\n"), c.path) << c.line;
  }
}

// Positions count characters, not bytes: a two-byte letter at either end is one
// character, and a byte that starts no valid sequence is one character on its own.
TEST(OpenMacro, PositionsCountCharacters) {
  EXPECT_EQ(pathFromOpenMacro("[open(\"файл.grf\")]"), "файл.grf");
  EXPECT_EQ(pathFromOpenMacro("[open(\"abcдёж"), "abc");
  EXPECT_EQ(pathFromOpenMacro("ЖЖЖЖЖЖЖ/f.grfЖЖЖ"), "/f.grf");
  EXPECT_EQ(pathFromOpenMacro("[open(\"ab\xff\xfe\xfd"), "ab");
  EXPECT_EQ(pathFromOpenMacro("[open(\"ab\xd0\")]"), "ab\xd0");
  EXPECT_EQ(pathFromOpenMacro("[open(\"\xd0\xb0\xd0\")]"), "\xd0\xb0\xd0");
}

}  // namespace
}  // namespace tarvik
