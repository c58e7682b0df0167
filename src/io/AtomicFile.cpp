#include "io/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "core/Error.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

std::atomic<unsigned> g_tempCounter{0};

// A symbolic link is followed, so the file it points to is replaced, not the link.
std::string resolvedTarget(const std::string& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) {
    return path;
  }
  const fs::path target = fs::weakly_canonical(path, ec);
  return ec ? path : target.string();
}

}  // namespace

std::string cannotWriteText(const std::string& path) { return "Невозможно записать файл:" + path; }

AtomicFile::AtomicFile(std::string path) : m_path(std::move(path)) {
  const std::string target = resolvedTarget(m_path);
  const fs::path targetPath(target);
  const fs::path folder = targetPath.has_parent_path() ? targetPath.parent_path() : fs::path(".");
  for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
    std::string name = ".";
    name += targetPath.filename().string();
    name += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter++);
    m_tempPath = (folder / name).string();
    m_fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0 && errno != EEXIST) {
      break;
    }
  }
  if (m_fd < 0) {
    m_tempPath.clear();
    throw IoError(cannotWriteText(m_path));
  }
}

AtomicFile::~AtomicFile() {
  if (m_fd >= 0) {
    ::close(m_fd);
  }
  if (!m_tempPath.empty()) {
    ::unlink(m_tempPath.c_str());
  }
}

void AtomicFile::fail() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
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
  }
}

void AtomicFile::commit() {
  if (m_fd < 0) {
    fail();
  }
  const std::string target = resolvedTarget(m_path);
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) {
    ::fchmod(m_fd, old.st_mode & 07777);
  }
  if (::fsync(m_fd) != 0 || ::close(m_fd) != 0) {
    m_fd = -1;
    fail();
  }
  m_fd = -1;
  if (::rename(m_tempPath.c_str(), target.c_str()) != 0) {
    fail();
  }
  m_tempPath.clear();
}

}  // namespace tarvik
