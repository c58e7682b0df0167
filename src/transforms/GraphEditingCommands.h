#pragma once
// Clone, crop by X, halving and splice over the Ui port, and the splice dialog
// TfmSelectTwoGr.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChartPort.h"
#include "core/Command.h"
#include "core/Ui.h"

namespace tarvik {

// The fields of TfmSelectTwoGr: the numbers (from 1) of the left and the right graph
// (SpinEdit1, SpinEdit2) and the splice point text (Edit1). graphCount is the upper bound
// of both numbers, set by the command each time the dialog is shown.
struct SpliceOptions : DialogOptions {
  int first = 1;
  int second = 1;
  std::string xText = "0";
  int graphCount = 1;
  std::string_view dialogName() const override { return "TfmSelectTwoGr"; }
};

inline constexpr const char* kBadPointCount = "Неверно задано количество точек";
inline constexpr const char* kTooFewPoints = "Количество точек должно быть не меньше 2";

// "Клонировать...": selection, then the point count (an integer ≥ 2, asked again after a
// bad one); appends a clone of each chosen graph, titled and entered with " (Клон)".
void cloneCommand(CommandContext& ctx);
// The clones of the graphs at `storeIndices` on `count` (≥ 2) points, appended in that
// order; the active graph stays. A count above kMaxGraphPoints is refused with
// kTooManyPoints before anything is made; running out of memory appends no clone.
void cloneGraphs(GraphStore& store, const std::vector<std::size_t>& storeIndices,
                 std::size_t count);
// "Кадрировать по X" on [range.lower, range.upper]; the window passes the bottom axis's
// visible range.
void cropCommand(CommandContext& ctx, XRange range);
// "Уменьшить кол-во точек вдвое".
void halveCommand(CommandContext& ctx);
// "Срастить графики": only with more than one graph; the dialog's fields persist in
// `splice`. A splice point that is not a number throws ConvertError, and a splice of more
// points than one graph may hold throws kTooManyPoints; either way nothing is created.
void spliceCommand(CommandContext& ctx, SpliceOptions& splice);

}  // namespace tarvik
