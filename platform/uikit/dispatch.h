// Dispatch queues: the main queue (the Qt event loop of the process) and a
// serial queue of the system's own, for replies that come off the main thread.
#pragma once

#include <functional>
#include <memory>

namespace platform::uikit {

class DispatchQueue {
 public:
  using Block = std::function<void()>;
  // The main queue: blocks run on the main event loop, in order.
  static DispatchQueue& main();
  // A serial queue on a thread of its own.
  static DispatchQueue& system();

  // Safe from any thread.
  void async(Block block);
  void after(double seconds, Block block);
  ~DispatchQueue();

 private:
  struct Worker;
  explicit DispatchQueue(std::unique_ptr<Worker> worker);
  std::unique_ptr<Worker> worker_;  // null: the main queue
};

}  // namespace platform::uikit
