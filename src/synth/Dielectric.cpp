#include "synth/Dielectric.h"

#include <cmath>
#include <numbers>

#include "synth/GeneratedTable.h"

namespace tarvik::synth {
namespace {

template <class Value>
PointColumns tabulate(std::size_t rows, double divisor, Value value) {
  PointColumns table;
  table.xs.reserve(rows);
  table.ys.reserve(rows);
  for (std::size_t i = 0; i < rows; ++i) {
    const double f = static_cast<double>(i) / divisor;
    table.xs.push_back(f);
    table.ys.push_back(value(f));
  }
  return table;
}

}  // namespace

double angularFrequency(double fGhz) { return 2 * std::numbers::pi * fGhz * 1e9; }

double waterRealPermittivity(double fGhz) {
  const double wt = angularFrequency(fGhz) * kWaterRelaxationSeconds;
  return 1.8 + 79.2 / (1 + wt * wt);
}

double waterImaginaryPermittivity(double fGhz) {
  const double wt = angularFrequency(fGhz) * kWaterRelaxationSeconds;
  return 82.8 * wt / (1 + wt * wt);
}

PointColumns waterRealTable() { return tabulate(2001, 10, waterRealPermittivity); }

PointColumns waterImaginaryTable(bool conductivity) {
  if (!conductivity) {
    return tabulate(4001, 20, waterImaginaryPermittivity);
  }
  return tabulate(4001, 20, [](double f) {
    return kVacuumPermittivity * angularFrequency(f) * waterImaginaryPermittivity(f);
  });
}

std::optional<std::size_t> polarRowCount(double fMaxGhz, std::size_t limit) {
  const double scaled = fMaxGhz * 100;
  // Bounded before rounding, so the count always fits an integer.
  if (!(scaled < static_cast<double>(limit))) {
    return std::nullopt;
  }
  const std::int64_t last = roundHalfEven(std::fmax(scaled, -1.0));
  if (last < 0) {
    return 0;
  }
  const auto rows = static_cast<std::size_t>(last) + 1;
  return rows <= limit ? std::optional<std::size_t>(rows) : std::nullopt;
}

double polarPermittivity(const PolarDielectric& d, double fGhz) {
  const double wt = angularFrequency(fGhz) * d.relaxationSeconds;
  return d.highFrequencyPermittivity +
         (d.staticPermittivity - d.highFrequencyPermittivity) / (1 + wt * wt);
}

double polarConductivity(const PolarDielectric& d, double fGhz) {
  const double w = angularFrequency(fGhz);
  const double wt = w * d.relaxationSeconds;
  return kVacuumPermittivity * w * wt * (d.staticPermittivity + d.highFrequencyPermittivity) /
             (1 + wt * wt) +
         d.staticConductivity;
}

PointColumns polarPermittivityTable(const PolarDielectric& d, std::size_t rows) {
  return tabulate(rows, 100, [&d](double f) { return polarPermittivity(d, f); });
}

PointColumns polarConductivityTable(const PolarDielectric& d, std::size_t rows) {
  return tabulate(rows, 100, [&d](double f) { return polarConductivity(d, f); });
}

}  // namespace tarvik::synth
