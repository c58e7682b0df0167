// Filter designs and runs against the tables scipy produced (make_filter_data.py).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "spectral/FirDesign.h"
#include "spectral/FirFilter.h"
#include "spectral/IirDesign.h"
#include "spectral/MedianFilter.h"
#include "spectral/SavitzkyGolay.h"
#include "spectral/SosFilter.h"
#include "FilterReference.h"

namespace tarvik::spectral {
namespace {

using testing::readTable;
using testing::scaledError;
using testing::TableLine;

const std::map<std::string, IirKind> kKinds = {{"butterworth", IirKind::Butterworth},
                                               {"bessel", IirKind::Bessel},
                                               {"chebyshev1", IirKind::Chebyshev1},
                                               {"chebyshev2", IirKind::Chebyshev2}};
const std::map<std::string, BandType> kTypes = {{"lowpass", BandType::Lowpass},
                                                {"highpass", BandType::Highpass},
                                                {"bandpass", BandType::Bandpass},
                                                {"bandstop", BandType::Bandstop}};
const std::map<std::string, FirWindow> kWindows = {{"hamming", FirWindow::Hamming},
                                                   {"hann", FirWindow::Hann},
                                                   {"blackman", FirWindow::Blackman},
                                                   {"kaiser", FirWindow::Kaiser}};

IirDesignRequest requestOf(const TableLine& line) {
  IirDesignRequest r;
  r.kind = kKinds.at(line.words.at(0));
  r.type = kTypes.at(line.words.at(1));
  r.order = std::stoi(line.words.at(2));
  r.edge1 = std::stod(line.words.at(3));
  r.edge2 = std::stod(line.words.at(4));
  r.rippleDb = std::stod(line.words.at(5));
  r.attenuationDb = std::stod(line.words.at(6));
  return r;
}

std::string nameOf(const TableLine& line) {
  return line.words.at(0) + " " + line.words.at(1) + " order " + line.words.at(2);
}

// Each coefficient within 1e-10 of the largest of its numerator or denominator.
void expectSameSections(const Sections& ours, const std::vector<double>& scipy,
                        const std::string& name) {
  ASSERT_EQ(ours.size() * 6, scipy.size()) << name;
  for (std::size_t s = 0; s < ours.size(); ++s) {
    for (std::size_t half = 0; half < 2; ++half) {
      double scale = 0;
      for (std::size_t i = 0; i < 3; ++i) scale = std::max(scale, std::abs(scipy[6 * s + 3 * half + i]));
      for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t c = 3 * half + i;
        EXPECT_NEAR(ours[s][c], scipy[6 * s + c], 1e-10 * scale)
            << name << " section " << s << " coefficient " << c;
      }
    }
  }
}

TEST(IirDesign, EveryKindTypeAndOrderHasScipysSections) {
  const auto lines = readTable("iir_sections.txt");
  int designs = 0;
  for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
    ASSERT_EQ(lines[i].key, "design");
    const Sections ours = designIir(requestOf(lines[i]));
    expectSameSections(ours, lines[i + 1].numbers(), nameOf(lines[i]));
    EXPECT_TRUE(sectionsStable(ours)) << nameOf(lines[i]);
    ++designs;
  }
  EXPECT_EQ(designs, 4 * 4 * 12);
}

TEST(IirDesign, ZeroPhaseAndCausalRunsEqualScipys) {
  const auto lines = readTable("iir_outputs.txt");
  ASSERT_EQ(lines.at(0).key, "record");
  const std::vector<double> x = lines[0].numbers();
  int runs = 0;
  std::size_t i = 1;
  for (; i + 3 < lines.size() && lines[i].key == "design"; i += 4) {
    const std::string name = nameOf(lines[i]);
    const Sections sos = designIir(requestOf(lines[i]));
    expectSameSections(sos, lines[i + 1].numbers(), name);
    EXPECT_LT(scaledError(filterZeroPhase(sos, x), lines[i + 2].numbers()), 1e-10) << name;
    EXPECT_LT(scaledError(filterCausal(sos, x), lines[i + 3].numbers()), 1e-10) << name;
    ++runs;
  }
  EXPECT_EQ(runs, 4 * (2 * 4 + 2 * 3));
  // The record in nanoseconds with the edge in hertz: 40 MHz at 2 ns is 0.16 of Nyquist.
  ASSERT_EQ(lines.at(i).key, "record150");
  IirDesignRequest r;
  r.order = 8;
  r.edge1 = 2 * 40e6 / (1 / 2e-9);
  const Sections sos = designIir(r);
  expectSameSections(sos, lines.at(i + 1).numbers(), "40 MHz");
  EXPECT_LT(scaledError(filterZeroPhase(sos, lines[i].numbers()), lines.at(i + 2).numbers()), 1e-10);
}

TEST(IirDesign, PaddingShrinksForFirstOrderSectionsAndShortRecordsAreRefused) {
  IirDesignRequest r;
  r.order = 3;  // a second-order and a first-order section
  const Sections sos = designIir(r);
  ASSERT_EQ(sos.size(), 2u);
  EXPECT_EQ(zeroPhasePadding(sos), 3u * (5 - 1));
  std::vector<double> y(12, 1.0);
  EXPECT_THROW(filterZeroPhase(sos, y), std::invalid_argument);
  y.push_back(1.0);
  const std::vector<double> out = filterZeroPhase(sos, y);
  for (double v : out) EXPECT_NEAR(v, 1.0, 1e-12);  // unit DC gain, settled from the start
}

TEST(IirDesign, CausalRunStartsSettledOnARecordThatStartsOffZero) {
  IirDesignRequest r;
  r.kind = IirKind::Chebyshev1;
  r.order = 6;
  const Sections sos = designIir(r);
  const std::vector<double> y(500, 3.25);
  const std::vector<double> out = filterCausal(sos, y);
  // A chebyshev1 of even order has its DC gain at the bottom of the ripple.
  const double dc = std::pow(10.0, -r.rippleDb / 20);
  for (double v : out) EXPECT_NEAR(v, 3.25 * dc, 1e-11);
}

TEST(IirDesign, RefusesWhatScipyRefuses) {
  IirDesignRequest r;
  r.order = 0;
  EXPECT_THROW(designIir(r), std::invalid_argument);
  r.order = 17;
  EXPECT_THROW(designIir(r), std::invalid_argument);
  r.order = 4;
  r.edge1 = 1.0;
  EXPECT_THROW(designIir(r), std::invalid_argument);
  r.edge1 = 0.3;
  r.type = BandType::Bandpass;
  r.edge2 = 0.3;
  EXPECT_THROW(designIir(r), std::invalid_argument);
  r.type = BandType::Lowpass;
  r.kind = IirKind::Chebyshev1;
  r.rippleDb = 0;
  EXPECT_THROW(designIir(r), std::invalid_argument);
  r.kind = IirKind::Chebyshev2;
  r.attenuationDb = -3;
  EXPECT_THROW(designIir(r), std::invalid_argument);
}

TEST(IirDesign, StabilityCheckSeesAPoleOnOrOutsideTheCircle) {
  EXPECT_TRUE(sectionsStable({Section{1, 0, 0, 1, -0.5, 0}}));
  EXPECT_FALSE(sectionsStable({Section{1, 0, 0, 1, -1.0, 0}}));      // pole at 1
  EXPECT_FALSE(sectionsStable({Section{1, 0, 0, 1, 0, 1.0001}}));    // |p|² = 1.0001
  EXPECT_FALSE(sectionsStable({Section{1, 0, 0, 1, -2.1, 1.1}}));    // real poles 1, 1.1
}

// The cascade one section at a time over short stretches: never threaded.
std::vector<double> serialRun(const Sections& sos, std::vector<double> y, SectionStates states,
                              bool backward) {
  for (std::size_t s = 0; s < sos.size(); ++s) {
    Sections one{sos[s]};
    SectionStates st{states[s]};
    for (std::size_t done = 0; done < y.size(); done += 1000) {
      const std::size_t length = std::min<std::size_t>(1000, y.size() - done);
      const std::size_t begin = backward ? y.size() - done - length : done;
      runSections(one, std::span<double>(y).subspan(begin, length), st, backward);
    }
  }
  return y;
}

TEST(IirDesign, LongRunsOnTwoThreadsAgreeWithOneThread) {
  std::mt19937_64 rng(5);
  std::normal_distribution<double> noise;
  std::vector<double> y(300000);
  for (double& v : y) v = 10 + noise(rng);
  IirDesignRequest r;
  r.order = 8;
  // 0.05 of Nyquist settles quickly: two halves at once, the second corrected by the free
  // response; 0.0001 settles too slowly for that: the sections are shared, bit for bit.
  for (double edge : {0.05, 0.0001}) {
    r.edge1 = edge;
    const Sections sos = designIir(r);
    for (bool backward : {false, true}) {
      SectionStates states = stepStates(sos);
      for (auto& s : states) {
        s[0] *= backward ? y.back() : y.front();
        s[1] *= backward ? y.back() : y.front();
      }
      const std::vector<double> serial = serialRun(sos, y, states, backward);
      std::vector<double> threaded = y;
      runSections(sos, threaded, states, backward);
      if (edge < 0.001) {
        EXPECT_EQ(threaded, serial) << backward;
      } else {
        EXPECT_LT(scaledError(threaded, serial), 1e-12) << backward;  // rounding only
        EXPECT_NE(threaded, serial);  // the halves were filtered apart
      }
    }
  }
}

TEST(FirDesign, TapsAndOutputsEqualFirwinAndConvolve) {
  const auto lines = readTable("fir.txt");
  ASSERT_EQ(lines.at(0).key, "record");
  const std::vector<double> x = lines[0].numbers();
  int designs = 0, windows = 0;
  for (std::size_t i = 1; i < lines.size();) {
    const TableLine& d = lines[i];
    if (d.key == "design") {
      const std::size_t taps = std::stoul(d.words.at(0));
      const std::string name = d.words[0] + " " + d.words[1] + " " + d.words[2];
      const std::vector<double> h =
          designFir(taps, kTypes.at(d.words[1]), std::stod(d.words[4]), std::stod(d.words[5]),
                    kWindows.at(d.words[2]), std::stod(d.words[3]));
      EXPECT_LT(scaledError(h, lines.at(i + 1).numbers()), 1e-13) << name;
      EXPECT_LT(scaledError(convolveCentred(x, h), lines.at(i + 2).numbers()), 1e-10) << name;
      ++designs;
      i += 3;
    } else {
      ASSERT_EQ(d.key, "window");
      const std::vector<double> w = designWindow(kWindows.at(d.words.at(0)),
                                                 std::stoul(d.words.at(2)), std::stod(d.words[1]));
      EXPECT_LT(scaledError(w, lines.at(i + 1).numbers()), 1e-14) << d.words[0] << " " << d.words[2];
      ++windows;
      i += 2;
    }
  }
  EXPECT_EQ(designs, 4 * 11);
  EXPECT_EQ(windows, 7 * 3);
}

TEST(FirDesign, FftAndDirectSumsAgreeOnLongRecords) {
  std::mt19937_64 rng(9);
  std::normal_distribution<double> noise;
  for (std::size_t taps : {65u, 1001u, 4097u}) {  // FFT stretches of 8 and fewer kernels
    std::vector<double> y(taps < 2000 ? 150000 : 30000);
    for (double& v : y) v = noise(rng);
    const std::vector<double> h = designFir(taps, BandType::Bandpass, 0.1, 0.3, FirWindow::Kaiser, 5);
    EXPECT_LT(scaledError(convolveCentredFft(y, h), convolveCentredDirect(y, h)), 1e-12) << taps;
  }
  // A kernel as long as the record.
  std::vector<double> y(301);
  for (double& v : y) v = noise(rng);
  const std::vector<double> h = designFir(301, BandType::Lowpass, 0.2, 0, FirWindow::Hann, 0);
  EXPECT_LT(scaledError(convolveCentredFft(y, h), convolveCentredDirect(y, h)), 1e-13);
}

TEST(FirDesign, RefusesEvenOrOutOfRangeTapsAndBeta) {
  EXPECT_THROW(designFir(100, BandType::Lowpass, 0.2, 0, FirWindow::Hamming, 0), std::invalid_argument);
  EXPECT_THROW(designFir(1, BandType::Lowpass, 0.2, 0, FirWindow::Hamming, 0), std::invalid_argument);
  EXPECT_THROW(designFir(100003, BandType::Lowpass, 0.2, 0, FirWindow::Hamming, 0), std::invalid_argument);
  EXPECT_THROW(designFir(11, BandType::Lowpass, 1.0, 0, FirWindow::Hamming, 0), std::invalid_argument);
  EXPECT_THROW(designFir(11, BandType::Lowpass, 0.2, 0, FirWindow::Kaiser, -1), std::invalid_argument);
  const std::vector<double> y(10, 1.0), h(11, 0.1);
  EXPECT_THROW(convolveCentred(y, h), std::invalid_argument);
}

TEST(MedianFilter, EqualsMedfiltExactly) {
  const auto lines = readTable("median.txt");
  const std::vector<double> x = lines.at(0).numbers();
  int widths = 0;
  for (std::size_t i = 1; i + 1 < lines.size(); i += 2) {
    ASSERT_EQ(lines[i].key, "width");
    const std::size_t width = std::stoul(lines[i].words.at(0));
    EXPECT_EQ(medianFilter(x, width), lines[i + 1].numbers()) << width;
    ++widths;
  }
  EXPECT_EQ(widths, 7);
}

TEST(MedianFilter, TwoThreadsGiveTheSortedWindowsMedian) {
  std::mt19937_64 rng(2);
  std::uniform_int_distribution<int> level(-20, 20);
  std::vector<double> y(200001);
  for (double& v : y) v = level(rng) * 0.25;  // many equal values
  const std::vector<double> out = medianFilter(y, 101);
  for (std::size_t k : {0u, 1u, 49u, 50u, 99999u, 100000u, 100001u, 199990u, 200000u}) {
    std::vector<double> w;
    for (long j = static_cast<long>(k) - 50; j <= static_cast<long>(k) + 50; ++j) {
      w.push_back(j >= 0 && j < static_cast<long>(y.size()) ? y[static_cast<std::size_t>(j)] : 0.0);
    }
    std::nth_element(w.begin(), w.begin() + 50, w.end());
    EXPECT_EQ(out[k], w[50]) << k;
  }
  EXPECT_THROW(medianFilter(y, 4), std::invalid_argument);
}

TEST(SavitzkyGolay, EqualsTheExactLeastSquaresFit) {
  const auto lines = readTable("savgol.txt");
  const std::vector<double> x = lines.at(0).numbers();
  int cases = 0;
  for (std::size_t i = 1; i + 2 < lines.size(); i += 3) {
    ASSERT_EQ(lines[i].key, "savgol");
    const std::size_t width = std::stoul(lines[i].words.at(0));
    const std::size_t order = std::stoul(lines[i].words.at(1));
    const std::string name = lines[i].words[0] + "/" + lines[i].words[1];
    EXPECT_LT(scaledError(savitzkyGolayWeights(width, order), lines[i + 1].numbers()), 1e-13) << name;
    EXPECT_LT(scaledError(savitzkyGolayFilter(x, width, order), lines[i + 2].numbers()), 1e-12) << name;
    ++cases;
  }
  EXPECT_EQ(cases, 12);
}

TEST(SavitzkyGolay, KeepsAPolynomialOfItsDegreeAndRefusesBadShapes) {
  std::vector<double> y(400);
  for (std::size_t i = 0; i < y.size(); ++i) {
    const double t = static_cast<double>(i) / 100;
    y[i] = 1 - 2 * t + 0.5 * t * t * t;
  }
  const std::vector<double> out = savitzkyGolayFilter(y, 201, 3);  // the FFT path
  EXPECT_LT(scaledError(out, y), 1e-12);
  EXPECT_THROW(savitzkyGolayFilter(y, 4, 2), std::invalid_argument);
  EXPECT_THROW(savitzkyGolayFilter(y, 5, 5), std::invalid_argument);
  EXPECT_THROW(savitzkyGolayFilter(std::vector<double>(4, 1.0), 5, 2), std::invalid_argument);
}

}  // namespace
}  // namespace tarvik::spectral
