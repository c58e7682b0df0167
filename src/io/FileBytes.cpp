#include "io/FileBytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tarvik {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (m_fd >= 0) {
      ::close(m_fd);
    }
  }
  int get() const { return m_fd; }

 private:
  int m_fd;
};

bool readAll(int fd, std::string& out) {
  char chunk[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n == 0) {
      return true;
    }
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    out.append(chunk, static_cast<std::size_t>(n));
  }
}

}  // namespace

std::optional<FileBytes> FileBytes::open(const std::string& path) {
  // Non-blocking, so that opening a named pipe cannot wait for a writer.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    return std::nullopt;
  }
  // Only regular files hold graphs: a folder, a pipe or a device (an endless one would
  // never finish reading) cannot be opened as one.
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  FileBytes file;
  if (info.st_size > 0) {
    const auto size = static_cast<std::size_t>(info.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (map != MAP_FAILED) {
      ::madvise(map, size, MADV_SEQUENTIAL);
      file.m_map = map;
      file.m_size = size;
      return file;
    }
  }
  if (!readAll(fd.get(), file.m_buffer)) {
    return std::nullopt;
  }
  return file;
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : m_map(std::exchange(other.m_map, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_released(std::exchange(other.m_released, 0)),
      m_buffer(std::move(other.m_buffer)) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
  if (this != &other) {
    unmap();
    m_map = std::exchange(other.m_map, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_released = std::exchange(other.m_released, 0);
    m_buffer = std::move(other.m_buffer);
  }
  return *this;
}

FileBytes::~FileBytes() { unmap(); }

void FileBytes::unmap() {
  if (m_map != nullptr) {
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
  if (until <= m_released) {
    return;
  }
  ::madvise(static_cast<char*>(m_map) + m_released, until - m_released, MADV_DONTNEED);
  m_released = until;
}

}  // namespace tarvik
