// A process killed while it writes a session (the window's background copy for crash
// recovery) must leave the last complete copy readable: the new file takes the old one's
// place only when it is whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "core/DocumentState.h"
#include "io/SessionFile.h"
#include "io/TempDir.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kLongGraphPoints = 2'000'000;
constexpr std::size_t kShortGraphPoints = 100'000;
constexpr int kVariants = 3;
constexpr int kRounds = 6;

Graph rampGraph(std::size_t n, double slope, const std::string& title) {
  std::vector<double> xs(n);
  std::vector<double> ys(n);
  for (std::size_t i = 0; i < n; ++i) {
    xs[i] = static_cast<double>(i) * 0.5;
    ys[i] = slope * static_cast<double>(i % 1000) - 0.25;
  }
  Graph graph;
  graph.setPoints(std::move(xs), std::move(ys));
  graph.title = title;
  return graph;
}

// Documents that differ in their points and texts, so a file that reads back as one of
// them cannot be a mixture of two writes.
std::vector<DocumentState> variants() {
  std::vector<DocumentState> documents;
  for (int k = 0; k < kVariants; ++k) {
    DocumentState document;
    const double slope = 1.0 + k;
    document.graphs.push_back(rampGraph(kLongGraphPoints, slope, "Канал " + std::to_string(k)));
    document.graphs.push_back(rampGraph(kShortGraphPoints, -slope, "Ток"));
    document.sourceFiles = {"a.csv", "Без имени-" + std::to_string(k)};
    document.active = k % 2;
    document.unnamedCounter = 2 + k;
    document.texts.yAxisTitle = "U, В " + std::to_string(k);
    documents.push_back(std::move(document));
  }
  return documents;
}

// The child: writes the variants in turn, for ever, until it is killed.
[[noreturn]] void writeForever(const std::string& path, const std::vector<DocumentState>& docs) {
  for (std::size_t i = 0;; ++i) {
    try {
      writeSession(path, docs[i % docs.size()], SessionView{});
    } catch (...) {
      ::_exit(3);
    }
  }
}

std::vector<fs::path> othersThan(const fs::path& folder, const fs::path& keep) {
  std::vector<fs::path> others;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path() != keep) {
      others.push_back(entry.path());
    }
  }
  return others;
}

bool waitForFile(const std::string& path, pid_t child) {
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
  while (!fs::exists(path) && Clock::now() < deadline) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) {
      return false;  // the child failed before its first copy
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return fs::exists(path);
}

TEST(SessionKill, KillDuringWriteLeavesTheLastWholeCopy) {
  testing::TempDir dir;
  const std::vector<DocumentState> docs = variants();
  const std::string path = dir.path("session.h5");

  // One write measured here sets the span of the random kill moments: from the start of
  // a write to a few writes later, so kills land inside writes, between them and inside
  // the final rename.
  const Clock::time_point start = Clock::now();
  writeSession(dir.path("timing.h5"), docs[0], SessionView{});
  const auto writeMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  fs::remove(dir.path("timing.h5"));

  std::mt19937 random(20240611);
  std::uniform_int_distribution<long> moment(0, 3 * writeMs.count() + 1);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      writeForever(path, docs);
    }
    ASSERT_TRUE(waitForFile(path, child));
    std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself, status " << status;

    const Session read = readSession(path);
    int matches = 0;
    for (const DocumentState& doc : docs) {
      matches += read.document.sameAs(doc) ? 1 : 0;
    }
    EXPECT_EQ(matches, 1) << "the copy left by the kill is none of the documents written";

    // At most the temporary of the write that was killed stays beside the copy. The
    // window keeps each copy in a folder of its own and removes that folder whole when
    // the next start finds its owner gone; here the stray is removed the same way so that
    // each round counts only its own.
    const std::vector<fs::path> strays = othersThan(dir.folder(), path);
    EXPECT_LE(strays.size(), 1u);
    for (const fs::path& stray : strays) {
      fs::remove(stray);
    }
  }
}

}  // namespace
}  // namespace tarvik
