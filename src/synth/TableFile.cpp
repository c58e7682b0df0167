#include "synth/TableFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

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

// Removes the file when it goes out of scope, whatever happened meanwhile.
class RemovedAtEnd {
 public:
  explicit RemovedAtEnd(std::string path) : m_path(std::move(path)) {}
  RemovedAtEnd(const RemovedAtEnd&) = delete;
  RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;
  ~RemovedAtEnd() { ::unlink(m_path.c_str()); }

 private:
  std::string m_path;
};

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
  const std::string path = folder + "/" + kTableFileName;
  {
    AtomicFile file(path);
    file.write(utf8ToCp1251(text));
    file.commit();
  }
  if (fate == TableFileFate::Keep) {
    return appendGeneratedGraph(ctx, path);
  }
  const RemovedAtEnd removal(path);
  return appendGeneratedGraph(ctx, path);
}

}  // namespace tarvik::synth
