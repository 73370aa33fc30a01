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

void RunThreadPriority::set(int nice_value) {
  std::lock_guard lock(mutex_);
  if (thread_id_ != 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread_id_), nice_value);
}
