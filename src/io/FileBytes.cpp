#include "io/FileBytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "io/MappingGuard.h"

namespace tarvik {
namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 20;

// Reads up to `limit` bytes (to the end of the file when `limit` is 0) into `out`, in
// blocks. False on a read error.
bool readBlocks(int fd, std::size_t limit, std::string& out) {
  std::size_t total = 0;
  for (;;) {
    const std::size_t want = limit == 0 ? kReadBlock : std::min(kReadBlock, limit - total);
    if (want == 0) {
      break;
    }
    out.resize(total + want);
    const ssize_t n = ::read(fd, out.data() + total, want);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      break;
    }
    total += static_cast<std::size_t>(n);
  }
  out.resize(total);
  return true;
}

}  // namespace

std::optional<FileBytes> FileBytes::open(const std::string& path) {
  FileBytes file;
  // Non-blocking, so that opening a named pipe cannot wait for a writer.
  file.m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file.m_fd < 0) {
    return std::nullopt;
  }
  // Only regular files hold graphs: a folder, a pipe or a device (an endless one would
  // never finish reading) cannot be opened as one.
  struct stat info {};
  if (::fstat(file.m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  if (size > 0) {
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.m_fd, 0);
    if (map != MAP_FAILED) {
      file.m_guard = detail::guardMapping(map, size);
      if (file.m_guard >= 0) {
        ::madvise(map, size, MADV_SEQUENTIAL);
        file.m_map = map;
        file.m_size = size;
        return file;
      }
      ::munmap(map, size);  // an unguarded mapping could end the process
    }
  }
  if (!readBlocks(file.m_fd, size, file.m_buffer)) {
    return std::nullopt;
  }
  file.m_shortRead = file.m_buffer.size() < size;
  return file;
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : m_map(std::exchange(other.m_map, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_released(std::exchange(other.m_released, 0)),
      m_guard(std::exchange(other.m_guard, -1)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_shortRead(std::exchange(other.m_shortRead, false)),
      m_buffer(std::move(other.m_buffer)) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
  if (this != &other) {
    unmap();
    if (m_fd >= 0) {
      ::close(m_fd);
    }
    m_map = std::exchange(other.m_map, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_released = std::exchange(other.m_released, 0);
    m_guard = std::exchange(other.m_guard, -1);
    m_fd = std::exchange(other.m_fd, -1);
    m_shortRead = std::exchange(other.m_shortRead, false);
    m_buffer = std::move(other.m_buffer);
  }
  return *this;
}

FileBytes::~FileBytes() {
  unmap();
  if (m_fd >= 0) {
    ::close(m_fd);
  }
}

void FileBytes::unmap() {
  if (m_map != nullptr) {
    detail::unguardMapping(m_guard);
    m_guard = -1;
    ::munmap(m_map, m_size);
    m_map = nullptr;
  }
}

std::string_view FileBytes::bytes() const {
  if (m_map != nullptr) {
    return {static_cast<const char*>(m_map), m_size};
  }
  return m_buffer;
}

void FileBytes::releaseBefore(std::size_t end) {
  if (m_map == nullptr) {
    return;
  }
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t until = (end < m_size ? end : m_size) / page * page;
  // Dropping pages interrupts every core the reading threads run on (their address
  // translations are flushed), whatever the size: pages go in batches of 4 MiB, or all of
  // them once the reader is at the end.
  constexpr std::size_t kBatchBytes = std::size_t{4} << 20;
  if (until <= m_released || (until - m_released < kBatchBytes && end < m_size)) {
    return;
  }
  ::madvise(static_cast<char*>(m_map) + m_released, until - m_released, MADV_DONTNEED);
  m_released = until;
}

bool FileBytes::shrankWhileRead() const {
  if (m_map == nullptr) {
    return m_shortRead;
  }
  struct stat info {};
  return detail::mappingFaulted(m_guard) ||
         (::fstat(m_fd, &info) == 0 && static_cast<std::size_t>(info.st_size) < m_size);
}

}  // namespace tarvik
