#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <functional>

// Serves this thread's events until `done` holds, sleeping while none come. What makes `done` hold
// on another thread must be followed by an event (the tests' message-box dismissers tick every few
// milliseconds). No deadline: a wait that never ends is the test runner's to end.
inline void serve_events_until(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
