// The dielectric tables and the reflected-signal delay against the behaviour's numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "synth/Dielectric.h"
#include "synth/ReflectedDelay.h"

namespace tarvik::synth {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(WaterTables, GridsAndTheRelaxationPeak) {
  const PointColumns re = waterRealTable();
  ASSERT_EQ(re.xs.size(), 2001u);
  EXPECT_EQ(re.xs[1], 0.1);
  EXPECT_EQ(re.xs.back(), 200);
  EXPECT_DOUBLE_EQ(re.ys.front(), 81.0);
  const PointColumns im = waterImaginaryTable(false);
  ASSERT_EQ(im.xs.size(), 4001u);
  EXPECT_EQ(im.xs[1], 0.05);
  EXPECT_EQ(im.xs.back(), 200);
  EXPECT_EQ(im.ys.front(), 0);
  // At f = 1/(2π·τ) ≈ 16.93 GHz, ωτ = 1: ε′ = 1.8 + 79.2/2 and ε″ = 82.8/2, both 41.4.
  const double peak = 1 / (2 * std::numbers::pi * 9.4e-12) / 1e9;
  EXPECT_NEAR(waterRealPermittivity(peak), 41.4, 1e-12);
  EXPECT_NEAR(waterImaginaryPermittivity(peak), 41.4, 1e-12);
  // ε″ of the table is largest at the grid point nearest the peak.
  std::size_t top = 0;
  for (std::size_t i = 0; i < im.ys.size(); ++i) {
    top = im.ys[i] > im.ys[top] ? i : top;
  }
  EXPECT_NEAR(im.xs[top], peak, 0.025);
  const PointColumns sigma = waterImaginaryTable(true);
  for (std::size_t i : {0u, 17u, 339u, 4000u}) {
    const double w = 2 * std::numbers::pi * sigma.xs[i] * 1e9;
    EXPECT_DOUBLE_EQ(sigma.ys[i], 8.85e-12 * w * im.ys[i]) << i;
  }
}

TEST(PolarDielectric, DefaultsGive51RowsFromTheStaticValues) {
  const PolarDielectric d;
  const auto rows = polarRowCount(0.5, 10'000'000);
  ASSERT_EQ(rows, 51u);
  const PointColumns eps = polarPermittivityTable(d, *rows);
  const PointColumns sigma = polarConductivityTable(d, *rows);
  ASSERT_EQ(eps.xs.size(), 51u);
  EXPECT_EQ(eps.xs[1], 0.01);
  EXPECT_EQ(eps.xs.back(), 0.5);
  EXPECT_EQ(eps.ys.front(), 120);
  EXPECT_EQ(sigma.ys.front(), 0.64);
  // At ωτ = 1 the permittivity is halfway between εs and ε∞ …
  const double half = 1 / (2 * std::numbers::pi * 6.67e-9) / 1e9;
  EXPECT_NEAR(polarPermittivity(d, half), (120 + 15) / 2.0, 1e-12);
  // … and the conductivity term carries εs + ε∞, as the model states it.
  const double w = 1 / 6.67e-9;
  EXPECT_NEAR(polarConductivity(d, half), 8.85e-12 * w * (120 + 15) / 2 + 0.64, 1e-12);
  // Far above the relaxation the permittivity approaches ε∞.
  EXPECT_NEAR(eps.ys.back(), 15 + 105 / (1 + std::pow(2 * std::numbers::pi * 0.5 * 6.67, 2)),
              1e-12);
}

TEST(PolarDielectric, RowCountRoundsTiesToEvenAndIsBounded) {
  const struct {
    double fMax;
    std::optional<std::size_t> rows;
  } cases[] = {
      {0.125, 13u},  // 12.5 rounds to 12
      {0.375, 39u},  // 37.5 rounds to 38
      {0.0, 1u},
      {0.004, 1u},
      {-0.004, 1u},
      {-0.0025, 1u},
      {-0.006, 0u},
      {-5.0, 0u},
      {99'999.99, 10'000'000u},
      {100'000.0, std::nullopt},
      {1e300, std::nullopt},
      {kInf, std::nullopt},
      {std::nan(""), std::nullopt},
      {-kInf, 0u},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(polarRowCount(c.fMax, 10'000'000), c.rows) << c.fMax;
  }
}

TEST(ReflectedDelay, BothModelsAtTheBehavioursHeights) {
  const PointColumns specular = reflectedDelayTable(5, 10, 11, ReflectionModel::Specular);
  ASSERT_EQ(specular.xs.size(), 11u);
  EXPECT_EQ(specular.xs.back(), 10);
  EXPECT_EQ(specular.ys[0], 0);  // both paths equal on the ground
  EXPECT_NEAR(specular.ys[5], (std::sqrt(200.0) - 10) / 3e8 * 1e9, 1e-12);
  EXPECT_NEAR(specular.ys[5], 13.807, 5e-4);
  const PointColumns under = reflectedDelayTable(5, 10, 11, ReflectionModel::UnderEmitter);
  EXPECT_NEAR(under.ys[0], (5 + 10 - std::sqrt(125.0)) / 3e8 * 1e9, 1e-12);
  EXPECT_NEAR(under.ys[0], 12.732, 5e-4);
  // Level with the emitter the second model's detour is H1 + √(H1² + L²) − L.
  EXPECT_NEAR(under.ys[5], (5 + std::sqrt(125.0) - 10) / 3e8 * 1e9, 1e-12);
  // The higher the observer, the longer the specular detour (about 22.8 ns at 10 m).
  EXPECT_NEAR(specular.ys[10], (std::sqrt(325.0) - std::sqrt(125.0)) / 3e8 * 1e9, 1e-12);
  EXPECT_GT(specular.ys[10], specular.ys[5]);
}

TEST(ReflectedDelay, HeightsWhileNotAboveH2) {
  const struct {
    double h2;
    std::optional<std::size_t> count;
  } cases[] = {{10, 11u},
               {10.5, 11u},
               {0, 1u},
               {0.99, 1u},
               {-0.5, 0u},
               {-kInf, 0u},
               {9'999'999, 10'000'000u},
               {10'000'000, std::nullopt},
               {kInf, std::nullopt},
               {std::nan(""), std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(observationHeightCount(c.h2, 10'000'000), c.count) << c.h2;
  }
}

}  // namespace
}  // namespace tarvik::synth
