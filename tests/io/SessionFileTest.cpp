// Session files: the document and the view come back bit for bit; a file that is missing,
// foreign, newer, truncated or damaged is refused with a message; a save replaces the old
// file only when the new one is whole.
#include <gtest/gtest.h>
#include <hdf5.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <span>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/DocumentState.h"
#include "core/Error.h"
#include "io/SessionFile.h"
#include "io/SessionHdf5.h"
#include "io/TempDir.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

double fromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Values whose bits a careless path changes: NaN payloads and signs, a signalling NaN,
// the zero's sign, subnormals, the infinities and the ends of the range.
std::vector<double> awkwardValues() {
  using L = std::numeric_limits<double>;
  return {fromBits(0x7FF8000000000001ULL),
          fromBits(0xFFF8DEADBEEF0001ULL),
          fromBits(0x7FF0000000000F00ULL),
          -0.0,
          0.0,
          L::denorm_min(),
          -L::denorm_min(),
          fromBits(0x000FFFFFFFFFFFFFULL),
          L::infinity(),
          -L::infinity(),
          L::max(),
          L::lowest(),
          L::min(),
          1.0 / 3.0};
}

Graph makeGraph(std::vector<double> xs, std::vector<double> ys, const std::string& title) {
  Graph graph;
  graph.setPoints(std::move(xs), std::move(ys));
  graph.title = title;
  return graph;
}

DocumentState richDocument() {
  DocumentState d;
  std::vector<double> awkward = awkwardValues();
  std::vector<double> reversed(awkward.rbegin(), awkward.rend());
  d.graphs.push_back(makeGraph(awkward, reversed, "Сигнал №1 «датчик»"));
  d.graphs.push_back(makeGraph({}, {}, ""));  // an empty graph with an empty title
  Graph styled = makeGraph({1, 2, 3}, {-1, -2, -3}, "Ток, А");
  styled.colour = Rgb{255, 128, 7};
  styled.lineStyle = LineStyle::DashDotDot;
  styled.lineWidth = 7;
  styled.showInLegend = false;
  styled.tag = 3;
  d.graphs.push_back(styled);
  d.sourceFiles = {"/данные/осц/a.csv", "Без имени-4", ""};
  d.active = 2;
  d.unnamedCounter = 17;
  DocumentTexts& t = d.texts;
  t.bottomAxisTitle = "t, нс";
  t.yAxisTitle = "U, В";
  t.footLines = {"", "Подпись 1", "Подпись 2"};
  t.titleLines = {"Заголовок", ""};
  t.topAxisTitle = "верх";
  t.rightAxisTitle = "право";
  t.leftTitleAngle = 45;
  t.rightTitleAngle = -30;
  t.topTitleAngle = 180;
  t.bottomTitleAngle = 5;
  t.background = Rgb{1, 2, 3};
  t.legendColour = Rgb{250, 251, 252};
  t.legendRight = true;
  return d;
}

SessionView richView() {
  SessionView view;
  view.bottom = SessionAxis{false, -0.0, 1e-300, true};
  view.left = SessionAxis{true, -5.5, std::numeric_limits<double>::infinity(), false};
  for (int i = 0; i < 7; ++i) {
    view.fonts.push_back(SessionFont{"Шрифт " + std::to_string(i), 8 + i});
  }
  return view;
}

bool sameBits(std::span<const double> a, std::span<const double> b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

void expectSameView(const SessionView& a, const SessionView& b) {
  for (const auto& [x, y] : {std::pair{a.bottom, b.bottom}, std::pair{a.left, b.left}}) {
    EXPECT_EQ(x.automatic, y.automatic);
    EXPECT_EQ(x.logarithmic, y.logarithmic);
    EXPECT_TRUE(sameBits(std::span(&x.lower, 1), std::span(&y.lower, 1)));
    EXPECT_TRUE(sameBits(std::span(&x.upper, 1), std::span(&y.upper, 1)));
  }
  ASSERT_EQ(a.fonts.size(), b.fonts.size());
  for (std::size_t i = 0; i < a.fonts.size(); ++i) {
    EXPECT_EQ(a.fonts[i].family, b.fonts[i].family);
    EXPECT_EQ(a.fonts[i].size, b.fonts[i].size);
  }
}

// The message of the Error that reading `path` throws; empty when it reads.
std::string readError(const std::string& path) {
  try {
    readSession(path);
  } catch (const Error& e) {
    return e.what();
  }
  return {};
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(SessionFile, RoundTripKeepsEveryBitAndAttribute) {
  TempDir dir;
  const std::string path = dir.path("сеанс.h5");
  const DocumentState document = richDocument();
  writeSession(path, document, richView());
  const Session back = readSession(path);
  EXPECT_TRUE(back.document.sameAs(document));
  // Independently of sameAs: the awkward values themselves, byte for byte.
  ASSERT_EQ(back.document.graphs.size(), 3u);
  EXPECT_TRUE(sameBits(back.document.graphs[0].xs(), document.graphs[0].xs()));
  EXPECT_TRUE(sameBits(back.document.graphs[0].ys(), document.graphs[0].ys()));
  EXPECT_TRUE(back.document.graphs[1].empty());
  const Graph& styled = back.document.graphs[2];
  EXPECT_EQ(styled.title, "Ток, А");
  EXPECT_EQ(styled.colour, (Rgb{255, 128, 7}));
  EXPECT_EQ(styled.lineStyle, LineStyle::DashDotDot);
  EXPECT_EQ(styled.lineWidth, 7);
  EXPECT_FALSE(styled.showInLegend);
  EXPECT_EQ(styled.tag, 3);
  EXPECT_EQ(back.document.sourceFiles, document.sourceFiles);
  EXPECT_EQ(back.document.active, 2);
  EXPECT_EQ(back.document.unnamedCounter, 17);
  EXPECT_TRUE(back.document.texts == document.texts);
  expectSameView(back.view, richView());
}

TEST(SessionFile, RoundTripOfEmptyManyAndLongDocuments) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  // No graph at all, no fonts (as the batch runner writes it).
  DocumentState none;
  writeSession(path, none, SessionView{});
  Session back = readSession(path);
  EXPECT_TRUE(back.document.sameAs(none));
  EXPECT_EQ(back.document.active, -1);
  EXPECT_TRUE(back.view.fonts.empty());

  // More graphs than three-digit group names: the order is the store's.
  DocumentState many;
  for (int i = 0; i < 1003; ++i) {
    many.graphs.push_back(makeGraph({double(i)}, {-double(i)}, "График " + std::to_string(i)));
    many.sourceFiles.push_back("f" + std::to_string(i));
  }
  many.active = 1002;
  writeSession(path, many, SessionView{});
  back = readSession(path);
  EXPECT_TRUE(back.document.sameAs(many));
  EXPECT_EQ(back.document.graphs[1000].title, "График 1000");

  // An array of several chunks with a partial last one.
  const std::size_t n = (std::size_t{1} << 21) + 3;
  std::vector<double> xs(n), ys(n);
  for (std::size_t i = 0; i < n; ++i) {
    xs[i] = static_cast<double>(i) * 1e-9;
    ys[i] = std::sin(static_cast<double>(i));
  }
  DocumentState longOne;
  longOne.graphs.push_back(makeGraph(xs, ys, "long"));
  longOne.sourceFiles = {"long"};
  longOne.active = 0;
  for (int level : {0, 1}) {
    writeSession(path, longOne, SessionView{}, SessionWriteOptions{level, true});
    back = readSession(path);
    EXPECT_TRUE(sameBits(back.document.graphs.at(0).ys(), ys)) << "deflate " << level;
    EXPECT_TRUE(sameBits(back.document.graphs.at(0).xs(), xs)) << "deflate " << level;
  }
}

TEST(SessionFile, MissingAndForeignFilesAreRefusedWithAMessage) {
  TempDir dir;
  EXPECT_EQ(readError(dir.path("нет.h5")), "Файл " + dir.path("нет.h5") + "\nне найден !!!");
  const std::string text = dir.write("a.h5", "0 1\n1 2\n");
  EXPECT_EQ(readError(text), "Файл " + text + " не является файлом сеанса");
  const std::string empty = dir.write("empty.h5", "");
  EXPECT_EQ(readError(empty), "Файл " + empty + " не является файлом сеанса");
  EXPECT_EQ(readError(dir.path("")), "Файл " + dir.path("") + " не является файлом сеанса");

  // An HDF5 file of another program: a dataset, but not our root attributes.
  const std::string other = dir.path("other.h5");
  {
    const hid_t file = H5Fcreate(other.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    ASSERT_GE(file, 0);
    const hsize_t n = 4;
    const double values[4] = {1, 2, 3, 4};
    const hid_t space = H5Screate_simple(1, &n, nullptr);
    const hid_t set =
        H5Dcreate2(file, "x", H5T_IEEE_F64LE, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values);
    H5Dclose(set);
    H5Sclose(space);
    H5Fclose(file);
  }
  // (Written in the library's oldest format, which the program refuses from its first bytes:
  // the message says so after the listed text.)
  EXPECT_EQ(readError(other).rfind("Файл " + other + " не является файлом сеанса", 0), 0u)
      << readError(other);
}

// Rewrites one integer root attribute of a written session.
void setRootInt(const std::string& path, const char* name, int value) {
  const hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
  ASSERT_GE(file, 0);
  const hid_t attribute = H5Aopen(file, name, H5P_DEFAULT);
  ASSERT_GE(attribute, 0);
  EXPECT_GE(H5Awrite(attribute, H5T_NATIVE_INT, &value), 0);
  H5Aclose(attribute);
  H5Fclose(file);
}

TEST(SessionFile, VersionAndAttributesAreChecked) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  const std::string damaged = "Файл сеанса " + path + " повреждён";
  struct Case {
    const char* attribute;
    int value;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"format_version", kSessionFormatVersion + 1,
       "Файл сеанса " + path + " записан более новой версией программы"},
      {"format_version", 0, damaged},
      {"graph_count", 2, damaged},  // three groups stored
      {"graph_count", -1, damaged},
      {"active_index", 3, damaged},  // beyond the last graph
      {"active_index", -2, damaged},
  };
  for (const Case& c : cases) {
    writeSession(path, richDocument(), richView());
    setRootInt(path, c.attribute, c.value);
    EXPECT_EQ(readError(path).substr(0, c.expected.size()), c.expected)
        << c.attribute << " = " << c.value;
  }
}

// Where the bytes of `values` lie in the file.
std::size_t offsetOf(const std::string& bytes, std::span<const double> values) {
  const std::string pattern(reinterpret_cast<const char*>(values.data()),
                            values.size() * sizeof(double));
  return bytes.find(pattern);
}

TEST(SessionFile, TruncatedAndCorruptedFilesAreRefused) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  std::vector<double> ys(600);
  for (std::size_t i = 0; i < ys.size(); ++i) {
    ys[i] = 0.001 * static_cast<double>(i * i) + 0.5;
  }
  DocumentState document;
  document.graphs.push_back(makeGraph(std::vector<double>(ys.size(), 2.0), ys, "g"));
  document.sourceFiles = {"g"};
  writeSession(path, document, SessionView{});
  const std::string good = TempDir::read(path);
  const std::string damaged = "Файл сеанса " + path + " повреждён";

  for (std::size_t length : {good.size() - 1, good.size() / 2, std::size_t{600}, std::size_t{9}}) {
    writeFileBytes(path, good.substr(0, length));
    const std::string message = readError(path);
    EXPECT_FALSE(message.empty()) << "cut at " << length;
    EXPECT_TRUE(message.rfind(damaged, 0) == 0 ||
                message == "Файл " + path + " не является файлом сеанса")
        << message;
  }

  // One bit flipped inside the Y array: only its checksum can tell.
  const std::size_t at = offsetOf(good, std::span(ys).subspan(300, 4));
  ASSERT_NE(at, std::string::npos);
  std::string flipped = good;
  flipped[at + 3] = static_cast<char>(flipped[at + 3] ^ 0x10);
  writeFileBytes(path, flipped);
  EXPECT_EQ(readError(path), damaged + " (graphs/000/y)");

  // Any byte of the file changed: refused with a message or read back equal, never a
  // crash or a different document. The library leaks a little of its own bookkeeping when
  // a checksum of its metadata fails (the leak sanitizer shows objects its metadata cache
  // was building), so these reads run in a child process, whose leaks end with it; the
  // child's exit status is the number of bytes that were read back wrong.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int wrong = 0;
    for (std::size_t i = 0; i < good.size(); i += 29) {
      std::string changed = good;
      changed[i] = static_cast<char>(changed[i] ^ 0xFF);
      writeFileBytes(path, changed);
      try {
        if (!readSession(path).document.sameAs(document)) {
          std::fprintf(stderr, "byte %zu changed: read back a different document\n", i);
          ++wrong;
        }
      } catch (const Error&) {
      }
    }
    ::_exit(std::min(wrong, 100));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "the reader crashed on a changed byte";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SessionFile, AFailedSaveLeavesTheOldFileWholeAndNoTemporary) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  const DocumentState old = richDocument();
  writeSession(path, old, richView());
  ::chmod(path.c_str(), 0640);

  // A child process whose file size limit stops the write of a large document half way.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    DocumentState large;
    large.graphs.push_back(
        makeGraph(std::vector<double>(1 << 20, 1.0), std::vector<double>(1 << 20, 2.0), "large"));
    large.sourceFiles = {"large"};
    try {
      writeSession(path, large, SessionView{});
    } catch (const IoError& e) {
      // The message names the file; the library's account of the failure follows it.
      const std::string text = e.what();
      const std::string head = "Невозможно записать файл:" + path + "\n";
      ::_exit(text.rfind(head, 0) == 0 && text.size() > head.size() ? 0 : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must fail with the system's message";
  EXPECT_TRUE(readSession(path).document.sameAs(old));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.folder()), fs::directory_iterator()), 1);

  // A new save replaces the file and keeps its permission bits.
  DocumentState fresh;
  writeSession(path, fresh, SessionView{});
  EXPECT_TRUE(readSession(path).document.sameAs(fresh));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // A folder in the way is not replaced.
  fs::create_directory(dir.path("folder.h5"));
  EXPECT_THROW(writeSession(dir.path("folder.h5"), old, SessionView{}), IoError);
  EXPECT_TRUE(fs::is_directory(dir.path("folder.h5")));

  // A symbolic link stays a link; the file it names is written.
  fs::create_symlink(path, dir.path("link.h5"));
  writeSession(dir.path("link.h5"), old, SessionView{});
  EXPECT_TRUE(fs::is_symlink(dir.path("link.h5")));
  EXPECT_TRUE(readSession(path).document.sameAs(old));
}

TEST(SessionFile, WritersAndReadersOnSeveralThreadsDoNotInterfere) {
  TempDir dir;
  const DocumentState document = richDocument();
  const std::string shared = dir.path("shared.h5");
  writeSession(shared, document, richView());
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The sanitizers' allocators take no locks across fork: a reading child forked while
  // another thread is inside the allocator waits for that thread's lock for ever (the C
  // library's allocator takes its locks across fork, so the program itself is not exposed).
  // Under a sanitizer the writers still run together, but a reading (which forks) runs
  // alone.
  constexpr bool kReadAlone = true;
#else
  constexpr bool kReadAlone = false;
#endif
  std::shared_mutex turns;
  std::vector<std::thread> threads;
  std::vector<int> good(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const std::string own = dir.path("t" + std::to_string(t) + ".h5");
      for (int round = 0; round < 10; ++round) {
        {
          std::shared_lock<std::shared_mutex> writing(turns, std::defer_lock);
          if (kReadAlone) {
            writing.lock();
          }
          writeSession(own, document, richView());
        }
        std::unique_lock<std::shared_mutex> reading(turns, std::defer_lock);
        if (kReadAlone) {
          reading.lock();
        }
        good[static_cast<std::size_t>(t)] += readSession(own).document.sameAs(document) ? 1 : 0;
        good[static_cast<std::size_t>(t)] += readSession(shared).document.sameAs(document) ? 1 : 0;
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(good, std::vector<int>(4, 20));
}

// The checksum as the library defines it: one word at a time, folded every 360 words.
std::uint32_t plainFletcher32(const std::vector<unsigned char>& bytes) {
  std::uint32_t sum1 = 0, sum2 = 0;
  std::size_t words = bytes.size() / 2, at = 0;
  while (words > 0) {
    std::size_t block = std::min<std::size_t>(words, 360);
    words -= block;
    for (; block > 0; --block, at += 2) {
      sum1 += static_cast<std::uint32_t>(bytes[at] << 8 | bytes[at + 1]);
      sum2 += sum1;
    }
    sum1 = (sum1 & 0xFFFF) + (sum1 >> 16);
    sum2 = (sum2 & 0xFFFF) + (sum2 >> 16);
  }
  if (bytes.size() % 2 != 0) {
    sum1 += static_cast<std::uint32_t>(bytes[at]) << 8;
    sum2 += sum1;
    sum1 = (sum1 & 0xFFFF) + (sum1 >> 16);
    sum2 = (sum2 & 0xFFFF) + (sum2 >> 16);
  }
  sum1 = (sum1 & 0xFFFF) + (sum1 >> 16);
  sum2 = (sum2 & 0xFFFF) + (sum2 >> 16);
  return sum2 << 16 | sum1;
}

TEST(SessionFile, ChecksumIsTheLibrarysOnEveryLengthAndContent) {
  std::mt19937 random(11);
  for (std::size_t length : {1u, 2u, 3u, 719u, 720u, 721u, 722u, 1440u, 5000u, 65537u}) {
    for (int fill = 0; fill < 3; ++fill) {
      std::vector<unsigned char> bytes(length);
      for (unsigned char& b : bytes) {
        // All ones stresses the sums' wrapping; random bytes and zeros the rest.
        b = fill == 0 ? 0xFF : fill == 1 ? static_cast<unsigned char>(random()) : 0;
      }
      EXPECT_EQ(hdf5::fletcher32(bytes), plainFletcher32(bytes)) << length << " " << fill;
    }
  }
}

// Arrays written through the library's own filter read back through the direct path, and
// the other way round: both sides agree on every chunk's checksum.
TEST(SessionFile, PointArraysAgreeWithTheLibrarysFilter) {
  TempDir dir;
  const std::string path = dir.path("points.h5");
  std::vector<double> values((std::size_t{1} << 20) * 2 + 5);
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i] = std::cos(static_cast<double>(i)) * 1e3;
  }
  const auto lock = hdf5::libraryLock();
  const hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
  ASSERT_GE(file, 0);
  const hsize_t n = values.size();
  const hsize_t chunk = 300'000;  // a layout the program does not choose itself
  const hid_t space = H5Screate_simple(1, &n, nullptr);
  const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
  H5Pset_chunk(create, 1, &chunk);
  H5Pset_fletcher32(create);
  const hid_t set =
      H5Dcreate2(file, "library", H5T_IEEE_F64LE, space, H5P_DEFAULT, create, H5P_DEFAULT);
  ASSERT_GE(H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()), 0);
  H5Dclose(set);
  hdf5::writePoints(file, "direct", values, hdf5::PointDatasetOptions{});
  EXPECT_TRUE(sameBits(hdf5::readPoints(file, "library", 1ULL << 40), values));
  std::vector<double> back(values.size());
  const hid_t direct = H5Dopen2(file, "direct", H5P_DEFAULT);
  EXPECT_GE(H5Dread(direct, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, back.data()), 0);
  EXPECT_TRUE(sameBits(back, values));
  H5Dclose(direct);
  H5Pclose(create);
  H5Sclose(space);
  H5Fclose(file);
}

}  // namespace
}  // namespace tarvik
