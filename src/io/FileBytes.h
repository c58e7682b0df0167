#pragma once
// The whole content of a regular file as one read-only byte range. The file is mapped, so a
// large file costs page cache rather than heap, and a reader can hand back the pages it has
// finished with; a file that cannot be mapped safely is read into memory in blocks.
//
// A file may change while it is read. When another program cuts it short, the mapped bytes
// past its new end read as zeros instead of ending the process (see MappingGuard), and
// shrankWhileRead() tells the reader that what it made of them is not the file's content.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

class FileBytes {
 public:
  // nullopt when the file cannot be opened for reading or is not a regular file (a folder,
  // a pipe, a device).
  static std::optional<FileBytes> open(const std::string& path);

  FileBytes(FileBytes&& other) noexcept;
  FileBytes& operator=(FileBytes&& other) noexcept;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();

  std::string_view bytes() const;
  // The reader is done with the bytes before `end`: whole pages before it are dropped from
  // this process's resident memory. Reading them again later is still valid.
  void releaseBefore(std::size_t end);
  // The reader goes over the bytes once more: releaseBefore counts from the start again.
  void restartRelease() { m_released = 0; }
  // True when the file is now shorter than bytes(), or became so while it was read (its
  // later bytes were not what bytes() showed).
  bool shrankWhileRead() const;

 private:
  FileBytes() = default;
  void unmap();

  void* m_map = nullptr;
  std::size_t m_size = 0;
  std::size_t m_released = 0;
  int m_guard = -1;
  int m_fd = -1;             // kept open to compare the file's size with the bytes
  bool m_shortRead = false;  // a read into memory ended before the size the file had
  std::string m_buffer;      // used when the file could not be mapped
};

}  // namespace tarvik
