#include <gtest/gtest.h>

#include "spectral/UniformResample.h"

namespace tarvik::spectral {
namespace {

Graph points(std::initializer_list<std::pair<double, double>> xy) {
  Graph g;
  for (const auto& [x, y] : xy) {
    g.appendPoint(x, y);
  }
  return g;
}

TEST(UniformResample, InterpolatesAndWeightsBySampleStep) {
  // X in microseconds: s = h·1e-6.
  const UniformSamples s = uniformResample(points({{0, 0}, {2, 4}, {4, 0}}), 5, 1e-6);
  EXPECT_EQ(s.x0, 0.0);
  EXPECT_EQ(s.step, 1.0);
  EXPECT_DOUBLE_EQ(s.sampleStep, 1e-6);
  const float want[] = {0, 2e-6f, 4e-6f, 2e-6f, 0};
  for (std::size_t p = 0; p < 5; ++p) {
    EXPECT_FLOAT_EQ(s.values[p], want[p]) << p;
  }
}

TEST(UniformResample, EdgeCases) {
  const struct {
    const char* name;
    Graph graph;
    std::size_t count;
    std::vector<float> want;
  } cases[] = {
      // Two equal X: the interval of zero length gives Y[j], not 0/0.
      {"zero-length interval", points({{0, 1}, {1, 3}, {1, 5}, {2, 5}}), 3, {1, 3, 5}},
      {"one point", points({{1, 7}}), 2, {0, 0}},
      // Not ascending: where the forward search finds no interval the sample is 0.
      {"descending tail", points({{0, 0}, {2, 2}, {1, 9}}), 3, {0, 1, 2}},
  };
  for (const auto& c : cases) {
    const UniformSamples s = uniformResample(c.graph, c.count, 1.0);
    ASSERT_EQ(s.values.size(), c.want.size()) << c.name;
    for (std::size_t p = 0; p < c.want.size(); ++p) {
      EXPECT_FLOAT_EQ(s.values[p], c.want[p] * static_cast<float>(s.sampleStep)) << c.name << p;
    }
  }
  EXPECT_THROW(uniformResample(points({{0, 0}, {1, 1}}), 1, 1.0), std::invalid_argument);
}

TEST(UniformResample, EndsAreRoundedToSinglePrecision) {
  // Xmin = 0.1 is not a float: x0 = 0.1f lies above it, so the first sample is inside.
  const UniformSamples s = uniformResample(points({{0.1, 1}, {0.3, 1}}), 3, 1.0);
  EXPECT_EQ(s.x0, static_cast<double>(0.1f));
  EXPECT_EQ(s.step, (static_cast<double>(0.3f) - static_cast<double>(0.1f)) / 2);
}

}  // namespace
}  // namespace tarvik::spectral
