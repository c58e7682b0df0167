// The spectrum command under each window: the coherent-gain normalisation, the flat top's
// scalloping, the rectangular window as the unweighted path bit for bit, the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/Error.h"
#include "spectral/Fft.h"
#include "spectral/Spectrum.h"
#include "spectral/SpectrumCommand.h"
#include "spectral/SpectrumWindows.h"
#include "spectral/UniformResample.h"
#include "support/ScriptedUi.h"

namespace tarvik::spectral {
namespace {

using testing::ScriptedUi;

constexpr double kPi = 3.141592653589793;
constexpr int kSeconds = 3;  // cbTime index

// y = a·sin(2π·f·x + phase) + level at x = 0 … n−1.
Graph sampled(std::size_t n, double f, double a, double phase, double level = 0) {
  Graph g;
  g.title = "Синус";
  for (std::size_t i = 0; i < n; ++i) {
    const double x = static_cast<double>(i);
    g.appendPoint(x, a * std::sin(2 * kPi * f * x + phase) + level);
  }
  return g;
}

class WindowedSpectrumTest : public ::testing::Test {
 protected:
  // The amplitude graph of `g` (the store then holds g and it).
  Graph amplitude(Graph g, SpectrumOptions o) {
    while (store.count() > 0) {
      store.removeGraph(store.count() - 1);
    }
    store.attachGraph(std::move(g), "f");
    ui.selections.push_back(std::vector<int>{0});
    ui.options = [o](DialogOptions& d) {
      static_cast<SpectrumOptions&>(d) = o;
      return true;
    };
    CommandContext ctx{store, ui};
    spectrumCommand(ctx);
    return store.count() > 1 ? store.graph(1) : Graph();
  }
  static SpectrumOptions dft(const char* fMax, const char* dF, WindowKind w) {
    SpectrumOptions o;
    o.timeUnit = kSeconds;
    o.fMax = fMax;
    o.dF = dF;
    o.window = w;
    return o;
  }
  static SpectrumOptions fft(WindowKind w) {
    SpectrumOptions o;
    o.kind = SpectrumOptions::Kind::Fft;
    o.timeUnit = kSeconds;
    o.window = w;
    return o;
  }
  static double peak(const Graph& a) {
    double best = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
      best = std::max(best, a.y(k));
    }
    return best;
  }
  GraphStore store;
  ScriptedUi ui;
};

// A sine at a quarter of the sampling rate meets its mirror image at half the rate, where a
// symmetric window of even length sums to zero exactly; a constant has no image. So both
// keep, under every window, exactly the amplitude they have without one.
TEST_F(WindowedSpectrumTest, BinCentredSineAndLevelKeepTheRectangularAmplitude) {
  // DFT: 1000 samples 1 s apart (fmax 0.5 Hz), grid 0, 0.125, 0.25, 0.375 Hz.
  const Graph sine = sampled(1000, 0.25, 1.5, 0.3);
  const Graph level = sampled(1000, 0, 0, 0, 0.7);
  const Graph rectSine = amplitude(sine, dft("0.5", "0.125", WindowKind::Rectangular));
  const Graph rectLevel = amplitude(level, dft("0.5", "0.125", WindowKind::Rectangular));
  ASSERT_EQ(rectSine.size(), 4u);
  ASSERT_EQ(rectSine.x(2), 0.25);
  EXPECT_NEAR(rectSine.y(2), 1.5 * 1000 / 999, 1e-6);  // U = T/2 with T = 999 s
  // FFT: 1024 samples, bin 256 at 0.25 Hz.
  const Graph fftSine = sampled(1024, 0.25, 1.5, 0.3);
  const Graph rectFft = amplitude(fftSine, fft(WindowKind::Rectangular));
  ASSERT_EQ(rectFft.size(), 512u);
  for (int k = 1; k < kWindowKinds; ++k) {
    const auto w = static_cast<WindowKind>(k);
    const Graph a = amplitude(sine, dft("0.5", "0.125", w));
    ASSERT_EQ(a.size(), 4u) << windowName(w);
    EXPECT_NEAR(a.y(2) / rectSine.y(2), 1.0, 1e-12) << windowName(w);
    EXPECT_NEAR(amplitude(level, dft("0.5", "0.125", w)).y(0) / rectLevel.y(0), 1.0, 1e-12)
        << windowName(w);
    // The FFT path computes in single precision.
    const Graph f = amplitude(fftSine, fft(w));
    EXPECT_NEAR(f.y(256) / rectFft.y(256), 1.0, 2e-6) << windowName(w);
  }
}

// The flat top's worst scalloping (half a bin off) is under 0.01 dB; without a window it is
// almost 4 dB.
TEST_F(WindowedSpectrumTest, FlatTopOffBinSineWithinAHundredthOfADecibel) {
  const auto db = [](double a, double b) { return 20 * std::log10(a / b); };
  // DFT: M = 2000 samples, grid step 1/(M·s) = 0.0005 Hz, bin 400.
  const auto dftPeak = [&](double offset, WindowKind w) {
    return peak(amplitude(sampled(2000, (400 + offset) / 2000, 1, 0.4), dft("0.5", "0.0005", w)));
  };
  // FFT: N = 2048, bin 300.
  const auto fftPeak = [&](double offset, WindowKind w) {
    return peak(amplitude(sampled(2048, (300 + offset) / 2048, 1, 0.4), fft(w)));
  };
  const double dftCentred = dftPeak(0, WindowKind::Flattop);
  const double fftCentred = fftPeak(0, WindowKind::Flattop);
  for (double offset : {0.1, 0.25, 0.4, 0.5}) {
    EXPECT_LT(std::fabs(db(dftPeak(offset, WindowKind::Flattop), dftCentred)), 0.01) << offset;
    EXPECT_LT(std::fabs(db(fftPeak(offset, WindowKind::Flattop), fftCentred)), 0.01) << offset;
  }
  EXPECT_LT(db(dftPeak(0.5, WindowKind::Rectangular), dftPeak(0, WindowKind::Rectangular)), -3);
  EXPECT_LT(db(fftPeak(0.5, WindowKind::Hann), fftPeak(0, WindowKind::Hann)), -1);
}

// Both paths weight the same resampled samples with the same window: on a record where their
// grids coincide (M = N = 1024, bins 1/(N·s)) their spectra agree to single precision.
TEST_F(WindowedSpectrumTest, DirectSumAndFftTakeTheSameWindow) {
  Graph g;
  for (int i = 0; i < 1024; ++i) {
    const double x = i;
    g.appendPoint(x, std::exp(-std::pow((x - 300) / 40, 2)) + 0.2 * std::sin(0.37 * x));
  }
  for (int k = 0; k < kWindowKinds; ++k) {
    const auto w = static_cast<WindowKind>(k);
    const Graph d = amplitude(g, dft("0.5", "0.0009765625", w));
    const Graph f = amplitude(g, fft(w));
    ASSERT_EQ(d.size(), 512u);
    ASSERT_EQ(f.size(), 512u);
    const double top = peak(d);
    for (std::size_t b = 0; b < 512; ++b) {
      ASSERT_EQ(d.x(b), f.x(b));
      ASSERT_NEAR(d.y(b), f.y(b), 1e-6 * top) << windowName(w) << " bin " << b;
    }
  }
  // A window changes the spectrum: hann's leakage far from the sine's frequency is smaller.
  const Graph plain = amplitude(g, fft(WindowKind::Rectangular));
  const Graph hann = amplitude(g, fft(WindowKind::Hann));
  EXPECT_LT(hann.y(400), 0.1 * plain.y(400));
}

// The rectangular window is the unweighted path: the same numbers to the last bit as the
// resampling, the sums and the transform give by themselves; its parameters are not read.
TEST_F(WindowedSpectrumTest, RectangularIsTheUnweightedPathBitForBit) {
  Graph g;
  for (int i = 0; i < 301; ++i) {
    const double x = 100.0 * i / 300;
    g.appendPoint(x, std::exp(-std::pow((x - 33) / 10, 2)) + 0.1 * std::sin(x));
  }
  SpectrumOptions o;  // 0 … 1e9 Hz, step 1e6, ns: M = 201
  o.noPhase = false;
  o.beta = "не число";
  o.alpha = "7";
  amplitude(g, o);
  ASSERT_EQ(store.count(), 3u);
  const UniformSamples s = uniformResample(store.graph(0), 201, 1e-9);
  std::vector<double> re(1000), im(1000);
  ASSERT_TRUE(
      DftSums(s.values, s.sampleStep, 1e6).compute(0, 1000, re.data(), im.data(), [](double) {
        return true;
      }));
  const double u = (g.maxX() - g.minX()) * 1e-9 / 2;
  for (std::size_t k = 0; k < 1000; ++k) {
    ASSERT_EQ(store.graph(1).y(k), std::sqrt(re[k] * re[k] + im[k] * im[k]) / u) << k;
    ASSERT_EQ(store.graph(2).y(k), spectrumPhase(re[k], im[k])) << k;
  }

  o.kind = SpectrumOptions::Kind::Fft;
  o.fMax = "1e12";
  amplitude(g, o);
  ASSERT_EQ(store.count(), 3u);
  const UniformSamples n = uniformResample(store.graph(0), 512, 1e-9);
  std::vector<float> amp(256), phase(256);
  fastTransform(n.values, 0, amp, phase);
  for (std::size_t k = 0; k < 256; ++k) {
    ASSERT_EQ(store.graph(1).y(k), 512.0 * amp[k] / 2 / u) << k;
    ASSERT_EQ(store.graph(2).y(k), phase[k]) << k;
  }
}

// A window weights the direct sums and its mean divides the amplitude; the phase is that of
// the weighted sums. A short record (M = 201, one block of the window) and a long one
// (M = 200001, many blocks; the sums in many chunks).
TEST_F(WindowedSpectrumTest, WindowedDirectSumsAreTheWeightedSumsOverTheMean) {
  for (const double lengthNs : {100.0, 1e5}) {
    Graph g;
    for (int i = 0; i < 1001; ++i) {
      const double x = lengthNs * i / 1000;
      g.appendPoint(x, std::exp(-std::pow((x - lengthNs / 3) / (lengthNs / 10), 2)));
    }
    SpectrumOptions o;  // ns, 0 … 1e9 Hz: M = 201 or 200001
    o.noPhase = false;
    o.autoStep = false;
    o.dF = "1e8";
    o.window = WindowKind::Kaiser;
    amplitude(g, o);
    ASSERT_EQ(store.count(), 3u);
    const std::size_t m = lengthNs < 1000 ? 201 : 200001;
    const UniformSamples s = uniformResample(store.graph(0), m, 1e-9);
    const HalfWindowAndMean w = halfWindowAndMean({WindowKind::Kaiser}, m);
    DftSums sums(s.values, s.sampleStep, 1e8);
    sums.setWindow(w.half);
    std::vector<double> re(10), im(10);
    ASSERT_TRUE(sums.compute(0, 10, re.data(), im.data(), [](double) { return true; }));
    const double u = lengthNs * 1e-9 / 2;
    ASSERT_EQ(store.graph(1).size(), 10u);
    for (std::size_t k = 0; k < 10; ++k) {
      ASSERT_EQ(store.graph(1).y(k), std::sqrt(re[k] * re[k] + im[k] * im[k]) / u / w.mean) << k;
      ASSERT_EQ(store.graph(2).y(k), spectrumPhase(re[k], im[k])) << k;
    }
  }
}

TEST_F(WindowedSpectrumTest, RefusedParametersAndWindowsWithoutAMeanAppendNothing) {
  const Graph g = sampled(1000, 0.01, 1, 0);
  const struct {
    WindowKind window;
    const char* beta;
    const char* alpha;
    const char* begins;
  } refused[] = {
      {WindowKind::Kaiser, "-1", "0.5", "Параметр β окна Кайзера"},
      {WindowKind::Kaiser, "abc", "0.5", "Параметр β окна Кайзера"},
      {WindowKind::Tukey, "8.6", "1.5", "Параметр α окна Тьюки"},
      {WindowKind::Tukey, "8.6", "", "Параметр α окна Тьюки"},
  };
  for (const auto& r : refused) {
    SpectrumOptions o = dft("0.5", "0.01", r.window);
    o.beta = r.beta;
    o.alpha = r.alpha;
    ui.messages.clear();
    amplitude(g, o);
    EXPECT_EQ(store.count(), 1u) << r.beta << " " << r.alpha;
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(ui.messages[0].text.rfind(r.begins, 0), 0u) << ui.messages[0].text;
  }
  // The decimal separator of the user's settings reads the parameter too.
  ui.separator = ',';
  SpectrumOptions comma = dft("0,5", "0,01", WindowKind::Kaiser);
  comma.beta = "2,5";
  EXPECT_EQ(amplitude(g, comma).size(), 50u);
  ui.separator = '.';

  // Two points give the FFT two samples, and hann of two is zero.
  ui.messages.clear();
  Graph two;
  two.title = "Два";
  two.appendPoint(0, 1);
  two.appendPoint(1, 2);
  amplitude(two, fft(WindowKind::Hann));
  EXPECT_EQ(store.count(), 1u);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "Среднее окна \"Ханна\" из 2 отсчётов не больше нуля: спектр графика \"Два\" не "
            "вычисляется");
  EXPECT_EQ(amplitude(two, fft(WindowKind::Hamming)).size(), 1u);
}

}  // namespace
}  // namespace tarvik::spectral
