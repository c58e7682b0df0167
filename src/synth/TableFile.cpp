#include "synth/TableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "core/Error.h"
#include "core/TextCodec.h"
#include "io/AtomicFile.h"
#include "io/FileCommands.h"
#include "io/UserFolders.h"

namespace tarvik::synth {
namespace {

[[noreturn]] void refuseFolder(const std::string& folder) {
  throw IoError(cannotWriteText(folder + "/" + kTableFileName));
}

std::string temporaryBase() {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  return ec || base.empty() ? std::string("/tmp") : base.string();
}

// Removes the file when it goes out of scope, whatever happened meanwhile, unless told to
// keep it.
class RemovedAtEnd {
 public:
  explicit RemovedAtEnd(std::string path) : m_path(std::move(path)) {}
  RemovedAtEnd(const RemovedAtEnd&) = delete;
  RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;
  ~RemovedAtEnd() {
    if (!m_kept) {
      ::unlink(m_path.c_str());
    }
  }
  void keep() { m_kept = true; }

 private:
  std::string m_path;
  bool m_kept = false;
};

// Writes `bytes` to a new file of a name no other write has in `folder` and returns its
// path. Runs of the same user share the folder, so a fixed name would let one run read (or
// delete) the table of another.
std::string writeOwnTableFile(const std::string& folder, std::string_view bytes) {
  std::string path = folder + "/Streem-XXXXXX.txt";
  const int fd = ::mkostemps(path.data(), 4, O_CLOEXEC);
  if (fd < 0) {
    refuseFolder(folder);
  }
  RemovedAtEnd removalOnFailure(path);
  bool written = true;
  while (written && !bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    written = n > 0;
    if (written) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  if (::close(fd) != 0 || !written) {
    refuseFolder(folder);
  }
  removalOnFailure.keep();
  return path;
}

}  // namespace

std::string privateTableFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  const bool runtimeUsable =
      runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode);
  const std::string folder = runtimeUsable
                                 ? std::string(runtime) + "/tarvik"
                                 : temporaryBase() + "/tarvik-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    refuseFolder(folder);
  }
  // A folder someone else made in a shared place, or a link planted there, is not used.
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
    refuseFolder(folder);
  }
  if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
    refuseFolder(folder);
  }
  return folder;
}

std::string keptTableFolder() {
  const std::string folder = io::userDataFolder();
  if (!io::makeFolders(folder)) {
    refuseFolder(folder);
  }
  return folder;
}

bool loadTableThroughFile(CommandContext& ctx, const std::string& text, const std::string& folder,
                          TableFileFate fate) {
  const std::string bytes = utf8ToCp1251(text);
  std::string readFolder = folder;
  if (fate == TableFileFate::Keep) {
    AtomicFile file(folder + "/" + kTableFileName);
    file.write(bytes);
    file.commit();
    readFolder = privateTableFolder();
  }
  const std::string path = writeOwnTableFile(readFolder, bytes);
  const RemovedAtEnd removal(path);
  return appendGeneratedGraph(ctx, path, kTableFileName);
}

}  // namespace tarvik::synth
