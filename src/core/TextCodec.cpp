#include "core/TextCodec.h"

#include <array>
#include <cstdint>

namespace tarvik {
namespace {

// Unicode code points of Windows 1251 bytes 0x80..0xBF; 0 marks the one undefined byte
// (0x98). Bytes 0xC0..0xFF are А..я (U+0410..U+044F) in alphabetical order.
constexpr std::array<char32_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
};

constexpr char32_t kFirstLetter = 0x0410;  // А, byte 0xC0
constexpr char32_t kLastLetter = 0x044F;   // я, byte 0xFF

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 character at text[pos]; advances pos. Returns 0xFFFFFFFF for a broken
// sequence (overlong forms, surrogates and code points above U+10FFFF included), having
// consumed the lead byte and any continuation bytes that were valid so far.
char32_t decodeUtf8(std::string_view text, std::size_t& pos) {
  constexpr char32_t kBroken = 0xFFFFFFFF;
  const auto lead = static_cast<unsigned char>(text[pos++]);
  if (lead < 0x80) {
    return lead;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07u, minimum = 0x10000;
  } else {
    return kBroken;
  }
  for (int k = 0; k < extra; ++k) {
    if (pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80) {
      return kBroken;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3Fu);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return kBroken;
  }
  return cp;
}

char encodeCp1251(char32_t cp) {
  if (cp < 0x80) {
    return static_cast<char>(cp);
  }
  if (cp >= kFirstLetter && cp <= kLastLetter) {
    return static_cast<char>(0xC0 + (cp - kFirstLetter));
  }
  for (std::size_t i = 0; i < kUpperHalf.size(); ++i) {
    if (kUpperHalf[i] == cp && cp != 0) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

}  // namespace

std::string cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else if (b >= 0xC0) {
      appendUtf8(out, kFirstLetter + (b - 0xC0u));
    } else if (const char32_t cp = kUpperHalf[b - 0x80u]; cp != 0) {
      appendUtf8(out, cp);
    } else {
      out += '?';
    }
  }
  return out;
}

std::string utf8ToCp1251(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    out += encodeCp1251(decodeUtf8(text, pos));
  }
  return out;
}

std::string dosCyrillicRule(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0xC0) {
      return std::string(bytes);  // already Windows Cyrillic
    }
  }
  // DOS Cyrillic (866): А..п sit at 0x80..0xAF, 0x40 below their Windows places; the box
  // drawing characters at 0xB0..0xBF have no Windows form and are dropped.
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else if (b <= 0xAF) {
      out += static_cast<char>(b + 0x40);
    }
  }
  return out;
}

std::string quotedFileText(std::string_view text, TextEncoding encoding) {
  if (text.size() <= kQuotedTextBytes) {
    return encoding == TextEncoding::Cp1251 ? cp1251ToUtf8(text) : std::string(text);
  }
  std::size_t cut = kQuotedTextBytes;
  if (encoding == TextEncoding::Utf8) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    for (int back = 0;
         back < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++back) {
      --cut;
    }
  }
  const std::string_view shown = text.substr(0, cut);
  return (encoding == TextEncoding::Cp1251 ? cp1251ToUtf8(shown) : std::string(shown)) + "...";
}

}  // namespace tarvik
