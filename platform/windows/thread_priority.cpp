#include "platform/thread_priority.h"

#include <windows.h>

namespace {

// The nearest a process of normal priority class may set without any right.
int thread_priority(RunPriority priority) {
  switch (priority) {
    case RunPriority::high:
      return THREAD_PRIORITY_HIGHEST;
    case RunPriority::low:
      return THREAD_PRIORITY_LOWEST;
    case RunPriority::normal:
      break;
  }
  return THREAD_PRIORITY_NORMAL;
}

}  // namespace

void RunThreadPriority::thread_started() {
  std::lock_guard lock(mutex_);
  thread_id_ = GetCurrentThreadId();
}

void RunThreadPriority::thread_ended() {
  std::lock_guard lock(mutex_);
  thread_id_ = 0;
}

void RunThreadPriority::set(RunPriority priority) {
  std::lock_guard lock(mutex_);
  if (thread_id_ == 0) return;
  if (HANDLE thread = OpenThread(THREAD_SET_INFORMATION, FALSE, thread_id_)) {
    SetThreadPriority(thread, thread_priority(priority));
    CloseHandle(thread);
  }
}
