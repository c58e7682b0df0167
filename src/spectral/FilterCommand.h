#pragma once
// The filter command ("Фильтр..."): recursive, windowed FIR, median and Savitzky–Golay
// filters of uniformly sampled graphs. Each chosen graph gets one new graph, "Фильтр: " +
// its title, the input staying as it was. The fields are those of the dialog TfmFilter.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/Command.h"
#include "core/Ui.h"
#include "spectral/FirDesign.h"
#include "spectral/IirDesign.h"

namespace tarvik::spectral {

enum class FilterKind { Butterworth, Bessel, Chebyshev1, Chebyshev2, Fir, Median, SavitzkyGolay };
enum class FilterPhase { Zero, Causal };

// TfmFilter. Numbers are kept as typed (read with "." or the locale's separator); lists are
// item indices. Everything is kept in the settings section "Filter" under these names.
struct FilterOptions : DialogOptions {
  int kind = 0;                    // cbKind: kFilterKindNames
  int type = 0;                    // cbType: kBandTypeNames
  std::string order = "4";         // edOrder, 1 … 16
  std::string cutoff;              // edCutoff, in the unit of cbFreq; no default
  std::string cutoff2;             // edCutoff2, band types only
  int freqUnit = 0;                // cbFreq: Hz, kHz, MHz, GHz
  int timeUnit = 0;                // cbTime: X in ns, us, ms, s
  std::string ripple = "1";        // edRipple, dB (chebyshev1)
  std::string attenuation = "40";  // edAttenuation, dB (chebyshev2)
  int phase = 0;                   // cbPhase: zero, causal
  std::string taps = "101";        // edTaps (fir), odd 3 … 100001
  int window = 0;                  // cbWindow: kFirWindowNames
  std::string beta = "8.6";        // edBeta (kaiser)
  std::string width = "5";         // edWidth (median, savgol), odd 3 … 100001
  std::string polyorder = "2";     // edPolyorder (savgol), below the width
  std::string_view dialogName() const override { return "TfmFilter"; }
};

// Batch names of the lists, in list order, and the dialog's items.
inline constexpr const char* kFilterKindNames[7] = {"butterworth", "bessel", "chebyshev1",
                                                    "chebyshev2",  "fir",    "median",
                                                    "savgol"};
inline constexpr const char* kFilterKindItems[7] = {
    "Баттерворт", "Бессель", "Чебышев I", "Чебышев II", "КИХ с окном", "Медианный",
    "Савицкий–Голей"};
inline constexpr const char* kBandTypeNames[4] = {"lowpass", "highpass", "bandpass", "bandstop"};
inline constexpr const char* kBandTypeItems[4] = {"Нижних частот", "Верхних частот", "Полосовой",
                                                  "Режекторный"};
inline constexpr const char* kFilterPhaseNames[2] = {"zero", "causal"};
inline constexpr const char* kFilterPhaseItems[2] = {"Нулевая (вперёд и назад)", "Причинная"};
inline constexpr const char* kFirWindowNames[4] = {"hamming", "hann", "blackman", "kaiser"};
inline constexpr const char* kFirWindowItems[4] = {"Хэмминга", "Ханна", "Блэкмана", "Кайзера"};

inline constexpr const char* kFilterCaption = "Выбрать графики для фильтрации";
inline constexpr const char* kFilterTitlePrefix = "Фильтр: ";

// The fields read and checked, independent of any graph.
struct FilterSettings {
  FilterKind kind = FilterKind::Butterworth;
  BandType type = BandType::Lowpass;
  FilterPhase phase = FilterPhase::Zero;
  int order = 4;
  double cutoffHz = 0, cutoff2Hz = 0;
  double secondsPerX = 1e-9;
  double rippleDb = 1, attenuationDb = 40;
  std::size_t taps = 101;
  FirWindow window = FirWindow::Hamming;
  double beta = 8.6;
  std::size_t width = 5;
  std::size_t polyorder = 2;
};

// Reads the fields the chosen kind uses. A field that does not read or is out of range:
// false, and `error` names it ("… (order=) …").
bool readFilterSettings(const FilterOptions& options, char decimalSeparator,
                        FilterSettings& settings, std::string& error);

// One graph's samples made uniform: the graph's own X when every step lies within 1 % of
// dt = (x_last − x_first)/(n − 1), else n points over [x_first, x_last] by linear
// interpolation (resampled = true). Refusals (fewer than 2 points, zero duration,
// non-finite values, X not ascending where resampling is needed) set `error`.
struct UniformRecord {
  std::vector<double> xs, ys;
  double step = 0;  // dt, X units
  bool resampled = false;
};
bool uniformRecord(const Graph& graph, UniformRecord& record, std::string& error);

// The filtered Y of a uniform record. Refusals that depend on the record (an edge at or
// above Nyquist, more taps or a wider window than points, a record not longer than the
// zero-phase padding, an unstable design) set `error` and return false.
bool filterRecord(const FilterSettings& settings, const UniformRecord& record,
                  std::vector<double>& out, std::string& error);

enum class FilterOutcome { Applied, Refused, Cancelled };

// Picks graphs, asks TfmFilter, checks every chosen graph, then appends the filtered ones.
// A refusal shows one error message and appends nothing.
FilterOutcome filterCommand(CommandContext& ctx);

}  // namespace tarvik::spectral
