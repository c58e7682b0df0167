#pragma once
// A real shortage of memory for a test: the process's address space is limited to what it
// uses now plus a margin, so an allocation beyond the margin fails with std::bad_alloc
// instead of the machine's memory running out. The limit is lifted again when the object
// goes. The sanitizers reserve their shadow memory as they run and stop the process when a
// reservation fails, so under them such a limit cannot be set (see available()).
#include <sys/resource.h>

#include <cstddef>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARVIK_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define TARVIK_TEST_SANITIZED 1
#endif
#endif

namespace tarvik::testing {

class AddressSpaceLimit {
 public:
  // False where the limit cannot work (a sanitized build); tests then skip.
  static constexpr bool available() {
#if defined(TARVIK_TEST_SANITIZED)
    return false;
#else
    return true;
#endif
  }

  // The process's mapped address space now, in bytes (0 when it cannot be read).
  static std::size_t mappedBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmSize:", 0) == 0) {
        return static_cast<std::size_t>(std::stoull(line.substr(7))) * 1024;
      }
    }
    return 0;
  }

  explicit AddressSpaceLimit(std::size_t marginBytes) {
    m_set = ::getrlimit(RLIMIT_AS, &m_old) == 0 && mappedBytes() > 0;
    if (m_set) {
      rlimit tight = m_old;
      tight.rlim_cur = static_cast<rlim_t>(mappedBytes() + marginBytes);
      if (m_old.rlim_max != RLIM_INFINITY && tight.rlim_cur > m_old.rlim_max) {
        tight.rlim_cur = m_old.rlim_max;
      }
      m_set = ::setrlimit(RLIMIT_AS, &tight) == 0;
    }
  }
  ~AddressSpaceLimit() {
    if (m_set) {
      ::setrlimit(RLIMIT_AS, &m_old);
    }
  }
  AddressSpaceLimit(const AddressSpaceLimit&) = delete;
  AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

  // True when the limit is in force.
  bool set() const { return m_set; }

 private:
  rlimit m_old{};
  bool m_set = false;
};

}  // namespace tarvik::testing
