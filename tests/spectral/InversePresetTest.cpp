// The spectrum's inverse step presets the inverse-transform dialog's fields; the batch
// runner's copy of those fields takes the preset by the same rule as the window's dialog.
#include <gtest/gtest.h>

#include <sstream>

#include "batch/BatchRunner.h"
#include "spectral/InversePreset.h"

namespace tarvik::spectral {
namespace {

TEST(InversePreset, TakesTimeRangePointsAndUnitButKeepsTheDeleteChoice) {
  for (const bool deleteChosen : {false, true}) {
    InverseSpectrumOptions fields;
    fields.deleteSpectra = deleteChosen;
    InverseSpectrumOptions preset;
    preset.tMin = "-1E-9";
    preset.tMax = "2E-7";
    preset.nPoint = "1000";
    preset.timeUnit = 2;
    preset.deleteSpectra = !deleteChosen;
    applyInversePreset(fields, preset);
    EXPECT_EQ(fields.tMin, "-1E-9");
    EXPECT_EQ(fields.tMax, "2E-7");
    EXPECT_EQ(fields.nPoint, "1000");
    EXPECT_EQ(fields.timeUnit, 2);
    EXPECT_EQ(fields.deleteSpectra, deleteChosen);
  }
}

TEST(InversePreset, BatchSpectrumLeavesThePresetForALaterInverse) {
  std::ostringstream out, err;
  batch::BatchSession session(out, err, '.');
  const batch::BatchRegistry registry = batch::standardRegistry();
  Graph pulse;
  pulse.title = "p";
  for (int i = 0; i <= 100; ++i) {
    pulse.appendPoint(i, i > 20 && i < 40 ? 1 : 0);
  }
  session.store.attachGraph(std::move(pulse), "p");
  session.store.setActiveIndex(0);
  batch::BatchRunner runner(session, registry, err);
  ASSERT_EQ(runner.run(batch::inlineLines("inverse-spectrum delete=on points=7 time=s;"
                                          "spectrum graphs=1 inverse=on fmax=1e8 time=ns")),
            batch::kExitCommandFailed);  // the inverse alone finds no spectrum graphs
  err.str("");
  ASSERT_EQ(runner.run(batch::inlineLines("spectrum graphs=1 inverse=on fmax=1e8 time=ns")),
            batch::kExitOk)
      << err.str();
  const InverseSpectrumOptions& fields = session.dialog<InverseSpectrumOptions>();
  EXPECT_EQ(fields.nPoint, "1000");
  EXPECT_EQ(fields.tMin, "0");
  EXPECT_EQ(fields.tMax, "1E-7");
  EXPECT_EQ(fields.timeUnit, 0);
  EXPECT_TRUE(fields.deleteSpectra);
}

}  // namespace
}  // namespace tarvik::spectral
