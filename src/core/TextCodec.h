#pragma once
// Texts inside the program are UTF-8; files carry Windows Cyrillic (code page 1251).
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

}  // namespace tarvik
