#pragma once
// The spectrum command ("Спектр..", "Преобразование Фурье"), the inverse-transform command
// ("Обратно из спектра..") and the hidden FFT self-test, over the Ui port.
#include <cstddef>
#include <functional>
#include <string>

#include "core/Command.h"
#include "spectral/SpectralOptions.h"

namespace tarvik::spectral {

inline constexpr const char* kTooManyTimeSteps =
    "Требуется очень много шагов по времени.\n"
    "Похоже на ошибку в выборе графика или в единицах измерения времени";
inline constexpr const char* kSpectrumProgress = "Преобразование Фурье - ";
inline constexpr const char* kInverseProgress = "Обратное преобразование Фурье - ";
// Refusals of ours for inputs that have no spectrum.
inline constexpr const char* kBadFrequencyStep = "Шаг по частоте должен быть больше нуля";
inline constexpr const char* kTooManyFrequencies =
    "Слишком много частот: увеличьте шаг по частоте или сузьте диапазон";
std::string tooFewPointsMessage(const std::string& title);
std::string zeroDurationMessage(const std::string& title);
// A window that is zero (or negative) on average over the samples, such as hann of 2.
std::string degenerateWindowMessage(const std::string& caption, std::size_t samples,
                                    const std::string& title);
inline constexpr const char* kNeedTwoSpectrumGraphs =
    "Для обратного преобразования нужны два графика: модуль и фаза спектра";
inline constexpr const char* kPhaseGraphTooShort =
    "В графике фазы спектра меньше двух точек: шаг по частоте не определён";
inline constexpr const char* kBadPointCount = "Количество точек должно быть больше нуля";

// What the front-end supplies beyond the Ui port.
struct SpectrumHooks {
  // The main window's caption (the DFT path writes its elapsed milliseconds there).
  std::function<void(const std::string&)> setCaption;
  // The inverse step writes fmBackSpectr's fields (kept for a later standalone inverse
  // transform); cbTime, edTMin, edTMax and edNPoint change, CheckBox1 stays.
  std::function<void(const InverseSpectrumOptions&)> presetInverse;
};

// Picks graphs, asks TfmSpectr, then appends for each picked graph its amplitude and phase
// spectra (DFT or FFT path), optionally rebuilt into a time signal.
void spectrumCommand(CommandContext& ctx, const SpectrumHooks& hooks = {});

// Rebuilds a time signal from the last two graphs (amplitude, then phase) with TfmBackSpectr.
void inverseSpectrumCommand(CommandContext& ctx);

// "FFT" (Button1): the source sine, its FFT amplitude and phase, and the inverse.
void fftSelfTestCommand(CommandContext& ctx);

// "Шаг по частоте … Гц велик, поэтому время сигнала уменьшается до … c"
std::string frequencyStepTooCoarseMessage(double df, double tmax, char decimalSeparator);

}  // namespace tarvik::spectral
