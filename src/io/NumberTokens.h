#pragma once
// Fast number conversion for the readers' hot loops. A token in plain decimal form that
// std::from_chars reads completely is converted here; everything else (a leading "+",
// blanks, "," or the locale's separator, INF and NAN, overflow) goes to the full parsers of
// core/NumberFormat, so the value (or the refusal) is always the one those parsers give.
#include <charconv>
#include <optional>
#include <string_view>
#include <system_error>

#include "core/NumberFormat.h"

namespace tarvik::detail {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// True when from_chars may be tried: a digit, a ".", or "-" followed by one of them.
inline bool plainDecimalStart(const char* p, const char* end) {
  if (p == end) {
    return false;
  }
  if (isDigit(*p) || *p == '.') {
    return true;
  }
  return *p == '-' && p + 1 < end && (isDigit(p[1]) || p[1] == '.');
}

// Reads the number at `p` that must end at a character for which isEnd(c) holds (or at
// `end`). On success stores the value and returns the end of the number; returns nullptr
// when the fast path cannot decide, and the caller then runs the full parser on the token.
template <class IsEnd>
inline const char* fastNumber(const char* p, const char* end, IsEnd isEnd, double& value) {
  if (!plainDecimalStart(p, end)) {
    return nullptr;
  }
  const auto [ptr, ec] = std::from_chars(p, end, value, std::chars_format::general);
  if (ec != std::errc() || (ptr != end && !isEnd(*ptr))) {
    return nullptr;
  }
  return ptr;
}

// A token of a plain graph or generated file ("." decimal point; also INF, NAN, ",").
inline std::optional<double> fileToken(std::string_view token) {
  double value = 0;
  const char* end = token.data() + token.size();
  if (fastNumber(
          token.data(), end, [](char) { return false; }, value) == end) {
    return value;
  }
  return parseFileNumber(token);
}

// A CSV field ("." and the locale's separator when it is not ",", blanks around ignored).
inline std::optional<double> csvField(std::string_view field, char localeSeparator) {
  double value = 0;
  const char* end = field.data() + field.size();
  if (fastNumber(
          field.data(), end, [](char) { return false; }, value) == end) {
    return value;
  }
  return parseCsvNumber(field, localeSeparator);
}

}  // namespace tarvik::detail
