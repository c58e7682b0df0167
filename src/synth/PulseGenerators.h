#pragma once
// The pulse generators: the table of counting error against speed, the three-exponential
// pulse and the sin(x)/x pulse.
//
// Counting error: a wheel of circumference 0.95·π m counted over T = 1 s at speed v m/s
// gives b = round(v·42/(0.95·π)·10) counts; one count lost at each end makes the relative
// error e = (1 − (b − 2)/b)·100 percent. v grows geometrically by 1.1 from 0.001 m/s and the
// table ends with the first speed at or above 120 km/h.
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace tarvik::synth {

struct PointColumns {
  std::vector<double> xs;
  std::vector<double> ys;
};

// Speed in km/h (X) against the counting error in percent (Y), one row per pass whose
// count b is at least 3.
PointColumns countingErrorTable();

// f(t) = A·(K1·e^(−T1·t) + K2·e^(−T2·t) − K3·e^(−T3·t)), rates in 1/s, times in s.
struct ThreeExpParams {
  double a = 1, k1 = 0.5, k2 = 0.5, k3 = 1;
  double t1 = 1e-7 * 1e9, t2 = 4.5e-8 * 1e9, t3 = 0.22e9;
  double endSeconds = 1e-7;
  double stepSeconds = 1e-9;
};

// The time after which the step grows twentyfold: the pulse front is sampled finely, its
// slow tail coarsely.
inline constexpr double kFineSamplingEndSeconds = 1e-7;

double threeExpValue(const ThreeExpParams& p, double tSeconds);

// How many points the sampling loop makes for `p` (t from 0 while t < end, t += step in
// double, the step 20 times larger once t exceeds 1e-7 s), or nullopt when that is more
// than `limit`. Counts without computing the pulse; at most limit + 1 additions. The step
// must be positive and finite.
std::optional<std::size_t> threeExpPointCount(const ThreeExpParams& p, std::size_t limit);

// Samples the pulse: X in nanoseconds (t·1e9), Y the value. Before each point shows the
// percentage round(t·100/end) (ties to even) through `showPercent` when it differs from
// the one shown last (which starts at 1), then polls `stopRequested`; a stop ends the loop
// and keeps the points made so far. Returns false when stopped. The step must be positive.
bool sampleThreeExpPulse(const ThreeExpParams& p, PointColumns& out,
                         const std::function<void(int percent)>& showPercent,
                         const std::function<bool()>& stopRequested);

// sin(u)/u with u = π·F·(x − c), F = 20000, c = 0.005, for x = 0, 1e-5, … while x < 0.01
// (x accumulated in double): 1001 points, Y = 1 where u is exactly 0.
PointColumns sincPulse();

}  // namespace tarvik::synth
