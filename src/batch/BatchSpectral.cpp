// Batch commands of the spectra: spectrum, inverse-spectrum, impedance, convolve,
// fft-selftest. Their arguments fill the same dialog fields the window's dialogs hold.
#include <algorithm>
#include <string>

#include "batch/BatchSession.h"
#include "spectral/Convolution.h"
#include "spectral/Impedance.h"
#include "spectral/InversePreset.h"
#include "spectral/SpectrumCommand.h"

namespace tarvik::batch {
namespace {

using spectral::ImpedanceOptions;
using spectral::InverseSpectrumOptions;
using spectral::SpectrumOptions;

int unitIndex(const BatchArgs& a, const std::string& name,
              std::initializer_list<const char*> units) {
  const std::string text = *a.get(name);
  int index = 0;
  for (const char* unit : units) {
    if (text == unit) {
      return index;
    }
    ++index;
  }
  std::string list;
  for (const char* unit : units) {
    if (!list.empty()) {
      list += '|';
    }
    list += unit;
  }
  throw UsageError(a.command + ": " + name + "= takes " + list + ", not \"" + text + "\"");
}

int timeUnitArg(const BatchArgs& a) { return unitIndex(a, "time", {"ns", "us", "ms", "s"}); }
int freqUnitArg(const BatchArgs& a) { return unitIndex(a, "freq", {"Hz", "kHz", "MHz", "GHz"}); }

// A 1-based graph number as a candidate row.
int graphRowArg(const BatchSession& s, const BatchArgs& a, const std::string& name) {
  const std::vector<int> rows = s.parseGraphList(*a.get(name));
  if (rows.size() != 1) {
    throw UsageError(a.command + ": " + name + "= takes one graph number");
  }
  return rows.front();
}

// window= and its parameters beta= (kaiser) and alpha= (tukey), each checked before it is
// kept. A parameter is kept as typed, as the dialog's field keeps its text.
void windowArgs(const BatchSession& s, const BatchArgs& a, SpectrumOptions& o) {
  if (const auto name = a.get("window")) {
    const auto kind = spectral::windowKindByName(*name);
    if (!kind) {
      std::string list;
      for (const char* known : spectral::kWindowNames) {
        list += (list.empty() ? "" : "|") + std::string(known);
      }
      throw UsageError("spectrum: window= takes " + list + ", not \"" + *name + "\"");
    }
    o.window = *kind;
  }
  const auto parameter = [&](const char* name, std::string& field, bool (*usable)(double),
                             const char* range) {
    if (const auto text = a.get(name)) {
      const double value = numberArg(s, a, name);
      if (!usable(value)) {
        throw UsageError(std::string("spectrum: ") + name + "= takes " + range + ", not \"" +
                         *text + "\"");
      }
      field = *text;
    }
  };
  parameter("beta", o.beta, spectral::kaiserBetaUsable, "a number not below 0");
  parameter("alpha", o.alpha, spectral::tukeyAlphaUsable, "a number from 0 to 1");
}

void runSpectrum(BatchSession& s, const BatchArgs& a) {
  // The fields change only when every argument of the line is accepted.
  SpectrumOptions o = s.dialog<SpectrumOptions>();
  InverseSpectrumOptions& back = s.dialog<InverseSpectrumOptions>();
  if (const auto kind = a.get("kind")) {
    if (*kind != "dft" && *kind != "fft") {
      throw UsageError("spectrum: kind= takes dft or fft, not \"" + *kind + "\"");
    }
    o.kind = *kind == "fft" ? SpectrumOptions::Kind::Fft : SpectrumOptions::Kind::Dft;
  }
  textArg(a, "fmin", o.fMin);
  textArg(a, "fmax", o.fMax);
  textArg(a, "df", o.dF);
  flagArg(a, "auto", o.autoStep);
  flagArg(a, "inverse", o.inverse);
  flagArg(a, "absolute", o.absolute);
  flagArg(a, "nophase", o.noPhase);
  if (a.has("time")) {
    o.timeUnit = timeUnitArg(a);
  }
  if (a.has("freq")) {
    o.freqUnit = freqUnitArg(a);
  }
  windowArgs(s, a, o);
  s.dialog<SpectrumOptions>() = o;
  spectral::SpectrumHooks hooks;
  hooks.presetInverse = [&back](const InverseSpectrumOptions& preset) {
    spectral::applyInversePreset(back, preset);
  };
  CommandContext ctx = s.context();
  spectral::spectrumCommand(ctx, hooks);
}

void runInverse(BatchSession& s, const BatchArgs& a) {
  InverseSpectrumOptions& o = s.dialog<InverseSpectrumOptions>();
  textArg(a, "tmin", o.tMin);
  textArg(a, "tmax", o.tMax);
  textArg(a, "points", o.nPoint);
  flagArg(a, "delete", o.deleteSpectra);
  if (a.has("time")) {
    o.timeUnit = timeUnitArg(a);
  }
  CommandContext ctx = s.context();
  spectral::inverseSpectrumCommand(ctx);
}

void runImpedance(BatchSession& s, const BatchArgs& a) {
  ImpedanceOptions& o = s.dialog<ImpedanceOptions>();
  // Without a number the list keeps the active graph, as the dialog opens.
  o.voltageRow = a.has("voltage") ? graphRowArg(s, a, "voltage") : s.store.activeIndex();
  o.currentRow = a.has("current") ? graphRowArg(s, a, "current") : s.store.activeIndex();
  textArg(a, "fmin", o.fMin);
  textArg(a, "fmax", o.fMax);
  textArg(a, "df", o.dF);
  flagArg(a, "delete", o.deleteSpectra);
  if (a.has("time")) {
    o.timeUnit = timeUnitArg(a);
  }
  if (a.has("freq")) {
    o.freqUnit = freqUnitArg(a);
  }
  CommandContext ctx = s.context();
  spectral::impedanceCommand(ctx);
}

void runConvolve(BatchSession& s, const BatchArgs& a) {
  if (!a.has("signal") || !a.has("response")) {
    throw UsageError("convolve: give signal= and response=");
  }
  const std::vector<std::size_t> candidates = s.store.candidates();
  const auto signal = candidates[static_cast<std::size_t>(graphRowArg(s, a, "signal"))];
  const auto response = candidates[static_cast<std::size_t>(graphRowArg(s, a, "response"))];
  // Progress as the window's status bar shows it: on a terminal, and where a front-end
  // looks for its stop key.
  spectral::appendConvolution(s.store, signal, response, [&s](int percent) {
    s.ui.progress(spectral::kConvolutionProgress + std::to_string(percent) + " %");
  });
}

void runSelfTest(BatchSession& s, const BatchArgs&) {
  CommandContext ctx = s.context();
  spectral::fftSelfTestCommand(ctx);
}

}  // namespace

void registerSpectralCommands(BatchRegistry& registry) {
  registry.add({"spectrum",
                "spectrum graphs=... kind=dft|fft fmin= fmax= df= auto=on|off time=ns|us|ms|s "
                "freq=Hz|kHz|MHz|GHz inverse=on|off absolute=on|off nophase=on|off "
                "window=NAME beta=B alpha=A",
                {"graphs", "graph", "kind", "fmin", "fmax", "df", "auto", "time", "freq", "inverse",
                 "absolute", "nophase", "window", "beta", "alpha"},
                runSpectrum});
  registry.add({"inverse-spectrum",
                "inverse-spectrum tmin= tmax= points= time=ns|us|ms|s delete=on|off",
                {"tmin", "tmax", "points", "time", "delete"},
                runInverse});
  registry.add({"impedance",
                "impedance voltage=N current=M fmin= fmax= df= time=ns|us|ms|s "
                "freq=Hz|kHz|MHz|GHz delete=on|off",
                {"voltage", "current", "fmin", "fmax", "df", "time", "freq", "delete"},
                runImpedance});
  registry.add({"convolve", "convolve signal=N response=M", {"signal", "response"}, runConvolve});
  registry.add({"fft-selftest", "fft-selftest", {}, runSelfTest});
}

}  // namespace tarvik::batch
