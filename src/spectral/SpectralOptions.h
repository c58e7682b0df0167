#pragma once
// The fields of the spectrum dialog TfmSpectr and the inverse-transform dialog
// TfmBackSpectr, the unit factors of their drop-down lists, and the reading of their texts.
#include <optional>
#include <string>
#include <string_view>

#include "core/Ui.h"
#include "spectral/SpectrumWindows.h"

namespace tarvik::spectral {

// TfmSpectr, "Спектр выбранных графиков, Гц". Everything but the kind is kept in the
// settings section "Spectr" under the control names given.
struct SpectrumOptions : DialogOptions {
  enum class Kind { Dft, Fft };
  Kind kind = Kind::Dft;     // rgFourieType: "DFT", "FFT" (not kept)
  std::string fMin = "0";    // edFMin, Hz
  std::string fMax = "1e9";  // edFMax, Hz
  std::string dF = "1e6";    // eddF, Hz
  bool autoStep = false;     // CheckBox2 "автоматически"
  int timeUnit = 0;          // cbTime: ns, us, ms, s
  bool inverse = false;  // CheckBox1 "Выполнить обратное преобразование"
  bool absolute = true;  // CheckBox3 "Вычислить абсолютные амплитуды спектра"
  bool noPhase = true;  // CheckBox4 "Не выводить фазу"
  int freqUnit = 0;     // cbFreq: Hz, kHz, MHz, GHz
  // cbWindow, the weighting of the samples, and the parameter field edWindowParam, which
  // holds β while the Kaiser window is chosen and α while the Tukey window is (kept as
  // "cbWindow", "edBeta" and "edAlpha").
  WindowKind window = WindowKind::Rectangular;
  std::string beta = "8.6";
  std::string alpha = "0.5";
  std::string_view dialogName() const override { return "TfmSpectr"; }
};

// TfmBackSpectr, "Обратное преобразование Фурье". Not kept in the settings file.
struct InverseSpectrumOptions : DialogOptions {
  std::string tMin = "0";      // edTMin, s
  std::string tMax = "1";      // edTMax, s
  std::string nPoint = "256";  // edNPoint
  int timeUnit = 0;            // cbTime: output X in ns, us, ms, s
  bool deleteSpectra = false;  // CheckBox1 "Удалить исходные графики спектра"
  std::string_view dialogName() const override { return "TfmBackSpectr"; }
};

// Items of the unit lists, in list order.
inline constexpr const char* kTimeUnitItems[4] = {"наносекунды", "микросекунды", "миллисекунды",
                                                  "секунды"};
inline constexpr const char* kFrequencyUnitItems[4] = {"герцы", "килогерцы", "мегагерцы",
                                                       "гигагерцы"};

// Seconds per graph X unit for a cbTime index (1e-9, 1e-6, 1e-3, 1); 1 for no choice (−1)
// or any other index.
double timeUnitSeconds(int index);
// Output X units per hertz for a cbFreq index (1, 1e-3, 1e-6, 1e-9); 1 otherwise.
double frequencyUnitPerHz(int index);
// Output X units per second for a cbTime index (1e9, 1e6, 1e3, 1); 1 otherwise.
double outputTimeUnitsPerSecond(int index);

// Why the window's parameter field (β for Kaiser, α for Tukey) is refused, or nullopt when
// the chosen window has no parameter or the field holds a usable one.
std::optional<std::string> windowParameterRefusal(const SpectrumOptions& options,
                                                  char decimalSeparator);
// The window the options choose, its parameter read from its field (which must not be
// refused).
WindowShape windowShape(const SpectrumOptions& options, char decimalSeparator);

// A dialog field read as a number ("." or the locale separator). A text that is not a
// number throws ConvertError with the text the user sees.
double fieldNumber(const std::string& text, char decimalSeparator);
// The same for an integer field.
int fieldInteger(const std::string& text);

}  // namespace tarvik::spectral
