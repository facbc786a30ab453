#include "base/deep_stack.h"

#include <pthread.h>
#include <unistd.h>

#include <condition_variable>
#include <vector>

#include "base/thread_annotations.h"

namespace tellwen {

namespace {

// Idle helper threads kept for later calls; more idle ones end.
constexpr size_t kMaxIdleHelpers = 64;

size_t AskStackSize() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
  size_t size = 0;
  pthread_attr_getstacksize(&attr, &size);
  pthread_attr_destroy(&attr);
  return size;
}

// The calling thread's stack size, asked of the system once per thread: a
// thread's stack does not change size, and asking costs system calls.
size_t CurrentStackSize() {
  thread_local const size_t size = AskStackSize();
  return size;
}

// One call handed to a helper: the caller waits on it until done. Lives on
// the caller's stack; the helper signals it with the lock held, so the
// caller cannot return (and end it) before the helper is through with it.
struct Call {
  explicit Call(const std::function<void()>& w) : work(w) {}
  const std::function<void()>& work;
  Mutex mutex;
  std::condition_variable_any finished;
  bool done GUARDED_BY(mutex) = false;
};

// One helper thread with a deep stack: runs the calls it is handed, one at a
// time, and waits for the next.
struct Helper {
  Mutex mutex;
  std::condition_variable_any handed;
  Call* call GUARDED_BY(mutex) = nullptr;
};

// The idle helpers. Never destroyed: detached helpers wait on it until the
// process ends.
struct Helpers {
  // The process that kept them: a child made by fork() has none of these
  // threads (and must not take this lock), so it starts a thread per call.
  const pid_t pid = getpid();
  Mutex mutex;
  std::vector<Helper*> idle GUARDED_BY(mutex);
};

Helpers& IdleHelpers() {
  static Helpers* helpers = new Helpers;
  return *helpers;
}

void* HelperLoop(void* arg) {
  Helper* helper = static_cast<Helper*>(arg);
  for (;;) {
    Call* call = nullptr;
    {
      MutexLock lock(helper->mutex);
      while (helper->call == nullptr) helper->handed.wait(helper->mutex);
      call = helper->call;
      helper->call = nullptr;
    }
    call->work();
    {
      MutexLock lock(call->mutex);
      call->done = true;
      call->finished.notify_one();
    }
    Helpers& helpers = IdleHelpers();
    MutexLock lock(helpers.mutex);
    if (helpers.idle.size() >= kMaxIdleHelpers) break;
    helpers.idle.push_back(helper);
  }
  delete helper;
  return nullptr;
}

// An idle helper, or a new one; nullptr when no thread can be started.
Helper* TakeHelper() {
  Helpers& helpers = IdleHelpers();
  {
    MutexLock lock(helpers.mutex);
    if (!helpers.idle.empty()) {
      Helper* helper = helpers.idle.back();
      helpers.idle.pop_back();
      return helper;
    }
  }
  auto* helper = new Helper;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kMinStackBytes);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int started = pthread_create(&thread, &attr, &HelperLoop, helper);
  pthread_attr_destroy(&attr);
  if (started != 0) {
    delete helper;
    return nullptr;
  }
  return helper;
}

void* RunOnce(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return nullptr;
}

// Runs work on a thread of its own, started for it; false when no thread
// could be started.
bool RunOnNewThread(const std::function<void()>& work) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kMinStackBytes);
  pthread_t thread;
  const int started =
      pthread_create(&thread, &attr, &RunOnce, const_cast<std::function<void()>*>(&work));
  pthread_attr_destroy(&attr);
  if (started != 0) return false;
  pthread_join(thread, nullptr);
  return true;
}

}  // namespace

void RunOnDeepStack(const std::function<void()>& work) {
  if (CurrentStackSize() >= kMinStackBytes) {
    work();
    return;
  }
  Helper* helper = IdleHelpers().pid == getpid() ? TakeHelper() : nullptr;
  if (helper == nullptr) {
    // No helper to be had (or a child of fork()): a thread for this call;
    // without one the call still runs, on the stack there is.
    if (!RunOnNewThread(work)) work();
    return;
  }
  Call call(work);
  {
    // Notified with the lock held: the helper cannot finish this call and
    // end before the notification is through.
    MutexLock lock(helper->mutex);
    helper->call = &call;
    helper->handed.notify_one();
  }
  MutexLock lock(call.mutex);
  while (!call.done) call.finished.wait(call.mutex);
}

}  // namespace tellwen
