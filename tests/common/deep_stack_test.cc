#include "common/deep_stack.h"

#include <gtest/gtest.h>
#include <pthread.h>

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

TEST(DeepStack, ResultsComeBackToTheCaller) {
  int value = 0;
  RunOnDeepStack([&] { value = 42; });
  EXPECT_EQ(value, 42);
}

}  // namespace
}  // namespace tellwen
