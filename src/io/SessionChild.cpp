// Reading a session in a child process. The HDF5 library decodes a file's metadata with
// little defence of its own: a crafted file can make it read out of bounds or loop. So the
// library runs in a child with a memory and a time limit, and the window's document never
// shares a process with it: the child checks the file, reads it and writes what it found
// into a pipe — first an outline of the session, then the points — and the parent, which
// trusts nothing that comes through the pipe more than the file itself, bounds every size
// again before allocating. A child that crashes, runs out of memory or time ends the
// reading with a message; the parent goes on as before.
//
// The child is a fork of the caller, taken while the caller holds the library lock, so no
// other thread is inside the library at that moment; the child never takes the lock (its
// copy is held) and leaves with _exit, running no destructors of the parent's objects.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <utility>

#include "core/OutputLimits.h"
#include "io/SessionHdf5.h"
#include "io/SessionRead.h"
#include "io/SessionWire.h"

namespace tarvik {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The HDF5 signature, and the superblock's version in the byte after it. The program
// writes the signature at the start of the file (no user block) and superblock version 2
// or 3, whose metadata carries checksums.
constexpr unsigned char kSignature[8] = {0x89, 'H', 'D', 'F', '\r', '\n', 0x1A, '\n'};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Refuses before the library sees it a file that is not HDF5 as the program writes it.
void checkSignature(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[9] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got < sizeof kSignature || std::memcmp(head, kSignature, sizeof kSignature) != 0) {
    throw Error(notASessionText(path));
  }
  if (got == sizeof head && head[8] < 2) {
    throw Error(oldestFormatText(path, head[8]));
  }
}

double timeLimitOf(const SessionReadOptions& options, std::uintmax_t fileBytes) {
  if (options.timeLimitSeconds > 0) {
    return options.timeLimitSeconds;
  }
  return 30.0 + static_cast<double>(fileBytes) / 25e6;
}

// The child's memory: what the parent's image already takes, one graph's arrays at a time
// and the outline (its texts are at most the file's size), with room for the library.
void limitChild(std::uintmax_t fileBytes, double seconds) {
  const rlim_t cpu = static_cast<rlim_t>(std::ceil(seconds)) + 5;
  const rlimit cpuLimit{cpu, cpu};
  ::setrlimit(RLIMIT_CPU, &cpuLimit);
  if (kSanitized) {
    return;  // the sanitizers reserve terabytes of address space of their own
  }
  long pages = 0;
  std::ifstream statm("/proc/self/statm");
  statm >> pages;
  const auto image = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
  const rlim_t room =
      (rlim_t{1} << 30) + static_cast<rlim_t>(fileBytes) + 2 * kMaxGraphPoints * sizeof(double);
  const rlimit memory{image + room, image + room};
  ::setrlimit(RLIMIT_AS, &memory);
}

[[noreturn]] void runChild(const std::string& path, std::uintmax_t fileBytes, int out,
                           const SessionReadOptions& options, double seconds) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  ::signal(SIGPIPE, SIG_DFL);
  limitChild(fileBytes, seconds);
  if (options.childStart != nullptr) {
    options.childStart();
  }
  session::WireWriter wire(out);
  try {
    session::WireSender sender(wire);
    session::readWithLibrary(path, fileBytes, sender);
    wire.done();
  } catch (const NewerSessionError& e) {
    wire.error(session::WireError::Newer, e.what());
  } catch (const IoError& e) {
    wire.error(session::WireError::Io, e.what());
  } catch (const Error& e) {
    wire.error(session::WireError::Plain, e.what());
  } catch (const std::bad_alloc&) {
    wire.error(session::WireError::Memory, "");
  } catch (const std::exception& e) {
    wire.error(session::WireError::Plain, damagedSessionText(path) + " (" + e.what() + ")");
  }
  ::_exit(0);
}

// The cause of a child that ended without a last word.
std::string childEndCause(int status, bool timedOut, double seconds) {
  if (timedOut) {
    return "чтение не закончилось за " + std::to_string(static_cast<long>(std::ceil(seconds))) +
           " с";
  }
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    if (signal == SIGXCPU) {
      return "чтение не закончилось за отведённое время";
    }
    return "чтение прервано сигналом " + std::to_string(signal) + " (" + ::strsignal(signal) + ")";
  }
  return "процесс чтения завершился с кодом " + std::to_string(WEXITSTATUS(status));
}

class Child {
 public:
  Child(pid_t pid, int in) : m_pid(pid), m_in(in) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (m_in >= 0) {
      ::close(m_in);
    }
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      int status = 0;
      while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  int in() const { return m_in; }
  // Waits for the child's end (killing it first when `kill`); its wait status.
  int end(bool kill) {
    ::close(std::exchange(m_in, -1));
    if (kill) {
      ::kill(m_pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return status;
  }

 private:
  pid_t m_pid;
  int m_in;
};

}  // namespace

Session readSession(const std::string& path) { return readSession(path, SessionReadOptions{}); }

Session readSession(const std::string& path, const SessionReadOptions& options) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    throw IoError(fs::exists(path, ec) ? notASessionText(path) : sessionNotFoundText(path));
  }
  const std::uintmax_t fileBytes = fs::file_size(path, ec);
  if (ec) {
    throw IoError("Невозможно открыть файл:" + path);
  }
  checkSignature(path);
  const double seconds = timeLimitOf(options, fileBytes);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    throw IoError("Невозможно открыть файл:" + path);
  }
  ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);  // fewer, larger transfers; a refusal is harmless
  pid_t pid = -1;
  {
    const auto lock = hdf5::libraryLock();
    pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      runChild(path, fileBytes, fds[1], options, seconds);
    }
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    throw IoError("Невозможно открыть файл:" + path);
  }
  Child child(pid, fds[0]);
  const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                        std::chrono::duration<double>(seconds));
  session::WireReader wire(child.in(), deadline, fileBytes);
  try {
    Session session = session::receiveSession(wire, path);
    child.end(false);
    return session;
  } catch (const session::WireBroken& broken) {
    const int status = child.end(broken.timedOut);
    throw Error(refusedSessionText(path, childEndCause(status, broken.timedOut, seconds)));
  }
}

}  // namespace tarvik
