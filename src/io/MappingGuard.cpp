#include "io/MappingGuard.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace tarvik::detail {
namespace {

// Ranges are few (one per file being read), so a fixed table that the signal handler can
// read without locks is enough.
constexpr int kSlots = 64;

struct Slot {
  std::atomic<bool> taken{false};
  std::atomic<std::uintptr_t> begin{0};  // 0 while the slot guards nothing
  std::atomic<std::uintptr_t> end{0};
  std::atomic<bool> faulted{false};
};

Slot g_slots[kSlots];
struct sigaction g_previous {};
std::uintptr_t g_pageSize = 4096;
bool g_installed = false;
std::once_flag g_installOnce;

// The process's handling of a fault that is not ours: the earlier handler, or the default
// action, which the faulting instruction meets again when this handler returns.
void passOn(int signo, siginfo_t* info, void* context) {
  if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
    g_previous.sa_sigaction(signo, info, context);
    return;
  }
  if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(signo);
    return;
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(SIGBUS, &fallback, nullptr);
}

void onBusError(int signo, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (Slot& slot : g_slots) {
    const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= end) {
      continue;
    }
    // Every page from the faulting one to the end of the range lies past the file's new end.
    const std::uintptr_t page = address & ~(g_pageSize - 1);
#if defined(__SANITIZE_THREAD__)
    // The thread sanitizer counts a new mapping as a write of its range by this thread, so
    // every other reader of the file would seem to race with it; the bytes only turn from
    // the file's to zeros, which every reader is prepared for.
    __tsan_ignore_thread_begin();
#endif
    void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
#if defined(__SANITIZE_THREAD__)
    __tsan_ignore_thread_end();
#endif
    if (zeros != MAP_FAILED) {
      slot.faulted.store(true, std::memory_order_release);
      errno = savedErrno;
      return;
    }
  }
  passOn(signo, info, context);
  errno = savedErrno;
}

void install() {
  const long page = ::sysconf(_SC_PAGESIZE);
  if (page > 0) {
    g_pageSize = static_cast<std::uintptr_t>(page);
  }
  struct sigaction action {};
  action.sa_sigaction = onBusError;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&action.sa_mask);
  g_installed = ::sigaction(SIGBUS, &action, &g_previous) == 0;
}

}  // namespace

int guardMapping(const void* begin, std::size_t size) {
  std::call_once(g_installOnce, install);
  if (!g_installed || begin == nullptr || size == 0) {
    return -1;
  }
  for (int i = 0; i < kSlots; ++i) {
    Slot& slot = g_slots[i];
    bool expected = false;
    if (slot.taken.compare_exchange_strong(expected, true)) {
      const auto b = reinterpret_cast<std::uintptr_t>(begin);
      slot.faulted.store(false, std::memory_order_relaxed);
      slot.end.store(b + size, std::memory_order_release);
      slot.begin.store(b, std::memory_order_release);
      return i;
    }
  }
  return -1;
}

bool mappingFaulted(int slot) {
  return slot >= 0 && slot < kSlots && g_slots[slot].faulted.load(std::memory_order_acquire);
}

void unguardMapping(int slot) {
  if (slot < 0 || slot >= kSlots) {
    return;
  }
  g_slots[slot].begin.store(0, std::memory_order_release);
  g_slots[slot].end.store(0, std::memory_order_release);
  g_slots[slot].taken.store(false, std::memory_order_release);
}

}  // namespace tarvik::detail
