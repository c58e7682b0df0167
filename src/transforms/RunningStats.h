#pragma once
// Running mean, RMS and energy by the trapezoid rule from the first point onwards. Each
// rewrites entries 0 … n − 2 in place (entry i moves to the old X[i + 1] and holds the
// statistic up to there); the caller drops the last entry. Fewer than two points: nothing
// is computed. Each trapezoid term is rounded to double before it is added.
#include <span>
#include <string>

namespace tarvik {

// Mean from X[0] to X: S / (X − X[0]); a point where X − X[0] is 0 gets 0.
void runningMean(std::span<double> xs, std::span<double> ys);

// RMS from time zero: sqrt(S / X) with S = Σ ((Y[i] + Y[i+1]) / 2)²·dx. It divides by X
// itself, not by the span since the first point. A point with X ≤ 0, or with a negative
// S / X (descending X), gets 0.
void runningRms(std::span<double> xs, std::span<double> ys);

// Energy into 1 Ohm: S = Σ I²·dt with I = (Y[i] + Y[i+1])·cf / 2 (amperes) and
// dt = (X[i+1] − X[i])·tf (seconds); joules. Entry i moves to exactly the old X[i + 1].
// Returns the total (0 with fewer than two points).
double runningEnergy(std::span<double> xs, std::span<double> ys, double timeFactor,
                     double currentFactor);

// Unit entries of the energy dialog and their factors; the index functions give −1 for a
// text that matches no entry.
inline constexpr const char* kTimeUnits[] = {"Секунды", "Миллисекунды", "Микросекунды",
                                             "Наносекунды", "Пикосекунды"};
inline constexpr double kTimeFactors[] = {1, 1e-3, 1e-6, 1e-9, 1e-12};
inline constexpr const char* kCurrentUnits[] = {"Килоамперы", "Амперы", "Миллиамперы",
                                                "Микроамперы"};
inline constexpr double kCurrentFactors[] = {1000, 1, 1e-3, 1e-6};
int timeUnitIndex(const std::string& text);
int currentUnitIndex(const std::string& text);

}  // namespace tarvik
