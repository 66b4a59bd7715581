#pragma once

#include <functional>

namespace twdesktop {

// Hands work from worker threads to the main thread.
//
// What every platform must provide:
// - Post may be called from any thread, also after the frame is gone and while the program is
//   closing; it never blocks on the main thread and never runs the closure itself.
// - Closures run on the main thread, one at a time, in the order they were posted (one FIFO for
//   all posters), while the main loop runs.
// - Closures still queued when the main loop has ended are dropped without running.
// The frame itself makes sure that a closure queued for it does nothing once it is destroyed.
class IMainThreadQueue {
 public:
  virtual ~IMainThreadQueue() = default;
  virtual void Post(std::function<void()> AClosure) = 0;
};

}  // namespace twdesktop
