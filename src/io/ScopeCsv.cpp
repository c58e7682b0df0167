// CSV exports of oscilloscopes, with their header rows. Every family writes the same shape —
// a few header lines, then one line per sample time with the time (or the sample number)
// first and one column per channel — and the families differ only in the header:
//
//   Rigol        "X,CH1,CH4,Start,Increment," then "Sequence,Volt,Volt,<start>,<increment>":
//                the first column counts samples, the interval is the "Increment" cell;
//                or "X,CH1,CH2" / ",CH1,CH2" then "Second,Volt,Volt": times in seconds;
//                DS1000D: "X,CH 1 (V),CH 2 (V)" with no units row.
//   Keysight     "x-axis,1,2" then "second,Volt,Volt".
//   Tektronix    key/value rows ("Model,…", "Sample Interval,0.0008", "Vertical Units,V",
//                "Label,") and then "TIME,CH1,CH2"; or the older layout in which every line
//                carries a header key and its value in the first columns and the time and
//                the sample in columns 4 and 5 ("Record Length,2500,,-0.0025,0.04").
//   Siglent      key/value rows from "Record Length,Analog:140000" on ("Sample Interval,
//                CH1:2E-06", "Vertical Units,CH1:V"), then "Source,CH1" and "Second,Volt".
//   R&S RTB      "in s,C1 in V,C2 in V".
//   PicoScope    "Time,Channel A" then the units "(ms),(V)" and an empty line.
//   Digilent     "#…" comment lines, then "Time (s),Channel 1 (V),Channel 2 (V)"; other
//                exports write the same "Time(s),CH1(V)" or "Time [s],CH1 [V]" header.
//
// A graph per channel column, titled by the column header without its unit; an empty cell
// is no sample of that channel. X is i·interval where the header gives the interval, else
// the time column's value less the channel's first one, in nanoseconds; Y is the cell's
// value with the SI prefix of its unit removed (mV → V).
//
// Only files that the plain CSV readers refuse at their first line, or read as nothing, are
// taken here: the "Record Length" layout those readers know and every file whose first
// line converts keep their listed reading.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/NumberFormat.h"
#include "core/TextCodec.h"
#include "io/CsvReaders.h"
#include "io/LineBlocks.h"
#include "io/NumberTokens.h"
#include "io/PlainGraphReader.h"
#include "io/PointOrder.h"
#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
// The header of an export is a few dozen lines; a file whose data do not start within these
// is not one.
constexpr std::size_t kHeaderLines = 512;
constexpr std::size_t kHeaderBytes = std::size_t{1} << 20;

constexpr int kIgnored = -2;
constexpr int kTime = -1;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
}

// Header cell i without blanks around it, and without the quotes some exports put around
// their header texts.
std::string_view fieldAt(const std::vector<std::string_view>& fields, std::size_t i) {
  std::string_view cell = i < fields.size() ? trimBlanks(fields[i]) : std::string_view{};
  if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') {
    cell = trimBlanks(cell.substr(1, cell.size() - 2));
  }
  return cell;
}

bool startsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A decimal cell: "." and the locale's separator, blanks around ignored.
std::optional<double> cellNumber(std::string_view cell, char separator) {
  if (cell.empty()) {
    return std::nullopt;  // (an empty view may have no storage at all)
  }
  return detail::csvField(cell, separator);
}

struct TextLine {
  std::string_view text;
  std::size_t number = 0;  // 1-based
  std::size_t start = 0;   // byte offset
};

// The file's first lines, up to kHeaderLines of them within kHeaderBytes. A leading UTF-8
// byte order mark is not part of the first line's text.
std::vector<TextLine> leadingLines(std::string_view bytes) {
  std::vector<TextLine> lines;
  const std::string_view head = bytes.substr(0, std::min(bytes.size(), kHeaderBytes));
  const char* const begin = head.data();
  const char* const end = begin + head.size();
  const char* p = begin;
  if (startsWith(head, "\xEF\xBB\xBF")) {
    p += 3;
  }
  while (p < end && lines.size() < kHeaderLines) {
    const char* lineEnd = detail::findLineEnd(p, end);
    if (lineEnd == end && head.size() < bytes.size()) {
      break;  // the line goes on past the part looked at
    }
    lines.push_back({std::string_view(p, static_cast<std::size_t>(lineEnd - p)), lines.size() + 1,
                     static_cast<std::size_t>(p - begin)});
    p = detail::afterLineEnd(lineEnd, end);
  }
  return lines;
}

bool isBlankLine(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return isBlank(c) || c == ','; });
}

// ---- units

// Powers of ten an SI prefix stands for.
std::optional<int> prefixExponent(std::string_view prefix) {
  if (prefix.empty()) {
    return 0;
  }
  static const std::pair<std::string_view, int> kPrefixes[] = {
      {"p", -12}, {"n", -9}, {"u", -6}, {"\xC2\xB5", -6}, {"\xCE\xBC", -6}, {"m", -3},
      {"\xB5", -6}, {"k", 3},   {"K", 3},  {"M", 6},  {"G", 9}};  // µ: also Latin-1
  for (const auto& [text, exponent] : kPrefixes) {
    if (prefix == text) {
      return exponent;
    }
  }
  return std::nullopt;
}

// The prefix's power of ten of a unit written as prefix + one of `bases` ("mV", "uVolt",
// "Second", "ms"); nullopt for a unit that is none of them.
std::optional<int> unitExponent(std::string_view unit, std::initializer_list<std::string_view> bases) {
  unit = trimBlanks(unit);
  if (unit.size() >= 2 && unit.front() == '(' && unit.back() == ')') {
    unit = trimBlanks(unit.substr(1, unit.size() - 2));
  }
  for (std::string_view base : bases) {
    if (endsWith(unit, base)) {
      if (const std::optional<int> exponent = prefixExponent(unit.substr(0, unit.size() - base.size()))) {
        return exponent;
      }
    }
  }
  return std::nullopt;
}

std::optional<int> timeUnitExponent(std::string_view unit) {
  return unitExponent(unit, {"s", "S", "sec", "Second", "second", "Seconds", "seconds"});
}

// Vertical units: an unknown unit (or none) is kept as it is.
int valueUnitExponent(std::string_view unit) {
  return unitExponent(unit, {"V", "Volt", "Volts", "volt", "volts", "A", "Amp", "Amps", "W",
                             "Watt", "Ohm", "Hz"})
      .value_or(0);
}

double powerOfTen(int exponent) {
  static constexpr double kPositive[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  return exponent >= 0 ? kPositive[exponent] : 1.0 / kPositive[-exponent];
}

// A column header split into the channel's name and its unit: "CH 1 (V)", "C1 in V",
// "Time (s)".
struct NamedUnit {
  std::string_view name;
  std::optional<std::string_view> unit;
};

NamedUnit splitUnit(std::string_view header, bool inForm) {
  header = trimBlanks(header);
  if (endsWith(header, ")") || endsWith(header, "]")) {
    const std::size_t open = header.rfind(header.back() == ')' ? '(' : '[');
    if (open != std::string_view::npos && open > 0) {
      return {trimBlanks(header.substr(0, open)),
              header.substr(open + 1, header.size() - open - 2)};
    }
  }
  if (inForm) {
    if (startsWith(header, "in ")) {
      return {{}, trimBlanks(header.substr(3))};
    }
    const std::size_t in = header.rfind(" in ");
    if (in != std::string_view::npos && in > 0) {
      return {trimBlanks(header.substr(0, in)), trimBlanks(header.substr(in + 4))};
    }
  }
  return {header, std::nullopt};
}

bool validUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
    if (extra == 4 || text.size() - i <= extra) {
      return false;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) {
        return false;
      }
    }
    i += extra + 1;
  }
  return true;
}

// Titles in UTF-8; an export written in the Windows Cyrillic code page is converted.
std::string titleText(std::string_view raw) {
  return validUtf8(raw) ? std::string(raw) : cp1251ToUtf8(raw);
}

// ---- the header

struct Channel {
  std::size_t column = 0;
  std::string title;
  int yExponent = 0;  // the unit's SI prefix
};

struct Layout {
  std::string format;        // for messages: "Rigol CSV"
  std::size_t dataStart = 0;  // byte offset of the first data line
  std::size_t dataLine = 1;   // its number
  std::vector<int> roles;    // per column: kTime, kIgnored or the channel's index
  std::vector<Channel> channels;
  std::optional<double> dtSeconds;  // the header's sample interval
  int timeExponent = 0;             // of the time column's unit
  std::string problem;              // a header that names its dialect but cannot be used
};

// Header rows "key,value,…": the first row of each key counts.
using HeaderKeys = std::map<std::string, std::vector<std::string_view>, std::less<>>;

// A header value of `channel` (data column `column`): Siglent writes "CH1:V,CH2:V" on one
// row, Tektronix one value a channel in the channels' column order ("Vertical Units,V,mV"),
// or one value for all.
std::optional<std::string_view> keyValue(const HeaderKeys& keys, std::string_view key,
                                         std::string_view channel, std::size_t column = 0) {
  const auto found = keys.find(key);
  if (found == keys.end()) {
    return std::nullopt;
  }
  if (column >= 1 && column - 1 < found->second.size()) {
    const std::string_view own = trimBlanks(found->second[column - 1]);
    if (!own.empty() && own.find(':') == std::string_view::npos) {
      return own;
    }
  }
  std::optional<std::string_view> first;
  for (std::string_view raw : found->second) {
    const std::string_view value = trimBlanks(raw);
    if (value.empty()) {
      continue;
    }
    const std::size_t colon = value.find(':');
    if (colon == std::string_view::npos) {
      return value;
    }
    if (trimBlanks(value.substr(0, colon)) == channel) {
      return trimBlanks(value.substr(colon + 1));
    }
    if (!first) {
      first = trimBlanks(value.substr(colon + 1));
    }
  }
  return first;
}

void setInterval(Layout& layout, std::string_view field, std::optional<std::string_view> text,
                 char separator) {
  if (!text) {
    return;
  }
  const std::optional<double> dt = cellNumber(*text, separator);
  if (!dt || !std::isfinite(*dt) || *dt <= 0.0 || !std::isfinite(*dt * 1e9)) {
    layout.problem = std::string(field) + " = '" + quotedFileText(*text) + "' не годится";
    return;
  }
  layout.dtSeconds = *dt;
}

bool isTimeUnitsCell(std::string_view cell) {
  return cell == "Sequence" || timeUnitExponent(cell).has_value();
}

// The older Tektronix layout: header key and value in columns 1-3 of every line, the time
// and the sample in columns 4 and 5.
std::optional<Layout> tekColumnsLayout(const std::vector<TextLine>& lines, char separator) {
  const std::vector<std::string_view> first = splitFields(lines[0].text);
  if (fieldAt(first, 0) != "Record Length" || !cellNumber(fieldAt(first, 3), separator) ||
      !cellNumber(fieldAt(first, 4), separator)) {
    return std::nullopt;
  }
  HeaderKeys keys;
  for (const TextLine& line : lines) {
    const std::vector<std::string_view> fields = splitFields(line.text);
    const std::string_view key = fieldAt(fields, 0);
    if (!key.empty() && fields.size() > 1 && keys.find(key) == keys.end()) {
      keys.emplace(std::string(key), std::vector<std::string_view>{fields[1]});
    }
  }
  Layout layout;
  layout.format = "Tektronix CSV";
  layout.roles = {kIgnored, kIgnored, kIgnored, kTime, 0};
  Channel channel;
  channel.column = 4;
  channel.title = titleText(keyValue(keys, "Source", {}).value_or(std::string_view{}));
  channel.yExponent = valueUnitExponent(keyValue(keys, "Vertical Units", {}).value_or(""));
  layout.channels.push_back(channel);
  if (const auto unit = keyValue(keys, "Horizontal Units", {})) {
    layout.timeExponent = timeUnitExponent(*unit).value_or(0);
  }
  setInterval(layout, "Sample Interval", keyValue(keys, "Sample Interval", {}), separator);
  return layout;
}

// The layout of an export with header rows, or nullopt when the file is none of the known
// dialects.
std::optional<Layout> analyse(std::string_view bytes, char separator) {
  const std::vector<TextLine> lines = leadingLines(bytes);
  if (lines.empty()) {
    return std::nullopt;
  }
  if (std::optional<Layout> tek = tekColumnsLayout(lines, separator)) {
    return tek;
  }
  // Data start at the first line whose first cell is a number.
  std::size_t data = 0;
  while (data < lines.size() &&
         !cellNumber(fieldAt(splitFields(lines[data].text), 0), separator)) {
    ++data;
  }
  if (data == lines.size() || data == 0) {
    return std::nullopt;
  }
  std::vector<std::vector<std::string_view>> header;  // the meaningful header lines
  for (std::size_t i = 0; i < data; ++i) {
    if (!startsWith(lines[i].text, "#") && !isBlankLine(lines[i].text)) {
      header.push_back(splitFields(lines[i].text));
    }
  }
  if (header.empty()) {
    return std::nullopt;
  }
  std::optional<std::vector<std::string_view>> units;
  if (header.size() >= 2 && isTimeUnitsCell(fieldAt(header.back(), 0))) {
    units = header.back();
    header.pop_back();
  }
  const std::vector<std::string_view> columns = header.back();
  header.pop_back();
  HeaderKeys keys;
  for (const std::vector<std::string_view>& row : header) {
    const std::string_view key = fieldAt(row, 0);
    if (!key.empty() && keys.find(key) == keys.end()) {
      keys.emplace(std::string(key), std::vector<std::string_view>(row.begin() + 1, row.end()));
    }
  }

  Layout layout;
  layout.dataStart = lines[data].start;
  layout.dataLine = lines[data].number;
  const std::string_view timeName = fieldAt(columns, 0);
  const std::string_view timeUnits = units ? fieldAt(*units, 0) : std::string_view{};
  const bool inForm = startsWith(timeName, "in ");
  const NamedUnit timeHeader = splitUnit(timeName, inForm);
  if ((timeName == "X" || timeName.empty()) && (units || endsWith(fieldAt(columns, 1), ")"))) {
    layout.format = "Rigol CSV";
  } else if (timeName == "x-axis") {
    layout.format = "Keysight CSV";
  } else if (timeName == "TIME") {
    layout.format = "Tektronix CSV";
  } else if (timeName == "Source" && lines[0].text.find("Record Length") != std::string_view::npos) {
    layout.format = "Siglent CSV";
  } else if (inForm) {
    layout.format = "R&S CSV";
  } else if (timeName == "Time" && units && startsWith(timeUnits, "(")) {
    layout.format = "PicoScope CSV";
  } else if (timeHeader.name == "Time" && timeHeader.unit) {
    layout.format = startsWith(lines[0].text, "#Digilent") ? "Digilent CSV" : "CSV";
  } else {
    return std::nullopt;
  }

  // The time column's unit: the units row, the header's "(ms)" or "in s", the Tektronix
  // "Horizontal Units"; seconds when nothing says.
  std::optional<int> timeExponent = 0;
  if (units && timeUnits != "Sequence") {
    timeExponent = timeUnitExponent(timeUnits);
  } else if (timeHeader.unit) {
    timeExponent = timeUnitExponent(*timeHeader.unit);
  } else if (const auto horizontal = keyValue(keys, "Horizontal Units", {})) {
    timeExponent = timeUnitExponent(*horizontal);
  }
  if (!timeExponent) {
    return std::nullopt;  // not a time axis (a spectrum, for one)
  }
  layout.timeExponent = *timeExponent;

  layout.roles.assign(columns.size(), kIgnored);
  layout.roles[0] = kTime;
  for (std::size_t column = 1; column < columns.size(); ++column) {
    const std::string_view name = fieldAt(columns, column);
    if (layout.format == "Rigol CSV" && (name == "Start" || name == "Increment")) {
      if (name == "Increment" && units) {
        setInterval(layout, "Increment", fieldAt(*units, column), separator);
      }
      continue;
    }
    if (name.empty()) {
      continue;
    }
    const NamedUnit named = splitUnit(name, inForm);
    std::string_view unit = named.unit.value_or(std::string_view{});
    if (!named.unit && units) {
      unit = fieldAt(*units, column);
    }
    if (!named.unit && !units) {
      unit = keyValue(keys, "Vertical Units", named.name, column).value_or(std::string_view{});
    }
    Channel channel;
    channel.column = column;
    channel.title = titleText(named.name);
    channel.yExponent = valueUnitExponent(unit);
    layout.roles[column] = static_cast<int>(layout.channels.size());
    layout.channels.push_back(channel);
  }
  if (layout.channels.empty()) {
    return std::nullopt;
  }
  if (layout.format == "Tektronix CSV" || layout.format == "Siglent CSV") {
    setInterval(layout, "Sample Interval",
                keyValue(keys, "Sample Interval", layout.channels[0].title), separator);
  }
  if (timeUnits == "Sequence" && !layout.dtSeconds && layout.problem.empty()) {
    layout.problem = "нет Increment: отсчёты без шага по времени";
  }
  while (!layout.roles.empty() && layout.roles.back() == kIgnored) {
    layout.roles.pop_back();
  }
  return layout;
}

// ---- what the listed CSV path does with the file

// True when the listed readers would refuse the file at its first line or read nothing from
// it — whichever of them the file's name sends it to: the "Record Length" layout or plain
// CSV for a .csv file, the plain graph reader for any other name.
bool listedPathRefuses(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, std::min(bytes.size(), kHeaderBytes));
  const char* end = head.data() + head.size();
  const char* lineEnd = detail::findLineEnd(head.data(), end);
  if (lineEnd == end && head.size() < bytes.size()) {
    return false;  // a first line this long is not a CSV header
  }
  const std::size_t lineBytes = static_cast<std::size_t>(detail::afterLineEnd(lineEnd, end) - head.data());
  const std::string_view first = bytes.substr(0, lineBytes);
  const CsvData csv = isOscilloscopeCsv(bytes) ? readOscilloscopeCsv(first, '.')
                                               : readPlainCsv(first, '.');
  const bool csvReadsLine = !csv.error && std::any_of(csv.channels.begin(), csv.channels.end(),
                                                      [](const CsvChannel& channel) {
                                                        return !channel.points.xs.empty();
                                                      });
  if (csvReadsLine) {
    return false;
  }
  // The plain graph reader starts with the file's first token as a number.
  const char* p = bytes.data();
  const char* const fileEnd = p + head.size();
  while (p != fileEnd && static_cast<unsigned char>(*p) <= 32) {
    ++p;
  }
  const char* token = p;
  while (p != fileEnd && static_cast<unsigned char>(*p) > 32) {
    ++p;
  }
  return p == token ||
         !detail::fileToken(std::string_view(token, static_cast<std::size_t>(p - token)));
}

// ---- the data lines

struct Block {
  std::vector<PointArrays> channels;
  std::size_t lines = 0;  // lines met, empty ones included (for the message's line number)
  std::size_t rows = 0;   // non-empty lines: the sample number of a uniformly sampled record
  std::optional<std::string> badField;
};

const char* skipBlanks(const char* p, const char* e) {
  while (p != e && isBlank(*p)) {
    ++p;
  }
  return p;
}

const char* findComma(const char* p, const char* e) {
  while (p != e && *p != ',') {
    ++p;
  }
  return p;
}

// The cell at `f`: true with `value` set, or false for an empty cell; nullptr end on a cell
// that does not convert (block.badField then holds its text).
const char* readCell(const char* f, const char* e, char separator, bool& present, double& value,
                     Block& block) {
  const char* p = skipBlanks(f, e);
  if (p == e || *p == ',') {
    present = false;
    return p;
  }
  present = true;
  // A "+" sign (Keysight writes "+997.00E-09") costs the fast path nothing.
  const char* number = (*p == '+' && p + 1 != e && (detail::isDigit(p[1]) || p[1] == '.')) ? p + 1 : p;
  const char* stop = detail::fastNumber(number, e, [](char c) { return c == ',' || isBlank(c); }, value);
  if (stop != nullptr) {
    stop = skipBlanks(stop, e);
    if (stop == e || *stop == ',') {
      return stop;
    }
  }
  const char* cellEnd = findComma(f, e);
  const std::string_view cell(f, static_cast<std::size_t>(cellEnd - f));
  const std::optional<double> parsed = cellNumber(cell, separator);
  if (!parsed) {
    block.badField = std::string(cell);
    return nullptr;
  }
  value = *parsed;
  return cellEnd;
}

bool parseRow(const char* p, const char* e, const Layout& layout, char separator, Block& block) {
  ++block.lines;
  if (p == e) {
    return true;
  }
  const auto row = static_cast<double>(block.rows++);
  const bool uniform = layout.dtSeconds.has_value();
  double time = 0;
  bool haveTime = false;
  const std::size_t columns = layout.roles.size();
  for (std::size_t column = 0; column < columns; ++column) {
    const int role = layout.roles[column];
    if (role == kIgnored) {
      p = findComma(p, e);
    } else {
      bool present = false;
      double value = 0;
      p = readCell(p, e, separator, present, value, block);
      if (p == nullptr) {
        return false;
      }
      if (role == kTime) {
        time = value;
        haveTime = present;
      } else if (present) {
        if (!uniform && !haveTime) {
          block.badField = std::string();  // a sample without its time
          return false;
        }
        PointArrays& channel = block.channels[static_cast<std::size_t>(role)];
        channel.xs.push_back(uniform ? row : time);
        channel.ys.push_back(value);
      }
    }
    if (p == e) {
      break;
    }
    ++p;  // the comma
  }
  return true;
}

// The parallel parse's view of the data lines (see parseLinesInParallel). X holds the row
// number (uniform records) or the time cell until the record is complete.
struct Reader {
  const Layout& layout;
  char separator = '.';
  std::size_t expectedRows = 0;

  void parse(std::string_view lines, Block& into) const {
    detail::forEachLine(lines, [&](const char* b, const char* e) {
      return parseRow(b, e, layout, separator, into);
    });
  }
  void append(Block& into, const Block& from) const {
    const bool uniform = layout.dtSeconds.has_value();
    const auto rowOffset = static_cast<double>(into.rows);
    for (std::size_t c = 0; c < from.channels.size(); ++c) {
      std::vector<double>& xs = into.channels[c].xs;
      const std::size_t start = xs.size();
      detail::appendValues(xs, from.channels[c].xs, expectedRows);
      if (uniform) {
        for (std::size_t i = start; i < xs.size(); ++i) {
          xs[i] += rowOffset;
        }
      }
      detail::appendValues(into.channels[c].ys, from.channels[c].ys, expectedRows);
    }
    into.lines += from.lines;
    into.rows += from.rows;
    into.badField = from.badField;
  }
  void reset(Block& block) const {
    block.channels.resize(layout.channels.size());
    for (PointArrays& c : block.channels) {
      c.xs.clear();
      c.ys.clear();
    }
    block.lines = 0;
    block.rows = 0;
    block.badField.reset();
  }
  static bool failed(const Block& block) { return block.badField.has_value(); }
};

// X from the first sample in nanoseconds, Y without the unit's prefix.
void finishChannel(const Layout& layout, const Channel& channel, PointArrays& points) {
  if (points.xs.empty()) {
    return;
  }
  const double origin = points.xs.front();
  if (layout.dtSeconds) {
    const double step = *layout.dtSeconds * 1e9;
    for (double& x : points.xs) {
      x = (x - origin) * step;
    }
  } else {
    const double scale = powerOfTen(layout.timeExponent + 9);
    for (double& x : points.xs) {
      x = (x - origin) * scale;
    }
  }
  if (channel.yExponent > 0) {
    const double factor = powerOfTen(channel.yExponent);
    for (double& y : points.ys) {
      y *= factor;
    }
  } else if (channel.yExponent < 0) {
    const double divisor = powerOfTen(-channel.yExponent);
    for (double& y : points.ys) {
      y /= divisor;
    }
  }
  if (!layout.dtSeconds) {
    applyPointOrder(points);
  }
}

}  // namespace

bool looksLikeScopeCsv(std::string_view bytes) {
  return listedPathRefuses(bytes) && analyse(bytes, '.').has_value();
}

ScopeRecord readScopeCsv(const ScopeInput& input) {
  const std::optional<Layout> found = analyse(input.bytes, input.localeSeparator);
  if (!found) {
    throw ScopeFormatError("CSV: не найдены строка заголовков столбцов и данные");
  }
  const Layout& layout = *found;
  if (!layout.problem.empty()) {
    throw ScopeFormatError(layout.format + ": " + layout.problem);
  }
  const std::string_view text =
      input.bytes.substr(0, detail::endWithoutTrailingLineEnds(input.bytes));
  Reader reader{layout, input.localeSeparator, 0};
  Block result;
  reader.reset(result);
  if (layout.dataStart < text.size()) {
    // Each row holds at least a comma per column up to the last channel and a line end.
    reader.expectedRows = detail::estimateLines(text, layout.dataStart, layout.roles.size());
    for (PointArrays& channel : result.channels) {
      channel.xs.reserve(reader.expectedRows);
      channel.ys.reserve(reader.expectedRows);
    }
    detail::parseLinesInParallel(text, layout.dataStart, kBlockBytes, reader, result,
                                 input.release);
  }
  if (result.badField) {
    throw ScopeFormatError(layout.format + ": строка " +
                           std::to_string(layout.dataLine - 1 + result.lines) + ": " +
                           csvFieldError(*result.badField));
  }
  ScopeRecord record;
  for (std::size_t c = 0; c < layout.channels.size(); ++c) {
    PointArrays& points = result.channels[c];
    if (points.xs.empty()) {
      continue;  // a column without a single sample is no channel
    }
    finishChannel(layout, layout.channels[c], points);
    ScopeTrace trace;
    trace.title = layout.channels[c].title;
    if (trace.title.empty()) {
      trace.title = std::filesystem::path(input.path).filename().replace_extension(".grf").string();
    }
    trace.points = std::move(points);
    record.traces.push_back(std::move(trace));
  }
  if (record.traces.empty()) {
    throw ScopeFormatError(layout.format + ": в файле нет отсчётов");
  }
  return record;
}

}  // namespace tarvik
