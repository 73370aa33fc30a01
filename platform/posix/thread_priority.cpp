#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

int nice_offset(RunPriority priority) {
  switch (priority) {
    case RunPriority::high:
      return -5;
    case RunPriority::low:
      return 5;
    case RunPriority::normal:
      break;
  }
  return 0;
}

}  // namespace

void RunThreadPriority::thread_started() {
  std::lock_guard lock(mutex_);
  thread_id_ = static_cast<unsigned long>(::syscall(SYS_gettid));
}

void RunThreadPriority::thread_ended() {
  std::lock_guard lock(mutex_);
  thread_id_ = 0;
}

void RunThreadPriority::set(RunPriority priority) {
  // The calling thread's nice is the program's: only the run thread's is ever changed.
  const int program_nice = ::getpriority(PRIO_PROCESS, 0);
  std::lock_guard lock(mutex_);
  if (thread_id_ != 0) {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread_id_),
                  program_nice + nice_offset(priority));
  }
}
