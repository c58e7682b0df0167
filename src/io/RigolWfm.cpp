// Rigol `.wfm` files of three scope generations, told apart by the first four bytes. All are
// little-endian, one unsigned byte per sample, and store the sample rate as a float32 (the
// sample interval is its inverse, computed in double).
//
// DS1000B (A5 A5 A4 01): the record length at 0x3c serves every channel; four 24-byte channel
//   blocks from 0x44 (probe ratio float32 at +8, enabled at +14, inverted at +15, measured
//   scale in µV/div at +16, measured shift in codes at +20); the rate at 0xb4. Channel k has
//   a fixed slot at 0x1a4 + k·length, also when channels before it are off. Code 127 is the
//   screen centre and the screen's zero lies 1.12 divisions above it:
//   value = s·(127 − code) − shift·s − 1.12·V/div, s = V/div / 25 (negative when inverted).
// DS1000E and DS1000D (A5 A5 00 00): the rolling-mode stop mark at 0x14, the memory depth of
//   channel 1 at 0x1c (channel 2's at 0xe8, 0 meaning the same), two channel blocks from 0x22
//   (probe at +10, enabled at +15, scale at +18, shift at +22), the rate at 0x64 (channel 2
//   in alternate trigger mode, 0x8e = 4, has its own time block and rate at 0xfc). Samples
//   from 0x114: channel 1, then channel 2, each followed by the bytes rolling mode leaves
//   invalid (stop mark + 2), which are no samples. value = s·(125 − code) − shift·s.
// DS2000 (A5 A5 38 00): the channel mask at 0x40 (bit k: channel k+1; bit 0 of 0x41: the
//   interwoven record of channels 1 and 2), the data offsets of the four channels at 0x44,
//   the rate at 0x60, 28-byte channel blocks from 0x78 (V/div float32 at +8, offset float32
//   at +12), the offset of the first valid sample at 0xf8 and the record length at 0xfc.
//   value = s·(code − 127) − offset, s = V/div / 25. An interwoven record samples one
//   channel with the memory of both: its samples alternate between the two data blocks.
//   The inverted flag is at +16 in files whose enabled byte is 1, at +17 in the others
//   (the later firmware swapped it with the unit byte).
// Digital channels of the mixed-signal models are stored after the analog ones and skipped.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "io/ScopeBytes.h"

namespace tarvik {
namespace {

constexpr std::string_view kMagic1000B("\xa5\xa5\xa4\x01", 4);
constexpr std::string_view kMagic1000E("\xa5\xa5\x00\x00", 4);
constexpr std::string_view kMagic2000("\xa5\xa5\x38\x00", 4);

std::string channelTitle(int k) { return "CH" + std::to_string(k + 1); }

// A channel's scale and offset must be numbers, or every value would be NaN.
void requireFinite(const ScopeBytes& file, std::string_view field, std::uint64_t offset,
                   double value) {
  if (!std::isfinite(value)) {
    file.fail(field, offset, "значение не является конечным числом");
  }
}

double sampleInterval(const ScopeBytes& file, std::uint64_t offset) {
  const double rate = static_cast<double>(file.little<float>("частота дискретизации", offset));
  const double dt = 1.0 / rate;
  requireSampleInterval(file, "частота дискретизации", offset, dt);
  return dt;
}

// One channel's samples: `count` codes from `offset` (`second`: where the odd samples of an
// interwoven record lie, else 0), value = (code + codeShift)·gain + valueOffset.
struct ChannelPlan {
  int channel = 0;
  std::uint64_t offset = 0;
  std::uint64_t second = 0;
  std::uint64_t count = 0;
  double dt = 0.0;
  double gain = 1.0;
  double valueOffset = 0.0;
  double codeShift = 0.0;
};

std::vector<double> convertBlock(const ScopeBytes& file, const ScopeInput& input,
                                 const ChannelPlan& plan, std::uint64_t offset,
                                 std::uint64_t count) {
  const std::string_view codes =
      file.span("данные " + channelTitle(plan.channel), offset, count);
  return convertSamples(codes.data(), codes.size(), SampleCode::UInt8, std::endian::little,
                        plan.gain, plan.valueOffset, plan.codeShift, 0, &input.release,
                        static_cast<std::size_t>(offset));
}

// Every block is checked against the file before the first is converted, so a damaged
// file is refused before any allocation; the headers have all been read by then, so the
// pages behind each converted block may leave the process.
ScopeRecord convertChannels(const ScopeBytes& file, const ScopeInput& input,
                            const std::vector<ChannelPlan>& plans, std::uint64_t channelsAt) {
  if (plans.empty()) {
    file.fail("каналы", channelsAt, "ни один аналоговый канал не включён");
  }
  for (const ChannelPlan& plan : plans) {
    const std::string field = "данные " + channelTitle(plan.channel);
    if (plan.count == 0) {
      file.fail(field, plan.offset, "в записи нет ни одной точки");
    }
    if (!std::isfinite(static_cast<double>(plan.count - 1) * (plan.dt * 1e9))) {
      file.fail(field, plan.offset, "время последней точки не является конечным числом");
    }
    file.span(field, plan.offset, plan.second == 0 ? plan.count : (plan.count + 1) / 2);
    if (plan.second != 0) {
      file.span(field, plan.second, plan.count / 2);
    }
  }
  ScopeRecord record;
  for (const ChannelPlan& plan : plans) {
    ScopeTrace trace;
    trace.title = channelTitle(plan.channel);
    if (plan.second == 0) {
      trace.points.ys = convertBlock(file, input, plan, plan.offset, plan.count);
    } else {
      // Even samples from the first block, odd ones from the second.
      const std::vector<double> even =
          convertBlock(file, input, plan, plan.offset, (plan.count + 1) / 2);
      const std::vector<double> odd = convertBlock(file, input, plan, plan.second, plan.count / 2);
      trace.points.ys.resize(static_cast<std::size_t>(plan.count));
      for (std::size_t i = 0; i < trace.points.ys.size(); ++i) {
        trace.points.ys[i] = (i % 2 == 0) ? even[i / 2] : odd[i / 2];
      }
    }
    trace.points.xs = uniformTimes(trace.points.ys.size(), plan.dt);
    record.traces.push_back(std::move(trace));
  }
  return record;
}

ScopeRecord read1000B(const ScopeInput& input) {
  const ScopeBytes file(input.bytes, "Rigol .wfm (DS1000B)");
  const std::uint32_t length = file.little<std::uint32_t>("длина записи", 0x3c);
  const double dt = sampleInterval(file, 0xb4);
  std::vector<ChannelPlan> plans;
  for (int k = 0; k < 4; ++k) {
    const std::uint64_t block = 0x44 + 24 * static_cast<std::uint64_t>(k);
    if (file.little<std::uint8_t>("канал включён", block + 14) == 0) {
      continue;
    }
    const bool inverted = file.little<std::uint8_t>("инверсия", block + 15) != 0;
    const double probe = static_cast<double>(file.little<float>("делитель пробника", block + 8));
    const double scale = static_cast<double>(file.little<std::int32_t>("В/дел", block + 16));
    const double shift = static_cast<double>(file.little<std::int16_t>("смещение", block + 20));
    const double voltsPerDiv = (inverted ? -1e-6 : 1e-6) * scale * probe;
    requireFinite(file, "делитель пробника", block + 8, voltsPerDiv);
    const double s = voltsPerDiv / 25.0;
    ChannelPlan plan;
    plan.channel = k;
    plan.offset = 0x1a4 + static_cast<std::uint64_t>(k) * length;
    plan.count = length;
    plan.dt = dt;
    plan.gain = -s;
    plan.codeShift = -127.0;
    plan.valueOffset = -shift * s - 1.12 * voltsPerDiv;
    plans.push_back(plan);
  }
  return convertChannels(file, input, plans, 0x44);
}

ScopeRecord read1000E(const ScopeInput& input) {
  const ScopeBytes file(input.bytes, "Rigol .wfm (DS1000E)");
  const std::uint32_t rollStop = file.little<std::uint32_t>("останов прокрутки", 0x14);
  const std::uint32_t depth1 = file.little<std::uint32_t>("глубина памяти CH1", 0x1c);
  const std::uint32_t depth2Stored = file.little<std::uint32_t>("глубина памяти CH2", 0xe8);
  const std::uint64_t depths[2] = {depth1, depth2Stored == 0 ? depth1 : depth2Stored};
  // Rolling mode leaves the bytes after the stop mark invalid: they follow each channel.
  const std::uint64_t skip = rollStop == 0 ? 0 : std::uint64_t{rollStop} + 2;
  const double dt1 = sampleInterval(file, 0x64);
  const bool alternate = file.little<std::uint8_t>("режим синхронизации", 0x8e) == 4;
  const double dt2 = alternate && file.little<float>("частота дискретизации", 0xfc) > 0.0f
                         ? sampleInterval(file, 0xfc)
                         : dt1;
  std::vector<ChannelPlan> plans;
  std::uint64_t at = 0x114;
  for (int k = 0; k < 2; ++k) {
    const std::uint64_t block = 0x22 + 24 * static_cast<std::uint64_t>(k);
    if (file.little<std::uint8_t>("канал включён", block + 15) == 0) {
      continue;
    }
    const std::uint64_t depth = depths[k];
    if (depth <= skip) {
      file.fail(k == 0 ? "глубина памяти CH1" : "глубина памяти CH2", k == 0 ? 0x1c : 0xe8,
                "память " + std::to_string(depth) + " не больше пропуска прокрутки " +
                    std::to_string(skip));
    }
    const double probe = static_cast<double>(file.little<float>("делитель пробника", block + 10));
    const double scale = static_cast<double>(file.little<std::int32_t>("В/дел", block + 18));
    const double shift = static_cast<double>(file.little<std::int16_t>("смещение", block + 22));
    const double s = 1e-6 * scale * probe / 25.0;
    requireFinite(file, "делитель пробника", block + 10, s);
    ChannelPlan plan;
    plan.channel = k;
    plan.offset = at;
    plan.count = depth - skip;
    plan.dt = k == 0 ? dt1 : dt2;
    plan.gain = -s;
    plan.codeShift = -125.0;
    plan.valueOffset = -shift * s;
    plans.push_back(plan);
    at += depth;  // the samples and the invalid bytes after them
  }
  return convertChannels(file, input, plans, 0x22);
}

ScopeRecord read2000(const ScopeInput& input) {
  const ScopeBytes file(input.bytes, "Rigol .wfm (DS2000)");
  const std::uint8_t mask = file.little<std::uint8_t>("маска каналов", 0x40);
  const bool interwoven = (file.little<std::uint8_t>("маска каналов", 0x41) & 1) != 0;
  const double dt = sampleInterval(file, 0x60);
  const std::uint32_t firstValid = file.little<std::uint32_t>("начало записи", 0xf8);
  const std::uint32_t length = file.little<std::uint32_t>("длина записи", 0xfc);
  std::vector<ChannelPlan> plans;
  bool interwovenTaken = false;
  for (int k = 0; k < 4; ++k) {
    if ((mask & (1u << k)) == 0) {
      continue;
    }
    const std::uint64_t block = 0x78 + 28 * static_cast<std::uint64_t>(k);
    const std::uint8_t enabled = file.little<std::uint8_t>("канал включён", block);
    const bool inverted =
        file.little<std::uint8_t>("инверсия", block + (enabled == 1 ? 16 : 17)) == 1;
    const double voltsPerDiv = static_cast<double>(file.little<float>("В/дел", block + 8));
    const double offset = static_cast<double>(file.little<float>("смещение", block + 12));
    requireFinite(file, "В/дел", block + 8, voltsPerDiv);
    requireFinite(file, "смещение", block + 12, offset);
    ChannelPlan plan;
    plan.channel = k;
    plan.count = length;
    plan.dt = dt;
    plan.gain = (inverted ? -voltsPerDiv : voltsPerDiv) / 25.0;
    plan.codeShift = -127.0;
    plan.valueOffset = -offset;
    const std::uint64_t offsetField = 0x44 + 4 * static_cast<std::uint64_t>(k);
    if (interwoven && k < 2) {
      if (interwovenTaken) {
        continue;  // channels 1 and 2 share one record
      }
      interwovenTaken = true;
      const std::uint64_t first = file.little<std::uint32_t>("смещение данных CH1", 0x44);
      const std::uint64_t second = file.little<std::uint32_t>("смещение данных CH2", 0x48);
      if (first == 0 || second == 0) {
        file.fail("смещение данных", first == 0 ? 0x44 : 0x48,
                  "у чередующейся записи нет второго блока");
      }
      plan.offset = first + firstValid;
      plan.second = second + firstValid;
      // The two halves of one record are two different stretches of memory.
      const std::uint64_t lower = std::min(plan.offset, plan.second);
      const std::uint64_t upper = std::max(plan.offset, plan.second);
      if (upper - lower < (plan.count + 1) / 2) {
        file.fail("смещение данных CH2", 0x48, "блоки чередующейся записи перекрываются");
      }
    } else {
      const std::uint64_t data = file.little<std::uint32_t>("смещение данных", offsetField);
      if (data == 0) {
        file.fail("смещение данных " + channelTitle(k), offsetField,
                  "канал включён, но его данных нет");
      }
      plan.offset = data + firstValid;
    }
    plans.push_back(plan);
  }
  return convertChannels(file, input, plans, 0x40);
}

}  // namespace

bool looksLikeRigolWfm(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, 4);
  return head == kMagic1000B || head == kMagic1000E || head == kMagic2000;
}

ScopeRecord readRigolWfm(const ScopeInput& input) {
  const std::string_view head = input.bytes.substr(0, 4);
  if (head == kMagic1000B) {
    return read1000B(input);
  }
  if (head == kMagic1000E) {
    return read1000E(input);
  }
  if (head == kMagic2000) {
    return read2000(input);
  }
  ScopeBytes(input.bytes, "Rigol .wfm").fail("сигнатура", 0, "не файл Rigol .wfm");
}

}  // namespace tarvik
