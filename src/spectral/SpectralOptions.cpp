#include "spectral/SpectralOptions.h"

#include "core/Error.h"
#include "core/NumberFormat.h"

namespace tarvik::spectral {
namespace {

double pick(int index, const double (&table)[4]) {
  return index >= 0 && index < 4 ? table[index] : 1.0;
}

}  // namespace

double timeUnitSeconds(int index) {
  static constexpr double kTable[4] = {1e-9, 1e-6, 1e-3, 1};
  return pick(index, kTable);
}

double frequencyUnitPerHz(int index) {
  static constexpr double kTable[4] = {1, 1e-3, 1e-6, 1e-9};
  return pick(index, kTable);
}

double outputTimeUnitsPerSecond(int index) {
  static constexpr double kTable[4] = {1e9, 1e6, 1e3, 1};
  return pick(index, kTable);
}

double fieldNumber(const std::string& text, char decimalSeparator) {
  if (const auto value = parseTypedNumber(text, decimalSeparator)) {
    return *value;
  }
  throw ConvertError(notANumberMessage(text));
}

std::optional<std::string> windowParameterRefusal(const SpectrumOptions& options,
                                                  char decimalSeparator) {
  if (options.window == WindowKind::Kaiser) {
    const auto beta = parseTypedNumber(options.beta, decimalSeparator);
    if (!beta || !kaiserBetaUsable(*beta)) {
      return "Параметр β окна Кайзера должен быть числом не меньше нуля, а не \"" + options.beta +
             "\"";
    }
  }
  if (options.window == WindowKind::Tukey) {
    const auto alpha = parseTypedNumber(options.alpha, decimalSeparator);
    if (!alpha || !tukeyAlphaUsable(*alpha)) {
      return "Параметр α окна Тьюки должен быть числом от 0 до 1, а не \"" + options.alpha + "\"";
    }
  }
  return std::nullopt;
}

WindowShape windowShape(const SpectrumOptions& options, char decimalSeparator) {
  WindowShape shape;
  shape.kind = options.window;
  if (options.window == WindowKind::Kaiser) {
    shape.beta = fieldNumber(options.beta, decimalSeparator);
  }
  if (options.window == WindowKind::Tukey) {
    shape.alpha = fieldNumber(options.alpha, decimalSeparator);
  }
  return shape;
}

int fieldInteger(const std::string& text) {
  if (const auto value = parseTypedInteger(text)) {
    return *value;
  }
  throw ConvertError(notAnIntegerMessage(text));
}

}  // namespace tarvik::spectral
