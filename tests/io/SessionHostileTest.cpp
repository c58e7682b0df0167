// Session files made to hurt: layouts the program never writes (the oldest HDF5 format, raw
// data in other files, links out of the file, virtual datasets, foreign filters), sizes
// that would exhaust memory, and a reading process that crashes, hangs or runs out of
// memory. Each is refused with a message before any of its data is read, and the process
// that asked goes on.
#include <gtest/gtest.h>
#include <hdf5.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "core/OutputLimits.h"
#include "io/SessionFile.h"
#include "io/SessionHdf5.h"
#include "io/SessionRead.h"
#include "io/SessionWire.h"
#include "io/TempDir.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

Graph makeGraph(std::size_t n, double scale, const std::string& title) {
  std::vector<double> xs(n), ys(n);
  for (std::size_t i = 0; i < n; ++i) {
    xs[i] = static_cast<double>(i);
    ys[i] = scale * static_cast<double>(i % 7);
  }
  Graph graph;
  graph.setPoints(std::move(xs), std::move(ys));
  graph.title = title;
  return graph;
}

DocumentState smallDocument(std::size_t graphs = 2) {
  DocumentState d;
  for (std::size_t i = 0; i < graphs; ++i) {
    d.graphs.push_back(makeGraph(16, 1.0 + static_cast<double>(i), "g" + std::to_string(i)));
    d.sourceFiles.push_back("f" + std::to_string(i));
  }
  d.active = static_cast<int>(graphs) - 1;
  return d;
}

std::string readError(const std::string& path, const SessionReadOptions& options = {}) {
  try {
    readSession(path, options);
  } catch (const Error& e) {
    return e.what();
  }
  return {};
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Writes `document` as a session with the file access `access` (the library's defaults
// write the oldest format), then lets `craft` change the open file.
void writeCrafted(const std::string& path, const DocumentState& document, hid_t access,
                  const std::function<void(hid_t)>& craft) {
  const auto lock = hdf5::libraryLock();
  const hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access);
  ASSERT_GE(file, 0);
  session::writeObjects(file, document, SessionView{}, SessionWriteOptions{});
  if (craft) {
    craft(file);
  }
  H5Fclose(file);
}

hid_t newFormat() {
  const hid_t access = H5Pcreate(H5P_FILE_ACCESS);
  H5Pset_libver_bounds(access, H5F_LIBVER_V110, H5F_LIBVER_V110);
  return access;
}

void writeCrafted(const std::string& path, const DocumentState& document,
                  const std::function<void(hid_t)>& craft) {
  const hid_t access = newFormat();
  writeCrafted(path, document, access, craft);
  H5Pclose(access);
}

// Replaces dataset `name` of graph group `group` by one made with creation list `create`
// over `count` doubles, writing `values` when given.
void replaceDataset(hid_t file, const char* group, const char* name, hid_t create, hsize_t count,
                    const double* values = nullptr) {
  const hid_t g = H5Gopen2(file, group, H5P_DEFAULT);
  H5Ldelete(g, name, H5P_DEFAULT);
  const hid_t space = H5Screate_simple(1, &count, nullptr);
  const hid_t set = H5Dcreate2(g, name, H5T_IEEE_F64LE, space, H5P_DEFAULT, create, H5P_DEFAULT);
  ASSERT_GE(set, 0);
  if (values != nullptr) {
    H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values);
  }
  H5Dclose(set);
  H5Sclose(space);
  H5Gclose(g);
}

TEST(SessionHostile, LayoutsTheProgramDoesNotWriteAreRefusedBeforeAnyDataIsRead) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  const std::string other = dir.path("other.h5");
  // Another file of the user, and another session whose objects links could borrow.
  const std::string secret = dir.write("secret.txt", std::string(128, 'S'));
  writeSession(other, smallDocument(), SessionView{});
  ::mkfifo(dir.path("fifo").c_str(), 0600);

  const auto external = [&](const std::string& file) {
    return [file](hid_t f) {
      const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
      H5Pset_external(create, file.c_str(), 0, 16 * sizeof(double));
      replaceDataset(f, "graphs/000", "y", create, 16);
      H5Pclose(create);
    };
  };
  struct Case {
    const char* what;
    std::function<void(hid_t)> craft;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"raw data in another file", external(secret), "graphs/000/y: данные во внешнем файле"},
      {"raw data in a pipe", external(dir.path("fifo")), "graphs/000/y: данные во внешнем файле"},
      {"graph group linked to another file",
       [&](hid_t f) {
         H5Ldelete(f, "graphs/001", H5P_DEFAULT);
         H5Lcreate_external(other.c_str(), "/graphs/001", f, "graphs/001", H5P_DEFAULT,
                            H5P_DEFAULT);
       },
       "graphs/001: ссылка на другой файл"},
      {"graphs group linked to another file",
       [&](hid_t f) {
         H5Ldelete(f, "graphs", H5P_DEFAULT);
         H5Lcreate_external(other.c_str(), "/graphs", f, "graphs", H5P_DEFAULT, H5P_DEFAULT);
       },
       "graphs: ссылка на другой файл"},
      {"array as a soft link",
       [](hid_t f) {
         H5Ldelete(f, "graphs/001/x", H5P_DEFAULT);
         H5Lcreate_soft("/graphs/000/x", f, "graphs/001/x", H5P_DEFAULT, H5P_DEFAULT);
       },
       "graphs/001/x: символьная ссылка"},
      {"virtual dataset",
       [&](hid_t f) {
         const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
         const hsize_t n = 16;
         const hid_t space = H5Screate_simple(1, &n, nullptr);
         H5Pset_virtual(create, space, other.c_str(), "/graphs/000/y", space);
         replaceDataset(f, "graphs/000", "y", create, n);
         H5Sclose(space);
         H5Pclose(create);
       },
       "graphs/000/y: виртуальный набор данных"},
      {"a filter the program never uses",
       [](hid_t f) {
         const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
         const hsize_t chunk = 16;
         H5Pset_chunk(create, 1, &chunk);
         H5Pset_scaleoffset(create, H5Z_SO_FLOAT_DSCALE, 3);
         std::vector<double> values(16, 1.5);
         replaceDataset(f, "graphs/000", "x", create, 16, values.data());
         H5Pclose(create);
       },
       "graphs/000/x: фильтр 6 не поддерживается"},
  };
  for (const Case& c : cases) {
    writeCrafted(path, smallDocument(), c.craft);
    const std::string message = readError(path);
    EXPECT_EQ(message, "Невозможно открыть сеанс " + path + ": " + c.expected) << c.what;
  }

  // The oldest format, whose metadata has no checksums: refused from its first bytes.
  const hid_t oldest = H5Pcreate(H5P_FILE_ACCESS);
  writeCrafted(path, smallDocument(), oldest, nullptr);
  H5Pclose(oldest);
  EXPECT_TRUE(contains(readError(path), "суперблоком версии 0")) << readError(path);
}

TEST(SessionHostile, SizesAreBoundedAsASumBeforeAnythingIsAllocated) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  const std::string tooMuch = "Невозможно открыть сеанс " + path + ": ";

  // One array of 2^17 points standing for 200 graphs through hard links: each link counts.
  writeCrafted(path, smallDocument(200), [](hid_t f) {
    const Graph big = makeGraph(std::size_t{1} << 17, 1.0, "big");
    const hid_t data = H5Gcreate2(f, "data", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    hdf5::writePoints(data, "x", big.xs(), hdf5::PointDatasetOptions{});
    H5Gclose(data);
    for (int i = 0; i < 200; ++i) {
      char group[32];
      std::snprintf(group, sizeof group, "graphs/%03d", i);
      for (const char* name : {"x", "y"}) {
        const std::string link = std::string(group) + "/" + name;
        H5Ldelete(f, link.c_str(), H5P_DEFAULT);
        H5Lcreate_hard(f, "data/x", f, link.c_str(), H5P_DEFAULT, H5P_DEFAULT);
      }
    }
  });
  EXPECT_TRUE(contains(readError(path), "точек больше, чем может храниться в файле такого размера"))
      << readError(path);

  // A compressed array of 10^8 points that are never written (the fill value stands in):
  // the file is small, the graph beyond the cap of one graph.
  writeCrafted(path, smallDocument(1), [](hid_t f) {
    const hid_t create = H5Pcreate(H5P_DATASET_CREATE);
    const hsize_t chunk = hsize_t{1} << 20;
    H5Pset_chunk(create, 1, &chunk);
    H5Pset_deflate(create, 9);
    H5Pset_fletcher32(create);
    replaceDataset(f, "graphs/000", "x", create, 100'000'000);
    replaceDataset(f, "graphs/000", "y", create, 100'000'000);
    H5Pclose(create);
    // Padding, so the file could hold that many compressed points.
    std::vector<double> padding(300'000);
    for (std::size_t i = 0; i < padding.size(); ++i) {
      padding[i] = static_cast<double>(i * 2654435761u % 1000003u) * 1e-3;
    }
    hdf5::writePoints(f, "padding", padding, hdf5::PointDatasetOptions{});
  });
  EXPECT_EQ(readError(path), tooMuch +
                                 "graphs/000: 100000000 точек, а в одном графике может быть "
                                 "не больше 10000000");

  // The sum over graphs, each within the cap; and half the machine's memory.
  const std::vector<std::uint64_t> fifty(50, 50'000'000);
  EXPECT_TRUE(contains(session::sizeRefusal(fifty), "50000000 точек"));
  const std::vector<std::uint64_t> many(60, 9'000'000);
  EXPECT_EQ(session::sizeRefusal(many),
            "во всех графиках вместе 540000000 точек, а может быть не больше 500000000");
  const std::vector<std::uint64_t> fits(10, kMaxGraphPoints);
  EXPECT_EQ(session::sizeRefusal(fits), "");
}

// The outline counts both arrays of a graph as compressed when one of them is; the array
// stored as it is must then still fit the file on its own, or its fill values would be read
// as millions of points the file never held.
TEST(SessionHostile, AnArrayStoredAsItIsIsBoundedByTheFileSizeOnItsOwn) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  constexpr hsize_t kCount = 2'000'000;  // 32 MB read, 16·kCount/1100 ≈ 29 kB for the outline
  writeCrafted(path, smallDocument(1), [](hid_t f) {
    const hid_t compressed = H5Pcreate(H5P_DATASET_CREATE);
    const hsize_t chunk = hsize_t{1} << 16;
    H5Pset_chunk(compressed, 1, &chunk);
    H5Pset_deflate(compressed, 1);
    replaceDataset(f, "graphs/000", "x", compressed, kCount);
    H5Pclose(compressed);
    const hid_t plain = H5Pcreate(H5P_DATASET_CREATE);
    replaceDataset(f, "graphs/000", "y", plain, kCount);  // never written: no storage
    H5Pclose(plain);
    std::vector<double> padding(6000);
    for (std::size_t i = 0; i < padding.size(); ++i) {
      padding[i] = static_cast<double>(i * 2654435761u % 1000003u) * 1e-3;
    }
    hdf5::writePoints(f, "padding", padding, hdf5::PointDatasetOptions{});
  });
  const auto bytes = fs::file_size(path);
  ASSERT_GT(bytes, 16 * kCount / hdf5::kDeflateGainBound);  // the outline lets it pass
  ASSERT_LT(bytes, 8 * kCount);
  const std::string message = readError(path);
  EXPECT_TRUE(contains(message, damagedSessionText(path))) << message;
  EXPECT_TRUE(contains(message, "y")) << message;
}

TEST(SessionHostile, AGraphBeyondTheCapIsNotWrittenSoEverySessionOpensAgain) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  writeSession(path, smallDocument(), SessionView{});
  DocumentState large;
  large.graphs.push_back(makeGraph(kMaxGraphPoints + 1, 1.0, "large"));
  large.sourceFiles = {"large"};
  EXPECT_THROW(writeSession(path, large, SessionView{}), IoError);
  EXPECT_TRUE(readSession(path).document.sameAs(smallDocument()));
}

// A reading process that meets a fault inside the library: the caller gets a message.
TEST(SessionHostile, AReadingProcessThatCrashesOrHangsEndsWithAMessage) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  writeSession(path, smallDocument(), SessionView{});
  const std::string refused = "Невозможно открыть сеанс " + path + ": ";

  SessionReadOptions crash;
  // The address sanitizer, where it runs, turns the fault into an abort; the thread
  // sanitizer turns it into an exit with its own code, so there the reader is killed.
#if defined(__SANITIZE_THREAD__)
  crash.childStart = [] { std::raise(SIGKILL); };
#else
  crash.childStart = [] { std::raise(SIGSEGV); };
#endif
  EXPECT_EQ(readError(path, crash).rfind(refused + "чтение прервано сигналом ", 0), 0u)
      << readError(path, crash);

  SessionReadOptions hang;
  hang.timeLimitSeconds = 1;
  hang.childStart = [] {
    for (;;) {
      ::pause();
    }
  };
  EXPECT_EQ(readError(path, hang), refused + "чтение не закончилось за 1 с");

  SessionReadOptions quiet;  // ends without a word
  quiet.childStart = [] { ::_exit(7); };
  EXPECT_EQ(readError(path, quiet), refused + "процесс чтения завершился с кодом 7");

  // And the next reading is whole.
  EXPECT_TRUE(readSession(path).document.sameAs(smallDocument()));
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(SessionHostile, TheReadingProcessHasAMemoryLimit) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  writeSession(path, smallDocument(), SessionView{});
  SessionReadOptions greedy;
  // 3 GB of address space, which an unlimited process gets at once (untouched pages cost
  // nothing): refused by the limit, as the library's own allocations would be.
  greedy.childStart = [] { ::_exit(std::malloc(std::size_t{3} << 30) == nullptr ? 42 : 0); };
  EXPECT_TRUE(contains(readError(path, greedy), "с кодом 42")) << readError(path, greedy);
}
#endif

TEST(SessionHostile, TheOutlineFromTheReadingProcessIsBoundedLikeAFile) {
  DocumentState d = smallDocument(3);
  d.texts.footLines = {"а", "", "подпись"};
  Session session;
  session.document = d;
  session.view.fonts = {SessionFont{"Шрифт", 9}};
  const std::vector<std::uint64_t> lengths = {16, 16, 16};
  const std::vector<unsigned char> packed = session::packOutline(session, lengths);
  std::vector<std::uint64_t> back;
  const Session unpacked = session::unpackOutline(packed, back);
  EXPECT_EQ(back, lengths);
  EXPECT_EQ(unpacked.document.graphs.at(2).title, "g2");
  EXPECT_EQ(unpacked.document.sourceFiles, d.sourceFiles);
  EXPECT_TRUE(unpacked.document.texts == d.texts);
  EXPECT_EQ(unpacked.view.fonts.at(0).family, "Шрифт");
  // Every shorter payload, and every single byte changed, is refused or read: never more.
  for (std::size_t cut = 0; cut < packed.size(); ++cut) {
    std::vector<std::uint64_t> l;
    EXPECT_THROW(session::unpackOutline(std::span(packed).first(cut), l), std::out_of_range) << cut;
  }
  for (std::size_t at = 0; at < packed.size(); ++at) {
    std::vector<unsigned char> changed = packed;
    changed[at] = static_cast<unsigned char>(changed[at] ^ 0xFF);
    std::vector<std::uint64_t> l;
    try {
      session::unpackOutline(changed, l);
    } catch (const std::out_of_range&) {
    }
  }
}

}  // namespace
}  // namespace tarvik

namespace tarvik {
namespace {

// A save killed half way leaves its named new file; the next save into the folder removes
// it, and only it: a live process's file and the user's own files stay.
TEST(SessionHostile, WhatAKilledSaveLeftIsRemovedByTheNextSave) {
  TempDir dir;
  const std::string path = dir.path("s.h5");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);  // its process id is now free
  const std::string dead = dir.write(".tarvik-" + std::to_string(child) + "-3.part", "half");
  const std::string live = dir.write(".tarvik-" + std::to_string(::getpid()) + "-9.part", "x");
  const std::string own = dir.write(".tarvik-notes.part", "mine");
  writeSession(path, smallDocument(), SessionView{});
  EXPECT_FALSE(std::filesystem::exists(dead));
  EXPECT_TRUE(std::filesystem::exists(live));
  EXPECT_TRUE(std::filesystem::exists(own));
  EXPECT_TRUE(readSession(path).document.sameAs(smallDocument()));
}

}  // namespace
}  // namespace tarvik
