#include "synth/SensorConversion.h"

#include <algorithm>
#include <cmath>

#include "core/NumberFormat.h"
#include "core/TextCodec.h"

namespace tarvik::synth {
namespace {

// The lines of a text file as a list of strings holds them.
std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
      ++end;
    }
    lines.push_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
  return lines;
}

}  // namespace

double larenCurrent(double volts) {
  const double u = 1000 * volts;
  const double a = std::fabs(u);
  const double s = u < 0 ? -1.0 : 1.0;
  if (!(a > 0)) {
    return 0;
  }
  const double r = s * a / (0.6 + 7 * (1 - std::exp(-0.055 * std::exp(0.7 * std::log(a)))));
  return r / 1000;
}

DivisorList readDivisorList(std::string_view bytes, std::size_t graphCount, char localeSeparator) {
  DivisorList list;
  const std::vector<std::string_view> lines = splitLines(bytes);
  list.factors.reserve(std::min(graphCount, lines.size()));
  for (std::size_t k = 0; k < graphCount; ++k) {
    if (k >= lines.size()) {
      list.error = "List index out of bounds (" + std::to_string(k) + ")";
      break;
    }
    const std::optional<double> factor = parseLocaleNumber(lines[k], localeSeparator);
    if (!factor) {
      list.error = "'" + quotedFileText(lines[k]) + "' is not a valid floating point value";
      break;
    }
    if (*factor == 0) {
      list.error = kDivisionByZero;
      break;
    }
    list.factors.push_back(*factor);
  }
  if (list.error) {
    list.factors.clear();
  }
  return list;
}

}  // namespace tarvik::synth
