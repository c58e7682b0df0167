// Siglent `.bin` waveform files of the SDS2000X-E generation: the layout without a version
// field, little-endian, a fixed 2 KiB header and one unsigned byte per sample.
//   0x000  channel on/off, four int32 (CH1..CH4), each 0 or 1
//   0x010  V/div of each channel, four values with unit
//   0x050  vertical offset of each channel, four values with unit
//   0x090  digital channels on/off (int32), 0x094 sixteen int32 of the digital channels
//   0x0d4  time/div, 0x0e4 trigger delay (values with unit)
//   0x0f4  wave length (uint32): samples per analog channel
//   0x0f8  sample rate (value with unit)
//   0x800  the samples: the channels that are on, one after another, then the digital ones
// A value with unit is 16 bytes: a double, its SI magnitude (uint32: 8 = none, each step is a
// factor of 1000: 7 milli, 9 kilo) and the unit's code. Code 128 is the screen centre and a
// division has 25 codes: value = (code − 128)·V/div/25 − offset. The sample interval is the
// inverse of the rate, computed in double.
//
// Nothing in the header says "Siglent", so the file is recognised by the shape of that
// header: on/off words that are 0 or 1, magnitudes in range, a wave length whose samples are
// in the file.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "io/ScopeBytes.h"

namespace tarvik {
namespace {

constexpr std::uint64_t kDataStart = 0x800;
constexpr std::uint64_t kVoltsPerDiv = 0x10;
constexpr std::uint64_t kOffsets = 0x50;
constexpr std::uint64_t kDigitalOn = 0x90;
constexpr std::uint64_t kWaveLength = 0xf4;
constexpr std::uint64_t kSampleRate = 0xf8;
constexpr std::uint32_t kMaxMagnitude = 16;

// A value with unit in SI: value·1000^(magnitude − 8).
double siValue(const ScopeBytes& file, std::string_view field, std::uint64_t at) {
  const double value = file.little<double>(field, at);
  const std::uint32_t magnitude = file.little<std::uint32_t>(field, at + 8);
  if (magnitude > kMaxMagnitude) {
    file.fail(field, at + 8, "неизвестный множитель " + std::to_string(magnitude));
  }
  const double si = value * std::pow(1000.0, static_cast<double>(magnitude) - 8.0);
  if (!std::isfinite(si)) {
    file.fail(field, at, "значение не является конечным числом");
  }
  return si;
}

bool littleWord(std::string_view bytes, std::size_t at, std::uint32_t& word) {
  if (at + 4 > bytes.size()) {
    return false;
  }
  word = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    word |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  }
  return true;
}

}  // namespace

bool looksLikeSiglentBin(std::string_view bytes) {
  if (bytes.size() <= kDataStart) {
    return false;
  }
  std::uint32_t word = 0;
  std::uint64_t on = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    if (!littleWord(bytes, 4 * k, word) || word > 1) {
      return false;
    }
    on += word;
  }
  if (on == 0 || !littleWord(bytes, kDigitalOn, word) || word > 1) {
    return false;
  }
  for (std::size_t k = 0; k < 4; ++k) {
    if (!littleWord(bytes, kVoltsPerDiv + 16 * k + 8, word) || word > kMaxMagnitude ||
        !littleWord(bytes, kOffsets + 16 * k + 8, word) || word > kMaxMagnitude) {
      return false;
    }
  }
  if (!littleWord(bytes, kSampleRate + 8, word) || word > kMaxMagnitude) {
    return false;
  }
  std::uint32_t length = 0;
  return littleWord(bytes, kWaveLength, length) && length > 0 &&
         on * length <= bytes.size() - kDataStart;
}

ScopeRecord readSiglentBin(const ScopeInput& input) {
  const ScopeBytes file(input.bytes, "Siglent .bin");
  const std::uint32_t length = file.little<std::uint32_t>("длина записи", kWaveLength);
  if (length == 0) {
    file.fail("длина записи", kWaveLength, "в записи нет ни одной точки");
  }
  const double rate = siValue(file, "частота дискретизации", kSampleRate);
  const double dt = 1.0 / rate;
  requireSampleInterval(file, "частота дискретизации", kSampleRate, dt);
  if (!std::isfinite(static_cast<double>(length - 1) * (dt * 1e9))) {
    file.fail("частота дискретизации", kSampleRate,
              "время последней точки не является конечным числом");
  }

  struct Plan {
    int channel;
    std::uint64_t offset;
    double gain;
    double offsetVolts;
  };
  std::vector<Plan> plans;
  std::uint64_t at = kDataStart;
  for (int k = 0; k < 4; ++k) {
    const std::uint64_t onAt = 4 * static_cast<std::uint64_t>(k);
    const std::uint32_t on = file.little<std::uint32_t>("канал включён", onAt);
    if (on == 0) {
      continue;
    }
    if (on != 1) {
      file.fail("канал включён", onAt, "не 0 и не 1, а " + std::to_string(on));
    }
    const double voltsPerDiv = siValue(file, "В/дел", kVoltsPerDiv + 16 * static_cast<std::uint64_t>(k));
    const double offset = siValue(file, "смещение", kOffsets + 16 * static_cast<std::uint64_t>(k));
    file.span("данные CH" + std::to_string(k + 1), at, length);
    plans.push_back({k, at, voltsPerDiv / 25.0, offset});
    at += length;
  }
  if (plans.empty()) {
    file.fail("канал включён", 0, "ни один аналоговый канал не включён");
  }

  ScopeRecord record;
  for (const Plan& plan : plans) {
    const std::string_view codes = file.span("данные", plan.offset, length);
    ScopeTrace trace;
    trace.title = "CH" + std::to_string(plan.channel + 1);
    trace.points.ys = convertSamples(codes.data(), codes.size(), SampleCode::UInt8,
                                     std::endian::little, plan.gain, -plan.offsetVolts, -128.0, 0,
                                     &input.release, static_cast<std::size_t>(plan.offset));
    trace.points.xs = uniformTimes(trace.points.ys.size(), dt);
    record.traces.push_back(std::move(trace));
  }
  return record;
}

}  // namespace tarvik
