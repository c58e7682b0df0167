#pragma once
// The commands that make graphs from formulas: the counting-error table (ImpRect), the
// three-exponential pulse (N31, dialog Tfm3expDLG), sin(x)/x (SinXX1), the water tables
// (Re1, Im1, N29), the polar dielectric (N28, dialog TfmPolarDielectric) and the delay of
// a reflected signal (N32, dialog TfmDistance). The dialogs' fields are texts as typed:
// titles quote them, and they are read as numbers with the locale's separator only when a
// command runs.
#include <string>
#include <string_view>

#include "core/Command.h"
#include "core/Ui.h"

namespace tarvik::synth {

struct ThreeExpOptions : DialogOptions {
  std::string a = "1";               // Edit7
  std::string k1 = "0.5";            // Edit1
  std::string k2 = "0.5";            // Edit2
  std::string k3 = "1";              // Edit3
  std::string t1 = "0.0000001e9";    // Edit4, 1/s
  std::string t2 = "0.000000045e9";  // Edit5, 1/s
  std::string t3 = "0.22e9";         // Edit6, 1/s
  std::string end = "1e-7";          // Edit8, s
  std::string step = "1e-9";         // Edit9, s
  std::string_view dialogName() const override { return "Tfm3expDLG"; }
};

struct PolarDielectricOptions : DialogOptions {
  std::string es = "120";       // Edit1, static permittivity
  std::string einf = "15";      // Edit2, high-frequency permittivity
  std::string tau = "6.67e-9";  // Edit3, relaxation time, s
  std::string sigma = "0.64";   // Edit4, static conductivity, S/m
  std::string fmax = "0.5";     // Edit5, GHz
  bool permittivity = true;     // CheckBox1
  bool conductivity = true;     // CheckBox2
  std::string_view dialogName() const override { return "TfmPolarDielectric"; }
};

struct DistanceOptions : DialogOptions {
  std::string h1 = "5";   // edH1, m
  std::string h2 = "10";  // edH2, m
  std::string l = "10";   // edL, m
  bool specular = true;   // RadioButton1; RadioButton2 otherwise
  std::string_view dialogName() const override { return "TfmDistance"; }
};

inline constexpr const char* kThreeExpTitle = "З-х экспон. импульс";
inline constexpr const char* kThreeExpProgress = "Вычисление функции - ";
inline constexpr const char* kNonPositiveStep = "Шаг по времени должен быть больше нуля";

// A dialog field read as a real number ("." or `decimalSeparator`); throws ConvertError
// "'TEXT' — не число" otherwise.
double fieldValue(const std::string& text, char decimalSeparator);

void countingErrorTableCommand(CommandContext& ctx);
void threeExpPulseCommand(CommandContext& ctx);
void sincPulseCommand(CommandContext& ctx);

enum class WaterTable { RealPermittivity, ImaginaryPermittivity, Conductivity };
void waterTableCommand(CommandContext& ctx, WaterTable table);
void polarDielectricCommand(CommandContext& ctx);
void reflectedDelayCommand(CommandContext& ctx);

}  // namespace tarvik::synth
