// The conversion of a deep record's codes: split into blocks and halves on two threads, it
// must give every sample exactly what the formula gives it alone, at every block boundary.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "io/ScopeBytes.h"

namespace tarvik {
namespace {

// Over two progress blocks and an odd tail, so both threads, both block edges and a last
// partial block are crossed.
constexpr std::size_t kDeep = (std::size_t{9} << 20) + 7;

TEST(ScopeConversion, DeepRecordEqualsTheFormulaSampleBySample) {
  std::string codes(kDeep * 2 + 1, '\0');  // one byte in front: the codes are not aligned
  for (std::size_t i = 0; i < kDeep; ++i) {
    const auto bits = static_cast<std::uint16_t>(i * 40503u);
    codes[1 + 2 * i] = static_cast<char>(bits >> 8);  // high byte first
    codes[2 + 2 * i] = static_cast<char>(bits & 0xFF);
  }
  const double gain = 1.5625e-4, offset = -0.3, shift = 12.5;
  std::vector<std::size_t> released;
  const ReleaseBytes release = [&](std::size_t end) { released.push_back(end); };
  const std::vector<double> ys = convertSamples(codes.data() + 1, kDeep, SampleCode::Int16,
                                                std::endian::big, gain, offset, shift, 0,
                                                &release, 100);
  ASSERT_EQ(ys.size(), kDeep);
  std::size_t wrong = 0;
  for (std::size_t i = 0; i < kDeep; ++i) {
    const auto code = static_cast<std::int16_t>(static_cast<std::uint16_t>(i * 40503u));
    const double expected = (static_cast<double>(code) + shift) * gain + offset;
    wrong += std::memcmp(&ys[i], &expected, sizeof expected) != 0 ? 1 : 0;
  }
  EXPECT_EQ(wrong, 0u);
  // Progress forward through the file, ending at the last code.
  ASSERT_EQ(released.size(), 3u);
  EXPECT_LT(released[0], released[1]);
  EXPECT_EQ(released.back(), 100 + kDeep * 2);

  const double dt = 3.2e-10;
  const std::vector<double> xs = uniformTimes(kDeep, dt);
  ASSERT_EQ(xs.size(), kDeep);
  wrong = 0;
  for (std::size_t i = 0; i < kDeep; ++i) {
    const double expected = static_cast<double>(i) * (dt * 1e9);
    wrong += std::memcmp(&xs[i], &expected, sizeof expected) != 0 ? 1 : 0;
  }
  EXPECT_EQ(wrong, 0u);
}

}  // namespace
}  // namespace tarvik
