#pragma once
// Calibration of a sensor channel: a measured table of the sensor's output voltage U against
// the quantity it measures I (a current), and the conversion of a voltage back into I by
// Catmull–Rom interpolation of the table, as a plane curve (U(t), I(t)) solved for U(t) = a
// by bisection.
//
// A calibration file (".CAL") is text: each line holds I and U as number tokens like those
// of a plain graph file ("." as the point, characters up to code 32 skipped before a
// number, a token running to the next such character); the rest of each line is ignored
// except the rest of the first line, the file's comment (Windows 1251 in the file).
#include <cstddef>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/ReadResult.h"

namespace tarvik::synth {

struct CalibrationRecord {
  float current = 0;  // I, the first number of a line
  float voltage = 0;  // U, the second number
};

// The records T[1] … T[N] in file order with the two end records T[0] = T[1] and
// T[N+1] = T[N] the spline segments at the ends take as neighbours.
class CalibrationTable {
 public:
  CalibrationTable() = default;
  explicit CalibrationTable(std::vector<CalibrationRecord> records);

  // N, the number of records read.
  std::size_t size() const { return m_padded.empty() ? 0 : m_padded.size() - 2; }
  bool empty() const { return size() == 0; }
  // T[i] for i = 0 … N + 1.
  const CalibrationRecord& operator[](std::size_t i) const { return m_padded[i]; }
  // True when U never falls from one record to the next (no NaN): the search for the
  // first U[i] ≥ a may then be a binary search.
  bool rising() const { return m_rising; }

 private:
  std::vector<CalibrationRecord> m_padded;
  bool m_rising = true;
};

struct CalibrationFile {
  CalibrationTable table;
  std::string comment;             // rest of the first line, UTF-8
  std::optional<ReadError> error;  // "Invalid numeric input" at its line; no table then
};

// Reads records until only characters up to code 32 remain. A token that is not a number,
// or an I without its U at the end, is an error; the table is then empty. Empty input (or
// blanks only) gives an empty table and no error.
CalibrationFile readCalibrationFile(std::string_view bytes);

// The comment of a calibration file: the rest of its first line after the first record, or
// "" when the file does not start with a record.
std::string calibrationComment(std::string_view bytes);

// The calibrated value of the voltage y: with a = |y| and s its sign (+1 for y ≥ 0),
// 0 for a = 0; the line through the origin and T[1] when a ≤ U[1]; the line through the
// last two records above the table (through the origin and T[N] when those two share
// their U, or N = 1); otherwise s·c of the Catmull–Rom segment T[i−1]…T[i] (i the first
// record with a ≤ U[i]) at the parameter where bisection in float finds U(t) within 0.1 %
// of a (at most 101 evaluations). NaN y gives NaN. The table must not be empty.
double calibratedValue(const CalibrationTable& table, double y);

// calibratedValue for every y, into `out` (of the same length).
void calibrateValues(const CalibrationTable& table, std::span<const double> ys,
                     std::span<double> out);

// A calibration file found in a folder.
struct CalibrationFileInfo {
  std::string name;  // file name without folder
  std::string path;
  std::time_t modified = 0;
  std::string comment;
};

// The files whose name ends in ".CAL" (any letter case) in each folder, folder by folder,
// in the order the listing returns them. Folders that do not exist or cannot be listed
// contribute nothing; a folder named twice is listed once.
std::vector<CalibrationFileInfo> listCalibrationFiles(const std::vector<std::string>& folders);

// Messages of the calibration conversion.
inline constexpr const char* kCalibrationEmpty = "Файл калибровки пуст";
inline constexpr const char* kFileNotFound = "File not found";

}  // namespace tarvik::synth
