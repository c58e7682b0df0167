// The picture commands of tarvik-batch, end to end: the files they write, read back byte by
// byte (sizes from the headers, pixels of a known chart from the bitmap), and the print
// options kept for the run. A runner built without the window only reports that it cannot.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "batch/BatchProgram.h"

namespace tarvik::batch::e2e {
namespace {

struct Pixel {
  int r = 0, g = 0, b = 0;
  bool operator==(const Pixel&) const = default;
};

// A 24-bit BMP as the runner writes it.
struct Bitmap {
  int width = 0, height = 0;
  std::vector<Pixel> pixels;  // top row first
  Pixel at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

std::uint32_t little(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  }
  return v;
}

std::uint32_t big(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  }
  return v;
}

bool readBitmap(const std::string& bytes, Bitmap& bmp) {
  if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0 || little(bytes, 28, 2) != 24) {
    return false;
  }
  const std::size_t offset = little(bytes, 10, 4);
  bmp.width = static_cast<int>(little(bytes, 18, 4));
  const auto rawHeight = static_cast<std::int32_t>(little(bytes, 22, 4));
  bmp.height = rawHeight < 0 ? -rawHeight : rawHeight;
  const std::size_t stride = (static_cast<std::size_t>(bmp.width) * 3 + 3) & ~std::size_t(3);
  if (bytes.size() < offset + stride * static_cast<std::size_t>(bmp.height)) {
    return false;
  }
  bmp.pixels.resize(static_cast<std::size_t>(bmp.width * bmp.height));
  for (int y = 0; y < bmp.height; ++y) {
    const int fileRow = rawHeight < 0 ? y : bmp.height - 1 - y;  // bottom-up unless negative
    const std::size_t row = offset + static_cast<std::size_t>(fileRow) * stride;
    for (int x = 0; x < bmp.width; ++x) {
      const std::size_t p = row + static_cast<std::size_t>(x) * 3;
      bmp.pixels[static_cast<std::size_t>(y * bmp.width + x)] = {
          static_cast<unsigned char>(bytes[p + 2]), static_cast<unsigned char>(bytes[p + 1]),
          static_cast<unsigned char>(bytes[p])};
    }
  }
  return true;
}

// "W x H" from a PNG header, or "" for anything else.
std::string pngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) {
    return "";
  }
  return std::to_string(big(bytes, 16)) + " x " + std::to_string(big(bytes, 20));
}

std::string mediaBox(const std::string& pdf) {
  const std::string key = "/MediaBox [0 0 ";
  const auto at = pdf.find(key);
  return at == std::string::npos ? ""
                                 : pdf.substr(at + key.size(), pdf.find(']', at) - at - key.size());
}

const Pixel kMagenta{255, 0, 255};
const Pixel kPanel{255, 255, 128};

class BatchPicture : public BatchProgram {
 protected:
  void SetUp() override {
    if (!TARVIK_BATCH_HAS_PICTURES) {
      GTEST_SKIP() << "tarvik-batch was built without the chart window";
    }
    BatchProgram::SetUp();
  }

  // The diagonal y = x over 0..100 as a plain graph file; the `open` command for it.
  std::string diagonal() {
    std::ofstream file(dir / "diagonal.grf", std::ios::binary);
    for (int i = 0; i <= 100; ++i) {
      file << i << ' ' << i << "\r\n";
    }
    return "open diagonal.grf; ";
  }

  std::string file(const std::string& name) const { return readFile(dir / name); }
};

TEST_F(BatchPicture, BitmapOfAKnownChartHasTheLineWhereItRunsAndThePanelElsewhere) {
  const Outcome r = run(diagonal() +
                        "line graph=1 color=#FF00FF width=3; background color=#FFFF80; "
                        "picture file=chart.bmp width=640 height=400");
  ASSERT_EQ(r.status, 0) << r.err;
  Bitmap bmp;
  ASSERT_TRUE(readBitmap(file("chart.bmp"), bmp));
  EXPECT_EQ(bmp.width, 640);
  EXPECT_EQ(bmp.height, 400);
  for (const auto& [x, y] : {std::pair{0, 0}, {639, 0}, {639, 399}}) {
    EXPECT_EQ(bmp.at(x, y), kPanel) << x << ", " << y;
  }
  // The line's pixels above the legend (which holds a magenta swatch too): per column, the
  // middle of the line's rows. They must form one straight rising line across the plot.
  std::vector<std::pair<int, double>> columns;
  for (int x = 0; x < bmp.width; ++x) {
    int rows = 0;
    double sum = 0;
    for (int y = 0; y < bmp.height * 3 / 4; ++y) {
      if (bmp.at(x, y) == kMagenta) {
        ++rows;
        sum += y;
      }
    }
    if (rows > 0) {
      columns.push_back({x, sum / rows});
    }
  }
  ASSERT_GT(columns.size(), 400u);
  const auto [x0, y0] = columns.front();
  const auto [x1, y1] = columns.back();
  EXPECT_LT(y1, y0 - 200);  // rises to the right over most of the height
  for (const auto& [x, y] : columns) {
    const double expected = y0 + (y1 - y0) * (x - x0) / double(x1 - x0);
    EXPECT_NEAR(y, expected, 3.0) << "column " << x;
  }
  // Half way along, well above and below the line: no line colour there.
  const auto [xm, ym] = columns[columns.size() / 2];
  EXPECT_NE(bmp.at(xm, static_cast<int>(ym) - 60), kMagenta);
  EXPECT_NE(bmp.at(xm, static_cast<int>(ym) + 60), kMagenta);
}

TEST_F(BatchPicture, SizesByExtensionAndDefault) {
  const Outcome r = run(diagonal() +
                        "picture file=a.png; picture file=b.PNG width=673 height=315; "
                        "picture file=c.bmp; picture file=d.pdf; picture file=e.pdf width=800 "
                        "height=500; picture file=f.svg width=800 height=500");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(pngSize(file("a.png")), "1000 x 600");
  EXPECT_EQ(pngSize(file("b.PNG")), "673 x 315");
  Bitmap bmp;
  ASSERT_TRUE(readBitmap(file("c.bmp"), bmp));
  EXPECT_EQ(bmp.width, 1000);
  EXPECT_EQ(bmp.height, 600);
  // PDF and SVG pages are the size in pixels at 96 dots per inch: 1000 px = 750 pt.
  EXPECT_EQ(file("d.pdf").substr(0, 5), "%PDF-");
  EXPECT_EQ(mediaBox(file("d.pdf")), "750.000000 450.000000");
  EXPECT_EQ(mediaBox(file("e.pdf")), "600.000000 375.000000");
  const std::string svg = file("f.svg");
  EXPECT_NE(svg.find("<svg width=\"211.667mm\" height=\"132.292mm\""), std::string::npos);
  EXPECT_NE(svg.find("viewBox=\"0 0 800 500\""), std::string::npos);
}

TEST_F(BatchPicture, SvgHoldsTheChartsTitle) {
  const Outcome r = run(diagonal() +
                        "titles title=\"Импульс 7\"; picture file=t.svg; titles title=; "
                        "picture file=u.svg");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = file("t.svg");
  EXPECT_NE(svg.find("<title>Импульс 7</title>"), std::string::npos);
  EXPECT_NE(svg.find(">Импульс 7</text>"), std::string::npos);  // drawn above the plot
  EXPECT_EQ(file("u.svg").find("Импульс 7"), std::string::npos);
}

TEST_F(BatchPicture, PrintOptionsPersistWithinTheRun) {
  const Outcome r = run(diagonal() +
                        "print-pdf file=a.pdf; print-pdf file=b.pdf orientation=landscape; "
                        "print-pdf file=c.pdf size=full scale=screen; "
                        "print-pdf file=d.pdf orientation=portrait");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(mediaBox(file("a.pdf")), "595.000000 842.000000");  // A4 upright at first
  EXPECT_EQ(mediaBox(file("b.pdf")), "842.000000 595.000000");
  EXPECT_EQ(mediaBox(file("c.pdf")), "842.000000 595.000000");  // still turned
  EXPECT_EQ(mediaBox(file("d.pdf")), "595.000000 842.000000");
  for (const char* name : {"a.pdf", "b.pdf", "c.pdf", "d.pdf"}) {
    EXPECT_EQ(file(name).substr(0, 5), "%PDF-") << name;
  }
}

TEST_F(BatchPicture, BadArgumentsWriteNothing) {
  struct Case {
    std::string command;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"picture file=x.gif", 2, "file= must end in .bmp, .png, .svg or .pdf"},
      {"picture file=x.png width=0", 2, "width= must lie between 1 and 10000"},
      {"picture file=x.png height=10001", 2, "height= must lie between 1 and 10000"},
      {"picture file=x.png width=wide", 2, "width=wide is not an integer"},
      {"picture width=10", 2, "file= is required"},
      {"print-pdf file=x.pdf orientation=sideways", 2, "orientation= takes portrait or landscape"},
      {"print-pdf file=x.pdf scale=thick", 2, "scale= takes thin or screen"},
      {"print-pdf file=x.pdf size=quarter", 2, "size= takes half or full"},
      {"picture file=missing/x.png", 1, "error: Невозможно записать файл:missing/x.png"},
      {"print-pdf file=missing/x.pdf", 1, "error: Невозможно записать файл:missing/x.pdf"},
  };
  for (const Case& c : cases) {
    const Outcome r = run(diagonal() + c.command);
    EXPECT_EQ(r.status, c.status) << c.command;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.command << ": " << r.err;
    EXPECT_FALSE(fs::exists(dir / "x.png") || fs::exists(dir / "x.pdf")) << c.command;
  }
}

TEST_F(BatchPicture, FailedPictureLeavesTheOldFileWhole) {
  std::ofstream(dir / "old.png", std::ios::binary) << "old picture";
  fs::permissions(dir / "old.png", fs::perms::owner_read, fs::perm_options::replace);
  const Outcome r = run(diagonal() + "picture file=old.png");
  fs::permissions(dir / "old.png", fs::perms::owner_all, fs::perm_options::replace);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(file("old.png"), "old picture");
}

class BatchPictureWithoutWindow : public BatchProgram {
 protected:
  void SetUp() override {
    if (TARVIK_BATCH_HAS_PICTURES) {
      GTEST_SKIP() << "tarvik-batch was built with the chart window";
    }
    BatchProgram::SetUp();
  }
};

TEST_F(BatchPictureWithoutWindow, CommandsExistAndSayTheyCannotDraw) {
  for (const char* command : {"picture file=x.png", "print-pdf file=x.pdf"}) {
    const Outcome r = run(command);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.err.find("built without the chart window"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "x.png") || fs::exists(dir / "x.pdf"));
  }
}

}  // namespace
}  // namespace tarvik::batch::e2e
