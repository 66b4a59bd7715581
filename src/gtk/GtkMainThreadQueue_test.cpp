#include "gtk/GtkMainThreadQueue.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace twdesktop {
namespace {

// Runs the default main context, as the program's main loop does, until APredicate holds or a
// generous time has passed.
template <typename Predicate>
bool IterateUntil(Predicate APredicate) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!APredicate()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
  }
  return true;
}

// Lets every source that is ready now run.
void Drain() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

TEST(GtkMainThreadQueueTest, ClosuresFromManyThreadsRunOnTheMainThreadInPostOrder) {
  TGtkMainThreadQueue queue;
  const std::thread::id mainThread = std::this_thread::get_id();
  constexpr std::size_t kThreads = 4;
  constexpr std::size_t kPerThread = 2000;

  // Posts are numbered under a lock, so the numbers are the order of the Post calls.
  std::mutex order;
  int nextTicket = 0;
  std::vector<int> ran;  // touched on the main thread only
  bool offMainThread = false;
  auto post = [&] {
    std::lock_guard lock(order);
    const int ticket = nextTicket++;
    queue.Post([&, ticket] {
      if (std::this_thread::get_id() != mainThread) offMainThread = true;
      ran.push_back(ticket);
    });
  };

  std::vector<std::thread> workers;
  workers.reserve(kThreads);
  for (std::size_t t = 0; t < kThreads; ++t) {
    workers.emplace_back([&] {
      for (std::size_t i = 0; i < kPerThread; ++i) post();
    });
  }
  // The main thread keeps running closures while the workers post.
  ASSERT_TRUE(IterateUntil([&] { return ran.size() == kThreads * kPerThread; }));
  for (auto& worker : workers) worker.join();
  Drain();

  ASSERT_EQ(ran.size(), kThreads * kPerThread);
  for (std::size_t i = 0; i < ran.size(); ++i) ASSERT_EQ(ran[i], static_cast<int>(i));
  EXPECT_FALSE(offMainThread);
}

TEST(GtkMainThreadQueueTest, PostNeverRunsTheClosureItself) {
  TGtkMainThreadQueue queue;
  int runs = 0;
  queue.Post([&] { ++runs; });
  EXPECT_EQ(runs, 0);
  std::thread([&] { queue.Post([&] { ++runs; }); }).join();
  EXPECT_EQ(runs, 0);
  ASSERT_TRUE(IterateUntil([&] { return runs == 2; }));
}

TEST(GtkMainThreadQueueTest, NothingRunsAfterShutdownOrDestruction) {
  int runs = 0;
  {
    TGtkMainThreadQueue queue;
    queue.Post([&] { ++runs; });
    queue.Shutdown();
    queue.Post([&] { ++runs; });
    std::thread([&] { queue.Post([&] { ++runs; }); }).join();
  }
  {
    auto queue = std::make_shared<TGtkMainThreadQueue>();
    queue->Post([&] { ++runs; });
  }
  Drain();
  EXPECT_EQ(runs, 0);
}

TEST(GtkMainThreadQueueTest, AnErrorInOneClosureIsReportedAndTheNextStillRuns) {
  std::vector<std::string> errors;
  TGtkMainThreadQueue queue([&](const std::string& AMessage) { errors.push_back(AMessage); });
  bool secondRan = false;
  queue.Post([] { throw std::runtime_error("completion failed"); });
  queue.Post([&] { secondRan = true; });
  ASSERT_TRUE(IterateUntil([&] { return secondRan; }));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "completion failed");
}

}  // namespace
}  // namespace twdesktop
