#include <gtest/gtest.h>

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

TEST(PrintLayout, ScreenProportionalLaysOutAtTwiceTheScreenSize) {
  EXPECT_EQ(printLayoutSize({673, 315}, PrintScale::ThinLines), (PrintSize{673, 315}));
  EXPECT_EQ(printLayoutSize({673, 315}, PrintScale::ScreenProportional), (PrintSize{1346, 630}));
  EXPECT_EQ(printLayoutSize({-3, 0}, PrintScale::ScreenProportional), (PrintSize{0, 0}));
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
