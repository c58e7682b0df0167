#pragma once
// Room for long arrays of values that are filled once, front to back. A long result fills
// hundreds of megabytes that are new to the process, and every page of them is a fault the
// first time it is written; on Linux the room is offered huge pages, so filling it takes
// one fault per 2 MiB instead of one per 4 KiB. Advice only: where the kernel refuses, the
// ordinary pages come as before. Room that is never written costs no memory either way.
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarvik {

// Offers huge pages for the whole 2 MiB pages inside [data, data + bytes).
inline void adviseHugePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t end = begin + bytes;
  const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  if (data != nullptr && end > first + kHuge) {
    ::madvise(reinterpret_cast<void*>(first), (end - first) & ~(kHuge - 1), MADV_HUGEPAGE);
  }
#else
  (void)data;
  (void)bytes;
#endif
}

// Reserves room for `count` values (keeping those already held) with huge pages offered.
template <class T>
void reserveLarge(std::vector<T>& values, std::size_t count) {
  values.reserve(count);
  adviseHugePages(values.data(), values.capacity() * sizeof(T));
}

}  // namespace tarvik
