#pragma once
// Reads the reference tables that tests/spectral/make_filter_data.py wrote with scipy:
// lines of a keyword and its words; number lists are "KEY COUNT v1 v2 ...".
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvik::testing {

struct TableLine {
  std::string key;
  std::vector<std::string> words;      // the words after the key
  std::vector<double> numbers() const {  // a counted number list
    std::vector<double> out;
    const std::size_t count = std::stoul(words.at(0));
    for (std::size_t i = 1; i <= count; ++i) out.push_back(std::stod(words.at(i)));
    return out;
  }
};

inline std::vector<TableLine> readTable(const std::string& name) {
  std::ifstream in(std::string(TARVIK_FILTER_DATA_DIR) + "/" + name);
  if (!in) throw std::runtime_error("no reference table " + name);
  std::vector<TableLine> lines;
  std::string text;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    std::istringstream words(text);
    TableLine line;
    words >> line.key;
    for (std::string w; words >> w;) line.words.push_back(w);
    lines.push_back(std::move(line));
  }
  return lines;
}

// Largest |a − b| over the largest |b|: the error relative to the record's scale.
inline double scaledError(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return 1e300;
  double largest = 0, error = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    largest = std::max(largest, std::abs(b[i]));
    error = std::max(error, std::abs(a[i] - b[i]));
  }
  return largest > 0 ? error / largest : error;
}

}  // namespace tarvik::testing
