#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "view/MainThreadQueue.h"

namespace twdesktop {

// The main-thread queue on the GLib main loop. Each closure becomes one idle source of the
// default main context, all at one priority: GLib runs idle sources of equal priority in the
// order they were added, which gives one FIFO for every poster, and only the thread that runs
// the default context (the main thread) ever runs them.
//
// g_main_context_invoke is not used on purpose: when no loop is running it runs the closure on
// the calling thread, which would hand a worker the window.
class TGtkMainThreadQueue final : public IMainThreadQueue {
 public:
  // Told about an error that escaped a closure; the queue then goes on with the next one.
  using TErrorSink = std::function<void(const std::string& AMessage)>;

  explicit TGtkMainThreadQueue(TErrorSink AOnError = {});
  // Closures still queued are dropped without running.
  ~TGtkMainThreadQueue() override;
  TGtkMainThreadQueue(const TGtkMainThreadQueue&) = delete;
  TGtkMainThreadQueue& operator=(const TGtkMainThreadQueue&) = delete;

  void Post(std::function<void()> AClosure) override;

  // Called once the main loop has ended: whatever is queued now or posted later never runs,
  // even if something iterates the main context again.
  void Shutdown();

  // What a pending closure shares with the queue (declared here, defined in the .cpp).
  struct TShared;

 private:
  std::shared_ptr<TShared> FShared;
};

}  // namespace twdesktop
