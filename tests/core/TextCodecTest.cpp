#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/TextCodec.h"

namespace tarvik {
namespace {

TEST(TextCodec, EveryDefinedByteRoundTrips) {
  std::set<std::string> seen;
  for (int b = 0; b < 256; ++b) {
    if (b == 0x98 || b == '?') {
      continue;
    }
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = cp1251ToUtf8(byte);
    EXPECT_NE(utf8, "?") << b;
    EXPECT_TRUE(seen.insert(utf8).second) << "two bytes share one character: " << b;
    EXPECT_EQ(utf8ToCp1251(utf8), byte) << b;
  }
}

TEST(TextCodec, KnownCharacters) {
  const struct {
    const char* cp1251;
    const char* utf8;
  } cases[] = {
      {"\xC0\xDF\xE0\xFF", "АЯая"},
      {"\xA8\xB8", "Ёё"},
      {"\xB9 12", "№ 12"},
      {"\x88\x96\x97\xB0\xB1", "€–—°±"},
      {"\xD1\xE8\xE3\xED\xE0\xEB, U", "Сигнал, U"},
      {"\xA5\xB4\xAA\xBA\xB2\xB3\xAF\xBF", "ҐґЄєІіЇї"},
      {"\x98", "?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cp1251ToUtf8(c.cp1251), c.utf8) << c.utf8;
  }
}

TEST(TextCodec, CharactersWithoutAWindowsFormBecomeQuestionMarks) {
  const struct {
    const char* utf8;
    const char* cp1251;
  } cases[] = {
      {"t, нс", "t, \xED\xF1"},
      {"日本", "??"},
      {"a😀b", "a?b"},
      {"a\x80z", "a?z"},          // a stray continuation byte
      {"\xD0", "?"},              // a sequence cut short
      {"\xC0\x80", "?"},          // overlong form of NUL
      {"\xED\xA0\x80x", "?x"},    // a surrogate
      {"\xF4\x90\x80\x80", "?"},  // above U+10FFFF
      {"Ω", "?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
  }
}

TEST(DosCyrillicRule, Table) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"U, mV", "U, mV"},
      // "Сигнал" in DOS Cyrillic becomes its Windows bytes.
      {"\x91\xA8\xA3\xAD\xA0\xAB", "\xD1\xE8\xE3\xED\xE0\xEB"},
      {"\x80\xAF", "\xC0\xEF"},
      // Box drawing bytes are dropped.
      {"x\xB0\xBFy", "xy"},
      // A Windows title of only "№" and digits loses the "№".
      {"\xB9"
       "12",
       "12"},
      // Any byte from 0xC0 up marks the text as Windows Cyrillic: nothing changes.
      {"\x91\xE0\xB9", "\x91\xE0\xB9"},
      {"\xFF", "\xFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dosCyrillicRule(c.in), c.out);
  }
}

// A message quotes at most 200 bytes of a file's text: 200 characters of a Windows 1251
// file, and of UTF-8 text as many whole characters as fit.
TEST(TextCodec, QuotedFileTextKeepsTheStart) {
  std::string utf8Ya;
  for (int i = 0; i < 150; ++i) {
    utf8Ya += "Я";
  }
  std::string shownYa;
  for (int i = 0; i < 200; ++i) {
    shownYa += "Я";
  }
  const struct {
    std::string text;
    TextEncoding encoding;
    std::string quoted;
  } cases[] = {
      {"1e-", TextEncoding::Cp1251, "1e-"},
      {std::string(200, '7'), TextEncoding::Cp1251, std::string(200, '7')},
      {std::string(201, '7'), TextEncoding::Cp1251, std::string(200, '7') + "..."},
      {std::string(300, '\xDF'), TextEncoding::Cp1251, shownYa + "..."},
      {"\xDF", TextEncoding::Cp1251, "Я"},
      {"Я", TextEncoding::Utf8, "Я"},
      // 'x' and 99 two-byte letters are 199 bytes: the 100th letter would not fit whole.
      {"x" + utf8Ya, TextEncoding::Utf8, "x" + utf8Ya.substr(0, 198) + "..."},
      {utf8Ya, TextEncoding::Utf8, utf8Ya.substr(0, 200) + "..."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(quotedFileText(c.text, c.encoding), c.quoted) << c.text.size();
  }
}

}  // namespace
}  // namespace tarvik
