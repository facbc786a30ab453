#include "common/deep_stack.h"

#include <pthread.h>

namespace tellwen {

namespace {

size_t CurrentStackSize() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
  size_t size = 0;
  pthread_attr_getstacksize(&attr, &size);
  pthread_attr_destroy(&attr);
  return size;
}

void* RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return nullptr;
}

}  // namespace

void RunOnDeepStack(const std::function<void()>& work) {
  if (CurrentStackSize() >= kMinStackBytes) {
    work();
    return;
  }
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kMinStackBytes);
  pthread_t thread;
  const int started =
      pthread_create(&thread, &attr, &RunWork, const_cast<std::function<void()>*>(&work));
  pthread_attr_destroy(&attr);
  if (started != 0) {
    // No thread to be had: the call still runs, on the stack there is.
    work();
    return;
  }
  pthread_join(thread, nullptr);
}

}  // namespace tellwen
