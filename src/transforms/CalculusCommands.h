#pragma once
// Derivative, integral, RC differentiation and integration over the Ui port, and the time
// constant dialog TfmChartRC.
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "core/Command.h"
#include "core/Ui.h"

namespace tarvik {

// The fields of TfmChartRC: the time constant in nanoseconds (edTau; τ = tauNs·1e-9 s), the
// quantisation-error model switch (cbRandomError) and its number of levels (SpinEdit1).
struct RcOptions : DialogOptions {
  double tauNs = 15;
  bool randomError = false;
  int levels = 100;
  std::string_view dialogName() const override { return "TfmChartRC"; }
  double tauSeconds() const { return tauNs * 1e-9; }
};
inline constexpr int kMinQuantisationLevels = 5;
inline constexpr int kMaxQuantisationLevels = 256;

inline constexpr const char* kBadTimeConstant = "Неверно задана постоянная времени!";
inline constexpr const char* kNonPositiveTimeConstant =
    "Постоянная времени должна быть больше нуля!";

// The close check of edTau: the text read with "." as the decimal point. Returns the
// refusal to show (kBadTimeConstant for a text that is not a number, kNonPositiveTimeConstant
// for 0 or below), or nullopt when `text` is a usable time constant in nanoseconds.
std::optional<std::string> timeConstantRefusal(std::string_view text);

void derivativeCommand(CommandContext& ctx);
void integralCommand(CommandContext& ctx);
// The quantisation model draws from `random` when given, else from a generator seeded by
// the clock.
void rcDifferentiationCommand(CommandContext& ctx, const RcOptions& rc,
                              std::mt19937_64* random = nullptr);
void rcIntegrationCommand(CommandContext& ctx, const RcOptions& rc);
// "Постоянная времени..": shows TfmChartRC with `rc`; on OK (and a usable time constant)
// the new fields become `rc`. A time constant ≤ 0 is refused and the dialog shown again.
void timeConstantCommand(CommandContext& ctx, RcOptions& rc);

}  // namespace tarvik
