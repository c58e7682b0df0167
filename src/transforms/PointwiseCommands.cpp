#include "transforms/PointwiseCommands.h"

#include <algorithm>
#include <optional>

namespace tarvik {
namespace {

constexpr const char* kShiftBad = "Неверно задано значение сдвига";
constexpr const char* kMulBad = "Неверно задано значение умножения";
constexpr const char* kDivBad = "Неверно задано значение деления";

const PointwiseTexts kTexts[] = {
    {"Выбрать графики для сдвига по X", "Задать величину сдвига по X", kShiftBad},
    {"Выбрать графики для умножения по X", "Задать величину умножения по X", kMulBad},
    {"Выбрать графики для деления по X", "Задать величину деления по X", kDivBad},
    {"Выбрать графики для X=1/X", nullptr, nullptr},
    {"Выбрать графики для сдвига по Y", "Задать величину сдвига по Y", kShiftBad},
    {"Выбрать графики для умножения по Y", "Задать величину умножения по Y", kMulBad},
    {"Выбрать графики для деления по Y", "Задать величину деления по Y", kDivBad},
    {"Выбрать графики для извлечения корня по Y", nullptr, nullptr},
    {"Выбрать графики для возведения в квадрат по Y", nullptr, nullptr},
    {"Выбрать графики для получения модуля по Y", nullptr, nullptr},
    {"Выбрать графики для инверсии по Y", nullptr, nullptr},
    {"Выбрать графики для Y=1/Y", nullptr, nullptr},
    {"Выбрать графики для нормализации по Y", nullptr, nullptr},
    {"Выбрать графики для сдвига к нулю координат по горизонтали", nullptr, nullptr},
    {"Выбрать графики для пребразования в децибелы", "Задать относительную базу", kBadDecibelBase},
    {"Выбрать графики для X/Y", nullptr, nullptr},
    {"Выбрать графики для Y/X", nullptr, nullptr},
    {"Выбрать графики для Y<->X", nullptr, nullptr},
};

// Numbers a rule cannot use: a zero divisor, a decibel base of 0 or below.
std::optional<std::string> refusal(PointwiseKind kind, double v) {
  if ((kind == PointwiseKind::DivideX || kind == PointwiseKind::DivideY) && v == 0) {
    return std::string(kZeroDivisor);
  }
  if (kind == PointwiseKind::Decibels && !(v > 0)) {
    return std::string(kNonPositiveDecibelBase);
  }
  return std::nullopt;
}

std::optional<double> askRuleValue(CommandContext& ctx, PointwiseKind kind) {
  const PointwiseTexts& texts = pointwiseTexts(kind);
  const std::string bad = texts.badNumber;
  return askNumber(
      ctx, texts.valueCaption, [&bad](const std::string&) { return bad; },
      [kind](double v) { return refusal(kind, v); });
}

}  // namespace

const PointwiseTexts& pointwiseTexts(PointwiseKind kind) {
  return kTexts[static_cast<std::size_t>(kind)];
}

std::string divisionFaultMessage(std::size_t storeIndex) {
  return "Ошибка в строке " + std::to_string(storeIndex) + " деление на ноль";
}

void pointwiseCommand(CommandContext& ctx, PointwiseKind kind) {
  if (!ctx.store.hasCandidates()) {
    return;
  }
  const std::optional<std::vector<std::size_t>> chosen =
      pickGraphs(ctx, pointwiseTexts(kind).selectionCaption);
  if (!chosen) {
    return;
  }
  double v = 0;
  if (pointwiseNeedsValue(kind)) {
    const std::optional<double> typed = askRuleValue(ctx, kind);
    if (!typed) {
      return;
    }
    v = *typed;
  }
  if (kind == PointwiseKind::Normalize) {
    // Joint normalisation: the largest peak among all chosen graphs becomes ±1.
    for (std::size_t i : *chosen) {
      v = std::max(v, peakMagnitude(ctx.store.graph(i).ys()));
    }
    if (v == 0) {
      return;
    }
  }
  editGraphsTogether(ctx.store, *chosen, [&](std::size_t i, Graph& g) {
    const PointwiseOutcome outcome = applyPointwise(g, kind, v);
    if (outcome.faultIndex) {
      ctx.ui.message(MessageKind::Error, divisionFaultMessage(i));
    }
  });
  ctx.store.chart().redraw();
  ctx.store.chart().refreshIndicator();
}

}  // namespace tarvik
