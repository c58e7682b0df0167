#include "synth/GeneratedTable.h"

#include <cmath>
#include <stdexcept>

#include "core/NumberFormat.h"

namespace tarvik::synth {

std::string normaliseTableLine(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (char c : line) {
    if (c == '\t' || c == '\r' || c == '\n') {
      c = ' ';
    }
    if (c == ' ' && (out.empty() || out.back() == ' ')) {
      continue;  // leading blanks and the rest of a run
    }
    out.push_back(c);
  }
  if (!out.empty() && out.back() == ' ') {
    out.pop_back();
  }
  return out;
}

std::string tableLine(double x, double y, std::string_view label) {
  std::string line = formatScientific23(x);
  line += ' ';
  line += formatScientific23(y);
  line += ' ';
  line += label;
  return normaliseTableLine(line);
}

std::string generatedTableText(std::span<const double> xs, std::span<const double> ys,
                               const TableLabels& labels) {
  if (xs.size() != ys.size()) {
    throw std::invalid_argument("generatedTableText: columns of different lengths");
  }
  const std::string_view texts[] = {labels.title, labels.bottom, labels.left};
  std::string text;
  text.reserve(xs.size() * 50);
  for (std::size_t i = 0; i < xs.size(); ++i) {
    text += tableLine(xs[i], ys[i], i < std::size(texts) ? texts[i] : std::string_view());
    text += "\r\n";
  }
  return text;
}

std::int64_t roundHalfEven(double value) {
  const double whole = std::floor(value);
  const double fraction = value - whole;
  double rounded = whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
    rounded = whole + 1.0;
  }
  return static_cast<std::int64_t>(rounded);
}

}  // namespace tarvik::synth
