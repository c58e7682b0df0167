#pragma once
// The text of a generated graph file as the generators build it in memory: one line per
// point, X and Y each in the 23-character scientific field joined by a blank; the first
// lines carry, after a blank, the chart texts the reader takes from them (line 1 the graph
// title, line 2 the bottom axis title, line 3 the stored Y-axis title, line 4 an empty
// text). Every line is normalised and ends with CR LF.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvik::synth {

struct TableLabels {
  std::string title;   // line 1
  std::string bottom;  // line 2
  std::string left;    // line 3 (the stored Y-axis title)
};

// Tabs become blanks, leading blanks go, every run of blanks becomes one blank and one
// trailing blank is dropped. Line ends inside a text (a title typed with one) become blanks
// too, so a text never splits its line.
std::string normaliseTableLine(std::string_view line);

// The line of one point: "X Y" or, with a label, "X Y LABEL", normalised, without CR LF.
std::string tableLine(double x, double y, std::string_view label);

// The whole table text (UTF-8) for points (xs[i], ys[i]); the spans have equal length.
// Line 4's label is empty, so it carries no text. No points give an empty text.
std::string generatedTableText(std::span<const double> xs, std::span<const double> ys,
                               const TableLabels& labels);

// Ties to even, as the generators' grid counts and the error table's counts are rounded.
// Not for NaN or magnitudes beyond 2^63 (callers bound their input first).
std::int64_t roundHalfEven(double value);

}  // namespace tarvik::synth
