// A file that another program cuts short while it is read never ends the process: the
// readers give what they read and the cut is reported.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "io/CsvReaders.h"
#include "io/FileBytes.h"
#include "io/PlainGraphReader.h"
#include "io/TempDir.h"

namespace tarvik {
namespace {

using testing::TempDir;

// Cuts the file to `size` bytes from another thread, as another program would.
void cutFromAnotherThread(const std::string& path, off_t size) {
  std::thread([&] { ASSERT_EQ(::truncate(path.c_str(), size), 0); }).join();
}

TEST(ChangingFile, BytesPastTheNewEndReadAsZerosAndTheCutIsReported) {
  TempDir dir;
  const std::string path = dir.write("big.grf", std::string(std::size_t{8} << 20, '7'));
  std::optional<FileBytes> file = FileBytes::open(path);
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->shrankWhileRead());
  cutFromAnotherThread(path, 40000);
  const std::string_view bytes = file->bytes();
  ASSERT_EQ(bytes.size(), std::size_t{8} << 20);
  EXPECT_EQ(bytes[39999], '7');
  EXPECT_EQ(std::count(bytes.begin() + (1 << 20), bytes.end(), '7'), 0);
  EXPECT_EQ(bytes.back(), '\0');
  EXPECT_TRUE(file->shrankWhileRead());
}

struct Format {
  const char* name;
  std::string line;  // one record; the file repeats it
  std::function<std::size_t(std::string_view, const ReleaseBytes&)> read;  // points read
};

// Each reader tells its byte source as it moves on; at the first such moment the file is cut
// to half, so the rest of the read meets the cut.
TEST(ChangingFile, ReadersSurviveAFileCutShortWhileTheyRead) {
  const std::vector<Format> formats = {
      {"plain graph", "12345 0.5 \r\n",
       [](std::string_view bytes, const ReleaseBytes& release) {
         return readPlainGraph(bytes, release).points.xs.size();
       }},
      {"oscilloscope CSV", "Record Length,1,,1e-9,0.5,,Source,CH2,,1e-9,0.25,\r\n",
       [](std::string_view bytes, const ReleaseBytes& release) {
         return readOscilloscopeCsv(bytes, '.', release).channels.at(0).points.xs.size();
       }},
      {"plain CSV", "1e-9,0.5\r\n",
       [](std::string_view bytes, const ReleaseBytes& release) {
         return readPlainCsv(bytes, '.', release).channels.at(0).points.xs.size();
       }},
  };
  for (const Format& format : formats) {
    TempDir dir;
    std::string content;
    while (content.size() < (std::size_t{40} << 20)) {
      content += format.line;
    }
    const std::size_t records = content.size() / format.line.size();
    const std::string path = dir.write("changing", content);
    content.clear();
    std::optional<FileBytes> file = FileBytes::open(path);
    ASSERT_TRUE(file);
    bool cut = false;
    const std::size_t read = format.read(file->bytes(), [&](std::size_t end) {
      if (!cut) {
        cut = true;
        cutFromAnotherThread(path, static_cast<off_t>(records / 2 * format.line.size()));
      }
      file->releaseBefore(end);
    });
    EXPECT_TRUE(cut) << format.name;
    EXPECT_TRUE(file->shrankWhileRead()) << format.name;
    EXPECT_GT(read, 0u) << format.name;
    EXPECT_LE(read, records / 2 + 1) << format.name;
  }
}

}  // namespace
}  // namespace tarvik
