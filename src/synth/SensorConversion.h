#pragma once
// Two fixed conversions of sensor channels: the transfer law of the ЛАРЕН-5 current sensor
// and the division of each graph by its own factor from a values file.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::synth {

// The current in amperes of the ЛАРЕН-5 sensor for an output of `volts`: with u the output
// in millivolts and a = |u|, I = sign(u)·a ÷ (0.6 + 7·(1 − e^(−0.055·a^0.7))) ÷ 1000 (a^0.7 as
// e^(0.7·ln a)); 0 for a = 0 and for NaN. The sign follows the output.
double larenCurrent(double volts);

// The factors of a values file for `graphCount` graphs, all checked before any is used.
struct DivisorList {
  std::vector<double> factors;       // one per graph when there is no error
  std::optional<std::string> error;  // the message of the first graph without a usable factor
};

// Line k (from 0) of `bytes` is the factor of graph k. Lines end at CR LF, LF or CR; a
// final line end does not start another line. A number uses "." or `localeSeparator`,
// blanks around it are ignored. Messages: "List index out of bounds (k)" for a missing
// line, "'text' is not a valid floating point value" for a line that is not a number (a
// long line quoted by its start, as quotedFileText cuts it), and kDivisionByZero for a
// factor 0. Text is Windows 1251 in the file.
DivisorList readDivisorList(std::string_view bytes, std::size_t graphCount, char localeSeparator);

inline constexpr const char* kDivisionByZero = "Floating point division by zero";

}  // namespace tarvik::synth
