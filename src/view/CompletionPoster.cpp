#include "view/CompletionPoster.h"

#include <utility>

namespace twdesktop {

TCompletionPoster::TCompletionPoster(std::shared_ptr<IMainThreadQueue> AQueue)
    : FQueue(std::move(AQueue)), FAlive(std::make_shared<bool>(true)) {}

void TCompletionPoster::Post(std::function<void()> AClosure) const {
  FQueue->Post([Alive = FAlive, Closure = std::move(AClosure)] {
    if (*Alive) Closure();
  });
}

void TCompletionPoster::Close() const {
  *FAlive = false;
}

}  // namespace twdesktop
