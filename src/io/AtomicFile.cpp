#include "io/AtomicFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <utility>
#include <vector>

#include "core/Error.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

// The kernel's own limit of links followed in one path.
constexpr int kMaxLinks = 40;

std::atomic<unsigned> g_tempCounter{0};

std::string readLink(const std::string& path) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) {
      return {};
    }
    if (static_cast<std::size_t>(n) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(n));
    }
    buffer.resize(buffer.size() * 2);
  }
}

// The file a save through `path` writes: symbolic links are followed one by one, so a link
// whose target does not exist yet names that target. Throws on a loop or an unreadable link.
std::string followLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return current;
    }
    const fs::path link = readLink(current);
    if (link.empty()) {
      break;
    }
    current =
        link.is_absolute() ? link.string() : (fs::path(current).parent_path() / link).string();
  }
  throw IoError(cannotWriteText(path));
}

std::string folderOf(const std::string& target) {
  const fs::path folder = fs::path(target).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

// A name of at most 20 bytes that no file in the folder is likely to have: the counter and
// the clock keep names of one process and of several processes apart.
std::string shortUniqueName() {
  const auto clock =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  unsigned long long mixed =
      clock ^ (static_cast<unsigned long long>(::getpid()) << 32) ^
      (static_cast<unsigned long long>(g_tempCounter++) * 0x9E3779B97F4A7C15ULL);
  std::string name = ".tarvik-";
  for (int i = 0; i < 10; ++i) {
    name += "0123456789abcdefghijklmnopqrstuv"[mixed & 31];
    mixed >>= 5;
  }
  return name;
}

// ".tarvik-<pid>-<counter>.part": the name of an Owned new file.
constexpr const char* kOwnedPrefix = ".tarvik-";
constexpr const char* kOwnedSuffix = ".part";

std::string ownedName() {
  return kOwnedPrefix + std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter++) +
         kOwnedSuffix;
}

// Removes from `folder` the Owned files of this user whose process is gone: what a save
// killed half way left behind. A process id in use again keeps its file (it may be a save
// of that process); nothing else of the folder is touched.
void removeStaleOwned(const std::string& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::size_t prefix = std::char_traits<char>::length(kOwnedPrefix);
    const std::size_t suffix = std::char_traits<char>::length(kOwnedSuffix);
    if (name.size() <= prefix + suffix || name.rfind(kOwnedPrefix, 0) != 0 ||
        name.compare(name.size() - suffix, suffix, kOwnedSuffix) != 0) {
      continue;
    }
    const std::string middle = name.substr(prefix, name.size() - prefix - suffix);
    const std::size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos ||
        middle.find_first_not_of("0123456789-") != std::string::npos) {
      continue;
    }
    const long pid = std::strtol(middle.substr(0, dash).c_str(), nullptr, 10);
    struct stat info {};
    if (pid <= 0 || ::lstat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != ::geteuid()) {
      continue;
    }
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      ::unlink(it->path().c_str());
    }
  }
}

// The target rule of a save: only a regular file is replaced (a folder, a pipe or a device
// node keeps what it is), and only one the user may write. `info` describes `target`: taken
// by its name before the save, or from the open file of a rewrite in place (which may have
// been swapped since).
bool replaceableTarget(const std::string& target, const struct stat& info) {
  if (!S_ISREG(info.st_mode)) {
    return false;
  }
  const bool superuser = ::geteuid() == 0;
  const bool systemAllows = ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
  return mayReplaceFile(info.st_mode, superuser, systemAllows);
}

void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

std::string cannotWriteText(const std::string& path) { return "Невозможно записать файл:" + path; }

bool mayReplaceFile(mode_t mode, bool superuser, bool systemAllows) {
  if (!systemAllows) {
    return false;
  }
  return !superuser || (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

AtomicFile::AtomicFile(std::string path, TempFileKind kind) : m_path(std::move(path)) {
  m_target = followLinks(m_path);
  m_folder = folderOf(m_target);
  struct stat info {};
  if (::stat(m_target.c_str(), &info) == 0) {
    if (!replaceableTarget(m_target, info)) {
      throw IoError(cannotWriteText(m_path));
    }
    m_targetExists = true;
    m_targetMode = info.st_mode & 07777;
  } else if (errno != ENOENT) {
    throw IoError(cannotWriteText(m_path));
  }
  createNew(kind);
}

void AtomicFile::createNew(TempFileKind kind) {
  if (kind == TempFileKind::Unnamed && createUnnamed()) {
    m_method = Method::Unnamed;
    return;
  }
  if (kind == TempFileKind::Owned) {
    removeStaleOwned(m_folder);
  }
  if (createNamed(kind == TempFileKind::Owned)) {
    m_method = Method::Named;
    return;
  }
  const int reason = errno;
  // No new file can be made in the folder (a read-only folder of a writable file): the file
  // itself is rewritten. It is opened without truncation, so a refusal changes nothing.
  if (m_targetExists && (reason == EACCES || reason == EPERM)) {
    m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat info {};
    if (m_fd >= 0 && ::fstat(m_fd, &info) == 0 && replaceableTarget(m_target, info)) {
      m_method = Method::InPlace;
      return;
    }
    close();
  }
  throw IoError(cannotWriteText(m_path));
}

// An unnamed file in the target's folder; linking it in later needs /proc.
bool AtomicFile::createUnnamed() {
  if (::access("/proc/self/fd", X_OK) != 0) {
    return false;
  }
  m_fd = ::open(m_folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  return m_fd >= 0;
}

bool AtomicFile::createNamed(bool owned) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        (fs::path(m_folder) / (owned ? ownedName() : shortUniqueName())).string();
    m_fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd >= 0) {
      m_tempPath = name;
      return true;
    }
    if (errno != EEXIST) {
      return false;
    }
  }
  return false;
}

AtomicFile::~AtomicFile() {
  close();
  if (!m_tempPath.empty()) {
    ::unlink(m_tempPath.c_str());
  }
}

void AtomicFile::close() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}

void AtomicFile::fail() {
  close();
  if (!m_tempPath.empty()) {
    ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
  }
  throw IoError(cannotWriteText(m_path));
}

void AtomicFile::write(std::string_view bytes) {
  if (m_fd < 0) {
    fail();
  }
  while (!bytes.empty()) {
    const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      fail();
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    m_written += static_cast<off_t>(n);
  }
#if defined(__linux__)
  // A long file is handed to the disk while it is being written: each 8 MiB written starts
  // its write-back at once (without waiting for it), so the flush at the commit waits only
  // for the last stretch instead of the whole file. Advice only; a refusal changes nothing.
  constexpr off_t kWriteBehind = off_t{8} << 20;
  if (m_written - m_writeBackStart >= kWriteBehind) {
    ::sync_file_range(m_fd, m_writeBackStart, m_written - m_writeBackStart,
                      SYNC_FILE_RANGE_WRITE);
    m_writeBackStart = m_written;
  }
#endif
}

// Gives the unnamed file the target's name. A name cannot be linked over an existing file,
// so an existing target is replaced through a short name and a rename.
void AtomicFile::linkUnnamed() {
  const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
  if (!m_targetExists &&
      ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, m_target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    return;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = (fs::path(m_folder) / shortUniqueName()).string();
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      m_tempPath = name;
      return;
    }
    if (errno != EEXIST) {
      break;
    }
  }
  fail();
}

std::string AtomicFile::contentPath() const {
  if (m_method != Method::Named) {
    throw IoError(cannotWriteText(m_path));
  }
  return m_tempPath;
}

void AtomicFile::commit(bool flush) {
  if (m_fd < 0) {
    fail();
  }
  if (m_method == Method::InPlace && ::ftruncate(m_fd, m_written) != 0) {
    fail();
  }
  if (m_targetExists && m_method != Method::InPlace) {
    ::fchmod(m_fd, m_targetMode);
  }
  if (flush && ::fsync(m_fd) != 0) {
    fail();
  }
  if (m_method == Method::Unnamed) {
    linkUnnamed();
  }
  const int fd = std::exchange(m_fd, -1);
  if (::close(fd) != 0) {
    fail();
  }
  if (!m_tempPath.empty()) {
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
      fail();
    }
    m_tempPath.clear();
  }
  if (flush) {
    syncFolder(m_folder);
  }
}

void replaceFileWith(const std::string& path,
                     const std::function<void(const std::string&)>& writeNew, bool flush) {
  AtomicFile file(path, TempFileKind::Owned);
  const std::string content = file.contentPath();
  try {
    writeNew(content);
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    // The writer's own account of the failure (the object a library could not write) stays
    // under the message, so the cause is not lost.
    throw IoError(cannotWriteText(path) + "\n" + e.what());
  } catch (...) {
    throw IoError(cannotWriteText(path));
  }
  file.commit(flush);
}

}  // namespace tarvik
