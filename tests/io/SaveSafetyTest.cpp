// Saving a graph replaces only what a user expects a save to replace, and never leaves a
// half-written file or a stray temporary one behind.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "core/Error.h"
#include "io/AtomicFile.h"
#include "io/GraphWriter.h"
#include "io/TempDir.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

Graph twoPoints() {
  Graph g;
  g.title = "new";
  g.appendPoint(1, 2);
  g.appendPoint(3, 4);
  return g;
}

const std::string kSaved = "1 2 new\r\n3 4 \r\n";

// The message of the refused save, or "" when the save succeeded.
std::string saveMessage(const std::string& path) {
  try {
    writeGraphFile(twoPoints(), GraphStore{}, path, '.');
    return "";
  } catch (const IoError& e) {
    return e.what();
  }
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode;
}

TEST(SaveSafety, OnlyARegularFileOrANewNameIsReplaced) {
  TempDir dir;
  const std::string fifo = dir.path("pipe.srg");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const std::string folder = dir.path("folder.srg");
  fs::create_directory(folder);
  const std::string linkToFifo = dir.path("link.srg");
  fs::create_symlink("pipe.srg", linkToFifo);
  std::vector<std::string> refused = {fifo, folder, linkToFifo};
  // A device node like the machine's null device (only where this process may make one).
  const std::string device = dir.path("null.srg");
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    refused.push_back(device);
  }
  for (const std::string& path : refused) {
    const mode_t before = modeOf(path);
    EXPECT_EQ(saveMessage(path), "Невозможно записать файл:" + path);
    EXPECT_EQ(modeOf(path), before) << path;
  }
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_EQ(saveMessage(dir.path("fresh.srg")), "");
  EXPECT_EQ(TempDir::read(dir.path("fresh.srg")), kSaved);
}

TEST(SaveSafety, ReadOnlyFileIsRefusedAndKept) {
  TempDir dir;
  const std::string path = dir.write("ro.srg", "1 2 old\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(saveMessage(path), "Невозможно записать файл:" + path);
  EXPECT_EQ(TempDir::read(path), "1 2 old\r\n");
  EXPECT_EQ(modeOf(path) & 07777, 0444u);
  EXPECT_EQ(namesIn(dir.folder()), std::vector<std::string>{"ro.srg"});
}

// The superuser's writes are not stopped by permission bits, so the rule is stated on them.
TEST(SaveSafety, PermissionRule) {
  struct Case {
    mode_t mode;
    bool superuser;
    bool systemAllows;
    bool replaced;
  };
  const std::vector<Case> cases = {
      {0444, true, true, false},   {0644, true, true, true}, {0200, true, true, true},
      {0440, true, true, false},   {0464, true, true, true}, {0446, true, true, true},
      {0666, true, false, false},  // a read-only mount stops the superuser too
      {0444, false, true, true},   // an access list may let a user write
      {0644, false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mayReplaceFile(c.mode, c.superuser, c.systemAllows), c.replaced)
        << std::oct << c.mode << " superuser " << c.superuser;
  }
}

TEST(SaveSafety, PermissionBitsAreKept) {
  TempDir dir;
  const std::string path = dir.write("p.srg", "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  for (TempFileKind kind : {TempFileKind::Unnamed, TempFileKind::Named}) {
    AtomicFile file(path, kind);
    file.write("new");
    file.commit();
    EXPECT_EQ(TempDir::read(path), "new");
    EXPECT_EQ(modeOf(path) & 07777, 0640u);
  }
}

TEST(SaveSafety, SymbolicLinksAreFollowedAndKept) {
  TempDir dir;
  fs::create_directory(dir.path("data"));
  // A link whose target does not exist yet: the target is created, the link stays.
  const std::string dangling = dir.path("dangling.srg");
  fs::create_symlink("data/real.srg", dangling);
  EXPECT_EQ(saveMessage(dangling), "");
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(TempDir::read(dir.path("data/real.srg")), kSaved);
  // A chain of links to an existing file.
  const std::string existing = dir.write("data/old.srg", "old");
  fs::create_symlink(existing, dir.path("first.srg"));
  fs::create_symlink("first.srg", dir.path("second.srg"));
  EXPECT_EQ(saveMessage(dir.path("second.srg")), "");
  EXPECT_TRUE(fs::is_symlink(dir.path("first.srg")));
  EXPECT_TRUE(fs::is_symlink(dir.path("second.srg")));
  EXPECT_EQ(TempDir::read(existing), kSaved);
  // A loop names no file.
  fs::create_symlink("loop-b.srg", dir.path("loop-a.srg"));
  fs::create_symlink("loop-a.srg", dir.path("loop-b.srg"));
  EXPECT_EQ(saveMessage(dir.path("loop-a.srg")),
            "Невозможно записать файл:" + dir.path("loop-a.srg"));
  EXPECT_EQ(namesIn(dir.path("data")), (std::vector<std::string>{"old.srg", "real.srg"}));
}

// While the new content is written nothing named appears beside the target (a killed save
// leaves nothing behind); a name is used only where the file system offers no unnamed file,
// and it is short enough for the longest legal target name.
TEST(SaveSafety, NewContentIsUnnamedOrShortNamedUntilTheCommit) {
  TempDir dir;
  const std::string longName(255 - 4, 'n');
  for (const std::string& name : {std::string("g.srg"), longName + ".srg"}) {
    const std::string path = dir.write(name, "old");
    {
      AtomicFile file(path);
      file.write("new");
      EXPECT_EQ(namesIn(dir.folder()), std::vector<std::string>{name});
      file.commit();
    }
    EXPECT_EQ(TempDir::read(path), "new");
    {
      AtomicFile file(path, TempFileKind::Named);
      file.write("newer");
      const std::vector<std::string> names = namesIn(dir.folder());
      ASSERT_EQ(names.size(), 2u);
      for (const std::string& seen : names) {
        EXPECT_TRUE(seen == name || seen.size() <= 20) << seen;
      }
      file.commit();
    }
    EXPECT_EQ(TempDir::read(path), "newer");
    EXPECT_EQ(namesIn(dir.folder()), std::vector<std::string>{name});
    fs::remove(path);
  }
  // A long new name, through the whole save.
  const std::string fresh = dir.path(longName + ".grf");
  EXPECT_EQ(saveMessage(fresh), "");
  EXPECT_EQ(TempDir::read(fresh), kSaved);
}

TEST(SaveSafety, AbandonedSaveLeavesTheOldFileWhole) {
  TempDir dir;
  const std::string path = dir.write("keep.srg", "1 2 old\r\n");
  for (TempFileKind kind : {TempFileKind::Unnamed, TempFileKind::Named}) {
    {
      AtomicFile file(path, kind);
      file.write("3 4 half");
    }
    EXPECT_EQ(TempDir::read(path), "1 2 old\r\n");
    EXPECT_EQ(namesIn(dir.folder()), std::vector<std::string>{"keep.srg"});
  }
}

// Runs `body` in a child process as an ordinary user (the tests may run as the superuser,
// whom permission bits do not stop) and returns its exit status.
int runAsUser(uid_t uid, gid_t gid, const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
      ::_exit(90);
    }
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// In a folder where no new file can be made, a writable file is rewritten in place (the
// same file, shorter content cut off) and a read-only one is refused.
TEST(SaveSafety, WritableFileInAReadOnlyFolderIsRewrittenInPlace) {
  TempDir dir;
  const bool superuser = ::geteuid() == 0;
  const uid_t uid = superuser ? 65534 : ::geteuid();
  const gid_t gid = superuser ? 65534 : ::getegid();
  const std::string folder = dir.path("locked");
  fs::create_directory(folder);
  const std::string writable = dir.write("locked/w.srg", std::string(1000, 'x'));
  const std::string readOnly = dir.write("locked/r.srg", "old");
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  if (superuser) {
    for (const std::string& path : {folder, writable, readOnly}) {
      ASSERT_EQ(::chown(path.c_str(), uid, gid), 0);
    }
  }
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  struct stat before {};
  ASSERT_EQ(::stat(writable.c_str(), &before), 0);
  auto save = [](const std::string& path) {
    return [path] { return saveMessage(path).empty() ? 0 : 1; };
  };
  EXPECT_EQ(runAsUser(uid, gid, save(writable)), 0);
  EXPECT_EQ(runAsUser(uid, gid, save(readOnly)), 1);
  struct stat after {};
  ASSERT_EQ(::stat(writable.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(TempDir::read(writable), kSaved);
  EXPECT_EQ(TempDir::read(readOnly), "old");
  EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"r.srg", "w.srg"}));
  ::chmod(folder.c_str(), 0755);
}

// A writer that a library runs (the session's): its failure ends the save with the file's
// message, and the cause's own text stays under it.
TEST(SaveSafety, AFailedLibraryWriteKeepsItsCause) {
  struct Case {
    const char* what;
    std::function<void()> fail;
    bool namesTheFile;    // "cannot write PATH" first
    std::string message;  // after that
  };
  const Case cases[] = {
      {"the program's own error passes as it is", [] { throw IoError("Диск полон"); }, false,
       "Диск полон"},
      {"a library's fault keeps its text", [] { throw std::runtime_error("graphs/000/x"); },
       true, "\ngraphs/000/x"},
      {"a failure without a text", [] { throw 42; }, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.write("s.h5", "old");
    std::string message;
    try {
      replaceFileWith(path, [&c](const std::string& temp) {
        std::ofstream(temp) << "half";
        c.fail();
      });
    } catch (const IoError& e) {
      message = e.what();
    }
    EXPECT_EQ(message, (c.namesTheFile ? "Невозможно записать файл:" + path : "") + c.message);
    EXPECT_EQ(TempDir::read(path), "old");
    EXPECT_EQ(namesIn(dir.folder()), std::vector<std::string>{"s.h5"});
  }
}

}  // namespace
}  // namespace tarvik
