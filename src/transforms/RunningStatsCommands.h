#pragma once
// Running mean, RMS and energy over the Ui port, and the unit dialog TfmSelectGrParam.
#include <string>
#include <string_view>

#include "core/Command.h"
#include "core/Ui.h"

namespace tarvik {

// The fields of TfmSelectGrParam: the texts of the editable unit boxes ComboBoxTime and
// ComboBoxScale (their entries are kTimeUnits and kCurrentUnits).
struct EnergyUnitsOptions : DialogOptions {
  std::string timeUnit = "Наносекунды";
  std::string currentUnit = "Амперы";
  std::string_view dialogName() const override { return "TfmSelectGrParam"; }
};

inline constexpr const char* kUnknownTimeUnit = "Неизвестная единица времени: ";
inline constexpr const char* kUnknownCurrentUnit = "Неизвестная единица амплитуды: ";

void runningMeanCommand(CommandContext& ctx);
void runningRmsCommand(CommandContext& ctx);
// Shows TfmSelectGrParam with `units` after the selection; the choice made there becomes
// `units` (it persists). A unit text that matches no entry is refused and the dialog shown
// again.
void runningEnergyCommand(CommandContext& ctx, EnergyUnitsOptions& units);

}  // namespace tarvik
