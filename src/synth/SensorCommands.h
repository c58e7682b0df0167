#pragma once
// The sensor-channel conversions on the graph store: the calibration conversion (new
// graphs "U-I " + title), the ЛАРЕН-5 conversion (in place) and the division of every graph
// by its factor from a values file (in place).
#include <string>
#include <string_view>

#include "core/Command.h"

namespace tarvik::synth {

// The calibration file dialog TfmChartSelectUI: the chosen file's full path ("" for none).
struct CalibrationFileChoice final : DialogOptions {
  std::string path;
  std::string_view dialogName() const override { return "TfmChartSelectUI"; }
};

// The open dialog of the values file, OpenValuesDialog: the chosen file's full path.
struct ValuesFileChoice final : DialogOptions {
  std::string path;
  std::string_view dialogName() const override { return "OpenValuesDialog"; }
};

// What OpenValuesDialog shows.
inline constexpr const char* kValuesDialogTitle = "Открыть файл значений";
inline constexpr const char* kValuesDialogDefaultExtension = "txt";

// Picks graphs under "Выбрать графики тока для преобразования", asks for the calibration
// file (cancel, or no file chosen, ends the command), reads it, and appends for each chosen
// graph in store order "U-I " + its title with (x, calibrated y) of every point. A file that
// cannot be read or holds a token that is not a number shows its error and appends
// nothing; an empty file shows "Файл калибровки пуст". `choice` keeps the file chosen last.
void calibrationCommand(CommandContext& ctx, CalibrationFileChoice& choice);

// Picks graphs under "Выбрать графики для U(В)-->I(А) ЛАРЕН-5" and converts each in place;
// the title gets " (U-->I ЛАРЕН-5)".
void larenCommand(CommandContext& ctx);

// Asks for the values file, reads and checks one factor per graph of the store (every
// graph, no selection), then divides every Y of graph k by factor k. On a missing line, a
// line that is not a number or a factor 0 the message is shown and no graph changes.
void divideByListCommand(CommandContext& ctx, ValuesFileChoice& choice);

}  // namespace tarvik::synth
