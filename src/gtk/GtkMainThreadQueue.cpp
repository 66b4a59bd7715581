#include "gtk/GtkMainThreadQueue.h"

#include <glib.h>

#include <exception>
#include <utility>

namespace twdesktop {

// What a queued closure needs to decide whether it may still run. Shared with every pending
// source, so it lives as long as the last of them.
struct TGtkMainThreadQueue::TShared {
  std::atomic<bool> Open{true};
  TErrorSink OnError;
};

namespace {

struct TPending {
  std::function<void()> Closure;
  std::shared_ptr<TGtkMainThreadQueue::TShared> Shared;
};

}  // namespace

TGtkMainThreadQueue::TGtkMainThreadQueue(TErrorSink AOnError)
    : FShared(std::make_shared<TShared>()) {
  FShared->OnError = std::move(AOnError);
}

TGtkMainThreadQueue::~TGtkMainThreadQueue() {
  Shutdown();
}

void TGtkMainThreadQueue::Shutdown() {
  FShared->Open = false;
}

void TGtkMainThreadQueue::Post(std::function<void()> AClosure) {
  if (!FShared->Open || !AClosure) return;
  // GLib owns the pending closure until the source's destroy notify frees it.
  auto* pending = std::make_unique<TPending>(TPending{std::move(AClosure), FShared}).release();
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        auto* job = static_cast<TPending*>(data);
        if (!job->Shared->Open) return G_SOURCE_REMOVE;
        // An exception must not unwind through GLib's C frames.
        try {
          job->Closure();
        } catch (const std::exception& error) {
          if (job->Shared->OnError) job->Shared->OnError(error.what());
        } catch (...) {
          if (job->Shared->OnError) job->Shared->OnError("An unexpected error occurred.");
        }
        return G_SOURCE_REMOVE;
      },
      pending, [](gpointer data) { std::unique_ptr<TPending>(static_cast<TPending*>(data)); });
}

}  // namespace twdesktop
