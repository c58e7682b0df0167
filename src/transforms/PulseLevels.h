#pragma once
// The first half of measuring every pulse of a record: the points measured, the two state
// levels (low and high) and the three reference levels between them.
//
// Notes on the definitions:
// - The points are a graph's finite points with xmin ≤ X ≤ xmax in index order; X must not
//   decrease among them (the measurement is defined on a time record).
// - Histogram levels: B bins of width w = (ymax − ymin)/B over [ymin, ymax], a value's bin
//   min(B − 1, ⌊(y − ymin)/w⌋). In the lower half (bins 0 … ⌊B/2⌋ − 1) and the upper half
//   the bin with the most values wins, a tie going to the bin nearest the half's outer
//   edge; the state is the median of the values in that bin, not its centre, so a flat
//   state reads exactly its own value.
// - Reference levels are percentages of the amplitude above the low state, computed in
//   long double and stored as doubles.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Ui.h"

namespace tarvik {

enum class StateLevelMethod { Histogram, HistogramMean, MinMax, Manual };
enum class PulsePolarityChoice { Auto, Positive, Negative };

inline constexpr int kMinLevelBins = 2;
inline constexpr int kMaxLevelBins = 100000;

// The fields of the pulse measurement (the panel "Импульсы..."), at their defaults.
struct PulseOptions : DialogOptions {
  std::string_view dialogName() const override { return "Импульсы"; }

  StateLevelMethod levels = StateLevelMethod::Histogram;
  int bins = 100;                   // histogram bins, kMinLevelBins … kMaxLevelBins
  std::optional<double> manualLow;  // the states of the manual method
  std::optional<double> manualHigh;
  double lowerPercent = 10;  // reference levels, % of the amplitude above low
  double midPercent = 50;
  double upperPercent = 90;
  double regionFactor = 3;      // aberration regions, in transition durations
  double tolerancePercent = 2;  // settling band, % of the amplitude
  PulsePolarityChoice polarity = PulsePolarityChoice::Auto;
};

// Why the options cannot be used (bins out of range, levels out of order, a manual level
// missing, a region or tolerance not above 0), or nullopt when they can.
std::optional<std::string> pulseOptionsRefusal(const PulseOptions& options);

// Messages of data the measurement is not defined on.
inline constexpr const char* kPulseTooFewPoints =
    "Для измерения импульсов нужно не меньше 3 точек в диапазоне";
inline constexpr const char* kPulseXDecreases =
    "X убывает внутри диапазона: импульсы измеряются только на записи во времени";
inline constexpr const char* kPulseFlat = "Все значения Y в диапазоне равны: уровней нет";
inline constexpr const char* kPulseLevelsUnusable =
    "Уровни состояний не определены: размах значений не представим числом";

struct PulsePointsOutcome;

// The points a pulse measurement reads: spans into the graph when its points in the range
// are one finite run, else a compact copy of the finite points in the range.
class PulsePoints {
 public:
  PulsePoints() = default;
  // Moving keeps the spans valid (a vector's buffer moves with it); copying would not.
  PulsePoints(PulsePoints&&) = default;
  PulsePoints& operator=(PulsePoints&&) = default;
  PulsePoints(const PulsePoints&) = delete;
  PulsePoints& operator=(const PulsePoints&) = delete;

  std::span<const double> xs() const { return m_xs; }
  std::span<const double> ys() const { return m_ys; }
  std::size_t size() const { return m_xs.size(); }
  double yMin() const { return m_yMin; }
  double yMax() const { return m_yMax; }
  // True when every point of the whole graph was found finite with X never decreasing.
  bool graphOrdered() const { return m_graphOrdered; }

 private:
  friend PulsePointsOutcome selectPulsePoints(std::span<const double>, std::span<const double>,
                                              std::optional<double>, std::optional<double>,
                                              bool);
  std::span<const double> m_xs, m_ys;
  bool m_graphOrdered = false;
  std::vector<double> m_ownX, m_ownY;
  double m_yMin = 0, m_yMax = 0;
};

struct PulsePointsOutcome {
  PulsePoints points;
  std::optional<std::string> error;  // kPulseTooFewPoints or kPulseXDecreases
};

// Picks the finite points with xmin ≤ X ≤ xmax (an end left out does not bound) in index
// order. Unequal spans: the longer one's tail is ignored. Fewer than 3 points or an X
// below the one before: the error. One pass over the graph (a second to copy, only when
// a non-finite point or an X outside the range lies between the first and last taken).
// `graphOrdered`: the caller knows the whole graph finite with X never decreasing (the
// same points measured before, graphOrdered() then true), so the range is found by binary
// search alone, without the pass over the graph.
PulsePointsOutcome selectPulsePoints(std::span<const double> xs, std::span<const double> ys,
                                     std::optional<double> xmin, std::optional<double> xmax,
                                     bool graphOrdered = false);

struct StateLevels {
  double low = 0;
  double high = 0;
  double amplitude = 0;  // high − low
};

struct StateLevelsOutcome {
  StateLevels levels;
  std::optional<std::string> error;  // kPulseFlat or kPulseLevelsUnusable
};

// The state levels of the points by the method of the options (the manual levels must be
// set and in order: pulseOptionsRefusal checks that). ymax = ymin: kPulseFlat, whatever the
// method. Histogram levels cost two passes over the points (the counts, then the values of
// the two winning bins) and a selection in each winning bin.
StateLevelsOutcome stateLevels(const PulsePoints& points, const PulseOptions& options);

struct ReferenceLevels {
  double lower = 0;  // L, M, U
  double mid = 0;
  double upper = 0;
};

ReferenceLevels referenceLevels(const StateLevels& levels, const PulseOptions& options);

// Everything a walk over the transitions needs: the points, their states and the
// reference levels, or the first reason the data cannot be measured.
struct PulseSetup {
  PulsePoints points;
  StateLevels levels;
  ReferenceLevels reference;
  std::optional<std::string> error;
};

// selectPulsePoints, stateLevels and referenceLevels in turn. The options must be usable.
PulseSetup preparePulseMeasurement(std::span<const double> xs, std::span<const double> ys,
                                   std::optional<double> xmin, std::optional<double> xmax,
                                   const PulseOptions& options, bool graphOrdered = false);

// Equal bins over [lowest, highest] (lowest < highest): a value's bin is
// min(B − 1, ⌊(v − lowest)/w⌋) with w = (highest − lowest)/B. When highest − lowest
// overflows, the values are halved first (exact), which keeps the same bins.
class EqualBins {
 public:
  EqualBins(double lowest, double highest, int bins);
  std::size_t bin(double v) const { return static_cast<std::size_t>(clampedQuotient(v)); }
  // bin() of `count` values, for a caller that counts them in blocks: the divisions of a
  // block run side by side.
  void binsOf(const double* values, std::size_t count, std::uint32_t* out) const {
    for (std::size_t i = 0; i < count; ++i) {
      out[i] = static_cast<std::uint32_t>(static_cast<std::int32_t>(clampedQuotient(values[i])));
    }
  }
  std::size_t count() const { return m_last + 1; }
  double centre(std::size_t k) const;  // lowest + (k + ½)·w
  // bin() within one either way, by a multiplication (when multipliable()).
  std::size_t nearBin(double v) const {
    const double q = (v * m_scale - m_origin) * m_inverse;
    return static_cast<std::size_t>(q < m_lastBin ? q : m_lastBin);
  }
  bool multipliable() const { return std::isnormal(m_width) && std::isnormal(m_inverse); }

 private:
  // (v − lowest)/w, at most B − 1; a bin width that underflows to 0 sends all to B − 1.
  double clampedQuotient(double v) const {
    const double q = (v * m_scale - m_origin) / m_width;
    return q < m_lastBin ? q : m_lastBin;
  }
  double m_lastBin;
  std::size_t m_last;
  double m_scale = 1;
  double m_origin = 0;
  double m_width = 1;
  double m_inverse = 1;
};

// The straight line through (xa, ya) and (xb, yb) at `level`, in long double, stored as a
// double; xb when ya = yb.
double levelCrossing(double xa, double ya, double xb, double yb, double level);

}  // namespace tarvik
