// tarvik-batch runs `filter`: the result equals scipy's (the reference tables), the fields
// persist from command to command, and a refused value leaves them as they were.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BatchProgram.h"
#include "spectral/FilterReference.h"

namespace tarvik::batch::e2e {
namespace {

class BatchFilter : public BatchProgram {
 protected:
  // The 150-point reference record in 2 ns steps as a two-column file (X in seconds there,
  // in nanoseconds once opened).
  void SetUp() override {
    BatchProgram::SetUp();
    const auto table = testing::readTable("iir_outputs.txt");
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (table[i].key == "record150") {
        record = table[i].numbers();
        zeroPhase = table.at(i + 2).numbers();
      }
    }
    std::ofstream file(dir / "record.csv");
    char line[80];
    for (std::size_t i = 0; i < record.size(); ++i) {
      std::snprintf(line, sizeof line, "%.17g,%.17g\n", 2e-9 * static_cast<double>(i), record[i]);
      file << line;
    }
  }

  // Y of a `dump` as numbers.
  static std::vector<double> dumpedY(const std::string& text) {
    std::vector<double> y;
    for (const std::string& l : lines(text)) {
      y.push_back(std::strtod(fields(l).at(1).c_str(), nullptr));
    }
    return y;
  }

  std::vector<double> record, zeroPhase;
};

TEST_F(BatchFilter, ZeroPhaseButterworthEqualsScipyAndKeepsX) {
  const Outcome r = run(
      "open record.csv; filter graphs=1 kind=butterworth type=lowpass order=8 cutoff=40 "
      "freq=MHz time=ns; dump graph=2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<double> y = dumpedY(r.out);
  EXPECT_LT(testing::scaledError(y, zeroPhase), 1e-10);
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), record.size());
  EXPECT_NEAR(std::strtod(fields(out[149]).at(0).c_str(), nullptr), 298.0, 1e-9);
}

TEST_F(BatchFilter, FieldsPersistAndARefusedValueLeavesThemAsTheyWere) {
  // The second filter names only the graph: kind, order, cutoff and units are the first's.
  // order=17 is refused; the fourth filter again runs with order 8.
  const Outcome r = runArgs(
      "-k -e " + quoted("open record.csv; filter graphs=1 kind=butterworth order=8 cutoff=40 "
                        "freq=MHz time=ns; filter graphs=1; filter graphs=1 order=17; "
                        "filter graphs=1; list; dump graph=3; dump graph=4"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("order="), std::string::npos) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 4 + 2 * record.size()) << r.out;
  EXPECT_EQ(fields(out[1]).back(), "Фильтр: record.grf");
  EXPECT_EQ(fields(out[3]).back(), "Фильтр: record.grf");
  const std::vector<std::string> third(out.begin() + 4, out.begin() + 4 + 150);
  const std::vector<std::string> fourth(out.begin() + 4 + 150, out.end());
  std::string text3, text4;
  for (const auto& l : third) text3 += l + "\n";
  for (const auto& l : fourth) text4 += l + "\n";
  EXPECT_LT(testing::scaledError(dumpedY(text3), zeroPhase), 1e-10);
  EXPECT_LT(testing::scaledError(dumpedY(text4), zeroPhase), 1e-10);
}

TEST_F(BatchFilter, RefusalsNameTheFieldAndAppendNothing) {
  struct Case {
    std::string args, field;
  };
  const std::vector<Case> cases = {
      {"kind=butterworth time=ns freq=Hz", "cutoff="},               // no cutoff yet
      {"kind=butterworth cutoff=300 freq=MHz time=ns", "cutoff="},  // Nyquist is 250 MHz
      {"kind=bessel type=bandpass cutoff=10 cutoff2=5 freq=MHz time=ns", "cutoff2="},
      {"kind=chebyshev1 cutoff=10 freq=MHz ripple=0", "ripple="},
      {"kind=chebyshev2 cutoff=10 freq=MHz attenuation=x", "attenuation="},
      {"kind=fir cutoff=10 freq=MHz taps=100", "taps="},
      {"kind=fir cutoff=10 freq=MHz taps=151", "taps="},  // more taps than points
      {"kind=fir cutoff=10 freq=MHz window=kaiser beta=-1", "beta="},
      {"kind=median width=4", "width="},
      {"kind=savgol width=5 polyorder=5", "polyorder="},
      {"kind=savgol width=151", "width="},  // wider than the record
  };
  for (const Case& c : cases) {
    const Outcome r = run("open record.csv; filter graphs=1 " + c.args + "; list");
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_NE(r.err.find(c.field), std::string::npos) << c.args << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.args;
  }
  const Outcome usage = run("open record.csv; filter graphs=1 kind=elliptic");
  EXPECT_EQ(usage.status, 2);
}

TEST_F(BatchFilter, EveryKindRunsAndAnUnevenGraphIsResampledWithANote) {
  std::ofstream(dir / "uneven.csv")
      << "0,0\n1e-9,1\n3e-9,0\n4e-9,2\n5e-9,1\n6e-9,0\n7e-9,3\n9e-9,1\n10e-9,0\n11e-9,1\n";
  const Outcome r = run(
      "open record.csv; open uneven.csv; "
      "filter graphs=1 kind=fir cutoff=50 freq=MHz time=ns taps=31 window=kaiser beta=5; "
      "filter graphs=1 kind=median width=7; filter graphs=1 kind=savgol width=11 polyorder=3; "
      "filter graphs=1 kind=chebyshev2 order=5 cutoff=60 phase=causal; "
      "filter graphs=2 kind=median width=3; list; dump graph=7");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("info: График \"uneven.grf\" имеет неравномерный шаг"), std::string::npos) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 7u + 10u) << r.out;
  // The resampled graph keeps its first and last X and takes 10 equal steps' points.
  const auto x = [&](std::size_t row) { return std::strtod(fields(out[row]).at(0).c_str(), nullptr); };
  EXPECT_EQ(x(7), 0.0);
  EXPECT_NEAR(x(8), 11.0 / 9, 1e-12);
  EXPECT_NEAR(x(16), 11.0, 1e-12);
}

}  // namespace
}  // namespace tarvik::batch::e2e
