#pragma once
// The eighteen point-wise commands over the Ui port: selection dialog, the value dialog
// with its re-ask loop where the rule needs a number, then the rule on every chosen graph.
#include <string>

#include "core/Command.h"
#include "transforms/Pointwise.h"

namespace tarvik {

// The texts a point-wise command shows.
struct PointwiseTexts {
  const char* selectionCaption;
  const char* valueCaption;  // nullptr when the rule needs no number
  const char* badNumber;     // message for a text that is not a number
};
const PointwiseTexts& pointwiseTexts(PointwiseKind kind);

// Refusals of numbers the rules cannot use (the dialog is shown again).
inline constexpr const char* kZeroDivisor =
    "Деление на ноль невозможно: делитель должен быть отличен от нуля";
inline constexpr const char* kBadDecibelBase = "Неверно задана относительная база";
inline constexpr const char* kNonPositiveDecibelBase = "Относительная база должна быть больше нуля";

// Runs one point-wise command. With no candidate graph it ends silently; cancel in either
// dialog changes nothing.
void pointwiseCommand(CommandContext& ctx, PointwiseKind kind);

// "Ошибка в строке N деление на ноль" for the graph at store index `storeIndex`.
std::string divisionFaultMessage(std::size_t storeIndex);

}  // namespace tarvik
