#include "platform/uikit/dispatch.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace platform::uikit {

struct DispatchQueue::Worker {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::pair<std::chrono::steady_clock::time_point, Block>> blocks;
  bool stopping = false;
  std::thread thread{[this] { run(); }};

  void run() {
    std::unique_lock lock(mutex);
    for (;;) {
      if (stopping) return;
      if (blocks.empty()) {
        wake.wait(lock);
        continue;
      }
      auto due = std::min_element(blocks.begin(), blocks.end(),
                                  [](auto& a, auto& b) { return a.first < b.first; });
      if (due->first > std::chrono::steady_clock::now()) {
        wake.wait_until(lock, due->first);
        continue;
      }
      Block block = std::move(due->second);
      blocks.erase(due);
      lock.unlock();
      block();
      lock.lock();
    }
  }
  void push(std::chrono::steady_clock::time_point when, Block block) {
    {
      std::lock_guard lock(mutex);
      blocks.emplace_back(when, std::move(block));
    }
    wake.notify_one();
  }
  ~Worker() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    wake.notify_one();
    // A block that ends the process (exit from a reply) runs these
    // destructors on the queue's own thread, which cannot join itself.
    if (thread.get_id() == std::this_thread::get_id()) thread.detach();
    else thread.join();
  }
};

DispatchQueue::DispatchQueue(std::unique_ptr<Worker> worker) : worker_(std::move(worker)) {}
DispatchQueue::~DispatchQueue() = default;

DispatchQueue& DispatchQueue::main() {
  static DispatchQueue queue(nullptr);
  return queue;
}

DispatchQueue& DispatchQueue::system() {
  static DispatchQueue queue(std::make_unique<Worker>());
  return queue;
}

void DispatchQueue::async(Block block) {
  if (worker_) {
    worker_->push(std::chrono::steady_clock::now(), std::move(block));
    return;
  }
  if (auto* app = QCoreApplication::instance()) QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
}

void DispatchQueue::after(double seconds, Block block) {
  auto delay = std::chrono::milliseconds(std::max<int64_t>(0, int64_t(seconds * 1000)));
  if (worker_) {
    worker_->push(std::chrono::steady_clock::now() + delay, std::move(block));
    return;
  }
  auto* app = QCoreApplication::instance();
  if (!app) return;
  // The timer must start on the main thread, whichever thread asks.
  QMetaObject::invokeMethod(
      app, [app, delay, block = std::move(block)] { QTimer::singleShot(delay, app, block); }, Qt::QueuedConnection);
}

}  // namespace platform::uikit
