#pragma once
// The whole content of a regular file as one read-only byte range. The file is mapped, so a
// large file costs page cache rather than heap, and a reader can hand back the pages it has
// finished with; a file that cannot be mapped is read into memory.
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

 private:
  FileBytes() = default;
  void unmap();

  void* m_map = nullptr;
  std::size_t m_size = 0;
  std::size_t m_released = 0;
  std::string m_buffer;  // used when the file could not be mapped
};

}  // namespace tarvik
