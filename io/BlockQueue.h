#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace rungwell {

// The one way blocks pass between the program's threads: a queue that holds
// at most a fixed number of items, so that memory stays a few blocks however
// large the file. Push waits for room and Pop for an item. Close says that
// nothing more will come, once the queued items are taken; Stop wakes every
// waiter at once and drops what is queued, as when one side has failed.
template <typename Item>
class BlockQueue {
 public:
  explicit BlockQueue(std::size_t most) : capacity(most) {}

  BlockQueue(const BlockQueue&) = delete;
  BlockQueue& operator=(const BlockQueue&) = delete;

  // False, with item dropped, once the queue is closed or stopped.
  bool Push(Item item) {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [this] { return items.size() < capacity || closed || stopped; });
    if (closed || stopped) {
      return false;
    }
    items.push_back(std::move(item));
    changed.notify_all();
    return true;
  }

  // False once the queue is stopped, or closed with nothing left in it.
  bool Pop(Item& item) {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [this] { return !items.empty() || closed || stopped; });
    if (stopped || items.empty()) {
      return false;
    }
    item = std::move(items.front());
    items.pop_front();
    changed.notify_all();
    return true;
  }

  void Close() {
    const std::lock_guard<std::mutex> hold(lock);
    closed = true;
    changed.notify_all();
  }

  void Stop() {
    const std::lock_guard<std::mutex> hold(lock);
    stopped = true;
    items.clear();
    changed.notify_all();
  }

 private:
  const std::size_t capacity;
  std::mutex lock;
  std::condition_variable changed;
  std::deque<Item> items;
  bool closed = false;
  bool stopped = false;
};

}  // namespace rungwell
