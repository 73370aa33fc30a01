#pragma once

#include <mutex>

// The run thread's scheduling, as the CPU Thread menu offers it.
enum class RunPriority { high, normal, low };

// The run thread's scheduling priority, applied to the thread's own id. The run thread records its
// id first thing and forgets it last thing, under the same lock as a change, so that a change never
// reaches a thread id the system may have handed to another thread since.
class RunThreadPriority {
 public:
  // On the run thread.
  void thread_started();
  void thread_ended();

  // Any thread. Normal is what a new thread starts with; High and Low count from it (on POSIX, as
  // nice values relative to the program's own). No effect without a run thread; a value the system
  // refuses (raising the priority without the right to) changes nothing.
  void set(RunPriority priority);

 private:
  std::mutex mutex_;
  unsigned long thread_id_ = 0;
};
