#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void RunThreadPriority::thread_started() {
  std::lock_guard lock(mutex_);
  thread_id_ = static_cast<int>(::syscall(SYS_gettid));
}

void RunThreadPriority::thread_ended() {
  std::lock_guard lock(mutex_);
  thread_id_ = 0;
}

void RunThreadPriority::set(int nice_offset) {
  // The calling thread's nice is the program's: only the run thread's is ever changed.
  const int program_nice = ::getpriority(PRIO_PROCESS, 0);
  std::lock_guard lock(mutex_);
  if (thread_id_ != 0) {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread_id_), program_nice + nice_offset);
  }
}
