#pragma once
// The complex impedance Z(f) = U(f)/I(f) of a load from a voltage graph and a current
// graph: both spectra by direct summation over one frequency grid, then the ratio of the
// moduli and the difference of the phases ("Вычислить сопротивление..", dialog TfmCalcZ).
#include <string>
#include <string_view>
#include <vector>

#include "core/Command.h"

namespace tarvik::spectral {

// TfmCalcZ, "Вычисление сопротивления"; kept in the settings section "SpectrZ" (all but the
// list choices).
struct ImpedanceOptions : DialogOptions {
  std::vector<std::string>
      entries;                // both lists: "N. source-file entry: title" (filled by the command)
  int voltageRow = -1;        // ListBox1 choice, −1 for none
  int currentRow = -1;        // ListBox2 choice
  std::string fMin = "0";     // edFMin, Hz
  std::string fMax = "1e9";   // edFMax, Hz
  std::string dF = "1e6";     // eddF, Hz
  int timeUnit = 0;           // cbTime (−1: none chosen, factor 1)
  int freqUnit = 0;           // cbFreq (−1: none chosen, factor 1)
  bool deleteSpectra = true;  // cbDeleteSpectr "Удалить графики спектров"
  std::string_view dialogName() const override { return "TfmCalcZ"; }
};

// Fills and shows TfmCalcZ, computes the voltage and current spectra (each appends its
// modulus and phase graphs) and appends "Действительная часть Z", "Мнимая часть Z" and
// "Модуль Z"; removes the four spectra when cbDeleteSpectr is ticked.
void impedanceCommand(CommandContext& ctx);

}  // namespace tarvik::spectral
