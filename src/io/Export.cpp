#include "io/Export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "core/Error.h"
#include "io/AtomicFile.h"
#include "io/GraphWriter.h"
#include "io/UserFolders.h"

namespace tarvik::io {
namespace {

bool isFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) {
    return name;
  }
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Runs in the grandchild after fork: only calls that are safe between fork and exec.
[[noreturn]] void execInGrandchild(const char* program, char* const* argv, const char* folder,
                                   int reportFd) {
  ::setsid();  // its own session: it stays when our terminal or process group goes
  // An ignored signal stays ignored across exec; the batch runner ignores SIGPIPE for its
  // own output, which is no business of the program.
  ::signal(SIGPIPE, SIG_DFL);
#ifdef SYS_close_range
  // Our descriptors (the window's sockets, open files) are not the program's business.
  ::syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
#endif
  int error = 0;
  if (::chdir(folder) != 0) {
    error = errno;
  } else {
    ::execv(program, argv);
    error = errno;
  }
  ssize_t ignored = ::write(reportFd, &error, sizeof error);
  (void)ignored;
  ::_exit(127);
}

// The kernel's cap on the argument list and environment of a start, whatever the stack
// size limit, and its floor (32 pages), which holds however small that limit is.
constexpr std::size_t kKernelArgumentCap = std::size_t{6} << 20;
constexpr std::size_t kKernelArgumentFloor = std::size_t{128} << 10;

}  // namespace

std::size_t ProgramStarter::argumentListLimit() const { return systemArgumentListLimit(); }

std::size_t argumentListBytes(const std::vector<std::string>& argv,
                              const char* const* environment) {
  std::size_t bytes = argv.empty() ? 0 : argv.front().size() + 1;
  for (const std::string& word : argv) {
    bytes += word.size() + 1 + sizeof(char*);
  }
  for (const char* const* entry = environment; entry != nullptr && *entry != nullptr; ++entry) {
    bytes += std::strlen(*entry) + 1 + sizeof(char*);
  }
  return bytes;
}

std::size_t systemArgumentListLimit() {
  const long limit = ::sysconf(_SC_ARG_MAX);
  if (limit <= 0) {
    return kKernelArgumentFloor;
  }
  return std::min(static_cast<std::size_t>(limit), kKernelArgumentCap);
}

std::string argumentListTooLongText(const std::string& program, std::size_t needed,
                                    std::size_t limit) {
  return "Слишком много графиков для запуска " + program +
         ": список аргументов вместе с окружением занял бы " + std::to_string(needed) +
         " байт, а система допускает не больше " + std::to_string(limit) +
         " байт. Файлы экспорта не записаны";
}

bool DetachedStarter::startDetached(const std::string& program,
                                    const std::vector<std::string>& arguments,
                                    const std::string& workingFolder) {
  // Everything the children use is prepared before the fork.
  std::vector<std::string> owned;
  owned.reserve(arguments.size() + 1);
  owned.push_back(program);
  owned.insert(owned.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : owned) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  const std::string folder = workingFolder.empty() ? std::string(".") : workingFolder;

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    return false;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    // The middle process only forks the program and leaves, so the program is adopted by
    // the system and we wait only for this short-lived child.
    ::close(report[0]);
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      execInGrandchild(program.c_str(), argv.data(), folder.c_str(), report[1]);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes at the program's exec (close-on-exec) or carries the start's errno.
  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  const bool middleOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return middleOk && got == 0;
}

std::string executableFolder() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) {
    return {};
  }
  const std::string path(buffer, static_cast<std::size_t>(length));
  return std::filesystem::path(path).parent_path().string();
}

std::string exportFolder() { return userDataFolder() + "/export"; }

std::string exportFileName(std::size_t graphIndex) { return "~00" + std::to_string(graphIndex); }

ProgramLookup findSiblingProgram(const std::string& folder) {
  ProgramLookup lookup;
  lookup.tried = joinPath(folder, "Ruzna");
  for (const char* name : {"Ruzna", "Ruzna.exe"}) {
    const std::string path = joinPath(folder, name);
    if (isFile(path)) {
      lookup.found = path;
      break;
    }
  }
  return lookup;
}

std::string programNotFoundText(const std::string& path) {
  return "Файл " + path + "\nне найден !!!";
}

std::string startFailedText(const std::string& path) { return "Ошибка при запуске " + path; }

std::vector<std::string> writeExportFiles(const GraphStore& store, const std::string& folder,
                                          char decimalSeparator) {
  std::vector<std::string> names;
  names.reserve(store.count());
  for (std::size_t i = 0; i < store.count(); ++i) {
    names.push_back(exportFileName(i));
    writeGraphFile(store.graph(i), store, joinPath(folder, names.back()), decimalSeparator);
  }
  return names;
}

void exportCommand(CommandContext& ctx, const ExportSetup& setup, ProgramStarter& starter) {
  std::string program;
  if (setup.program) {
    // A named program is looked for before anything is written, as the sibling program is.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(*setup.program, ec);
    if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status)) {
      ctx.ui.message(MessageKind::Error, programNotFoundText(*setup.program));
      return;
    }
    program = *setup.program;
  } else {
    const ProgramLookup lookup = findSiblingProgram(setup.executableFolder);
    if (!lookup.found) {
      ctx.ui.message(MessageKind::Error, programNotFoundText(lookup.tried));
      return;
    }
    program = *lookup.found;
  }
  // The program runs in the export folder: a relative path named by the caller is taken
  // from where we stand now.
  program = std::filesystem::absolute(std::filesystem::path(program)).lexically_normal().string();
  // A list the system would refuse is found before a single file is written: tens of
  // thousands of graphs would otherwise leave as many files behind for a start that fails.
  std::vector<std::string> argv;
  argv.reserve(ctx.store.count() + 1);
  argv.push_back(program);
  for (std::size_t i = 0; i < ctx.store.count(); ++i) {
    argv.push_back(exportFileName(i));
  }
  const std::size_t needed = argumentListBytes(argv, environ);
  const std::size_t limit = starter.argumentListLimit();
  if (needed > limit) {
    throw Error(argumentListTooLongText(program, needed, limit));
  }
  if (!makeFolders(setup.exportFolder)) {
    throw IoError(cannotWriteText(setup.exportFolder));
  }
  const std::vector<std::string> names =
      writeExportFiles(ctx.store, setup.exportFolder, ctx.ui.decimalSeparator());
  if (!starter.startDetached(program, names, setup.exportFolder)) {
    throw Error(startFailedText(program));
  }
}

bool renameToLegendsCommand(CommandContext& ctx) {
  if (!ctx.ui.question("Заменить все имена файлов на легенды")) {
    return false;
  }
  GraphStore& store = ctx.store;
  store.repairEntries();  // one entry per graph, whatever the list held before
  for (std::size_t i = 0; i < store.count(); ++i) {
    store.setSourceFile(i, store.graph(i).title + ".grf");
  }
  return true;
}

}  // namespace tarvik::io
