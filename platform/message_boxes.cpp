#include "platform/message_boxes.h"

PendingMessageBoxes::~PendingMessageBoxes() {
  std::lock_guard lock(mutex_);
  for (Request& request : pending_) request.dismissed.set_value();
}

void PendingMessageBoxes::show_and_wait(const char* caption, const char* text,
                                        const std::function<void()>& wake) {
  std::future<void> dismissed;
  {
    std::lock_guard lock(mutex_);
    pending_.push_back({caption, text, {}});
    dismissed = pending_.back().dismissed.get_future();
  }
  wake();
  dismissed.wait();
}

void PendingMessageBoxes::serve(const Show& show) {
  for (;;) {
    Request request;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return;
      request = std::move(pending_.front());
      pending_.pop_front();
    }
    ++serving_;
    show(request.caption, request.text);
    --serving_;
    request.dismissed.set_value();
  }
}
