#pragma once
// CSV files: the oscilloscope export (first line holds "Record Length"; six fields per
// channel: label, label value, empty, time in seconds, sample, empty; one graph per channel)
// and the plain two-column CSV (time in seconds, value). Times become nanoseconds from the
// first sample. Numbers are read with "." and with the locale's separator where that is not
// ",". Titles from "Source" rows are converted from Windows 1251 to UTF-8.
#include <string_view>

#include "io/ReadResult.h"

namespace tarvik {

struct CsvChannel {
  std::optional<std::string> title;  // set by a "Source" row
  PointArrays points;                // in the order the graph holds them
  // Set when the channel's X are those of this (earlier) channel, bit for bit, and its
  // points.xs is left empty so that the graphs may share one array.
  std::optional<std::size_t> xOfChannel;
  ReadExtent extent;
};

// Whether channels whose X equal an earlier channel's X get their own copy (`separate`) or
// refer to that channel (`sharedWhereEqual`, see CsvChannel::xOfChannel).
enum class CsvTimes { separate, sharedWhereEqual };

struct CsvData {
  std::vector<CsvChannel> channels;
  std::optional<ReadError> error;  // "'TEXT' is not a valid floating point value"
};

// True when the first line contains "Record Length".
bool isOscilloscopeCsv(std::string_view bytes);

// Channels of an oscilloscope export: (commas in the first line + 1) div 6.
std::size_t oscilloscopeChannelCount(std::string_view bytes);

// One channel per six fields of the first line. Each channel's X origin is its own time on
// line 1. Fields of a trailing partial channel are ignored; a line with fewer fields than
// the first one meets empty fields, which do not convert. Line ends at the very end of the
// file are not lines. The parse runs on two threads; lines keep their order. On an error
// the channels hold the samples before the bad field (same line included). With
// `sharedWhereEqual`, a channel whose X all equal channel 0's refers to them instead of
// holding a copy (not when it has fewer points, nor when the points had to be reordered).
CsvData readOscilloscopeCsv(std::string_view bytes, char localeSeparator,
                            const ReleaseBytes& release = {}, CsvTimes times = CsvTimes::separate);

// One channel: the text before the first comma is the time in seconds, everything after it
// the value. A line without a comma has an empty time, which does not convert.
CsvData readPlainCsv(std::string_view bytes, char localeSeparator,
                     const ReleaseBytes& release = {});

}  // namespace tarvik
