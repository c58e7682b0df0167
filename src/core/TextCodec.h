#pragma once
// Texts inside the program are UTF-8; files carry Windows Cyrillic (code page 1251).
#include <cstddef>
#include <string>
#include <string_view>

namespace tarvik {

// Windows 1251 bytes to UTF-8. Every byte has a meaning (0x98 becomes U+FFFD is avoided:
// undefined bytes map to "?").
std::string cp1251ToUtf8(std::string_view bytes);
// UTF-8 to Windows 1251; a character without a 1251 form, or a broken UTF-8 sequence,
// becomes "?".
std::string utf8ToCp1251(std::string_view text);
// The DOS Cyrillic rule of plain graph files, on raw bytes: a text holding any byte
// 0xC0..0xFF is 1251 and stays; otherwise bytes 0x80..0xAF gain 0x40 and 0xB0..0xBF drop.
std::string dosCyrillicRule(std::string_view bytes);

// How much of a file's content a message quotes. A bad token may be a whole broken line and
// a line the whole file; the start is enough to find the place, and a message of a few
// hundred bytes stays readable.
inline constexpr std::size_t kQuotedTextBytes = 200;
enum class TextEncoding { Cp1251, Utf8 };
// The text a message quotes for `text` read from a file (UTF-8): at most kQuotedTextBytes
// bytes of it, followed by "..." when it was longer. Windows 1251 bytes are converted; UTF-8
// text is kept as it is and cut before a character that would not fit whole.
std::string quotedFileText(std::string_view text, TextEncoding encoding = TextEncoding::Cp1251);

}  // namespace tarvik
