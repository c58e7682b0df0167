#pragma once
// The live measurement of one pulse on the active graph: amplitude, rise time (10 % to
// 90 % of the peak, optionally corrected for the sensor's own transient response) and
// duration (from 10 % or from 50 % on the rising edge to 50 % on the falling edge).
//
// The chart runs it after every repaint over the part of the active graph that the bottom
// axis shows, so it follows zoom and pan; the batch runner calls it with a range of its
// own. It only computes: the result carries what the chart draws (levels, crossings), the
// text it writes and the sensor messages the caller shows (after the paint, never from
// inside it).
//
// Notes on the numerics:
// - Levels are fractions of the peak measured from zero, not from the baseline, so a pulse
//   that sits on a pedestal is measured against zero.
// - A crossing is the straight line through the two points of the segment that completes
//   the stage, evaluated in long double and stored as a double. It is not clamped to the
//   segment, and the segment's first point may lie outside the visible range.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/FiniteAscending.h"

namespace tarvik {

// Where the duration starts: "0.1-0.5" from t10, "0.5-0.5" (the default) from t50r.
enum class DurationMethod { From10Percent, From50Percent };

enum class PulsePolarity { None, Positive, Negative };

struct PulseMeasurementInput {
  std::span<const double> xs;  // the active graph's points, equal lengths
  std::span<const double> ys;
  double visibleMin = 0;  // the bottom axis's visible range, both ends included
  double visibleMax = 0;
  DurationMethod method = DurationMethod::From50Percent;
  std::string_view sensorText;  // text of the field `Edit2`, in the units of X
  char decimalSeparator = '.';  // of the result text (the sensor text always reads ".")
  // The caller knows that every X is finite and X never decreases: the visible points
  // are then found by binary search. False (or unknown) scans the whole graph; a wrong
  // true gives a wrong range, never an out-of-bounds read.
  bool xFiniteAscending = false;
};

// "Ошибка в задании ПХ датчика!": the sensor text is neither empty nor a number.
inline constexpr const char* kSensorNotANumber = "Ошибка в задании ПХ датчика!";
// The sensor response is longer than the measured rise time.
inline constexpr const char* kSensorLongerThanRise =
    "Недопустимое значение ПХ!\nПХ больше чем фронт!";

struct PulseMeasurement {
  std::size_t visiblePoints = 0;  // finite points with X in the visible range
  double yMax = 0;                // largest visible Y, starting from 0
  double yMin = 0;                // smallest visible Y, starting from 0
  PulsePolarity polarity = PulsePolarity::None;
  double peak = 0;       // yMax for a positive pulse, yMin for a negative one, else 0
  double amplitude = 0;  // the peak, 0 without polarity
  double level10 = 0;    // peak / 10, peak / 2, peak · 9 / 10
  double level50 = 0;
  double level90 = 0;
  // Crossing times; nullopt when the stage was not reached inside the visible range.
  std::optional<double> t10, t50r, t90, t50f;
  std::optional<double> start;     // ts: t10 or t50r by the method (when found)
  std::optional<double> riseTime;  // TR = t90 − t10 after the sensor correction
  std::optional<double> duration;  // TW = t50f − ts
  double sensorRise = 0;           // TS as applied (0: no correction)
  // The trimmed sensor text, set when the rise time was computed: the field shows it from
  // then on (a programmatic change, not an edit by the user).
  std::optional<std::string> trimmedSensorText;
  // Sensor messages (information boxes) in the order met; the measurement goes on.
  std::vector<std::string> sensorMessages;
  // "Aмплитуда = 10; Tф = 8; Tи = 10" (Latin A and T). Always set, also without any
  // visible point ("Aмплитуда = 0").
  std::string text;
};

// Measures the pulse. Points with a non-finite X or Y are skipped as if absent (the
// segment of a crossing then joins the finite neighbours). Unequal spans: the extra tail
// of the longer one is ignored. No visible point, one point or a symmetric signal: no
// polarity, amplitude 0, no crossing.
PulseMeasurement measurePulse(const PulseMeasurementInput& input);

// The three-number text of a measurement: "Aмплитуда = A", then "; Tф = TR" when the rise
// time is known and "; Tи = TW" when the duration is, each in the 3-digit format.
std::string pulseMeasurementText(const PulseMeasurement& m, char decimalSeparator);

}  // namespace tarvik
