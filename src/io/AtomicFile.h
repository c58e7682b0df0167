#pragma once
// Writing a file so that a failure never leaves it half written: the bytes go to a new file
// in the target's folder, which takes the target's name only after it has been written and
// flushed completely. Until then the old file stays whole.
//
// Where the file system offers it the new file has no name at all (O_TMPFILE) until it is
// linked in, so a program killed during a save leaves nothing behind; elsewhere it gets a
// short unique name beside the target (long legal file names stay within the name limit).
//
// Only a regular file the user may write, or a name that does not exist yet, is replaced.
// A symbolic link is followed, also when its target does not exist yet: the link stays and
// the file it names is written. A writable file in a folder where no new file can be made
// is rewritten in place, the one case in which a failure can leave it half written.
#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace tarvik {

// How the new content is kept until the commit (tests choose the named one explicitly; the
// unnamed one falls back to a name where the file system does not offer it). Owned: a name
// that carries the writing process's id, for a library that must open the file by a real
// name; such files left by a process that is gone (killed during a save) are removed from
// the folder when the next one is made there.
enum class TempFileKind { Unnamed, Named, Owned };

class AtomicFile {
 public:
  // Checks the target and creates the new file. Throws IoError naming `path` when the target
  // is not a regular file (a folder, a pipe, a device), may not be written, or no new file
  // can be made.
  explicit AtomicFile(std::string path, TempFileKind kind = TempFileKind::Unnamed);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  // Drops the new content unless commit() succeeded.
  ~AtomicFile();

  // Throws IoError naming the target when the bytes cannot be written.
  void write(std::string_view bytes);
  // A name by which a library that opens files itself writes the new content: the named
  // file (create the AtomicFile as Owned for that). Throws IoError naming the target where
  // there is no name: an unnamed file, or a rewrite in place (a library would cut the old
  // file short before writing).
  std::string contentPath() const;
  // Flushes the content to the disk (unless `flush` is false: benchmarks only) and puts it
  // in the target's place, keeping an existing target's permission bits. Throws IoError
  // naming the target on failure; the target is then untouched (except after an in-place
  // rewrite).
  void commit(bool flush = true);

 private:
  enum class Method { Unnamed, Named, InPlace };

  void createNew(TempFileKind kind);
  bool createUnnamed();
  bool createNamed(bool owned);
  void linkUnnamed();
  void close();
  [[noreturn]] void fail();

  std::string m_path;    // as the user named it: the messages show it
  std::string m_target;  // after symbolic links
  std::string m_folder;  // the target's folder
  std::string m_tempPath;
  Method m_method = Method::Named;
  bool m_targetExists = false;
  mode_t m_targetMode = 0;
  off_t m_written = 0;
  off_t m_writeBackStart = 0;  // where the bytes not yet handed to the disk begin
  int m_fd = -1;
};

// The same replacement for a writer that must let a library create the new file by its name
// (HDF5 does, and resolves the name, so an unnamed file cannot serve): an Owned AtomicFile
// whose contentPath() `writeNew` writes (creating or truncating it), committed when it
// returns. A tarvik::Error from `writeNew` passes with its own text; any other failure
// throws IoError naming `path`, followed on a second line by the failure's own text when it
// has one (a std::exception's what()). The target is then untouched; what a killed save leaves
// is removed by the next save into the same folder.
void replaceFileWith(const std::string& path,
                     const std::function<void(const std::string&)>& writeNew, bool flush = true);

// The text of every failure to create or write `path`.
std::string cannotWriteText(const std::string& path);

// The permission rule of a save: may a process replace an existing file of permission bits
// `mode`? An ordinary user is held to what the system allows (`systemAllows`, which covers
// access lists and read-only mounts). The superuser, whom the permission bits do not stop,
// is held to what a user expects of a read-only file: some write bit must be set.
bool mayReplaceFile(mode_t mode, bool superuser, bool systemAllows);

}  // namespace tarvik
