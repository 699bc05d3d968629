// The worker family: a program that has waited for its workers has no thread of theirs left.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/worker.h"

namespace {

std::atomic<int> g_exited{0};

// Stands for a library's per-thread state, which it frees as the thread exits: after the
// body has returned, so a family that waits only for bodies leaves it to a process exit.
struct ThreadState {
  ~ThreadState() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ++g_exited;
  }
};

TEST(WorkerFamily, WaitingForTheWorkersWaitsUntilTheirThreadsHaveExited) {
  TWorkerFamily family;
  for (int i = 0; i < 3; ++i)
    family.Start([] {
      thread_local ThreadState state;
      (void)&state;
    });
  ASSERT_TRUE(family.WaitAll());
  EXPECT_EQ(g_exited, 3);
  EXPECT_EQ(family.Live(), 0);
  // Threads of runs that ended earlier are joined as the next run starts, and the family
  // is reused.
  family.Start([] {});
  EXPECT_TRUE(family.WaitAll(10000));
}

}  // namespace
