#include "base/deep_stack.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <set>
#include <vector>

namespace tellwen {
namespace {

size_t StackOfThisThread() {
  pthread_attr_t attr;
  pthread_getattr_np(pthread_self(), &attr);
  size_t size = 0;
  pthread_attr_getstacksize(&attr, &size);
  pthread_attr_destroy(&attr);
  return size;
}

void* SmallStackCaller(void* out) {
  RunOnDeepStack([out] { *static_cast<size_t*>(out) = StackOfThisThread(); });
  return nullptr;
}

TEST(DeepStack, WorkFromASmallStackRunsOnADeepOne) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  size_t seen = 0;
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, &SmallStackCaller, &seen), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_GE(seen, kMinStackBytes);
}

struct SmallStackCalls {
  int calls = 0;
  std::vector<pthread_t>* helpers = nullptr;  // the thread each call ran on
  std::vector<size_t>* stacks = nullptr;
};

void* ManySmallStackCalls(void* arg) {
  auto* run = static_cast<SmallStackCalls*>(arg);
  for (int i = 0; i < run->calls; ++i) {
    RunOnDeepStack([&] {
      run->helpers->push_back(pthread_self());
      run->stacks->push_back(StackOfThisThread());
    });
  }
  return nullptr;
}

// Helpers are kept between calls, and calls made at once from many threads
// each run whole on a deep stack and come back to their own caller.
TEST(DeepStack, CallsFromManyThreadsReuseDeepHelpers) {
  constexpr int kThreads = 8, kCalls = 40;
  std::vector<std::vector<pthread_t>> helpers(kThreads);
  std::vector<std::vector<size_t>> stacks(kThreads);
  std::vector<SmallStackCalls> runs(kThreads);
  std::vector<pthread_t> threads(kThreads);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  for (int t = 0; t < kThreads; ++t) {
    runs[t] = {kCalls, &helpers[t], &stacks[t]};
    ASSERT_EQ(pthread_create(&threads[t], &attr, &ManySmallStackCalls, &runs[t]), 0);
  }
  for (pthread_t thread : threads) pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  std::set<pthread_t> distinct;
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(helpers[t].size(), static_cast<size_t>(kCalls));
    for (size_t stack : stacks[t]) EXPECT_GE(stack, kMinStackBytes);
    distinct.insert(helpers[t].begin(), helpers[t].end());
  }
  // 320 calls, at most 8 at a time: far fewer threads than calls.
  EXPECT_LE(distinct.size(), static_cast<size_t>(2 * kThreads));
}

TEST(DeepStack, ResultsComeBackToTheCaller) {
  int value = 0;
  RunOnDeepStack([&] { value = 42; });
  EXPECT_EQ(value, 42);
}

}  // namespace
}  // namespace tellwen
