#pragma once
// Writing a file so that a failure never leaves it half written: the bytes go to a new
// temporary file in the same folder, which replaces the target by a rename only after it
// has been written and flushed completely. Until then the old file stays whole.
#include <string>
#include <string_view>

namespace tarvik {

class AtomicFile {
 public:
  // Creates the temporary file beside `path`. Throws IoError naming `path` when it cannot.
  explicit AtomicFile(std::string path);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  // Removes the temporary file unless commit() succeeded.
  ~AtomicFile();

  // Throws IoError naming the target when the bytes cannot be written.
  void write(std::string_view bytes);
  // Flushes, closes and renames over the target (keeping an existing target's permission
  // bits). Throws IoError naming the target on failure; the target is then untouched.
  void commit();

 private:
  [[noreturn]] void fail();

  std::string m_path;
  std::string m_tempPath;
  int m_fd = -1;
};

// The text of every failure to create or write `path`.
std::string cannotWriteText(const std::string& path);

}  // namespace tarvik
