#include <gtest/gtest.h>

#include <algorithm>

#include "view/PrintLayout.h"

namespace tarvik::view {
namespace {

TEST(PrintLayout, RectangleInsideFivePercentMargins) {
  struct Case {
    int width, height;
    PrintPageShare share;
    PrintRect want;
  };
  const Case cases[] = {
      // A4 in printer pixels: the upper half of the area inside the margins, or all of it.
      {4800, 6800, PrintPageShare::HalfPage, {240, 340, 4560, 3400}},
      {4800, 6800, PrintPageShare::WholePage, {240, 340, 4560, 6460}},
      // Landscape: the same page turned.
      {6800, 4800, PrintPageShare::HalfPage, {340, 240, 6460, 2400}},
      // A4 at 600 dpi without margins: 248.05 and 350.8 round to 248 and 351; the inner
      // height 6314 halves exactly.
      {4961, 7016, PrintPageShare::HalfPage, {248, 351, 4713, 3508}},
      {4961, 7016, PrintPageShare::WholePage, {248, 351, 4713, 6665}},
      // Margins round half up (10 · 5 % = 0.5 → 1); an odd inner height loses its last
      // pixel row in the integer halving: 2 + 39 / 2 = 21.
      {10, 43, PrintPageShare::HalfPage, {1, 2, 9, 21}},
      {30, 30, PrintPageShare::HalfPage, {2, 2, 28, 15}},
      // 29 · 5 % = 1.45 rounds down.
      {29, 29, PrintPageShare::WholePage, {1, 1, 28, 28}},
      // No printable area: an empty rectangle, never a negative one.
      {0, 0, PrintPageShare::WholePage, {0, 0, 0, 0}},
      {-100, -5, PrintPageShare::HalfPage, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const PrintRect got = printRectangle(c.width, c.height, c.share);
    EXPECT_EQ(got, c.want) << c.width << " x " << c.height << " share " << static_cast<int>(c.share)
                           << ": got (" << got.left << ", " << got.top << ") to (" << got.right
                           << ", " << got.bottom << ")";
    EXPECT_GE(got.width(), 0);
    EXPECT_GE(got.height(), 0);
  }
}

TEST(PrintLayout, HalfPageIsTheUpperHalfOfTheWholePage) {
  for (int height = 100; height < 140; ++height) {
    const PrintRect whole = printRectangle(700, height, PrintPageShare::WholePage);
    const PrintRect half = printRectangle(700, height, PrintPageShare::HalfPage);
    EXPECT_EQ(half.left, whole.left);
    EXPECT_EQ(half.right, whole.right);
    EXPECT_EQ(half.top, whole.top);
    EXPECT_EQ(half.height(), whole.height() / 2) << height;
  }
}

// The layout takes the print rectangle's shape, so one factor scales it across and down,
// with the on-screen chart's number of pixels (four times it for "Screen proportional").
TEST(PrintLayout, LayoutHasTheRectanglesShapeAndTheScreensPixelCount) {
  struct Case {
    PrintSize onScreen, target;
    PrintScale scale;
    PrintSize want;
  };
  const Case cases[] = {
      // The chart's own shape: its on-screen size, or twice it.
      {{673, 315}, {673, 315}, PrintScale::ThinLines, {673, 315}},
      {{673, 315}, {4465, 2090}, PrintScale::ThinLines, {673, 315}},
      {{673, 315}, {1346, 630}, PrintScale::ScreenProportional, {1346, 630}},
      // Half an A4 page at 600 dpi, (248, 351) to (4713, 3508): 4465 × 3157. The chart of
      // about 2.14 : 1 is laid out at about 1.41 : 1, 548 × 387 ≈ 673 × 315 pixels.
      {{673, 315}, {4465, 3157}, PrintScale::ThinLines, {548, 387}},
      {{673, 315}, {4465, 3157}, PrintScale::ScreenProportional, {1095, 774}},
      // A whole portrait page: taller than wide.
      {{1000, 600}, {4465, 6314}, PrintScale::ThinLines, {651, 921}},
      // Nothing to lay out or nowhere to put it.
      {{-3, 0}, {100, 100}, PrintScale::ScreenProportional, {0, 0}},
      {{673, 315}, {0, 100}, PrintScale::ThinLines, {0, 0}},
  };
  for (const Case& c : cases) {
    const PrintSize got = printLayoutSize(c.onScreen, c.target, c.scale);
    EXPECT_EQ(got, c.want) << c.onScreen.width << " x " << c.onScreen.height << " into "
                           << c.target.width << " x " << c.target.height << ": got "
                           << got.width << " x " << got.height;
    if (got.width > 0) {
      // Scaled into the target, across and down differ by less than a layout pixel.
      const double across = double(c.target.width) / got.width;
      const double down = double(c.target.height) / got.height;
      EXPECT_NEAR(across / down, 1.0, 2.0 / std::min(got.width, got.height));
    }
  }
}

TEST(PrintLayout, ScriptNamesOfTheChoices) {
  EXPECT_EQ(printScaleFromName("thin"), PrintScale::ThinLines);
  EXPECT_EQ(printScaleFromName("screen"), PrintScale::ScreenProportional);
  EXPECT_EQ(printOrientationFromName("portrait"), PrintOrientation::Portrait);
  EXPECT_EQ(printOrientationFromName("landscape"), PrintOrientation::Landscape);
  EXPECT_EQ(printPageShareFromName("half"), PrintPageShare::HalfPage);
  EXPECT_EQ(printPageShareFromName("full"), PrintPageShare::WholePage);
  for (const char* wrong : {"", "Thin", "half ", "landscape\n", "1/2"}) {
    EXPECT_FALSE(printScaleFromName(wrong)) << wrong;
    EXPECT_FALSE(printOrientationFromName(wrong)) << wrong;
    EXPECT_FALSE(printPageShareFromName(wrong)) << wrong;
  }
}

}  // namespace
}  // namespace tarvik::view
