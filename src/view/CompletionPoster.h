#pragma once

#include <functional>
#include <memory>

#include "view/MainThreadQueue.h"

namespace twdesktop {

// What a worker thread takes along to hand its result back: the main-thread queue and the
// owner's "alive" flag, nothing of the owner itself. A worker may outlive the frame that
// started it (nothing ends a running CLI), so a closure it posts checks, on the main thread,
// that the frame still exists before it runs. The flag is only ever read and written on the
// main thread, where the frame is also destroyed, so it needs no lock.
class TCompletionPoster {
 public:
  explicit TCompletionPoster(std::shared_ptr<IMainThreadQueue> AQueue);

  // Any thread. AClosure runs later on the main thread, unless the owner has closed by then.
  void Post(std::function<void()> AClosure) const;

  // Main thread, by the owner as it goes: closures already queued or still to come do nothing.
  void Close() const;

 private:
  std::shared_ptr<IMainThreadQueue> FQueue;
  std::shared_ptr<bool> FAlive;
};

}  // namespace twdesktop
