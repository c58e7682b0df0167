// The batch command `filter`: its arguments fill the fields of the filter dialog, which
// persist for the rest of the run. A value the command refuses leaves every field as it was.
#include <string>

#include "batch/BatchSession.h"
#include "spectral/FilterCommand.h"

namespace tarvik::batch {
namespace {

using spectral::FilterOptions;

template <std::size_t N>
void listArg(const BatchArgs& a, const std::string& name, const char* const (&names)[N],
             int& field) {
  const auto text = a.get(name);
  if (!text) {
    return;
  }
  std::string list;
  for (std::size_t i = 0; i < N; ++i) {
    if (*text == names[i]) {
      field = static_cast<int>(i);
      return;
    }
    list += (i ? "|" : "") + std::string(names[i]);
  }
  throw UsageError("filter: " + name + "= takes " + list + ", not \"" + *text + "\"");
}

constexpr const char* kFreqNames[4] = {"Hz", "kHz", "MHz", "GHz"};
constexpr const char* kTimeNames[4] = {"ns", "us", "ms", "s"};

void runFilter(BatchSession& s, const BatchArgs& a) {
  FilterOptions& fields = s.dialog<FilterOptions>();
  const FilterOptions before = fields;
  FilterOptions o = fields;
  listArg(a, "kind", spectral::kFilterKindNames, o.kind);
  listArg(a, "type", spectral::kBandTypeNames, o.type);
  listArg(a, "phase", spectral::kFilterPhaseNames, o.phase);
  listArg(a, "window", spectral::kFirWindowNames, o.window);
  listArg(a, "freq", kFreqNames, o.freqUnit);
  listArg(a, "time", kTimeNames, o.timeUnit);
  textArg(a, "order", o.order);
  textArg(a, "cutoff", o.cutoff);
  textArg(a, "cutoff2", o.cutoff2);
  textArg(a, "ripple", o.ripple);
  textArg(a, "attenuation", o.attenuation);
  textArg(a, "taps", o.taps);
  textArg(a, "beta", o.beta);
  textArg(a, "width", o.width);
  textArg(a, "polyorder", o.polyorder);
  fields = o;  // what the command's dialog answers with
  CommandContext ctx = s.context();
  if (spectral::filterCommand(ctx) == spectral::FilterOutcome::Refused) {
    fields = before;
  }
}

}  // namespace

void registerFilterCommands(BatchRegistry& registry) {
  registry.add({"filter",
                "filter graphs=LIST kind=butterworth|bessel|chebyshev1|chebyshev2|fir|median|savgol "
                "type=lowpass|highpass|bandpass|bandstop order=N cutoff=F [cutoff2=F] "
                "freq=Hz|kHz|MHz|GHz time=ns|us|ms|s [ripple=dB] [attenuation=dB] "
                "[phase=zero|causal] [taps=N] [window=hamming|hann|blackman|kaiser] [beta=B] "
                "[width=N] [polyorder=P]",
                {"graphs", "graph", "kind", "type", "order", "cutoff", "cutoff2", "freq", "time",
                 "ripple", "attenuation", "phase", "taps", "window", "beta", "width", "polyorder"},
                runFilter});
}

}  // namespace tarvik::batch
