#pragma once
// The 15-digit general format of plain graph files, written straight into a character
// buffer: the graph writer formats two numbers per point, millions of points per save, so
// this is the writer's hot loop. The text is exactly formatGeneral(value, 15, separator).
#include <cstddef>

namespace tarvik {

// The longest text writeGeneral15 produces ("-1.23456789012345E-308" and the like).
inline constexpr std::size_t kGeneral15MaxChars = 24;
// The room it needs at `out`: the digits are copied in pieces of 16 bytes, which may reach
// past the end of the text.
inline constexpr std::size_t kGeneral15Room = 32;

// Writes the text of `value` in the 15-digit general format at `out` and returns the end of
// what it wrote (no terminating zero). `out` must have room for kGeneral15Room bytes; those
// past the returned end may have been overwritten. Zero of either sign is "0"; infinities
// are "INF" and "-INF", any NaN is "NAN".
char* writeGeneral15(char* out, double value, char decimalSeparator) noexcept;

}  // namespace tarvik
