#include "platform/message_boxes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Callers on three threads each wait for their box; the window thread shows them all at once.
TEST(PendingMessageBoxes, EveryCallerWaitsUntilItsBoxHasBeenShown) {
  std::optional<PendingMessageBoxes> boxes(std::in_place);
  std::atomic<int> queued{0};
  std::atomic<int> returned{0};
  std::vector<std::thread> callers;
  for (int i = 0; i < 3; ++i) {
    callers.emplace_back([&, i] {
      boxes->show_and_wait("Breakpoint Encountered", std::to_string(i).c_str(), [&] { ++queued; });
      ++returned;
    });
  }
  while (queued < 3) std::this_thread::yield();
  EXPECT_EQ(returned.load(), 0);
  std::vector<std::string> shown;
  boxes->serve([&](const std::string& caption, const std::string& text) {
    EXPECT_EQ(caption, "Breakpoint Encountered");
    shown.push_back(text);
  });
  for (std::thread& caller : callers) caller.join();
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(shown, (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_EQ(returned.load(), 3);

  // A box that will never be shown releases its caller when the queue goes.
  std::thread caller([&] { boxes->show_and_wait("ROM", "Not a valid ROM!", [&] { ++queued; }); });
  while (queued < 4) std::this_thread::yield();
  boxes.reset();
  caller.join();
}

}  // namespace
