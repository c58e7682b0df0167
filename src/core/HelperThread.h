#pragma once
// A second thread for work that the calling thread can also do alone. Long computations
// split their work between the calling thread and one helper taking pieces from a shared
// counter; when the system refuses a new thread, the calling thread simply takes every
// piece, so a refusal costs speed, never a result.
#include <system_error>
#include <thread>
#include <utility>

namespace tarvik {

// Starts `work` on a new thread; when none can be started the returned thread is not
// joinable, and the caller does the helper's share itself.
template <class Work, class... Args>
std::thread tryStartThread(Work&& work, Args&&... args) {
  try {
    return std::thread(std::forward<Work>(work), std::forward<Args>(args)...);
  } catch (const std::system_error&) {
    return {};
  }
}

}  // namespace tarvik
