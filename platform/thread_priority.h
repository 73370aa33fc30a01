#pragma once

#include <mutex>

// The run thread's scheduling priority, as a nice value applied to the thread's own id. The run
// thread records its id first thing and forgets it last thing, under the same lock as a change,
// so that a change never reaches a thread id the system may have handed to another thread since.
class RunThreadPriority {
 public:
  // On the run thread.
  void thread_started();
  void thread_ended();

  // Any thread. `nice_offset` counts from the program's own nice value, which is what a new thread
  // starts with. No effect without a run thread; a value the system refuses (raising the priority
  // without the right to) changes nothing.
  void set(int nice_offset);

 private:
  std::mutex mutex_;
  int thread_id_ = 0;
};
